#include "io/AudioLibraryEntry.h"

#include "io/RtAudioCaptureQueue.h"
#include "io/RtAudioPlaybackRing.h"
#include "io/RtAudioStream.h"

namespace sonabel {

namespace {

PlaybackRing* createPlaybackRing(AudioApi api) { return new RtAudioPlaybackRing(api); }
CaptureQueue* createCaptureQueue(AudioApi api) { return new RtAudioCaptureQueue(api); }

constexpr AudioLibraryEntry entry{audioLibraryEntryVersion, sizeof(AudioLibraryEntry), &chooseAudioApi,
                                  &createPlaybackRing, &createCaptureQueue, &RtAudioStream::setHurried};

} // namespace

} // namespace sonabel

extern "C" __attribute__((visibility("default"))) const sonabel::AudioLibraryEntry* sonabelAudioEntry() {
    return &sonabel::entry;
}
