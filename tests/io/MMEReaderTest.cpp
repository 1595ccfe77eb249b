// The reader's buffer ring against a scripted capture queue whose buffers the
// test completes by hand: reads across buffers, underruns, the retiring and
// joining of buffers when the count changes, the ticker's chunk count and
// the exact reports.

#include "LogCapture.h"
#include "ScriptedCaptureQueue.h"
#include "core/DeviceListener.h"
#include "core/SampleBuffer.h"
#include "engine/TickListener.h"
#include "io/MMEReader.h"
#include "io/NullCaptureQueue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

using namespace sonabel;
using namespace sonabel::test;

namespace {

struct Counter : DeviceListener {
    std::atomic<int> underruns{0};
    void notify(ListenerList*, int code, int) override {
        if (code == 100) ++underruns;
    }
};

class MMEReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        queue = new ScriptedCaptureQueue;
        reader = std::make_unique<MMEReader>(std::vector<CaptureQueue*>{queue});
        reader->addListener(&counter);
    }
    void openAndStart() {
        reader->open();
        ASSERT_TRUE(reader->isOpen());
        reader->start();
        ASSERT_TRUE(reader->isStarted());
    }
    // Reads a chunk at the next position.
    int32_t readChunk(SampleBuffer& chunk) { return reader->read(chunk, nextPos++ * 100000, 0.0f); }

    ScriptedCaptureQueue* queue = nullptr; // owned by the reader
    std::unique_ptr<MMEReader> reader;
    Counter counter;
    int nextPos = 1;
};

} // namespace

TEST_F(MMEReaderTest, OpenQueuesSixBuffersOf4096Bytes) {
    openAndStart();
    ASSERT_EQ(queue->added.size(), 6u);
    for (CaptureBuffer* b : queue->added) EXPECT_EQ(b->bufferLength, 4096);
    for (int i = 0; i < 6; ++i) EXPECT_TRUE(reader->isBufferQueued(i));
    EXPECT_FALSE(reader->isBufferQueued(6));
}

TEST_F(MMEReaderTest, ChunkOf1536FramesSpansTwoBuffersAndRequeuesTheFirstAtOnce) {
    openAndStart();
    queue->capture(1024, 0.25f);
    queue->capture(1024, 0.5f);
    queue->capture(1024, 0.75f); // the start waits for a chunk in reserve
    SampleBuffer chunk(2, 1536);
    EXPECT_EQ(readChunk(chunk), 1536);
    EXPECT_FLOAT_EQ(chunk.getBuffer(0)[0], 0.25f);
    EXPECT_FLOAT_EQ(chunk.getBuffer(1)[1023], 0.25f);
    EXPECT_FLOAT_EQ(chunk.getBuffer(0)[1024], 0.5f);
    EXPECT_FLOAT_EQ(chunk.getBuffer(1)[1535], 0.5f);
    ASSERT_EQ(queue->added.size(), 7u);
    EXPECT_EQ(queue->added.back()->bufferLength, 4096) << "buffer 0 went back to the device";
    EXPECT_EQ(reader->getCurrentBuffer(), 1);
    EXPECT_EQ(reader->getCurrentOffset(), 2048);
    EXPECT_EQ(counter.underruns.load(), 0);

    // The next chunk starts in the middle of buffer 1, the one after it
    // runs dry.
    EXPECT_EQ(readChunk(chunk), 1536);
    EXPECT_FLOAT_EQ(chunk.getBuffer(0)[511], 0.5f);
    EXPECT_FLOAT_EQ(chunk.getBuffer(0)[512], 0.75f);
    EXPECT_EQ(counter.underruns.load(), 0);
    EXPECT_EQ(readChunk(chunk), 0);
    EXPECT_FLOAT_EQ(chunk.getBuffer(0)[0], 0.0f);
    EXPECT_EQ(counter.underruns.load(), 1);
    EXPECT_EQ(reader->getPosition(), 3072);
}

TEST_F(MMEReaderTest, ReadingBeforeAnythingArrivedIsTheStartNotAnUnderrun) {
    openAndStart();
    SampleBuffer chunk(2, 1024);
    std::fill(chunk.getBuffer(0), chunk.getBuffer(0) + 1024, 0.7f);
    LogCapture log;
    EXPECT_EQ(readChunk(chunk), 0);
    EXPECT_EQ(readChunk(chunk), 0);
    EXPECT_EQ(counter.underruns.load(), 0) << "a playback clock filling its ring at the start";
    EXPECT_FLOAT_EQ(chunk.getBuffer(0)[100], 0.0f);
    EXPECT_TRUE(log.contains("DEBUG: Input not delivering yet -> providing silence (level:3)"));

    queue->capture(1024, 0.25f);
    EXPECT_EQ(readChunk(chunk), 0) << "one chunk beyond this one is kept in reserve";
    queue->capture(1024, 0.5f);
    EXPECT_EQ(readChunk(chunk), 1024);
    EXPECT_FLOAT_EQ(chunk.getBuffer(0)[0], 0.25f) << "nothing was lost at the start";
    EXPECT_EQ(readChunk(chunk), 1024);
    EXPECT_EQ(counter.underruns.load(), 0);
    EXPECT_EQ(readChunk(chunk), 0);
    EXPECT_EQ(counter.underruns.load(), 1) << "once it delivers, running dry is an underrun";
    EXPECT_TRUE(log.contains("DEBUG: Input buffer underrun -> providing silence (level:3)"));

    // Every start begins afresh.
    reader->stop();
    reader->start();
    EXPECT_EQ(readChunk(chunk), 0);
    EXPECT_EQ(counter.underruns.load(), 1);
    queue->capture(2048, 0.25f);
    EXPECT_EQ(readChunk(chunk), 1024);
    EXPECT_EQ(readChunk(chunk), 1024);
    EXPECT_EQ(readChunk(chunk), 0);
    EXPECT_EQ(counter.underruns.load(), 2);
}

TEST_F(MMEReaderTest, SamePositionAgainRepeatsTheLastChunk) {
    openAndStart();
    queue->capture(1024, 0.25f);
    queue->capture(1024, 0.5f);
    SampleBuffer chunk(2, 1024);
    EXPECT_EQ(reader->read(chunk, 7, 0.0f), 1024);
    LogCapture log;
    EXPECT_EQ(reader->read(chunk, 7, 0.0f), 1024);
    EXPECT_FLOAT_EQ(chunk.getBuffer(0)[0], 0.25f);
    EXPECT_TRUE(log.contains("DEBUG: MMEWaveIn::read : copying again the last buffer (level:3)"));
    EXPECT_EQ(reader->read(chunk, 8, 0.5f), 1024);
    EXPECT_FLOAT_EQ(chunk.getBuffer(0)[0], 0.25f + 0.25f) << "added at half gain";
}

TEST_F(MMEReaderTest, ShrinkingTheCountRetiresBuffersAndGrowingItQueuesNewOnes) {
    openAndStart();
    for (int i = 0; i < 6; ++i) queue->capture(1024, 0.1f * static_cast<float>(i + 1));
    reader->setBufferCount(3);
    SampleBuffer chunk(2, 1024);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(readChunk(chunk), 1024);
        EXPECT_NEAR(chunk.getBuffer(0)[0], 0.1f * static_cast<float>(i + 1), 1.0 / 32768) << "buffer " << i;
    }
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(reader->isBufferQueued(i)) << i;
    for (int i = 3; i < 6; ++i) EXPECT_FALSE(reader->isBufferQueued(i)) << i << " should be retired";
    EXPECT_EQ(queue->added.size(), 9u);
    EXPECT_EQ(reader->getCurrentBuffer(), 0);

    // Growing again: buffers 3 and 4 join the queue as the reader passes.
    reader->setBufferCount(5);
    for (int i = 0; i < 3; ++i) queue->capture(1024, 0.9f);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(readChunk(chunk), 1024);
    EXPECT_TRUE(reader->isBufferQueued(3));
    EXPECT_TRUE(reader->isBufferQueued(4));
    EXPECT_FALSE(reader->isBufferQueued(5));
}

TEST_F(MMEReaderTest, BufferThatCouldNotBeQueuedIsReportedAndQueuedLater) {
    openAndStart();
    queue->capture(1024, 0.25f);
    queue->capture(1024, 0.25f);
    LogCapture log;
    queue->failAdds = 1;
    SampleBuffer chunk(2, 1024);
    EXPECT_EQ(readChunk(chunk), 1024);
    EXPECT_TRUE(log.hasError("Unable to add buffer 0 to queue:", 2));
    EXPECT_TRUE(log.hasError("Out of memory.", 2));
    EXPECT_FALSE(reader->isBufferQueued(0));
    for (int i = 2; i < 6; ++i) queue->capture(1024, 0.5f);
    for (int i = 1; i < 6; ++i) EXPECT_EQ(readChunk(chunk), 1024);
    EXPECT_EQ(reader->getCurrentBuffer(), 0);
    EXPECT_EQ(readChunk(chunk), 0) << "the unqueued buffer holds nothing new";
    queue->capture(1024, 0.75f);
    EXPECT_EQ(readChunk(chunk), 1024);
    EXPECT_FLOAT_EQ(chunk.getBuffer(0)[0], 0.75f);
    EXPECT_TRUE(reader->isBufferQueued(0)) << "passing it again queues it";
}

TEST_F(MMEReaderTest, AvailableCountsDoneBuffersFromTheReadPoint) {
    EXPECT_EQ(reader->available(1024), 0);
    openAndStart();
    EXPECT_EQ(reader->available(10240), 0);
    queue->capture(1024 * 3 + 512, 0.1f);
    // At the start a chunk is there only with one more in reserve, as read
    // has it.
    EXPECT_EQ(reader->available(1536), 1536);
    EXPECT_EQ(reader->available(2048), 1024);
    EXPECT_EQ(reader->available(4096), 0);
    SampleBuffer chunk(2, 1536);
    EXPECT_EQ(readChunk(chunk), 1536);
    EXPECT_EQ(reader->available(10240), 3072 - 1536) << "only whole buffers are done";
    EXPECT_EQ(reader->available(100), 100);
}

TEST_F(MMEReaderTest, EightBitSilenceDecodesToZero) {
    reader->setDeviceFormat(AudioDeviceFormat(2, 44100.0f, 8));
    openAndStart();
    queue->capture(4096 + 1024, 0.0f); // the start's reserve, and half a chunk more
    SampleBuffer chunk(2, 2048);
    EXPECT_EQ(readChunk(chunk), 2048);
    EXPECT_EQ(readChunk(chunk), 2048);
    std::fill(chunk.getBuffer(0), chunk.getBuffer(0) + 2048, 0.7f);
    EXPECT_EQ(readChunk(chunk), 1024);
    EXPECT_FLOAT_EQ(chunk.getBuffer(0)[10], 0.0f);
    EXPECT_FLOAT_EQ(chunk.getBuffer(0)[2000], 0.0f) << "underrun silence of 8-bit samples is 0x80";
}

TEST_F(MMEReaderTest, TickerTicksOncePerWholeChunkBeyondTheFirst) {
    // Each tick reads a chunk, as the synchronizer would through the mixer.
    struct Listener : TickListener {
        MMEReader* reader;
        SampleBuffer chunk{2, 1024};
        std::atomic<int> ticks{0};
        int pos = 0;
        void ticked(int32_t frames) override {
            EXPECT_EQ(frames, 1024);
            reader->read(chunk, ++pos, 0.0f);
            ++ticks;
        }
    } listener;
    listener.reader = reader.get();
    openAndStart();
    queue->capture(3 * 1024 + 512, 0.3f); // 3.5 chunks, the half still filling
    queue->capture(512, 0.3f);            // now 4 buffers are done
    reader->startTicker(&listener);
    for (int i = 0; i < 1000 && listener.ticks.load() < 3; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(400)); // past one event time-out
    reader->stopTicker();
    EXPECT_EQ(listener.ticks.load(), 3) << "one chunk stays in reserve";
    EXPECT_EQ(counter.underruns.load(), 0);
}

TEST_F(MMEReaderTest, DeviceThatDiesIsReportedOnceNotAsUnderrunsAndWorksAgainAfterReopening) {
    openAndStart();
    queue->capture(2048, 0.25f);
    SampleBuffer chunk(2, 1024);
    EXPECT_EQ(readChunk(chunk), 1024);
    queue->lost.store(true);
    LogCapture log;
    EXPECT_EQ(readChunk(chunk), 0);
    EXPECT_FLOAT_EQ(chunk.getBuffer(0)[0], 0.0f);
    EXPECT_EQ(counter.underruns.load(), 0);
    EXPECT_FALSE(reader->isStarted());
    EXPECT_TRUE(reader->isOpen());
    for (int i = 0; i < 5; ++i) EXPECT_EQ(readChunk(chunk), 0);
    EXPECT_EQ(log.all(), std::vector<std::string>{
                             LogCapture::error("Capture from Default input stopped: No sound system is available.", 1)})
        << "said once, and nothing for the chunks after it";
    EXPECT_EQ(log.errorHookLines().size(), 1u) << "level 1 reaches the user";

    // Switching the device off and on, as its panel does.
    reader->close();
    EXPECT_FALSE(queue->opened);
    openAndStart();
    queue->capture(2048, 0.5f);
    EXPECT_EQ(readChunk(chunk), 1024);
    EXPECT_FLOAT_EQ(chunk.getBuffer(0)[0], 0.5f);
    EXPECT_EQ(log.count("Capture from"), 1);
}

TEST_F(MMEReaderTest, TickerFindsADeadDeviceAndGoesQuiet) {
    struct Listener : TickListener {
        std::atomic<int> ticks{0};
        void ticked(int32_t) override { ++ticks; }
    } listener;
    openAndStart();
    LogCapture log;
    reader->startTicker(&listener);
    queue->lost.store(true);
    // The ticker looks after each event time-out (300 ms). Asking
    // isStarted here would look too, so the log is watched instead.
    const std::string report = LogCapture::error("Capture from Default input stopped: No sound system is available.", 1);
    for (int i = 0; i < 3000 && log.count(report) == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(log.count(report), 1) << "the ticker did not notice";
    EXPECT_FALSE(reader->isStarted());
    queue->capture(4 * 1024, 0.3f); // whatever arrives now is not a tick
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    reader->stopTicker();
    EXPECT_EQ(listener.ticks.load(), 0);
    EXPECT_EQ(counter.underruns.load(), 0);
}

TEST_F(MMEReaderTest, MisuseAndFailuresAreReportedWithTheirTexts) {
    struct Case {
        const char* what;
        std::function<void(MMEReader&, ScriptedCaptureQueue&)> act;
        const char* line;
    };
    const std::vector<Case> cases = {
        {"stop never started", [](MMEReader& r, ScriptedCaptureQueue&) { r.stop(); },
         "DEBUG: MMEReader::stop(): not started ! (level:2)"},
        {"start closed", [](MMEReader& r, ScriptedCaptureQueue&) { r.start(); },
         "DEBUG: MMEReader::start(): is not open ! (level:1)"},
        {"start twice", [](MMEReader& r, ScriptedCaptureQueue&) { r.open(); r.start(); r.start(); },
         "DEBUG: MMEReader::start(): already started ! (level:1)"},
        {"read unstarted", [](MMEReader& r, ScriptedCaptureQueue&) { SampleBuffer b(2, 16); r.read(b, 0, 0.0f); },
         "ERROR: MMEReader::read(): is not started!. (level:2)"},
        {"size while open", [](MMEReader& r, ScriptedCaptureQueue&) { r.open(); r.setBufferSizeFrames(512); },
         "ERROR: MMEReader: Cannot change BufferSizeFrames while open (level:2)"},
        {"format while open",
         [](MMEReader& r, ScriptedCaptureQueue&) { r.open(); r.setDeviceFormat(AudioDeviceFormat(1, 44100.0f, 16)); },
         "ERROR: MMEReader: Cannot change AudioDeviceFormat while open (level:2)"},
        {"device while open", [](MMEReader& r, ScriptedCaptureQueue&) { r.open(); r.setDevice(1); },
         "ERROR: MMEReader: Cannot change device while open (level:2)"},
        {"name past the list", [](MMEReader& r, ScriptedCaptureQueue&) { EXPECT_EQ(r.getDeviceName(2), nullptr); },
         "ERROR: Index out of bounds in MMEReader::getDeviceName(2) (level:2)"},
        {"device past the list", [](MMEReader& r, ScriptedCaptureQueue&) { r.setDevice(2); r.open(); },
         "ERROR: MMEReader::open(): deviceNumber is higher than device count. (level:2)"},
        {"no devices", [](MMEReader& r, ScriptedCaptureQueue& q) { q.names.clear(); r.open(); },
         "ERROR: MMEReader::open(): deviceNumber is higher than device count. (level:2)"},
        {"device refused",
         [](MMEReader& r, ScriptedCaptureQueue& q) { q.openResult = mmresult::allocated; r.open(); },
         "ERROR: Unable to open Default input: The device is already in use. (level:1)"},
        {"unknown code", [](MMEReader& r, ScriptedCaptureQueue& q) { q.openResult = 999; r.open(); },
         "ERROR: Unable to open Default input: Unspecified error: result out of range. (level:1)"},
    };
    for (const Case& c : cases) {
        auto* q = new ScriptedCaptureQueue;
        MMEReader r(std::vector<CaptureQueue*>{q});
        LogCapture log;
        c.act(r, *q);
        const auto lines = log.all();
        EXPECT_NE(std::find(lines.begin(), lines.end(), c.line), lines.end()) << c.what << ": missing " << c.line;
        const std::string what = c.what;
        if (what == "stop never started") {
            EXPECT_EQ(lines.size(), 1u);
        }
        if (what == "device past the list" || what == "no devices" || what == "device refused") {
            EXPECT_FALSE(r.isOpen()) << c.what;
        }
    }
}

TEST(MMEReaderSettings, CountsAndSizesAreClamped) {
    MMEReader reader(std::vector<CaptureQueue*>{new ScriptedCaptureQueue});
    reader.setBufferSizeFrames(64);
    EXPECT_EQ(reader.getBufferSizeFrames(), 128);
    reader.setBufferSizeFrames(-5);
    EXPECT_EQ(reader.getBufferSizeFrames(), 128);
    reader.setBufferCount(1);
    EXPECT_EQ(reader.getBufferCount(), 2);
    reader.setBufferCount(100);
    EXPECT_EQ(reader.getBufferCount(), 30) << "only 30 headers exist";
    EXPECT_STREQ(reader.getName(), "MME");
    EXPECT_STREQ(reader.getDescription(), "Driver for audio input devices using Windows MME (Multimedia Extension) API.");
}

TEST(MMEReaderSettings, DefaultDeviceComesFirstAndTheNullDeviceLast) {
    MMEReader reader(std::vector<CaptureQueue*>{new ScriptedCaptureQueue({"Default input", "Line in"}), new NullCaptureQueue});
    ASSERT_EQ(reader.getDeviceCount(), 3);
    EXPECT_STREQ(reader.getDeviceName(0), "Default input (Scripted)");
    EXPECT_STREQ(reader.getDeviceName(2), "Null device (no sound)");
}
