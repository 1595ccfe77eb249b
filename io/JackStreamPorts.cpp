#include "io/JackStreamPorts.h"

#include <RtAudio.h>
#include <jack/jack.h>


namespace sonabel {

namespace {

// RtAudio's members that hold the stream, reached through the pointers to
// members that a derived class may name.
struct RtAudioAccess : RtAudio {
    static auto api() { return &RtAudioAccess::rtapi_; }
};
struct RtApiAccess : RtApi {
    static auto stream() { return &RtApiAccess::stream_; }
};

// How RtAudio 5.2 begins its JACK stream handle: the client, then the
// playback and the capture ports.
struct JackHandleHead {
    jack_client_t* client;
    jack_port_t** ports[2];
};

// The stream's JACK handle under RtAudio 5.2; null (with why) otherwise.
const JackHandleHead* findHandle(RtAudio& audio, std::string* why) {
    const std::string version = RtAudio::getVersion();
    if (version != "5.2.0") {
        *why = "RtAudio " + version + " keeps its JACK handle in a way we do not know";
        return nullptr;
    }
    if (audio.getCurrentApi() != RtAudio::UNIX_JACK || !audio.isStreamOpen() || audio.isStreamRunning()) {
        *why = "the stream is not an open, stopped JACK stream";
        return nullptr;
    }
    RtApi* api = audio.*RtAudioAccess::api();
    const auto* handle = api ? static_cast<const JackHandleHead*>((api->*RtApiAccess::stream()).apiHandle) : nullptr;
    if (!handle || !handle->client) {
        *why = "the stream has no JACK client";
        return nullptr;
    }
    return handle;
}

void noteShutdown(void* gone) { static_cast<std::atomic<bool>*>(gone)->store(true); }

} // namespace

bool JackStreamPorts::takeShutdown(RtAudio& audio, std::atomic<bool>* gone, std::string* why) {
    const JackHandleHead* handle = findHandle(audio, why);
    if (!handle) return false;
    // Allowed on a client that is not active yet: RtAudio activates it at
    // the start.
    jack_on_shutdown(handle->client, &noteShutdown, gone);
    return true;
}

std::string JackStreamPorts::getPortName(bool output, unsigned int index) {
    return std::string(output ? "out_" : "in_") + std::to_string(index + 1);
}

bool JackStreamPorts::rename(RtAudio& audio, bool output, unsigned int channels, std::string* why) {
    const JackHandleHead* handle = findHandle(audio, why);
    jack_port_t** ports = handle ? handle->ports[output ? 0 : 1] : nullptr;
    if (!ports) {
        if (handle) *why = "the stream has no JACK ports";
        return false;
    }
    bool all = true;
    for (unsigned int i = 0; i < channels; ++i) {
        jack_port_t* port = ports[i];
        const std::string was = std::string(output ? "outport " : "inport ") + std::to_string(i);
        const std::string name = getPortName(output, i);
        if (!port || !jack_port_is_mine(handle->client, port) || was != jack_port_short_name(port)) {
            *why = "port " + std::to_string(i) + " is not RtAudio's \"" + was + "\"";
            return false;
        }
        if (jack_port_rename(handle->client, port, name.c_str()) != 0) {
            *why = "the server refused to call \"" + was + "\" \"" + name + "\"";
            all = false;
        }
    }
    return all;
}

} // namespace sonabel
