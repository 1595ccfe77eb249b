#include "io/SndFileLibrary.h"

#include "core/Log.h"

#include "io/SharedLibrary.h"

#include <cstdlib>

namespace sonabel {

namespace {

// Sets function from the library's symbol name; false when it has none.
template <typename Function>
bool bind(void* handle, const char* name, Function& function) {
    function = reinterpret_cast<Function>(SharedLibrary::find(handle, name));
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
    if (void* handle = SharedLibrary::open(file, &reason)) {
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
