// The soundcard classes and sonabel-render against a JACK server that
// freezes (SIGSTOP) while they play or capture: each test has a server of
// its own, thawed (SIGCONT) and stopped at its end. Nothing may wait for
// the frozen server without a bound; the device is reported lost, and
// Ctrl-C ends the program. Also the texts of a refused format.
//
// Waits are generous (the machine is shared): a hang shows as a wait that
// runs out, after which the server is thawed so the test can end.

#include "LiveAudio.h"
#include "LogCapture.h"
#include "TestStreams.h"
#include "core/AudioDeviceFormat.h"
#include "io/DirectSoundWriter.h"
#include "io/MMEReader.h"
#include "io/TickProviderChoice.h"
#include "io/WaveFileWriter.h"

#include <gtest/gtest.h>
#include <jack/jack.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace sonabel;
using namespace sonabel::test;

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A JACK server of the test's own, the default server while it lives.
class OwnServer {
public:
    explicit OwnServer(const std::string& suffix) : name(std::string(SONABEL_JACK_SERVER) + "-" + suffix) {
        started = std::system((script() + " start " + name + " " + SONABEL_JACK_DIR + " >/dev/null").c_str()) == 0;
        pid = std::atoi(slurp(std::string(SONABEL_JACK_DIR) + "/" + name + ".pid").c_str());
        setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
    }
    ~OwnServer() {
        thaw();
        std::system((script() + " stop " + name + " " + SONABEL_JACK_DIR).c_str());
        setenv("JACK_DEFAULT_SERVER", SONABEL_JACK_SERVER, 1);
    }
    void freeze() {
        if (pid > 0 && ::kill(pid, SIGSTOP) == 0) frozen = true;
    }
    void thaw() {
        if (frozen) ::kill(pid, SIGCONT);
        frozen = false;
    }

    std::string name;
    bool started = false;
    pid_t pid = 0;
    bool frozen = false;

private:
    static std::string script() { return std::string("sh ") + SONABEL_JACK_SCRIPT; }
};

// Runs work on a thread of its own and says whether it came back within
// ms. If not, the server is thawed, so that code that waits for it can
// end, and the thread is joined.
bool comesBack(OwnServer& server, int ms, const std::function<void()>& work) {
    std::atomic<bool> done{false};
    std::thread t([&] {
        work();
        done.store(true);
    });
    const bool back = waitFor([&] { return done.load(); }, ms);
    if (!back) server.thaw();
    t.join();
    return back;
}

// How many clients whose names begin with prefix play or capture on the
// current server: their ports are connected, which happens once a stream
// has started (its ports exist from the open on, before the start).
int connectedClients(const std::string& prefix) {
    // A name of this process's own: two clients of one name on two servers
    // share a socket, and the machine may run other tests' servers.
    const std::string self = "sonabel-probe-" + std::to_string(::getpid());
    jack_client_t* probe = jack_client_open(self.c_str(), JackNoStartServer, nullptr);
    if (!probe) return 0;
    std::vector<std::string> clients;
    if (const char** ports = jack_get_ports(probe, ("^" + prefix).c_str(), nullptr, 0)) {
        for (size_t i = 0; ports[i]; ++i) {
            const std::string port = ports[i];
            const std::string client = port.substr(0, port.find(':'));
            jack_port_t* p = jack_port_by_name(probe, ports[i]);
            if (p && jack_port_connected(p) > 0 && std::find(clients.begin(), clients.end(), client) == clients.end())
                clients.push_back(client);
        }
        jack_free(ports);
    }
    jack_client_close(probe);
    return static_cast<int>(clients.size());
}

} // namespace

TEST(JackFrozenServer, FrozenMidPlayIsReportedLostAndNothingWaitsForIt) {
    OwnServer server("frozen-play");
    ASSERT_TRUE(server.started);
    NoiseReader source;
    DirectSoundWriter writer;
    LiveEngine engine;
    engine.mixer.addInput(&source, 1.0f, false);
    writer.setBufferCount(2);
    engine.sync.addWriter(&writer);
    chooseTickProvider(&engine.sync, &writer, nullptr);
    ASSERT_TRUE(waitFor([&] { return writer.getPosition() > 44100 / 2; }, 10000));

    LogCapture log;
    server.freeze();
    bool stopped = false;
    EXPECT_TRUE(comesBack(server, 20000, [&] { stopped = waitFor([&] { return !writer.isStarted(); }, 15000); }))
        << "the writer waits for the frozen server";
    EXPECT_TRUE(stopped) << "the writer still claims to play";
    EXPECT_TRUE(log.hasError("write: Failed to restore lost buffer: DSERR_NODRIVER (the JACK server does not answer)", 1));
    EXPECT_TRUE(comesBack(server, 10000, [&] {
        engine.sync.removeWriter(&writer);
        chooseTickProvider(&engine.sync, &writer, nullptr);
    })) << "switching the device off waits for the frozen server";

    // Thawed, it plays again once switched on.
    server.thaw();
    engine.sync.addWriter(&writer);
    chooseTickProvider(&engine.sync, &writer, nullptr);
    EXPECT_TRUE(writer.isStarted());
    const int32_t before = writer.getPosition();
    EXPECT_TRUE(waitFor([&] { return writer.getPosition() > before + 44100 / 2; }, 10000)) << "no playback after the thaw";
    engine.sync.removeWriter(&writer);
    chooseTickProvider(&engine.sync, nullptr, nullptr);
    engine.mixer.removeInput(&source);
}

TEST(JackFrozenServer, FrozenMidCaptureIsReportedOnceAndClosingDoesNotWait) {
    OwnServer server("frozen-capture");
    ASSERT_TRUE(server.started);
    MMEReader reader;
    NoticeCounter counter;
    LiveEngine engine;
    reader.addListener(&counter);
    engine.mixer.addInput(&reader, 1.0f, false);
    ASSERT_TRUE(reader.isStarted());
    chooseTickProvider(&engine.sync, nullptr, &reader);
    ASSERT_TRUE(waitFor([&] { return engine.sync.getPosition() > 44100 / 2; }, 10000)) << "no tick came";

    LogCapture log;
    server.freeze();
    bool stopped = false;
    EXPECT_TRUE(comesBack(server, 20000, [&] { stopped = waitFor([&] { return !reader.isStarted(); }, 15000); }));
    EXPECT_TRUE(stopped) << "the reader still claims to capture";
    EXPECT_EQ(log.count("ERROR: Capture from system (JACK) stopped: "), 1);
    EXPECT_EQ(counter.underruns.load(), 0) << "a frozen server is not an underrun";
    EXPECT_TRUE(comesBack(server, 10000, [&] {
        engine.mixer.removeInput(&reader);
        chooseTickProvider(&engine.sync, nullptr, nullptr);
        reader.close();
    })) << "closing waits for the frozen server";
}

// sonabel-render --play (and --capture with --play) on a server that
// freezes: without Ctrl-C the program ends by itself with status 1 and
// the reason; with Ctrl-C it ends at once, as interrupted.
TEST(JackFrozenServer, RenderEndsByItselfOrOnCtrlCWhenTheServerFreezes) {
    struct Case {
        const char* what;
        std::vector<std::string> args;
        bool ctrlC;
        int status;
        const char* out; // in standard output
        const char* err; // in standard error
    };
    const std::string dir = std::filesystem::temp_directory_path() / ("sonabel-frozen-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    {
        WaveFileWriter w;
        w.setFileName((dir + "/long.wav").c_str());
        w.open();
        SampleBuffer silence(2, 44100);
        for (int i = 0; i < 30; ++i) w.write(silence);
        w.close();
    }
    const std::vector<Case> cases = {
        // --stats: the summary on stdout, the messages alone on stderr.
        {"play, left alone", {"--stats", "--play", "long.wav"}, false, 1, "Played ",
         "write: Failed to restore lost buffer: DSERR_NODRIVER (the JACK server does not answer)"},
        {"play, Ctrl-C", {"--stats", "--play", "long.wav"}, true, 0, ", interrupted", ""},
        {"capture and play, Ctrl-C", {"--stats", "--capture", "30", "--play", "rec.wav"}, true, 0, ", interrupted", ""},
    };
    int serial = 0;
    for (const Case& c : cases) {
        // A server of its own per case: one that was frozen may leave its
        // name's socket behind when it is killed.
        OwnServer server("frozen-render-" + std::to_string(serial++));
        ASSERT_TRUE(server.started) << c.what;
        std::vector<std::string> argv{SONABEL_RENDER};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        std::vector<char*> raw;
        for (auto& a : argv) raw.push_back(a.data());
        raw.push_back(nullptr);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 1, (dir + "/out.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&files, 2, (dir + "/err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addchdir_np(&files, dir.c_str());
        pid_t child = 0;
        ASSERT_EQ(posix_spawn(&child, SONABEL_RENDER, &files, nullptr, raw.data(), environ), 0) << c.what;
        posix_spawn_file_actions_destroy(&files);

        // Frozen once the program plays (and captures): its clients' ports
        // are connected. Each case has a server of its own.
        const int clients = c.args[1] == "--capture" ? 2 : 1;
        EXPECT_TRUE(waitFor([&] { return connectedClients("sonabel-render") >= clients; }, 15000))
            << c.what << ": never played";
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        server.freeze();
        const auto frozenAt = LiveClock::now();
        if (c.ctrlC) ::kill(child, SIGINT);
        int status = -1;
        const bool ended = waitFor([&] { return ::waitpid(child, &status, WNOHANG) == child; }, 15000);
        const double took = secondsBetween(frozenAt, LiveClock::now());
        if (!ended) {
            server.thaw();
            if (!waitFor([&] { return ::waitpid(child, &status, WNOHANG) == child; }, 10000)) {
                ::kill(child, SIGKILL);
                ::waitpid(child, &status, 0);
            }
        }
        std::printf("%s: ended %.2f s after the freeze\n", c.what, took);
        RecordProperty(std::string(c.what) + " seconds", std::to_string(took));
        EXPECT_TRUE(ended) << c.what << ": the program waits for the frozen server";
        EXPECT_TRUE(WIFEXITED(status)) << c.what;
        EXPECT_EQ(WEXITSTATUS(status), c.status) << c.what << ": " << slurp(dir + "/err.txt");
        EXPECT_NE(slurp(dir + "/out.txt").find(c.out), std::string::npos) << c.what << ": " << slurp(dir + "/out.txt");
        EXPECT_NE(slurp(dir + "/err.txt").find(c.err), std::string::npos) << c.what << ": " << slurp(dir + "/err.txt");
    }
    std::filesystem::remove_all(dir);
}

// A format the server refuses says why, after the system's own text.
TEST(JackFrozenServer, RefusedFormatsSayWhy) {
    struct Case {
        AudioDeviceFormat format;
        const char* writerLine;
        const char* readerLine;
    };
    const std::vector<Case> cases = {
        {AudioDeviceFormat(2, 48000.0f, 16),
         "createDSound: Failed to create DirectSound: DSERR_BADFORMAT (the JACK server runs at the sample rate 44100 Hz, "
         "not at the 48000 Hz of the audio)",
         "Unable to open system (JACK): The device does not support this format. (the JACK server runs at the sample "
         "rate 44100 Hz, not at the 48000 Hz of the audio)"},
        {AudioDeviceFormat(4, 44100.0f, 16),
         "createDSound: Failed to create DirectSound: DSERR_BADFORMAT (device \"system\" has 2 output channels, fewer "
         "than the 4 of the audio)",
         "Unable to open system (JACK): The device does not support this format. (device \"system\" has 2 input "
         "channels, fewer than the 4 of the audio)"},
    };
    for (const Case& c : cases) {
        LogCapture log;
        DirectSoundWriter writer;
        writer.setDeviceFormat(c.format);
        writer.open();
        EXPECT_FALSE(writer.isOpen());
        EXPECT_TRUE(log.hasError(c.writerLine, 1)) << c.writerLine;
        MMEReader reader;
        reader.setDeviceFormat(c.format);
        reader.open();
        EXPECT_FALSE(reader.isOpen());
        EXPECT_TRUE(log.hasError(c.readerLine, 1)) << c.readerLine;
    }
}
