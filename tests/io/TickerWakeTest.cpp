// The playback ticker between ticks: it sleeps until the ring says the next
// chunk is due instead of polling, and it neither loses nor doubles a
// chunk. The null device runs on a fake clock that only the ticker's sleeps
// move, so every wake-up is counted and no test depends on the machine's
// timing.

#include "core/DeviceListener.h"
#include "core/SampleBuffer.h"
#include "engine/TickListener.h"
#include "io/DirectSoundWriter.h"
#include "io/NullPlaybackRing.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

using namespace sonabel;

namespace {

constexpr int64_t second = 1'000'000'000;

// The null device on a clock that stands still until the ticker sleeps.
class FakeClockNullRing : public NullPlaybackRing {
public:
    int64_t getNowNanos() override { return now.load(); }
    void sleepUntilNanos(int64_t nanos) override {
        ++sleeps;
        if (nanos > now.load()) now.store(nanos);
    }
    std::atomic<int64_t> now{5 * second};
    std::atomic<int> sleeps{0};
};

struct Notices : DeviceListener {
    std::atomic<int> underruns{0}, overflows{0};
    void notify(ListenerList*, int code, int) override {
        if (code == 100) ++underruns;
        if (code == 101) ++overflows;
    }
};

// Stands in for the synchronizer: every tick writes one chunk to the
// writer and notes the fake time, until it has seen enough ticks.
struct ChunkWriter : TickListener {
    ChunkWriter(DirectSoundWriter& target, FakeClockNullRing& clock, int32_t frames, int wanted)
        : writer(target), ring(clock), chunk(2, frames), limit(wanted) {
        times.reserve(static_cast<size_t>(wanted));
    }
    void ticked(int32_t frames) override {
        if (done.load()) return;
        chunk.currCount = frames;
        writer.write(chunk);
        times.push_back(ring.now.load());
        sleepsAtTick.push_back(ring.sleeps.load());
        if (static_cast<int>(times.size()) == limit) {
            // From here on the device runs dry, as it should.
            emptyBlocks = ring.getEmptyBlocks();
            done.store(true);
        }
    }
    DirectSoundWriter& writer;
    FakeClockNullRing& ring;
    SampleBuffer chunk;
    int limit;
    std::vector<int64_t> times;
    std::vector<int> sleepsAtTick;
    int64_t emptyBlocks = -1;
    std::atomic<bool> done{false};
};

bool waitFor(const std::atomic<bool>& flag) {
    for (int i = 0; i < 20000 && !flag.load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return flag.load();
}

} // namespace

TEST(TickerWake, SleepsUntilEachChunkIsDueAndWritesEveryChunkOnce) {
    struct Case {
        int32_t chunkFrames;
        int32_t bufferCount; // write-ahead in chunks
    };
    const Case cases[] = {{1024, 2}, {1024, 3}, {256, 8}, {4410, 2}, {2000, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.chunkFrames << " frames, write-ahead " << c.bufferCount);
        auto* ring = new FakeClockNullRing;
        DirectSoundWriter writer(std::vector<PlaybackRing*>{ring});
        Notices notices;
        writer.addListener(&notices);
        writer.setBufferSizeFrames(c.chunkFrames);
        writer.setBufferCount(c.bufferCount);
        writer.setTickFrames(c.chunkFrames);
        writer.open();
        writer.start();
        ASSERT_TRUE(writer.isStarted());
        const int ticks = 200;
        ChunkWriter listener(writer, *ring, c.chunkFrames, ticks);
        writer.startTicker(&listener);
        const bool finished = waitFor(listener.done);
        writer.stopTicker();
        ASSERT_TRUE(finished) << "ticks seen: " << listener.times.size();

        // After the first chunk the ticks come one chunk's time apart on the
        // device's clock: none lost, none doubled.
        const double chunkNanos = static_cast<double>(c.chunkFrames) * 1e9 / 44100.0;
        for (size_t i = 2; i < listener.times.size(); ++i)
            ASSERT_NEAR(static_cast<double>(listener.times[i] - listener.times[i - 1]), chunkNanos, 1e9 / 44100.0 + 1)
                << "tick " << i;
        EXPECT_EQ(notices.underruns.load(), 0);
        EXPECT_EQ(notices.overflows.load(), 0);
        EXPECT_EQ(listener.emptyBlocks, 0);
        EXPECT_EQ(writer.getPosition(), ticks * c.chunkFrames);

        // Asleep between ticks: one wake-up per chunk (two for chunks longer
        // than the longest sleep), where a 1 ms poll would wake 5 to 100
        // times per chunk.
        const int perChunk = chunkNanos > DirectSoundWriter::maxSleepMillis * 1e6 ? 2 : 1;
        const int sleeps = listener.sleepsAtTick.back() - listener.sleepsAtTick[1];
        EXPECT_EQ(sleeps, (ticks - 2) * perChunk);
        writer.close();
    }
}

TEST(TickerWake, ATickThatWritesNothingIsFollowedByASleepNotASpin) {
    // A listener that never writes: the room stays, and the ticker must
    // still sleep its poll interval between the ticks it gives.
    struct Idle : TickListener {
        explicit Idle(FakeClockNullRing& clock) : ring(clock) {}
        void ticked(int32_t) override {
            if (++ticks == 50) done.store(true);
            sleepsAtTick = ring.sleeps.load();
        }
        FakeClockNullRing& ring;
        std::atomic<int> ticks{0};
        std::atomic<int> sleepsAtTick{0};
        std::atomic<bool> done{false};
    };
    auto* ring = new FakeClockNullRing;
    DirectSoundWriter writer(std::vector<PlaybackRing*>{ring});
    writer.setBufferSizeFrames(1024);
    writer.setBufferCount(2);
    writer.open();
    writer.start();
    Idle listener(*ring);
    const int64_t begin = ring->now.load();
    writer.startTicker(&listener);
    ASSERT_TRUE(waitFor(listener.done));
    writer.stopTicker();
    EXPECT_GE(listener.sleepsAtTick.load(), 49);
    EXPECT_GE(ring->now.load() - begin, 49 * int64_t{DirectSoundWriter::pollMillis} * 1'000'000);
}

TEST(TickerWake, ABlockDevicesCursorIsDueFromItsLastCallback) {
    // A block of 1024 frames taken at t = 10 s, 44100 Hz: the cursor runs
    // through it with the clock; frames past it come with the next block,
    // looked for a little after it is due.
    const int64_t t = 10 * second;
    const int64_t margin = PlaybackRing::callbackMarginNanos;
    struct Case {
        int64_t playFrame;
        int64_t expected;
    };
    const Case cases[] = {
        {2048 - 1024, t},                                  // the block's first frame: now
        {2048 - 1024 + 441, t + 10'000'000},              // 441 frames in: 10 ms
        {2048 - 1, t + (1023 * second + 44099) / 44100}, // its last frame, rounded up
        {2048, t + 1024 * second / 44100 + 1 + margin},   // the next block's start
        {2048 + 44100, t + second + 1024 * second / 44100 + 1 + margin},
        {0, t - 1024 * second / 44100},                   // long past
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlaybackRing::getPlayFrameNanosAt(t, 2048, 1024, c.playFrame, 44100), c.expected) << c.playFrame;
    EXPECT_EQ(PlaybackRing::getPlayFrameNanosAt(t, 2048, 1024, 4096, 0), 0) << "no rate, no time";
}
