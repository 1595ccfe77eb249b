// The soundcard classes on PulseAudio: a private server with one null sink,
// the writer playing noise into it as the clock, and the reader capturing
// the sink's monitor. The noise must arrive, and a server killed under both
// must be reported by both. A machine without PulseAudio skips the tests
// and says why.

#include "LiveAudio.h"
#include "LogCapture.h"
#include "io/TickProviderChoice.h"
#include "io/DirectSoundWriter.h"
#include "io/MMEReader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace sonabel;
using namespace sonabel::test;

namespace {

constexpr double rate = 44100.0;

// A server of this process's own, in a fresh directory, stopped and
// removed at the end.
class PulseServer {
public:
    PulseServer() {
        char path[] = "/tmp/sonabel-pulse-XXXXXX";
        if (!mkdtemp(path)) {
            reason = "no temporary directory";
            return;
        }
        dir = path;
        const std::string command = std::string("sh ") + SONABEL_PULSE_SCRIPT + " start " + dir + " 2>&1";
        FILE* out = popen(command.c_str(), "r");
        if (!out) {
            reason = "could not run " SONABEL_PULSE_SCRIPT;
            return;
        }
        char line[512];
        if (fgets(line, sizeof line, out)) reason = line;
        while (fgets(line, sizeof line, out)) {
        }
        running = pclose(out) == 0;
        if (!reason.empty() && reason.back() == '\n') reason.pop_back();
        if (!running) return;
        const std::string runtime = dir + "/runtime";
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        setenv("PULSE_SERVER", ("unix:" + runtime + "/pulse/native").c_str(), 1);
        setenv("PULSE_COOKIE", (dir + "/home/pulse/cookie").c_str(), 1);
        setenv("SONABEL_AUDIO_API", "pulse", 1);
    }
    ~PulseServer() {
        if (dir.empty()) return;
        std::system((std::string("sh ") + SONABEL_PULSE_SCRIPT + " stop " + dir).c_str());
        std::system(("rm -rf " + dir).c_str());
    }
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

    bool running = false;
    std::string reason;
    std::string dir;
};

} // namespace

TEST(PulseDevice, PlaysIntoANullSinkAndCapturesItFromTheMonitor) {
    PulseServer server;
    if (!server.running) GTEST_SKIP() << "PulseAudio is not available here: " << server.reason;

    NoiseReader source;
    DirectSoundWriter writer;
    NoticeCounter counter;
    LiveEngine engine;
    ASSERT_GE(writer.getDeviceCount(), 2);
    EXPECT_NE(std::string(writer.getDeviceName(0)).find("PulseAudio"), std::string::npos) << writer.getDeviceName(0);
    EXPECT_STREQ(writer.getDeviceName(writer.getDeviceCount() - 1), "Null device (no sound)");
    engine.mixer.addInput(&source, 1.0f, false);
    writer.addListener(&counter);
    writer.setBufferCount(4);
    MMEReader reader;
    reader.setBufferCount(30);
    reader.open();
    ASSERT_TRUE(reader.isOpen()) << "the monitor could not be opened";
    engine.sync.addWriter(&writer);
    ASSERT_TRUE(writer.isStarted());
    reader.start();
    chooseTickProvider(&engine.sync, &writer, &reader);
    ASSERT_EQ(engine.sync.getTickProvider(), &writer);

    // Three seconds of the monitor.
    std::vector<float> captured;
    SampleBuffer chunk(2, 1024);
    int pos = 0;
    const auto end = LiveClock::now() + std::chrono::seconds(20);
    while (captured.size() < 3 * 44100 && LiveClock::now() < end) {
        if (reader.available(1024) >= 1024) {
            reader.read(chunk, ++pos, 0.0f);
            captured.insert(captured.end(), chunk.getBuffer(0), chunk.getBuffer(0) + 1024);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    const int32_t played = writer.getPosition();
    engine.sync.removeWriter(&writer);
    chooseTickProvider(&engine.sync, nullptr, nullptr);
    reader.close();
    engine.mixer.removeInput(&source);
    ASSERT_GE(captured.size(), 3u * 44100u) << "the monitor delivered too little";
    EXPECT_GT(played, 44100) << "the writer's clock did not run";

    double energy = 0;
    for (size_t i = captured.size() - 44100; i < captured.size(); ++i) energy += captured[i] * captured[i];
    const double rms = std::sqrt(energy / 44100);
    const NoiseMatch match = findNoise(captured, 44100, 22050);
    std::printf("pulse: rms %.3f (played 0.289), correlation %.5f at lag %lld frames, %d underruns, %d overflows\n", rms,
                match.correlation, static_cast<long long>(match.lag), counter.underruns.load(), counter.overflows.load());
    EXPECT_GT(rms, 0.1) << "no sound arrived at the monitor";
    EXPECT_GE(match.correlation, 0.9) << "what arrived is not what was played";
}

TEST(PulseDevice, ServerKilledUnderPlaybackAndCaptureIsReportedByBothWithoutAStormOfUnderruns) {
    PulseServer server;
    if (!server.running) GTEST_SKIP() << "PulseAudio is not available here: " << server.reason;

    NoiseReader source;
    DirectSoundWriter writer;
    MMEReader reader;
    NoticeCounter played, captured;
    LiveEngine engine;
    writer.addListener(&played);
    reader.addListener(&captured);
    writer.setBufferCount(4);
    engine.mixer.addInput(&source, 1.0f, false);
    engine.mixer.addInput(&reader, 1.0f, false);
    engine.sync.addWriter(&writer);
    ASSERT_TRUE(writer.isStarted());
    ASSERT_TRUE(reader.isStarted());
    chooseTickProvider(&engine.sync, &writer, &reader);
    // The null sink asks for little in its first two seconds.
    ASSERT_TRUE(waitFor([&] { return writer.getPosition() > 3 * 44100 / 2; }, 10000)) << "playback did not get going";

    LogCapture log;
    const int underrunsBefore = played.underruns.load();
    const std::string kill = "kill -9 $(cat " + server.dir + "/pulse.pid)";
    ASSERT_EQ(std::system(kill.c_str()), 0);
    EXPECT_TRUE(waitFor([&] { return !writer.isStarted(); }, 6000)) << "the writer still claims to play";
    EXPECT_TRUE(waitFor([&] { return !reader.isStarted(); }, 6000)) << "the reader still claims to capture";
    EXPECT_EQ(log.count("ERROR: write: Failed to restore lost buffer: "), 1);
    EXPECT_EQ(log.count("ERROR: Capture from "), 1);
    // A stream on a dead server spins; before it was caught it counted a
    // few underruns at most, not hundreds a second.
    EXPECT_LT(played.underruns.load() - underrunsBefore, 20);
    const int32_t stuck = writer.getPosition();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(writer.getPosition(), stuck) << "the clock went quiet";
    std::printf("pulse killed: %d playback underruns after, %d capture underruns\n", played.underruns.load() - underrunsBefore,
                captured.underruns.load());

    engine.sync.removeWriter(&writer);
    engine.mixer.removeInput(&reader);
    chooseTickProvider(&engine.sync, nullptr, nullptr);
    engine.mixer.removeInput(&source);
}
