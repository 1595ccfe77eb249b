#pragma once
// Which sound system the soundcard classes use. By default JACK when a JACK
// server runs, else PulseAudio (or PipeWire's PulseAudio side) when its
// server answers, else ALSA when it has devices, else only the null device.
// SONABEL_AUDIO_API=jack|pulse|alsa|null forces one.

namespace sonabel {

enum class AudioApi { jack, pulse, alsa, null };

// Decides afresh on every call (it probes the servers: interface thread).
AudioApi chooseAudioApi();
// "JACK", "PulseAudio", "ALSA" or "Null".
const char* getAudioApiName(AudioApi api);

} // namespace sonabel
