#include "io/AudioLibrary.h"

#include "core/Log.h"
#include "io/AudioLibraryEntry.h"
#include "io/CaptureQueue.h"
#include "io/PlaybackRing.h"
#include "io/SharedLibrary.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <typeinfo>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace sonabel {

namespace {

using EntryFunction = const AudioLibraryEntry* (*)();

// Opens file and finds the entry; null with the reason in error.
EntryFunction openLibrary(const std::string& file, std::string* error) {
    void* handle = SharedLibrary::open(file, error);
    if (!handle) return nullptr;
    void* symbol = SharedLibrary::find(handle, "sonabelAudioEntry");
    if (!symbol) *error = file + " has no entry sonabelAudioEntry";
    return reinterpret_cast<EntryFunction>(symbol);
}

// The installed copy beside the program (../lib/sonabel), else the build
// tree's, else the name alone for the system's library path.
std::string findLibrary() {
    std::vector<std::string> candidates;
#if defined(SONABEL_AUDIO_LIBRARY_INSTALLED) && defined(__linux__)
    char self[4096];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length > 0) {
        std::string program(self, static_cast<size_t>(length));
        candidates.push_back(program.substr(0, program.rfind('/') + 1) + SONABEL_AUDIO_LIBRARY_INSTALLED);
    }
#endif
#if defined(SONABEL_AUDIO_LIBRARY_BUILT)
    candidates.emplace_back(SONABEL_AUDIO_LIBRARY_BUILT);
#endif
    for (const std::string& candidate : candidates) {
#ifdef _WIN32
        if (GetFileAttributesA(candidate.c_str()) != INVALID_FILE_ATTRIBUTES) return candidate;
#else
        if (::access(candidate.c_str(), R_OK) == 0) return candidate;
#endif
    }
    return AudioLibrary::defaultFileName;
}

} // namespace

AudioLibrary::AudioLibrary(std::string given) : file(std::move(given)) {}

AudioLibrary& AudioLibrary::instance() {
    static AudioLibrary library;
    return library;
}

bool AudioLibrary::load() {
    const std::lock_guard<std::mutex> guard(loading);
    if (tried) return isLoaded();
    tried = true;
    if (file.empty()) {
        const char* named = std::getenv("SONABEL_AUDIO_LIBRARY");
        file = named && *named ? named : findLibrary();
    }
    std::string error;
    const AudioLibraryEntry* found = nullptr;
    if (EntryFunction function = openLibrary(file, &error)) {
        found = function();
        if (!found || found->version != audioLibraryEntryVersion || found->size != sizeof(AudioLibraryEntry)) {
            error = file + " belongs to another build of Sonabel";
            found = nullptr;
        }
    }
    if (!found) {
        loadError = error;
        logError(1, "The sound system library could not be loaded (%s): only the null device is there.", error.c_str());
        return false;
    }
    found->setHurried(hurried.load());
    entry.store(found, std::memory_order_release);
    // The library's layers derive from these two; naming their types here
    // keeps them in every program that can load it.
    // The same for the client name the library asks the program for.
    logDebug(2, "Loaded the sound system library %s (layers on %s and %s; client name %s).", file.c_str(),
             typeid(PlaybackRing).name(), typeid(CaptureQueue).name(),
             getAudioClientName() ? getAudioClientName() : "the default");
    return true;
}

AudioApi AudioLibrary::chooseApi(bool* forced) {
    if (forced) *forced = false;
    const char* name = std::getenv("SONABEL_AUDIO_API");
    if (name && std::strcmp(name, "null") == 0) {
        if (forced) *forced = true;
        return AudioApi::null;
    }
    // Without the library only the null device is there, and the load
    // error has said so to the user.
    if (!load()) return AudioApi::null;
    return entry.load(std::memory_order_acquire)->chooseApi(forced);
}

PlaybackRing* AudioLibrary::createPlaybackRing(AudioApi api) {
    return load() ? entry.load(std::memory_order_acquire)->createPlaybackRing(api) : nullptr;
}

CaptureQueue* AudioLibrary::createCaptureQueue(AudioApi api) {
    return load() ? entry.load(std::memory_order_acquire)->createCaptureQueue(api) : nullptr;
}

void AudioLibrary::setHurried(bool on) {
    hurried.store(on);
    if (const AudioLibraryEntry* loaded = entry.load(std::memory_order_acquire)) loaded->setHurried(on);
}

} // namespace sonabel
