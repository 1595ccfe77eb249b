#pragma once
// Which sound system the soundcard classes use. By default JACK when a JACK
// server runs, else PulseAudio (or PipeWire's PulseAudio side) when its
// server answers, else ALSA when it has devices, else only the null device.
// SONABEL_AUDIO_API=jack|pulse|alsa|null forces one.

namespace sonabel {

enum class AudioApi { jack, pulse, alsa, null };

// Decides afresh on every call (it probes the servers: interface thread).
// forced (if given) says whether SONABEL_AUDIO_API chose: a forced system
// that is not there is an error, never a quiet fall back to the null
// device.
AudioApi chooseAudioApi(bool* forced = nullptr);
// The value of SONABEL_AUDIO_API that forces api: "jack", "pulse", "alsa"
// or "null".
const char* getAudioApiKey(AudioApi api);
// "JACK", "PulseAudio", "ALSA" or "Null".
const char* getAudioApiName(AudioApi api);

} // namespace sonabel
