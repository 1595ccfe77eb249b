#include "io/RtAudioErrors.h"

#include "io/AudioApi.h"
#include "io/CaptureQueue.h"
#include "io/PlaybackRing.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace sonabel {

namespace {

enum class Kind { busy, badFormat, noDevice, memory, parameter, use, other };

Kind classify(const RtAudioError& error) {
    std::string text = error.getMessage();
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    auto has = [&text](const char* part) { return text.find(part) != std::string::npos; };
    if (has("busy") || has("in use") || has("allocated")) return Kind::busy;
    if (has("sample rate") || has("format") || has("channels")) return Kind::badFormat;
    if (has("server not found") || has("connection error") || has("device id is invalid") || has("no devices") ||
        has("not running") || has("does not answer") || has("is gone"))
        return Kind::noDevice;
    switch (error.getType()) {
    case RtAudioError::NO_DEVICES_FOUND:
    case RtAudioError::INVALID_DEVICE: return Kind::noDevice;
    case RtAudioError::MEMORY_ERROR: return Kind::memory;
    case RtAudioError::INVALID_PARAMETER: return Kind::parameter;
    case RtAudioError::INVALID_USE: return Kind::use;
    default: return Kind::other;
    }
}

} // namespace

RtAudio::Api getRtAudioApi(AudioApi api) {
    switch (api) {
    case AudioApi::jack: return RtAudio::UNIX_JACK;
    case AudioApi::pulse: return RtAudio::LINUX_PULSE;
    case AudioApi::alsa: return RtAudio::LINUX_ALSA;
    case AudioApi::null: break;
    }
    return RtAudio::RTAUDIO_DUMMY;
}

uint32_t getPlaybackResult(const RtAudioError& error) {
    switch (classify(error)) {
    case Kind::busy: return dsresult::allocated;
    case Kind::badFormat: return dsresult::badFormat;
    case Kind::noDevice: return dsresult::noDriver;
    case Kind::memory: return dsresult::outOfMemory;
    case Kind::parameter: return dsresult::invalidParam;
    case Kind::use: return dsresult::invalidCall;
    case Kind::other: break;
    }
    return dsresult::generic;
}

uint32_t getCaptureResult(const RtAudioError& error) {
    switch (classify(error)) {
    case Kind::busy: return mmresult::allocated;
    case Kind::badFormat: return mmresult::badFormat;
    case Kind::noDevice: return mmresult::noDriver;
    case Kind::memory: return mmresult::noMem;
    case Kind::parameter: return mmresult::invalidParam;
    case Kind::use: return mmresult::invalidHandle;
    case Kind::other: break;
    }
    return mmresult::error;
}

int64_t getSteadyNanos() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void makeStreamName(char* name, int size, const char* role) {
    if (const char* client = getAudioClientName()) {
        std::snprintf(name, static_cast<size_t>(size), "%s", client);
        return;
    }
    std::snprintf(name, static_cast<size_t>(size), "sonabel-%s-%d", role, static_cast<int>(::getpid()));
}

} // namespace sonabel
