#pragma once
// The devices of a JACK server as RtAudio numbers, names and counts them,
// read through one client of our own. RtAudio opens a client for the count
// and one more for each device: a listing then took 0.6-0.8 s on a loaded
// machine, where this takes one client's round trips.
//
// RtAudio's rules, kept to the letter so that a device listed here is one
// RtAudio opens under the same number:
//   - the audio ports, in the server's order, are grouped by the client
//     part of their names; a new device starts whenever that part changes
//     (so a client whose ports are not together shows up more than once);
//   - a device's output channels are the audio ports that accept input and
//     whose full names match the device's name as a regular expression
//     (anywhere in the name), its input channels those that give output;
//   - a device with neither (a name that is no valid expression) is listed
//     as not probed, with no channels.
//
// Call sequence: probe (any thread; it waits for the server without a
// bound, so RtAudioStream runs it on its bounded helper thread), then the
// getters.

#include <string>
#include <vector>

namespace sonabel {

class JackDeviceList {
public:
    struct Device {
        std::string name;
        unsigned int outputChannels = 0;
        unsigned int inputChannels = 0;
    };

    JackDeviceList() = default;
    JackDeviceList(const JackDeviceList&) = delete;
    JackDeviceList& operator=(const JackDeviceList&) = delete;

    // Opens a client (never starting a server), reads the ports and the
    // sample rate, and closes it. False when no server answers.
    bool probe();

    // Every device in RtAudio's numbering, probed or not.
    const std::vector<Device>& getDevices() const { return devices; }
    // The server's sample rate, in Hz.
    unsigned int getSampleRate() const { return sampleRate; }
    // The number of the first device called name with channels on that
    // side (output: channels we play to); -1 when there is none.
    int find(const std::string& name, bool output) const;

private:
    std::vector<Device> devices;
    unsigned int sampleRate = 0;
};

} // namespace sonabel
