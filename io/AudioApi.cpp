#include "io/AudioApi.h"

#include "core/Log.h"

#include <RtAudio.h>
#include <alsa/asoundlib.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace sonabel {

namespace {

unsigned int countDevices(RtAudio::Api api) {
    try {
        RtAudio audio(api);
        audio.showWarnings(false);
        if (audio.getCurrentApi() != api) return 0;
        return audio.getDeviceCount();
    } catch (const RtAudioError&) {
        return 0;
    }
}

// True when something accepts connections on the PulseAudio socket. Asking
// RtAudio would not tell: its PulseAudio side always lists one device.
bool pulseServerAnswers() {
    std::string path;
    if (const char* server = std::getenv("PULSE_SERVER")) {
        path = server;
        if (path.rfind("unix:", 0) == 0) path = path.substr(5);
        if (path.empty() || path[0] != '/') return !path.empty(); // a network server: trust it
    } else if (const char* runtime = std::getenv("XDG_RUNTIME_DIR")) {
        path = std::string(runtime) + "/pulse/native";
    } else {
        return false;
    }
    sockaddr_un address{};
    if (path.size() >= sizeof(address.sun_path)) return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool answers = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return answers;
}

// ALSA prints its complaints (no card, no configuration) straight to the
// terminal; they go to the log instead, where the rest of the diagnosis is.
void alsaMessage(const char* file, int line, const char* function, int err, const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    logDebug(3, "ALSA %s:%d (%s): %s%s%s", file ? file : "?", line, function ? function : "?", text, err ? ": " : "",
             err ? snd_strerror(err) : "");
}

struct AlsaMessagesToLog {
    AlsaMessagesToLog() { snd_lib_error_set_handler(alsaMessage); }
} alsaMessagesToLog;

} // namespace

AudioApi chooseAudioApi() {
    if (const char* forced = std::getenv("SONABEL_AUDIO_API")) {
        if (std::strcmp(forced, "jack") == 0) return AudioApi::jack;
        if (std::strcmp(forced, "pulse") == 0) return AudioApi::pulse;
        if (std::strcmp(forced, "alsa") == 0) return AudioApi::alsa;
        if (std::strcmp(forced, "null") == 0) return AudioApi::null;
        logError(2, "SONABEL_AUDIO_API=%s is not one of jack, pulse, alsa, null; choosing by itself.", forced);
    }
    if (countDevices(RtAudio::UNIX_JACK) > 0) return AudioApi::jack;
    if (pulseServerAnswers()) return AudioApi::pulse;
    if (countDevices(RtAudio::LINUX_ALSA) > 0) return AudioApi::alsa;
    return AudioApi::null;
}

const char* getAudioApiName(AudioApi api) {
    switch (api) {
    case AudioApi::jack: return "JACK";
    case AudioApi::pulse: return "PulseAudio";
    case AudioApi::alsa: return "ALSA";
    case AudioApi::null: break;
    }
    return "Null";
}

} // namespace sonabel
