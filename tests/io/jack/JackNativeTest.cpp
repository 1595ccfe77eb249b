// What the sound library does on JACK through libjack itself: the device
// listing (one client of ours) agrees with RtAudio's own, port for port,
// also for the odd cases RtAudio's rules make; our streams' ports carry our
// names and are connected to the server's ports by them; and a stream left
// on a server that froze is never closed on it afterwards.

#include "LiveAudio.h"
#include "TestStreams.h"
#include "io/DirectSoundWriter.h"
#include "io/JackDeviceList.h"
#include "io/MMEReader.h"
#include "io/TickProviderChoice.h"

#include <RtAudio.h>
#include <gtest/gtest.h>
#include <jack/jack.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace sonabel;
using namespace sonabel::test;

namespace {

// Clients of the test's own, closed at the end.
struct Clients {
    std::map<std::string, jack_client_t*> open;
    jack_client_t* get(const std::string& name) {
        jack_client_t*& c = open[name];
        if (!c) c = jack_client_open(name.c_str(), static_cast<jack_options_t>(JackNoStartServer | JackUseExactName), nullptr);
        return c;
    }
    bool add(const std::string& client, const char* port, const char* type, unsigned long flags) {
        jack_client_t* c = get(client);
        return c && jack_port_register(c, port, type, flags, 0) != nullptr;
    }
    ~Clients() {
        for (auto& [name, c] : open)
            if (c) jack_client_close(c);
    }
};

// `jack_lsp -c` as a user runs it: each port, with the ports connected to
// it indented below.
std::map<std::string, std::vector<std::string>> listConnections() {
    std::map<std::string, std::vector<std::string>> ports;
    FILE* p = ::popen("jack_lsp -c 2>/dev/null", "r");
    if (!p) return ports;
    char line[512];
    std::string current;
    while (std::fgets(line, sizeof line, p)) {
        std::string s(line);
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
        if (s.empty()) continue;
        if (s[0] == ' ') ports[current].push_back(s.substr(s.find_first_not_of(' ')));
        else ports[current = s];
    }
    ::pclose(p);
    return ports;
}

} // namespace

TEST(JackNative, ListingAgreesWithRtAudiosOwn) {
    // Beside the server's own ports: a client whose ports are not together
    // (listed twice), a name that is part of "system" (its count takes the
    // server's ports too), MIDI ports (not audio), and a name that is no
    // valid expression (not probed).
    const std::string pid = std::to_string(::getpid());
    const std::string a = "sonabel-la-" + pid, midi = "sonabel-lm-" + pid, odd = "sonabel-l(" + pid;
    Clients clients;
    ASSERT_TRUE(clients.add(a, "o1", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput));
    ASSERT_TRUE(clients.add(a, "i1", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput));
    ASSERT_TRUE(clients.add("sys", "x", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput));
    ASSERT_TRUE(clients.add(a, "o2", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput));
    ASSERT_TRUE(clients.add(midi, "m", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput));
    ASSERT_TRUE(clients.add(odd, "y", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput));

    RtAudio rt(RtAudio::UNIX_JACK);
    rt.showWarnings(false);
    JackDeviceList list;
    ASSERT_TRUE(list.probe());
    const unsigned int count = rt.getDeviceCount();
    ASSERT_EQ(list.getDevices().size(), count);
    std::vector<std::string> outputs, inputs;
    for (unsigned int i = 0; i < count; ++i) {
        const RtAudio::DeviceInfo info = rt.getDeviceInfo(i);
        const JackDeviceList::Device& d = list.getDevices()[i];
        EXPECT_EQ(d.name, info.name) << "device " << i;
        EXPECT_EQ(d.outputChannels, info.probed ? info.outputChannels : 0) << info.name;
        EXPECT_EQ(d.inputChannels, info.probed ? info.inputChannels : 0) << info.name;
        if (info.probed && info.outputChannels > 0) outputs.push_back(info.name + " (JACK)");
        if (info.probed && info.inputChannels > 0) inputs.push_back(info.name + " (JACK)");
        if (info.probed) {
            EXPECT_EQ(list.getSampleRate(), info.preferredSampleRate);
        }
    }
    // The odd cases are there, as RtAudio sees them.
    auto named = [&](const std::string& name) {
        int n = 0;
        for (const auto& d : list.getDevices()) n += d.name == name;
        return n;
    };
    EXPECT_GE(named(a), 2) << "a client whose ports are apart is two devices";
    EXPECT_EQ(named(midi), 0) << "MIDI ports are no device";
    EXPECT_EQ(named(odd), 1);
    EXPECT_EQ(list.getDevices()[static_cast<size_t>(list.find("sys", false))].inputChannels, 3u);
    EXPECT_EQ(list.find(odd, true), -1) << "a device RtAudio cannot probe is not offered";

    // What the program lists, before its null device.
    DirectSoundWriter writer;
    MMEReader reader;
    std::vector<std::string> listedOut, listedIn;
    for (int i = 0; i + 1 < writer.getDeviceCount(); ++i) listedOut.push_back(writer.getDeviceName(i));
    for (int i = 0; i + 1 < reader.getDeviceCount(); ++i) listedIn.push_back(reader.getDeviceName(i));
    EXPECT_EQ(listedOut, outputs);
    EXPECT_EQ(listedIn, inputs);
}

TEST(JackNative, OurPortsCarryOurNamesAndAreConnectedByThem) {
    NoiseReader source;
    DirectSoundWriter writer;
    MMEReader reader;
    LiveEngine engine;
    engine.mixer.addInput(&source, 1.0f, false);
    engine.mixer.addInput(&reader, 1.0f, false);
    engine.sync.addWriter(&writer);
    ASSERT_TRUE(writer.isStarted());
    ASSERT_TRUE(reader.isStarted());
    chooseTickProvider(&engine.sync, &writer, &reader);

    const std::string pid = std::to_string(::getpid());
    const auto ports = listConnections();
    struct Expected {
        std::string port;
        std::string peer;
    };
    const std::vector<Expected> expected = {
        {"sonabel-out-" + pid + ":out_1", "system:playback_1"},
        {"sonabel-out-" + pid + ":out_2", "system:playback_2"},
        {"sonabel-in-" + pid + ":in_1", "system:capture_1"},
        {"sonabel-in-" + pid + ":in_2", "system:capture_2"},
    };
    for (const Expected& e : expected) {
        const auto it = ports.find(e.port);
        ASSERT_NE(it, ports.end()) << e.port << " is not there";
        EXPECT_EQ(it->second, std::vector<std::string>{e.peer}) << e.port;
    }
    for (const auto& [port, peers] : ports)
        EXPECT_EQ(port.find("port "), std::string::npos) << port << " kept RtAudio's name";

    engine.sync.removeWriter(&writer);
    engine.mixer.removeInput(&reader);
    engine.mixer.removeInput(&source);
    chooseTickProvider(&engine.sync, nullptr, nullptr);
    reader.close();
}

// A capture whose server froze is closed without waiting (its call is
// abandoned); the server is then killed while still frozen. The stream left
// behind must not be closed on the dead client afterwards: the program goes
// on, and sees that no server runs.
TEST(JackNative, StreamLeftOnAFrozenServerThatIsKilledCrashesNothing) {
    const std::string name = std::string(SONABEL_JACK_SERVER) + "-left";
    const std::string script = std::string("sh ") + SONABEL_JACK_SCRIPT + " ";
    ASSERT_EQ(std::system((script + "start " + name + " " + SONABEL_JACK_DIR + " >/dev/null").c_str()), 0);
    std::FILE* f = std::fopen((std::string(SONABEL_JACK_DIR) + "/" + name + ".pid").c_str(), "r");
    ASSERT_NE(f, nullptr);
    int pid = 0;
    ASSERT_EQ(std::fscanf(f, "%d", &pid), 1);
    std::fclose(f);
    setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
    {
        MMEReader reader;
        LiveEngine engine;
        engine.mixer.addInput(&reader, 1.0f, false);
        ASSERT_TRUE(reader.isStarted());
        chooseTickProvider(&engine.sync, nullptr, &reader);
        EXPECT_TRUE(waitFor([&] { return engine.sync.getPosition() > 44100 / 4; }, 10000)) << "no tick came";
        ::kill(pid, SIGSTOP);
        EXPECT_TRUE(waitFor([&] { return !reader.isStarted(); }, 15000)) << "the reader still claims to capture";
        engine.mixer.removeInput(&reader);
        chooseTickProvider(&engine.sync, nullptr, nullptr);
        reader.close();
        ::kill(pid, SIGKILL);
        // The abandoned call comes back now, its server gone.
        std::this_thread::sleep_for(std::chrono::seconds(2));
    }
    // JACK is forced, so not even the null device is offered.
    DirectSoundWriter writer;
    EXPECT_EQ(writer.getDeviceCount(), 0) << "a device of the killed server is listed";
    std::system((script + "stop " + name + " " + SONABEL_JACK_DIR).c_str());
    setenv("JACK_DEFAULT_SERVER", SONABEL_JACK_SERVER, 1);
}
