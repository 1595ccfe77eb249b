#pragma once
// Where RtAudio meets the soundcard layers: its exceptions become the result
// codes the soundcard classes print, and our API choice becomes its API.
// Only the RtAudio layers include this.

#include "io/AudioApi.h"

#include <RtAudio.h>

#include <cstdint>

namespace sonabel {

RtAudio::Api getRtAudioApi(AudioApi api);
// The nearest playback code (dsresult) of an RtAudio failure: a busy device
// is "allocated", a missing device or server "noDriver", a refused rate or
// format "badFormat".
uint32_t getPlaybackResult(const RtAudioError& error);
// The same for capture (mmresult).
uint32_t getCaptureResult(const RtAudioError& error);
// steady_clock's now in nanoseconds: callbacks stamp their last visit with
// it, and a stream whose callback stays away too long has died.
int64_t getSteadyNanos();
// A client name of our own for the server's patchbay: "sonabel-out-1234".
void makeStreamName(char* name, int size, const char* role);

} // namespace sonabel
