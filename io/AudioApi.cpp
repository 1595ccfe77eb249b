#include "io/AudioApi.h"

#include "core/Log.h"
#include "io/RtAudioStream.h"

#include <alsa/asoundlib.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace sonabel {

namespace {

// Devices with outputs, else with inputs; 0 when the system does not
// answer in time (a frozen server).
size_t countDevices(AudioApi api) {
    std::vector<std::string> names;
    std::string message;
    if (!RtAudioStream::listDevices(api, true, &names, &message)) return 0;
    if (names.empty()) RtAudioStream::listDevices(api, false, &names, &message);
    return names.size();
}

// True when something accepts connections on that Unix socket.
bool socketAnswers(const std::string& path) {
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
    return socketAnswers(path);
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

// JACK 2's socket, else JACK 1's. Asking RtAudio would open a JACK client
// for the count and one more per device, a few hundred milliseconds each.
bool jackServerAnswers() {
    const char* named = std::getenv("JACK_DEFAULT_SERVER");
    const std::string server = named && *named ? named : "default";
    const std::string uid = std::to_string(::getuid());
    return socketAnswers("/dev/shm/jack_" + server + "_" + uid + "_0") ||
           socketAnswers("/dev/shm/jack-" + uid + "/" + server + "/jack_0");
}

AudioApi chooseAudioApi(bool* forced) {
    if (forced) *forced = false;
    if (const char* name = std::getenv("SONABEL_AUDIO_API")) {
        AudioApi api = AudioApi::null;
        if (findAudioApi(name, &api)) {
            if (forced) *forced = true;
            return api;
        }
        logError(2, "SONABEL_AUDIO_API=%s is not one of %s; choosing by itself.", name, getAudioApiKeys());
    }
    // Like PulseAudio, JACK is taken when its server's socket answers: a
    // server that then fails to list or open says so itself.
    if (jackServerAnswers()) return AudioApi::jack;
    if (pulseServerAnswers()) return AudioApi::pulse;
    if (countDevices(AudioApi::alsa) > 0) return AudioApi::alsa;
    logDebug(1, "No sound system answers (JACK, PulseAudio, ALSA): only the null device is there.");
    return AudioApi::null;
}

} // namespace sonabel
