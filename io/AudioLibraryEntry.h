#pragma once
// What the sound-system library (libsonabel-audio) hands the program: one
// table of functions behind one extern "C" symbol, so that nothing but the
// table's layout has to agree between the two. The program loads the
// library on first use (AudioLibrary); the offline path never does.
//
// The library is linked without the engine: its references to the engine
// (the log, the ring and queue base classes) resolve against the program
// that loads it.

#include "io/AudioApi.h"

#include <cstdint>

namespace sonabel {

class CaptureQueue;
class PlaybackRing;

struct AudioLibraryEntry {
    // entryVersion of the library's build, and the table's size: a library
    // of another build is refused rather than called.
    uint32_t version;
    uint32_t size;
    // chooseAudioApi: probes the servers (interface thread).
    AudioApi (*chooseApi)(bool* forced);
    // A new RtAudio layer on api, owned by the caller (deleted through its
    // virtual destructor).
    PlaybackRing* (*createPlaybackRing)(AudioApi api);
    CaptureQueue* (*createCaptureQueue)(AudioApi api);
    // RtAudioStream::setHurried; async-signal-safe.
    void (*setHurried)(bool hurried);
};

inline constexpr uint32_t audioLibraryEntryVersion = 1;

} // namespace sonabel

// The library's one exported entry.
extern "C" const sonabel::AudioLibraryEntry* sonabelAudioEntry();
