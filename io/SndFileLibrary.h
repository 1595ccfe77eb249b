#pragma once
// libsndfile, loaded on first use: the WAVE classes read and write 8- and
// 16-bit PCM themselves, so a program that only handles such files never
// loads libsndfile nor the codecs it brings (FLAC, Vorbis, Opus, MPEG), and
// starts that much sooner.
//
// Call sequence: every caller of libsndfile calls load() first (the file
// factories when a file needs it, SndFileReader::open, SndFileWriter::open)
// and uses the function pointers only when it returned true. The first call
// loads the library; a library that cannot be loaded is one level-1 error,
// said once, and every later load() answers false at once. Any thread; the
// pointers never change once set.
//
// The library is looked up by its file name on the system's library path;
// SONABEL_SNDFILE_LIBRARY names another file.

#include <sndfile.h>

#include <atomic>
#include <mutex>
#include <string>

namespace sonabel {

class SndFileLibrary {
public:
#if defined(_WIN32)
    static constexpr const char* defaultFileName = "sndfile.dll";
#elif defined(__APPLE__)
    static constexpr const char* defaultFileName = "libsndfile.1.dylib";
#else
    static constexpr const char* defaultFileName = "libsndfile.so.1";
#endif

    // file: what to load; empty for SONABEL_SNDFILE_LIBRARY, else
    // defaultFileName (looked up at the first load).
    explicit SndFileLibrary(std::string file = {});
    // The library stays loaded: files it opened may outlive any owner.
    ~SndFileLibrary() = default;
    SndFileLibrary(const SndFileLibrary&) = delete;
    SndFileLibrary& operator=(const SndFileLibrary&) = delete;

    // The one the file classes use.
    static SndFileLibrary& instance();

    // Loads the library if that was not tried yet; false (after the error)
    // when it cannot be, or lacks one of the functions below.
    bool load();
    bool isLoaded() const { return loaded.load(std::memory_order_acquire); }
    // Why the load failed ("" before a failure).
    const std::string& getLoadError() const { return loadError; }

    // libsndfile's functions of the same names (sf_open, ...); null until
    // a load succeeds.
    decltype(&::sf_open) open = nullptr;
    decltype(&::sf_open_virtual) openVirtual = nullptr;
    decltype(&::sf_close) close = nullptr;
    decltype(&::sf_command) command = nullptr;
    decltype(&::sf_error) error = nullptr;
    decltype(&::sf_strerror) strerror = nullptr;
    decltype(&::sf_error_number) errorNumber = nullptr;
    decltype(&::sf_format_check) formatCheck = nullptr;
    decltype(&::sf_seek) seek = nullptr;
    decltype(&::sf_readf_int) readfInt = nullptr;
    decltype(&::sf_readf_float) readfFloat = nullptr;
    decltype(&::sf_writef_int) writefInt = nullptr;
    decltype(&::sf_writef_float) writefFloat = nullptr;

private:
    std::string file;
    std::mutex loading;
    bool tried = false;
    std::string loadError;
    std::atomic<bool> loaded{false};
};

} // namespace sonabel
