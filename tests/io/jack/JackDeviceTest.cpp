// The soundcard classes on a real JACK server (dummy driver, 44100 Hz,
// 1024-frame periods), started by the ctest fixture: the writer as the
// clock, a loopback from the writer's ports to the reader's, a stall longer
// than the write-ahead, the reader as the clock, a server killed in the
// middle of playback and in the middle of capture, and a namesake client
// on another server.
//
// They check the program, not the machine's scheduling: a server that runs
// late (an xrun of its own, counted by a client of ours) may cost us one
// underrun per xrun and the frames of the cycles it lost, and a machine
// that holds back even a thread of the ticker's real-time priority (seen by
// a watcher thread of ours) may cost us the chunks of that stall; the
// counts are printed apart. Waits for something to happen are bounded generously (a
// loaded machine takes seconds to open a device), so that a hang still
// fails but a slow machine does not.

#include "LiveAudio.h"
#include "LogCapture.h"
#include "TestStreams.h"
#include "core/DeviceListener.h"
#include "core/SampleBuffer.h"
#include "engine/AudioMixer.h"
#include "engine/AudioSynchronizer.h"
#include "io/TickProviderChoice.h"
#include "io/DirectSoundWriter.h"
#include "io/MMEReader.h"

#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/statistics.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/inotify.h>
#include <unistd.h>
#include <vector>

using namespace sonabel;
using namespace sonabel::test;
using Clock = LiveClock;

namespace {

constexpr double rate = 44100.0;

double seconds(Clock::time_point a, Clock::time_point b) { return secondsBetween(a, b); }

struct Counter : NoticeCounter {
    void notify(ListenerList* list, int code, int value) override {
        if (code == 100 && getenv("SONABEL_TRACE_UNDERRUNS"))
            std::printf("underrun at %.3f\n", std::chrono::duration<double>(Clock::now().time_since_epoch()).count());
        NoticeCounter::notify(list, code, value);
    }
};

// Sleeps once, on its stallAt-th chunk, as a filter that hangs would.
class StallFilter : public GainFilter {
public:
    explicit StallFilter(int chunk, int ms) : stallAt(chunk), stallMs(ms) {}
    void process(SampleBuffer& buffer) override {
        if (++calls == stallAt) {
            stalledAt = Clock::now();
            if (getenv("SONABEL_TRACE_UNDERRUNS"))
                std::printf("stall at %.3f\n", std::chrono::duration<double>(stalledAt.time_since_epoch()).count());
            std::this_thread::sleep_for(std::chrono::milliseconds(stallMs));
        }
        GainFilter::process(buffer);
    }
    int stallAt, stallMs;
    std::atomic<int> calls{0};
    Clock::time_point stalledAt;
};

using Engine = LiveEngine;

// A client name of this process's own. Two clients of one name on two
// servers share a socket, and the machine may run other tests' servers.
std::string ownClientName(const char* role) { return std::string("sonabel-") + role + "-" + std::to_string(::getpid()); }

// The server's own xruns while it lives, and the frames it skipped, from a
// client of ours. A server that wakes late does not run the cycles it
// missed: its frame clock jumps by the time it lost, and every clock that
// follows the server loses as much. That is the machine's, not ours.
class ServerXruns {
public:
    struct Mark {
        int xruns = 0;
        int64_t skipped = 0;
        jack_nframes_t frame = 0;
    };

    ServerXruns() : watcher([this] { watch(); }) {
        client = jack_client_open(ownClientName("xruns").c_str(), JackNoStartServer, nullptr);
        if (!client) return;
        jack_set_xrun_callback(client, &onXrun, this);
        jack_set_process_callback(client, &onProcess, this);
        if (jack_activate(client) != 0) {
            jack_client_close(client);
            client = nullptr;
        }
    }
    ~ServerXruns() {
        if (client) jack_client_close(client);
        watching.store(false);
        watcher.join();
    }
    ServerXruns(const ServerXruns&) = delete;
    ServerXruns& operator=(const ServerXruns&) = delete;

    int count() const { return xruns.load(); }
    Mark mark() const { return {xruns.load(), skipped.load(), client ? jack_frame_time(client) : 0}; }
    // Frames the server ran its cycles for since the mark: the advance of its
    // frame clock, less the cycles it skipped. A clock that follows the
    // server advances as much, whatever the machine's own pace.
    double servedFrames(const Mark& since) const {
        const jack_nframes_t now = client ? jack_frame_time(client) : 0;
        return static_cast<double>(static_cast<jack_nframes_t>(now - since.frame)) -
               static_cast<double>(skipped.load() - since.skipped);
    }
    // Frames the server's xruns may have cost a clock since the mark: a
    // period for each, the time it reported late, and the frames it skipped.
    double lostFrames(const Mark& since) const {
        return (count() - since.xruns) * 1024.0 + static_cast<double>(delayedMicros.load()) * 1e-6 * rate +
               static_cast<double>(skipped.load() - since.skipped);
    }
    // Stalls of the machine that held a real-time thread back a period or
    // more, and the periods they lasted.
    int stalls() const { return stallCount.load(); }
    int stalledPeriods() const { return stallPeriods.load(); }
    // Underruns of ours a test tolerates: one for each xrun of the server
    // and each stall of the machine.
    int allowance() const { return count() + stalls(); }
    // Empty blocks of the device a test tolerates: a stall empties one for
    // each period it lasted.
    int blockAllowance() const { return count() + stalledPeriods(); }

private:
    // The ticker's real-time priority, and the watcher's.
    static constexpr int tickerPriority = 3;
    static constexpr double periodMillis = 1024.0 / 44.1;

    // Wakes every 2 ms at the ticker's priority and notes how late it woke:
    // whatever held it back held the ticker back as much.
    void watch() {
        sched_param param{};
        param.sched_priority = tickerPriority;
        pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
        auto due = Clock::now();
        while (watching.load()) {
            due += std::chrono::milliseconds(2);
            std::this_thread::sleep_until(due);
            const double late = std::chrono::duration<double, std::milli>(Clock::now() - due).count();
            if (late >= periodMillis) {
                stallCount.fetch_add(1);
                stallPeriods.fetch_add(static_cast<int>(late / periodMillis));
                due = Clock::now();
            }
        }
    }

    static int onXrun(void* self) {
        auto* x = static_cast<ServerXruns*>(self);
        x->xruns.fetch_add(1);
        x->delayedMicros.fetch_add(static_cast<int64_t>(jack_get_xrun_delayed_usecs(x->client)));
        return 0;
    }
    static int onProcess(jack_nframes_t frames, void* self) {
        auto* x = static_cast<ServerXruns*>(self);
        const jack_nframes_t now = jack_last_frame_time(x->client);
        if (x->cycles++ > 0 && now - x->lastFrame > frames) x->skipped.fetch_add(now - x->lastFrame - frames);
        x->lastFrame = now;
        return 0;
    }
    jack_client_t* client = nullptr;
    std::atomic<int> xruns{0};
    std::atomic<int64_t> delayedMicros{0};
    std::atomic<int64_t> skipped{0};
    std::atomic<bool> watching{true};
    std::atomic<int> stallCount{0};
    std::atomic<int> stallPeriods{0};
    std::thread watcher;
    // The process thread's own.
    int64_t cycles = 0;
    jack_nframes_t lastFrame = 0;
};

// Connects our playback ports to our capture ports.
bool connectLoopback(int channels) {
    jack_client_t* client = jack_client_open(ownClientName("patch").c_str(), JackNoStartServer, nullptr);
    if (!client) return false;
    bool ok = true;
    const int pid = static_cast<int>(::getpid());
    for (int c = 0; c < channels; ++c) {
        const std::string out = "sonabel-out-" + std::to_string(pid) + ":out_" + std::to_string(c + 1);
        const std::string in = "sonabel-in-" + std::to_string(pid) + ":in_" + std::to_string(c + 1);
        const int r = jack_connect(client, out.c_str(), in.c_str());
        if (r != 0 && r != EEXIST) ok = false;
    }
    jack_client_close(client);
    return ok;
}

// Whether the Unix socket bound at path is one of this process's own
// (other tests on the machine may have a client of the same name).
bool ownSocket(const std::string& path) {
    // Num RefCount Protocol Flags Type St Inode Path
    std::ifstream table("/proc/net/unix");
    std::vector<std::string> sockets;
    std::string line;
    while (std::getline(table, line)) {
        if (line.size() < path.size() || line.compare(line.size() - path.size(), path.size(), path) != 0) continue;
        std::istringstream fields(line);
        std::string field;
        for (int i = 0; i < 7 && fields >> field; ++i) {}
        sockets.push_back("socket:[" + field + "]");
    }
    std::error_code error;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        const std::string target = std::filesystem::read_symlink(fd.path(), error).string();
        if (std::find(sockets.begin(), sockets.end(), target) != sockets.end()) return true;
    }
    return false;
}

} // namespace

TEST(JackDevice, ListsTheServersPortsFirstAndTheNullDeviceLast) {
    DirectSoundWriter writer;
    ASSERT_GE(writer.getDeviceCount(), 2);
    EXPECT_STREQ(writer.getDeviceName(0), "system (JACK)");
    EXPECT_STREQ(writer.getDeviceName(writer.getDeviceCount() - 1), "Null device (no sound)");
    MMEReader reader;
    ASSERT_GE(reader.getDeviceCount(), 2);
    EXPECT_STREQ(reader.getDeviceName(0), "system (JACK)");
}

TEST(JackDevice, WriterIsTheClockAtTheServersRate) {
    ServerXruns server;
    NoiseReader source;
    DirectSoundWriter writer;
    Counter counter;
    Engine engine;
    engine.mixer.addInput(&source, 1.0f, false);
    writer.addListener(&counter);
    writer.setBufferCount(2); // two chunks of write-ahead
    engine.sync.addWriter(&writer);
    ASSERT_TRUE(writer.isStarted());
    chooseTickProvider(&engine.sync, &writer, nullptr);
    ASSERT_EQ(engine.sync.getTickProvider(), &writer);

    ASSERT_TRUE(waitFor([&] { return writer.getPosition() > 0; }, 10000)) << "no tick came";
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const auto t0 = Clock::now();
    const int32_t p0 = writer.getPosition();
    const ServerXruns::Mark x0 = server.mark();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const auto t1 = Clock::now();
    const int32_t p1 = writer.getPosition();
    const double served = server.servedFrames(x0);
    const double measured = (p1 - p0) / seconds(t0, t1);
    const auto emptyBlocks = static_cast<int>(writer.getDeviceEmptyBlocks());
    std::printf("writer clock: %.1f frames/s over %.2f s, the server's %.1f; underruns %d (empty blocks %d), server "
                "xruns %d, machine stalls %d (%d periods)\n",
                measured, seconds(t0, t1), served / seconds(t0, t1), counter.underruns.load(), emptyBlocks,
                server.count(), server.stalls(), server.stalledPeriods());
    RecordProperty("frames_per_second", std::to_string(measured));
    // The writer follows the frames the server played, within a chunk at
    // each end of the window, the write-ahead's fill, and the blocks that
    // played empty.
    EXPECT_NEAR(p1 - p0, served, 3 * 1024.0 + 1024.0 * emptyBlocks) << "the writer does not keep the server's pace";
    EXPECT_LE(measured, rate * 1.01) << "the writer runs ahead of any server";
    EXPECT_LE(counter.underruns.load(), server.allowance());
    // The device's own counts: empty blocks are ours, its xruns the server's.
    EXPECT_LE(writer.getDeviceEmptyBlocks(), server.blockAllowance());
    EXPECT_LE(writer.getServerXruns(), server.count());
    EXPECT_EQ(counter.overflows.load(), 0);
    // At most the write-ahead is on its way.
    EXPECT_NEAR(engine.sync.getPosition(), writer.getPosition(), writer.getWriteAheadBytes() / 4)
        << "every chunk reached the device";
    engine.sync.removeWriter(&writer);
    chooseTickProvider(&engine.sync, &writer, nullptr);
    EXPECT_EQ(engine.sync.getTickProvider(), nullptr);
    engine.mixer.removeInput(&source);
}

TEST(JackDevice, LoopbackCapturesWhatWasPlayed) {
    ServerXruns server;
    NoiseReader source;
    DirectSoundWriter writer;
    Counter counter;
    Engine engine;
    engine.mixer.addInput(&source, 1.0f, false);
    writer.addListener(&counter);
    writer.setBufferCount(2);
    MMEReader reader;
    // 30 buffers (0.7 s): the capture keeps every frame until the loop
    // below reads it, so its frame count is its clock.
    reader.setBufferCount(30);
    reader.open();
    ASSERT_TRUE(reader.isOpen());
    engine.sync.addWriter(&writer);
    ASSERT_TRUE(writer.isStarted());
    reader.start();
    chooseTickProvider(&engine.sync, &writer, &reader);
    ASSERT_TRUE(connectLoopback(2)) << "could not connect the ports";

    // Read the capture as it arrives, three seconds of it.
    std::vector<float> captured;
    SampleBuffer chunk(2, 1024);
    int pos = 0;
    const auto end = Clock::now() + std::chrono::seconds(20);
    // The capture's clock: buffer k (frames k*1024 ..) arrives at
    // captureStart + (k+1)*1024 / rate. A buffer is never seen before it is
    // full, but may be seen late (the loop below starts after a few have
    // arrived), so the earliest sighting sets the clock.
    double captureStart = 1e300;
    while (captured.size() < 3 * 44100 && Clock::now() < end) {
        if (reader.available(1024) >= 1024) {
            const double seenAt = seconds(Clock::time_point{}, Clock::now());
            reader.read(chunk, ++pos, 0.0f);
            captured.insert(captured.end(), chunk.getBuffer(0), chunk.getBuffer(0) + 1024);
            captureStart = std::min(captureStart, seenAt - static_cast<double>(captured.size()) / rate);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    engine.sync.removeWriter(&writer);
    chooseTickProvider(&engine.sync, nullptr, nullptr);
    reader.close();
    engine.mixer.removeInput(&source);
    ASSERT_GE(captured.size(), 3u * 44100u);

    // Where does noise frame 22050 turn up in the capture?
    const int64_t probe = 22050;
    const NoiseMatch match = findNoise(captured, probe, 44100);
    ASSERT_TRUE(match.found) << "the played noise was not found in the capture";
    const int64_t bestLag = match.lag;
    const double correlation = match.correlation;
    EXPECT_GE(correlation, 0.99);

    // Latency: from the moment the mixer made a frame to the moment the
    // capture holds it (its buffer has arrived), on the capture's clock. The
    // server moves the output ports' data to the input ports within one
    // cycle, so all of it is the write-ahead.
    double sum = 0;
    int64_t count = 0;
    {
        std::lock_guard guard(source.mutex);
        for (size_t i = 0; i + 1 < source.times.size(); ++i) {
            const int64_t from = source.times[i].frame, to = source.times[i + 1].frame;
            if (from < probe || to > probe + 44100) continue;
            const double madeAt = seconds(Clock::time_point{}, source.times[i].when);
            for (int64_t frame = from; frame < to; ++frame) {
                const double heldAt = captureStart + static_cast<double>(((frame + bestLag) / 1024 + 1) * 1024) / rate;
                sum += heldAt - madeAt;
                ++count;
            }
        }
    }
    ASSERT_GT(count, 0);
    const double latencyFrames = sum / static_cast<double>(count) * rate;
    const double writeAhead = writer.getWriteAheadBytes() / 4.0;
    std::printf("loopback: correlation %.5f, latency %.0f frames (write-ahead %.0f, server period 1024); underruns %d, "
                "server xruns %d\n",
                correlation, latencyFrames, writeAhead, counter.underruns.load(), server.count());
    RecordProperty("latency_frames", std::to_string(latencyFrames));
    // Cycles the server lost move the capture's clock.
    EXPECT_NEAR(latencyFrames, writeAhead, 1024.0 + server.lostFrames({}));
    EXPECT_LE(counter.underruns.load(), server.allowance());
}

TEST(JackDevice, CaptureThroughToPlaybackStartsWithoutUnderruns) {
    // The writer is the clock and the capture the source: filling the
    // write-ahead at the start must not run the capture dry.
    ServerXruns server;
    MMEReader reader;
    DirectSoundWriter writer;
    Counter captureCounter, playCounter;
    Engine engine;
    reader.addListener(&captureCounter);
    writer.addListener(&playCounter);
    engine.mixer.addInput(&reader, 1.0f, false);
    engine.sync.addWriter(&writer);
    ASSERT_TRUE(reader.isStarted());
    ASSERT_TRUE(writer.isStarted());
    chooseTickProvider(&engine.sync, &writer, &reader);
    ASSERT_EQ(engine.sync.getTickProvider(), &writer);
    ASSERT_TRUE(waitFor([&] { return writer.getPosition() > 2 * 44100; }, 10000)) << "no two seconds played";
    std::printf("capture underruns %d, playback underruns %d, server xruns %d\n", captureCounter.underruns.load(),
                playCounter.underruns.load(), server.count());
    EXPECT_LE(captureCounter.underruns.load(), server.allowance());
    EXPECT_LE(playCounter.underruns.load(), server.allowance());
    EXPECT_EQ(playCounter.overflows.load(), 0);
    engine.sync.removeWriter(&writer);
    chooseTickProvider(&engine.sync, nullptr, nullptr);
    engine.mixer.removeInput(&reader);
    reader.close();
}

TEST(JackDevice, StallLongerThanTheWriteAheadGivesOneUnderrunAndPlaybackGoesOn) {
    ServerXruns server;
    NoiseReader source;
    StallFilter stall(40, 600); // about a second in
    DirectSoundWriter writer;
    Counter counter;
    Engine engine;
    engine.mixer.addInput(&source, 1.0f, false);
    engine.mixer.addFilter(&stall);
    writer.addListener(&counter);
    writer.setBufferCount(4); // 93 ms of write-ahead, far less than the stall
    engine.sync.addWriter(&writer);
    chooseTickProvider(&engine.sync, &writer, nullptr);

    ASSERT_TRUE(waitFor([&] { return stall.calls.load() > 40; }, 15000));
    ASSERT_TRUE(waitFor([&] { return counter.underruns.load() > 0; }, 5000)) << "no underrun was reported";
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const auto t0 = Clock::now();
    const int32_t p0 = writer.getPosition();
    const ServerXruns::Mark x0 = server.mark();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const double window = seconds(t0, Clock::now());
    const int32_t p1 = writer.getPosition();
    const double served = server.servedFrames(x0);
    const double after = (p1 - p0) / window;
    std::printf("after the stall: %d underruns, %.1f frames/s, the server's %.1f; server xruns %d, machine stalls %d\n",
                counter.underruns.load(), after, served / window, server.count(), server.stalls());
    EXPECT_GE(counter.underruns.load(), 1);
    EXPECT_LE(counter.underruns.load(), 1 + server.allowance());
    EXPECT_EQ(counter.overflows.load(), 0);
    EXPECT_NEAR(p1 - p0, served, 3 * 1024.0 + 1024.0 * server.stalledPeriods()) << "playback keeps the server's pace";
    EXPECT_LE(after, rate * 1.02) << "playback runs ahead of any server";
    EXPECT_NEAR(engine.sync.getPosition(), writer.getPosition(), 2048) << "the writer's position keeps up with the chunks";
    engine.sync.removeWriter(&writer);
    chooseTickProvider(&engine.sync, nullptr, nullptr);
    engine.mixer.removeFilter(&stall);
    engine.mixer.removeInput(&source);
}

TEST(JackDevice, ReaderAloneIsTheClockAtTheServersRate) {
    ServerXruns server;
    MMEReader reader;
    Counter counter;
    Engine engine;
    reader.addListener(&counter);
    engine.mixer.addInput(&reader, 1.0f, false);
    ASSERT_TRUE(reader.isStarted());
    chooseTickProvider(&engine.sync, nullptr, &reader);
    ASSERT_EQ(engine.sync.getTickProvider(), &reader);
    ASSERT_TRUE(waitFor([&] { return engine.sync.getPosition() > 0; }, 10000)) << "no tick came";
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const auto t0 = Clock::now();
    const int32_t p0 = engine.sync.getPosition();
    const ServerXruns::Mark x0 = server.mark();
    std::this_thread::sleep_for(std::chrono::seconds(5));
    const double window = seconds(t0, Clock::now());
    const int32_t p1 = engine.sync.getPosition();
    const double served = server.servedFrames(x0);
    const double measured = (p1 - p0) / window;
    std::printf("reader clock: %.1f frames/s, the server's %.1f; underruns %d, server xruns %d, machine stalls %d (%d "
                "periods)\n",
                measured, served / window, counter.underruns.load(), server.count(), server.stalls(),
                server.stalledPeriods());
    // The capture follows the frames the server recorded, within a chunk at
    // each end of the window and the chunks still queued after a stall.
    EXPECT_NEAR(p1 - p0, served, 3 * 1024.0 + 1024.0 * server.stalledPeriods()) << "the reader does not keep the "
                                                                                   "server's pace";
    EXPECT_LE(measured, rate * 1.01) << "the reader runs ahead of any server";
    EXPECT_LE(counter.underruns.load(), server.allowance());
    engine.mixer.removeInput(&reader);
    chooseTickProvider(&engine.sync, nullptr, nullptr);
    reader.close();
}

TEST(JackDevice, ServerKilledMidPlayIsReportedAndTheDevicePlaysAgainAfterARestart) {
    // A server of this test's own, so the others keep theirs.
    const std::string name = std::string(SONABEL_JACK_SERVER) + "-kill";
    const std::string script = std::string("sh ") + SONABEL_JACK_SCRIPT;
    const std::string start = script + " start " + name + " " + SONABEL_JACK_DIR + " >/dev/null";
    ASSERT_EQ(std::system(start.c_str()), 0);
    setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);

    NoiseReader source;
    DirectSoundWriter writer;
    Engine engine;
    engine.mixer.addInput(&source, 1.0f, false);
    writer.setBufferCount(2);
    engine.sync.addWriter(&writer);
    chooseTickProvider(&engine.sync, &writer, nullptr);
    ASSERT_TRUE(waitFor([&] { return writer.getPosition() > 44100 / 2; }, 15000));

    LogCapture log;
    const std::string kill = "kill -9 $(cat " + std::string(SONABEL_JACK_DIR) + "/" + name + ".pid)";
    ASSERT_EQ(std::system(kill.c_str()), 0);
    EXPECT_TRUE(waitFor([&] { return !writer.isStarted(); }, 15000)) << "the writer still claims to play";
    EXPECT_TRUE(log.contains("write: Failed to restore lost buffer")) << "the failure was not reported";
    const int32_t stuck = writer.getPosition();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(writer.getPosition(), stuck);

    ASSERT_EQ(std::system(start.c_str()), 0);
    // Switching the device off and on, as the panel does.
    engine.sync.removeWriter(&writer);
    chooseTickProvider(&engine.sync, &writer, nullptr);
    engine.sync.addWriter(&writer);
    chooseTickProvider(&engine.sync, &writer, nullptr);
    EXPECT_TRUE(writer.isStarted());
    const int32_t before = writer.getPosition();
    EXPECT_TRUE(waitFor([&] { return writer.getPosition() > before + 44100 / 2; }, 15000)) << "no playback after the restart";

    engine.sync.removeWriter(&writer);
    chooseTickProvider(&engine.sync, nullptr, nullptr);
    engine.mixer.removeInput(&source);
    std::system((script + " stop " + name + " " + SONABEL_JACK_DIR).c_str());
    setenv("JACK_DEFAULT_SERVER", SONABEL_JACK_SERVER, 1);
}

TEST(JackDevice, ServerKilledMidCaptureIsReportedAndTheReaderCapturesAgainAfterARestart) {
    // A server of this test's own, so the others keep theirs.
    const std::string name = std::string(SONABEL_JACK_SERVER) + "-killin";
    const std::string script = std::string("sh ") + SONABEL_JACK_SCRIPT;
    const std::string start = script + " start " + name + " " + SONABEL_JACK_DIR + " >/dev/null";
    ASSERT_EQ(std::system(start.c_str()), 0);
    setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);

    MMEReader reader;
    Counter counter;
    Engine engine;
    reader.addListener(&counter);
    engine.mixer.addInput(&reader, 1.0f, false);
    ASSERT_TRUE(reader.isStarted());
    chooseTickProvider(&engine.sync, nullptr, &reader);
    ASSERT_TRUE(waitFor([&] { return engine.sync.getPosition() > 44100 / 2; }, 15000)) << "no tick came";

    LogCapture log;
    const std::string kill = "kill -9 $(cat " + std::string(SONABEL_JACK_DIR) + "/" + name + ".pid)";
    ASSERT_EQ(std::system(kill.c_str()), 0);
    EXPECT_TRUE(waitFor([&] { return !reader.isStarted(); }, 15000)) << "the reader still claims to capture";
    EXPECT_EQ(log.count("ERROR: Capture from system (JACK) stopped: "), 1) << "the failure was not reported once";
    EXPECT_EQ(counter.underruns.load(), 0) << "a dead server is not an underrun";
    const int32_t stuck = engine.sync.getPosition();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(engine.sync.getPosition(), stuck) << "the clock went quiet";

    ASSERT_EQ(std::system(start.c_str()), 0);
    // Switching the device off and on, as the panel does.
    engine.mixer.removeInput(&reader);
    chooseTickProvider(&engine.sync, nullptr, &reader);
    EXPECT_EQ(engine.sync.getTickProvider(), nullptr);
    engine.mixer.addInput(&reader, 1.0f, false);
    chooseTickProvider(&engine.sync, nullptr, &reader);
    EXPECT_TRUE(reader.isStarted());
    const int32_t before = engine.sync.getPosition();
    EXPECT_TRUE(waitFor([&] { return engine.sync.getPosition() > before + 44100 / 2; }, 15000))
        << "no capture after the restart";

    engine.mixer.removeInput(&reader);
    chooseTickProvider(&engine.sync, nullptr, nullptr);
    std::system((script + " stop " + name + " " + SONABEL_JACK_DIR).c_str());
    setenv("JACK_DEFAULT_SERVER", SONABEL_JACK_SERVER, 1);
}

// Two clients of one name on two servers of one user share one socket
// file, so a namesake opening on another server can take ours away while
// our server is about to connect to it. Here the n-th socket of the client
// that counts the devices (RtAudio's, or our own listing client) is taken
// away as soon as it appears: the listing's count, the open's, or the one
// RtAudio makes again inside openStream. The device must open all the same.
TEST(JackDevice, OpensAfterANamesakeTookTheProbesSocket) {
    int rounds = 0, takes = 0;
    for (const int nth : {1, 2, 3})
    for (const bool output : {true, false}) {
        auto isProbe = [](const std::string& name) {
            return name.rfind("jack_RtApiJackCount_", 0) == 0 || name.rfind("jack_sonabel-devices", 0) == 0;
        };
        const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        ASSERT_GE(inotify_add_watch(watch, "/dev/shm", IN_CREATE), 0);
        std::atomic<bool> stop{false};
        std::atomic<bool> taken{false};
        int seen = 0;
        std::thread namesake([&] {
            alignas(inotify_event) char events[4096];
            pollfd p{watch, POLLIN, 0};
            while (!stop.load() && !taken.load()) {
                if (::poll(&p, 1, 20) <= 0) continue;
                const ssize_t n = ::read(watch, events, sizeof events);
                for (ssize_t at = 0; at > -1 && at < n;) {
                    const auto* e = reinterpret_cast<const inotify_event*>(events + at);
                    const std::string path = std::string("/dev/shm/") + (e->len > 0 ? e->name : "");
                    if (e->len > 0 && isProbe(e->name) && !taken.load() && ownSocket(path) && ++seen == nth)
                        taken.store(::unlink(path.c_str()) == 0);
                    at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
                }
            }
        });
        LogCapture log;
        bool opened = false;
        if (output) {
            DirectSoundWriter writer;
            writer.open();
            opened = writer.isOpen();
            writer.close();
        } else {
            MMEReader reader;
            reader.open();
            opened = reader.isOpen();
            reader.close();
        }
        stop.store(true);
        namesake.join();
        ::close(watch);
        // On a busy machine the server may connect before the socket goes:
        // then nothing was taken, and the open is an ordinary one.
        std::printf("%s: the probe's socket number %d was %s\n", output ? "writer" : "reader", nth,
                    taken.load() ? "taken away" : "not taken (not made, or not in time)");
        std::string errors;
        for (const std::string& line : log.all())
            if (line.rfind("ERROR", 0) == 0) errors += line + "\n";
        EXPECT_TRUE(opened) << (output ? "writer, " : "reader, ") << "socket " << nth << ": " << errors;
        ++rounds;
        takes += taken.load() ? 1 : 0;
    }
    if (takes == 0) GTEST_SKIP() << "no socket was taken away in " << rounds << " rounds: only ordinary opens were tried";
}
