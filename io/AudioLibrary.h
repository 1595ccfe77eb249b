#pragma once
// The sound-system layers (RtAudio on JACK, PulseAudio and ALSA) live in a
// library of their own, libsonabel-audio, loaded here on first use: a
// program that only renders files never loads a sound-system library, and
// starts in a few milliseconds.
//
// Call sequence: the device classes call chooseApi when they first list
// their devices, and createPlaybackRing / createCaptureQueue for the API it
// chose; the first of these calls loads the library (interface thread).
// A library that cannot be loaded is a level-1 error, said once; the null
// device still works. setHurried may come from a signal handler at any
// time, before or after the load.
//
// The library is looked for in ../lib/sonabel beside the program (an
// installed program), then in the build tree, then on the system's library
// path; SONABEL_AUDIO_LIBRARY names another file.

#include "io/AudioApi.h"

#include <atomic>
#include <mutex>
#include <string>

namespace sonabel {

class CaptureQueue;
class PlaybackRing;
struct AudioLibraryEntry;

class AudioLibrary {
public:
    // The file name looked up on the library path.
    static constexpr const char* defaultFileName = "libsonabel-audio.so";

    // file: what to load; empty for SONABEL_AUDIO_LIBRARY, else the first
    // place above that has it (looked up at the first load).
    explicit AudioLibrary(std::string file = {});
    // The library stays loaded: its threads may outlive any owner.
    ~AudioLibrary() = default;
    AudioLibrary(const AudioLibrary&) = delete;
    AudioLibrary& operator=(const AudioLibrary&) = delete;

    // The one the program's device classes use.
    static AudioLibrary& instance();

    // The sound system to use (see AudioApi.h). SONABEL_AUDIO_API=null
    // answers without loading anything; AudioApi::null when the library
    // cannot be loaded (the load error has told the user).
    AudioApi chooseApi(bool* forced = nullptr);
    // A new layer on api, owned by the caller; null when the library cannot
    // be loaded.
    PlaybackRing* createPlaybackRing(AudioApi api);
    CaptureQueue* createCaptureQueue(AudioApi api);
    // Ctrl-C: no wait for a sound system lasts long (RtAudioStream). Kept
    // for a library loaded later. Async-signal-safe.
    void setHurried(bool hurried);

    // Loads the library if that was not tried yet; false (after the error)
    // when it cannot be.
    bool load();
    bool isLoaded() const { return entry.load(std::memory_order_acquire) != nullptr; }
    // Why the load failed ("" before a failure).
    const std::string& getLoadError() const { return loadError; }

private:
    std::string file;
    std::mutex loading;
    bool tried = false;
    std::string loadError;
    std::atomic<const AudioLibraryEntry*> entry{nullptr};
    std::atomic<bool> hurried{false};
};

} // namespace sonabel
