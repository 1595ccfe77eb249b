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
// True when the JACK server the client library would use
// (JACK_DEFAULT_SERVER, else "default") listens on its socket. It opens no
// client, so it costs microseconds.
bool jackServerAnswers();
// The value of SONABEL_AUDIO_API that forces api: "jack", "pulse", "alsa"
// or "null".
const char* getAudioApiKey(AudioApi api);
// "JACK", "PulseAudio", "ALSA" or "Null".
const char* getAudioApiName(AudioApi api);
// The system a SONABEL_AUDIO_API value names; false for an unknown one.
bool findAudioApi(const char* key, AudioApi* api);
// "jack, pulse, alsa, null": the values SONABEL_AUDIO_API takes.
const char* getAudioApiKeys();

// The name the program shows the sound system: the JACK client's name
// (JACK numbers a second client of the same name), and PulseAudio's
// application.name. Set before the first device opens; by default
// "sonabel-<role>-<process id>". Interface thread.
void setAudioClientName(const char* name);
// The client name set, or null for the default.
const char* getAudioClientName();
// For PulseAudio, which RtAudio gives no name: PULSE_PROP_OVERRIDE with the
// client name, the media name (a file's name) and the role, for the
// streams opened from now on. Values the user set in PULSE_PROP are kept.
void setPulseProperties(const char* mediaName, const char* role);

} // namespace sonabel
