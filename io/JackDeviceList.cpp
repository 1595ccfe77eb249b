#include "io/JackDeviceList.h"

#include <jack/jack.h>

#include <cstdio>
#include <mutex>

#include <unistd.h>

namespace sonabel {

namespace {

// libjack prints its complaints (no server, a bad expression) to the
// terminal; a missing server is said in our own words instead.
void quiet(const char*) {}

unsigned int countPorts(jack_client_t* client, const std::string& pattern, unsigned long flags) {
    const char** ports = jack_get_ports(client, pattern.c_str(), JACK_DEFAULT_AUDIO_TYPE, flags);
    unsigned int n = 0;
    if (ports) {
        while (ports[n]) ++n;
        jack_free(ports);
    }
    return n;
}

} // namespace

bool JackDeviceList::probe() {
    devices.clear();
    sampleRate = 0;
    // Set once by us: the functions are the library's globals. (RtAudio sets
    // its own ones again with every stream it makes.)
    static std::once_flag quieted;
    std::call_once(quieted, [] {
        jack_set_error_function(&quiet);
        jack_set_info_function(&quiet);
    });
    // The process id keeps the name ours alone: two clients of one name on
    // two servers of one user share one socket, and turn each other away.
    char name[48];
    std::snprintf(name, sizeof name, "sonabel-devices-%d", static_cast<int>(::getpid()));
    jack_client_t* client = jack_client_open(name, JackNoStartServer, nullptr);
    if (!client) return false;
    sampleRate = jack_get_sample_rate(client);
    if (const char** ports = jack_get_ports(client, nullptr, JACK_DEFAULT_AUDIO_TYPE, 0)) {
        std::string previous;
        for (size_t i = 0; ports[i]; ++i) {
            const std::string port = ports[i];
            const size_t colon = port.find(':');
            if (colon == std::string::npos) continue;
            const std::string owner = port.substr(0, colon);
            if (owner == previous) continue;
            previous = owner;
            devices.push_back(Device{owner, 0, 0});
        }
        jack_free(ports);
    }
    for (Device& d : devices) {
        // The name is an expression to the server, as it is to RtAudio.
        d.outputChannels = countPorts(client, d.name, JackPortIsInput);
        d.inputChannels = countPorts(client, d.name, JackPortIsOutput);
    }
    jack_client_close(client);
    return true;
}

int JackDeviceList::find(const std::string& name, bool output) const {
    for (size_t i = 0; i < devices.size(); ++i) {
        const Device& d = devices[i];
        if (d.name == name && (output ? d.outputChannels : d.inputChannels) > 0) return static_cast<int>(i);
    }
    return -1;
}

} // namespace sonabel
