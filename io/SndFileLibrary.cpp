#include "io/SndFileLibrary.h"

#include "core/Log.h"

#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace sonabel {

namespace {

// The library's handle, or null with the reason in error.
void* openLibrary(const std::string& file, std::string& error) {
#ifdef _WIN32
    void* handle = reinterpret_cast<void*>(LoadLibraryA(file.c_str()));
    if (!handle) error = "cannot open " + file;
    return handle;
#else
    // RTLD_NOW: a library that lacks what it needs fails here, not in the
    // middle of a file.
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        error = reason ? reason : "cannot open " + file;
    }
    return handle;
#endif
}

void* findSymbol(void* handle, const char* name) {
#ifdef _WIN32
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
#else
    return dlsym(handle, name);
#endif
}

// Sets function from the library's symbol name; false when it has none.
template <typename Function>
bool bind(void* handle, const char* name, Function& function) {
    function = reinterpret_cast<Function>(findSymbol(handle, name));
    return function != nullptr;
}

} // namespace

SndFileLibrary::SndFileLibrary(std::string given) : file(std::move(given)) {}

SndFileLibrary& SndFileLibrary::instance() {
    static SndFileLibrary library;
    return library;
}

bool SndFileLibrary::load() {
    if (isLoaded()) return true;
    const std::lock_guard<std::mutex> guard(loading);
    if (tried) return isLoaded();
    tried = true;
    if (file.empty()) {
        const char* named = std::getenv("SONABEL_SNDFILE_LIBRARY");
        file = named && *named ? named : defaultFileName;
    }
    std::string reason;
    if (void* handle = openLibrary(file, reason)) {
        const char* missing = nullptr;
        const struct {
            const char* name;
            bool found;
        } symbols[] = {{"sf_open", bind(handle, "sf_open", open)},
                       {"sf_open_virtual", bind(handle, "sf_open_virtual", openVirtual)},
                       {"sf_close", bind(handle, "sf_close", close)},
                       {"sf_command", bind(handle, "sf_command", command)},
                       {"sf_error", bind(handle, "sf_error", error)},
                       {"sf_strerror", bind(handle, "sf_strerror", strerror)},
                       {"sf_error_number", bind(handle, "sf_error_number", errorNumber)},
                       {"sf_format_check", bind(handle, "sf_format_check", formatCheck)},
                       {"sf_seek", bind(handle, "sf_seek", seek)},
                       {"sf_readf_int", bind(handle, "sf_readf_int", readfInt)},
                       {"sf_readf_float", bind(handle, "sf_readf_float", readfFloat)},
                       {"sf_writef_int", bind(handle, "sf_writef_int", writefInt)},
                       {"sf_writef_float", bind(handle, "sf_writef_float", writefFloat)}};
        for (const auto& symbol : symbols)
            if (!symbol.found && !missing) missing = symbol.name;
        if (!missing) {
            loaded.store(true, std::memory_order_release);
            logDebug(2, "Loaded libsndfile from %s.", file.c_str());
            return true;
        }
        reason = file + " has no " + missing;
    }
    loadError = reason;
    logError(1, "libsndfile could not be loaded (%s): only 8- and 16-bit PCM WAVE files can be read and written",
             reason.c_str());
    return false;
}

} // namespace sonabel
