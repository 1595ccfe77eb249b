// The writer's ring arithmetic against a scripted ring whose cursors the
// test moves by hand: sizing, placement of the first chunk, wrapped writes,
// underrun and overflow, a lost ring, and the exact reports.

#include "LogCapture.h"
#include "ScriptedPlaybackRing.h"
#include "core/DeviceListener.h"
#include "core/SampleBuffer.h"
#include "engine/TickListener.h"
#include "io/DirectSoundWriter.h"
#include "io/NullPlaybackRing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <chrono>
#include <thread>

using namespace sonabel;
using namespace sonabel::test;

namespace {

constexpr int32_t ringBytes = 176400; // one second, 16-bit stereo at 44100 Hz

struct Counter : DeviceListener {
    int underruns = 0, overflows = 0;
    void notify(ListenerList*, int code, int) override {
        if (code == 100) ++underruns;
        if (code == 101) ++overflows;
    }
};

// A chunk whose frame f holds the 16-bit value f in both channels.
struct Ramp {
    SampleBuffer buffer{2, 1024};
    Ramp() {
        for (int c = 0; c < 2; ++c)
            for (int f = 0; f < 1024; ++f) buffer.getBuffer(c)[f] = static_cast<float>(f) / 32768.0f;
    }
};

class DirectSoundWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ring = new ScriptedPlaybackRing;
        writer = std::make_unique<DirectSoundWriter>(std::vector<PlaybackRing*>{ring});
        writer->addListener(&counter);
    }
    // Two chunks of write-ahead: with the safe-write cursor one chunk past
    // the play cursor, the first chunk goes right at the safe-write cursor.
    void openAndStart(int32_t bufferCount = 2) {
        writer->setBufferCount(bufferCount);
        writer->open();
        ASSERT_TRUE(writer->isOpen());
        ASSERT_EQ(ring->locks.size(), 1u) << "open fills the whole ring with silence";
        EXPECT_EQ(ring->locks[0].bytes, ringBytes);
        ring->locks.clear();
        writer->start();
        ASSERT_TRUE(writer->isStarted());
    }
    // Places the first chunk at the safe-write cursor c.
    void placeAt(int32_t p, int32_t c) {
        ring->setCursors(p, c);
        writer->write(ramp.buffer);
        ASSERT_EQ(writer->getNextWrite(), (c + 4096) % ringBytes);
    }

    ScriptedPlaybackRing* ring = nullptr; // owned by the writer
    std::unique_ptr<DirectSoundWriter> writer;
    Counter counter;
    Ramp ramp;
};

} // namespace

TEST_F(DirectSoundWriterTest, SizesFollowTheRingAndClampToHalfOfIt) {
    openAndStart(20);
    EXPECT_EQ(writer->getRingBytes(), ringBytes);
    EXPECT_EQ(writer->getWriteAheadBytes(), 81920); // 20 x 1024 frames
    EXPECT_EQ(ring->getRingBytes(), ringBytes);

    writer->setBufferCount(100); // 88200 / 4096
    EXPECT_EQ(writer->getBufferCount(), 21);
    writer->setBufferCount(20);
    writer->setBufferSizeFrames(5); // fits, but the floor is 10 frames
    EXPECT_EQ(writer->getBufferSizeFrames(), 10);
    EXPECT_EQ(writer->getWriteAheadBytes(), 4 * 20 * 10);

    writer->setBufferSizeFrames(1024);
    writer->setBufferCount(0x7fffffff); // no overflow in the products
    EXPECT_EQ(writer->getBufferCount(), 21);
    writer->setBufferCount(-3);
    EXPECT_EQ(writer->getBufferCount(), 1);
}

TEST_F(DirectSoundWriterTest, FirstChunkWaitsForThePlayCursorThenGoesToTheSafeWriteCursor) {
    writer->setBufferCount(2);
    writer->open();
    ring->locks.clear();
    EXPECT_FALSE(writer->canWrite(4096)) << "nothing may be written before playback moves";
    writer->start();
    EXPECT_EQ(writer->available(1024), 0);
    writer->write(ramp.buffer);
    EXPECT_TRUE(ring->locks.empty());
    EXPECT_EQ(writer->getPosition(), 0);

    ring->setCursors(4096, 8192);
    EXPECT_EQ(writer->available(1024), 1024);
    writer->write(ramp.buffer);
    ASSERT_EQ(ring->locks.size(), 1u);
    EXPECT_EQ(ring->locks[0].offset, 8192);
    EXPECT_EQ(ring->sampleAt(8192), 0);
    EXPECT_EQ(ring->sampleAt(8192 + 4 * 1023), 1023);
    EXPECT_EQ(writer->getNextWrite(), 8192 + 4096);
    EXPECT_EQ(writer->getPosition(), 1024);
}

TEST_F(DirectSoundWriterTest, PlaybackMovingBetweenTheRoomCheckAndTheFirstWriteIsNoUnderrun) {
    openAndStart();
    // The ticker finds room, and the device takes a block before the chunk
    // comes through the chain: filling the ring at the start, not a stall.
    ring->setCursors(4096, 8192);
    ASSERT_EQ(writer->available(1024), 1024);
    ring->setCursors(8192, 12288);
    writer->write(ramp.buffer);
    EXPECT_EQ(counter.underruns, 0);
    ASSERT_EQ(ring->locks.size(), 1u);
    EXPECT_EQ(ring->locks[0].offset, 12288) << "the first chunk goes to the safe-write cursor of its write";
    EXPECT_EQ(ring->locks[0].bytes, 4096) << "nothing of it is dropped";
}

TEST_F(DirectSoundWriterTest, FirstChunkGoesToTheFarEndOfTheWriteAheadAndTheNextWaitsForItsTime) {
    openAndStart(20); // 81920 bytes of write-ahead
    ring->setCursors(4096, 8192);
    writer->write(ramp.buffer);
    ASSERT_EQ(ring->locks.size(), 1u);
    EXPECT_EQ(ring->locks[0].offset, 4096 + 81920 - 4096) << "the silence before it is the ring's own";
    EXPECT_EQ(writer->getNextWrite(), 4096 + 81920);
    EXPECT_FALSE(writer->canWrite(4096)) << "the write-ahead is full: no burst of chunks";
    ring->setCursors(8192, 12288);
    EXPECT_TRUE(writer->canWrite(4096)) << "one chunk per chunk played";
    writer->write(ramp.buffer);
    EXPECT_EQ(ring->locks.back().offset, 4096 + 81920);
    EXPECT_EQ(counter.underruns, 0);
}

TEST_F(DirectSoundWriterTest, WriteAheadLimitsRoomAndNothingPartialIsWritten) {
    openAndStart();
    writer->setBufferCount(2); // 8192 bytes ahead at most
    placeAt(4096, 8192);       // queued: 8192 .. 12288, 8192 ahead of play
    EXPECT_FALSE(writer->canWrite(4096));
    ring->setCursors(4096 + 4, 8196); // one frame played: still no whole chunk of room
    EXPECT_FALSE(writer->canWrite(4096));
    ring->setCursors(8192, 12288);
    EXPECT_TRUE(writer->canWrite(4096));
}

TEST_F(DirectSoundWriterTest, WrappedWriteIsEncodedInTwoRegions) {
    openAndStart();
    // Safe-write cursor 500 frames before the end of the ring.
    ring->setCursors(ringBytes - 6096, ringBytes - 2000);
    writer->write(ramp.buffer);
    ASSERT_EQ(ring->locks.size(), 1u);
    EXPECT_EQ(ring->locks[0].firstBytes, 2000);
    EXPECT_EQ(ring->locks[0].secondBytes, 2096);
    EXPECT_EQ(writer->getNextWrite(), 2096) << "the next chunk follows the second piece";
    EXPECT_EQ(ring->sampleAt(ringBytes - 2000), 0);
    EXPECT_EQ(ring->sampleAt(ringBytes - 4), 499);
    EXPECT_EQ(ring->sampleAt(0), 500);
    EXPECT_EQ(ring->sampleAt(2092), 1023);
    EXPECT_EQ(ramp.buffer.getSubsetDepth(), 0);
}

TEST_F(DirectSoundWriterTest, UnderrunDropsTheOldestFramesAndWritesTheRestAtTheSafeWriteCursor) {
    openAndStart();
    placeAt(4096, 8192); // nextWrite 12288
    // Playback took everything written and 1000 frames more.
    ring->setCursors(12288 - 4096, 12288 + 4000);
    writer->write(ramp.buffer);
    EXPECT_EQ(counter.underruns, 1);
    EXPECT_EQ(counter.overflows, 0);
    ASSERT_EQ(ring->locks.size(), 2u);
    EXPECT_EQ(ring->locks[1].offset, 12288 + 4000);
    EXPECT_EQ(ring->locks[1].bytes, 96); // 24 frames left of the chunk
    EXPECT_EQ(ring->sampleAt(12288 + 4000), 1000) << "the newest frames survive";
    EXPECT_EQ(writer->getNextWrite(), 12288 + 4096);
    EXPECT_EQ(writer->getPosition(), 2048) << "the whole chunk counts";
}

TEST_F(DirectSoundWriterTest, UnderrunLongerThanAChunkWritesNothingButMovesToTheCursor) {
    openAndStart();
    placeAt(4096, 8192); // nextWrite 12288
    ring->setCursors(12000, 12288 + 8000);
    writer->write(ramp.buffer);
    EXPECT_EQ(counter.underruns, 1);
    EXPECT_EQ(ring->locks.size(), 1u);
    EXPECT_EQ(writer->getNextWrite(), 12288 + 8000);
}

TEST_F(DirectSoundWriterTest, OverflowWritesNothing) {
    openAndStart();
    placeAt(4096, 8192); // nextWrite 12288
    // The play cursor sits inside the range the next chunk would take,
    // and the frame count says the written data is still ahead.
    ring->setCursors(14000, 18096);
    ring->playedFrames = 2000;
    writer->write(ramp.buffer);
    EXPECT_EQ(counter.overflows, 1);
    EXPECT_EQ(counter.underruns, 0);
    EXPECT_EQ(ring->locks.size(), 1u);
    EXPECT_EQ(writer->getPosition(), 1024) << "a chunk that was not written does not count";
}

TEST_F(DirectSoundWriterTest, LostRingIsRestoredAndPlacedAnew) {
    openAndStart();
    placeAt(4096, 8192);
    LogCapture log;
    ring->nextLockResult = dsresult::bufferLost;
    ring->setCursors(8192, 12288);
    writer->write(ramp.buffer);
    EXPECT_TRUE(log.contains("DEBUG: write: Restoring lost Buffer. (level:4)"));
    EXPECT_EQ(ring->restoreCalls, 1);
    EXPECT_EQ(ring->playCalls, 2);
    EXPECT_EQ(writer->getNextWrite(), -1);
    EXPECT_EQ(writer->getPosition(), 2048);
    EXPECT_TRUE(writer->isStarted());
}

TEST_F(DirectSoundWriterTest, RingThatCannotBeRestoredIsReportedOnceAndStops) {
    openAndStart();
    placeAt(4096, 8192);
    LogCapture log;
    ring->positionResult = dsresult::bufferLost;
    ring->nextLockResult = dsresult::bufferLost;
    ring->restoreResult = dsresult::noDriver;
    EXPECT_TRUE(writer->canWrite(4096)) << "a lost ring lets the write find out";
    writer->write(ramp.buffer);
    EXPECT_TRUE(log.hasError("write: Failed to restore lost buffer: DSERR_NODRIVER", 1));
    EXPECT_FALSE(writer->isStarted());
    EXPECT_FALSE(writer->canWrite(4096)) << "a stopped lost ring stays quiet";
    writer->write(ramp.buffer);
    EXPECT_EQ(log.count("Failed to restore"), 1);
}

TEST_F(DirectSoundWriterTest, MisuseAndFailuresAreReportedWithTheirTexts) {
    struct Case {
        const char* what;
        std::function<void(DirectSoundWriter&, ScriptedPlaybackRing&)> act;
        const char* line;
    };
    const std::vector<Case> cases = {
        {"write closed", [](DirectSoundWriter& w, ScriptedPlaybackRing&) { Ramp r; w.write(r.buffer); },
         "ERROR: write: is not open!. (level:2)"},
        {"start closed", [](DirectSoundWriter& w, ScriptedPlaybackRing&) { w.start(); },
         "ERROR: DirectSoundWriter::start(): open must be called before. (level:2)"},
        {"start twice", [](DirectSoundWriter& w, ScriptedPlaybackRing&) { w.open(); w.start(); w.start(); },
         "ERROR: DirectSoundWriter::start(): start called repeatedly. (level:2)"},
        {"stop closed", [](DirectSoundWriter& w, ScriptedPlaybackRing&) { w.stop(); },
         "DEBUG: DirectSoundWriter::stop(): device not open. (level:3)"},
        {"stop unstarted", [](DirectSoundWriter& w, ScriptedPlaybackRing&) { w.open(); w.stop(); },
         "ERROR: DirectSoundWriter::stop(): device not started. (level:2)"},
        {"format while open",
         [](DirectSoundWriter& w, ScriptedPlaybackRing&) { w.open(); w.setAudioFormat(AudioFormat(2, 48000.0f)); },
         "ERROR: DirectSoundWriter: Cannot change AudioFormat while open (level:2)"},
        {"device format while open",
         [](DirectSoundWriter& w, ScriptedPlaybackRing&) { w.open(); w.setDeviceFormat(AudioDeviceFormat(2, 44100.0f, 8)); },
         "ERROR: DirectSoundWriter: Cannot change AudioDeviceFormat while open (level:2)"},
        {"device while open", [](DirectSoundWriter& w, ScriptedPlaybackRing&) { w.open(); w.setDevice(1); },
         "ERROR: DirectSoundWriter: Cannot change device while open (level:2)"},
        {"name past the list", [](DirectSoundWriter& w, ScriptedPlaybackRing&) { EXPECT_EQ(w.getDeviceName(3), nullptr); },
         "ERROR: Index out of bounds in DirectSoundWriter::getDeviceName(3) (level:2)"},
        {"device past the list", [](DirectSoundWriter& w, ScriptedPlaybackRing&) { w.setDevice(3); w.open(); },
         "ERROR: createDSound: deviceNumber is higher than device count. (level:2)"},
        {"negative device", [](DirectSoundWriter& w, ScriptedPlaybackRing&) { w.setDevice(-1); w.open(); },
         "ERROR: createDSound: deviceNumber is higher than device count. (level:2)"},
        {"device refused",
         [](DirectSoundWriter& w, ScriptedPlaybackRing& r) { r.openResult = dsresult::allocated; w.open(); },
         "ERROR: createDSound: Failed to create DirectSound: DSERR_ALLOCATED (level:1)"},
        {"ring refused",
         [](DirectSoundWriter& w, ScriptedPlaybackRing& r) { r.createResult = dsresult::outOfMemory; w.open(); },
         "ERROR: createSecondaryBuffer: Failed to create sound buffer: DSERR_OUTOFMEMORY (level:1)"},
        {"lock refused",
         [](DirectSoundWriter& w, ScriptedPlaybackRing& r) {
             w.open();
             w.start();
             r.setCursors(4096, 8192);
             r.nextLockResult = dsresult::invalidCall;
             Ramp chunk;
             w.write(chunk.buffer);
         },
         "ERROR: write: Lock failed. (level:2)"},
        {"cursors refused",
         [](DirectSoundWriter& w, ScriptedPlaybackRing& r) {
             w.open();
             r.positionResult = dsresult::generic;
             EXPECT_FALSE(w.canWrite(4096));
         },
         "ERROR: write: Failed to get current position. (level:2)"},
    };
    for (const Case& c : cases) {
        auto* r = new ScriptedPlaybackRing;
        DirectSoundWriter w(std::vector<PlaybackRing*>{r});
        LogCapture log;
        c.act(w, *r);
        const auto lines = log.all();
        EXPECT_NE(std::find(lines.begin(), lines.end(), c.line), lines.end()) << c.what << ": missing " << c.line;
        const std::string what = c.what;
        if (what == "device past the list" || what == "device refused" || what == "ring refused") {
            EXPECT_FALSE(w.isOpen()) << c.what;
        }
    }
}

TEST_F(DirectSoundWriterTest, FormatChangesOnlyWhileClosed) {
    LogCapture log;
    writer->setAudioFormat(AudioFormat(1, 22050.0f));
    EXPECT_EQ(writer->getAudioFormat()->channels, 1);
    writer->setAudioFormat(AudioFormat(2, 44100.0f));
    writer->open();
    writer->setAudioFormat(AudioFormat(2, 44100.0f)); // equal: no report
    EXPECT_TRUE(log.all().empty() || !log.contains("Cannot change"));
    writer->setAudioFormat(AudioFormat(2, 48000.0f));
    EXPECT_EQ(writer->getAudioFormat()->sampleRate, 44100.0f);
}

TEST(DirectSoundWriterDevices, ListHoldsTenDevicesAndNamesTheSoundSystemBeforeTheNullDevice) {
    std::vector<std::string> many;
    for (int i = 0; i < 12; ++i) many.push_back("Card " + std::to_string(i));
    DirectSoundWriter crowded(std::vector<PlaybackRing*>{new ScriptedPlaybackRing(many), new NullPlaybackRing});
    EXPECT_EQ(crowded.getDeviceCount(), 10) << "the 11th device and the null device do not fit";

    DirectSoundWriter writer(std::vector<PlaybackRing*>{new ScriptedPlaybackRing({"Speakers", "HDMI"}), new NullPlaybackRing});
    ASSERT_EQ(writer.getDeviceCount(), 3);
    EXPECT_STREQ(writer.getDeviceName(0), "Speakers (Scripted)");
    EXPECT_STREQ(writer.getDeviceName(1), "HDMI (Scripted)");
    EXPECT_STREQ(writer.getDeviceName(2), "Null device (no sound)");

    DirectSoundWriter single(std::vector<PlaybackRing*>{new ScriptedPlaybackRing({"Speakers"})});
    EXPECT_STREQ(single.getDeviceName(0), "Speakers");
}

TEST(DirectSoundWriterDevices, DescriptorAndTickFrames) {
    DirectSoundWriter writer(std::vector<PlaybackRing*>{new ScriptedPlaybackRing});
    EXPECT_STREQ(writer.getName(), "DirectSound");
    EXPECT_STREQ(writer.getAuthor(), "Orvanel");
    EXPECT_STREQ(writer.getDescription(), "Driver for output audio devices using DirectSound for output of audio.");
    writer.setTickFrames(10);
    EXPECT_EQ(writer.getTickFrames(), 1024);
    writer.setTickFrames(11);
    EXPECT_EQ(writer.getTickFrames(), 11);
}

TEST_F(DirectSoundWriterTest, TickerTicksWhenThePlayCursorFreesRoomAndNotBeforeStart) {
    struct Listener : TickListener {
        std::atomic<int> ticks{0};
        void ticked(int32_t) override { ++ticks; }
    } listener;
    writer->setBufferCount(2);
    writer->open();
    LogCapture log;
    writer->startTicker(&listener);
    EXPECT_TRUE(log.contains("DEBUG: Warning: DirectSoundWriter::startTicker() called without starting the device. (level:1)"));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(listener.ticks.load(), 0);
    writer->stopTicker();
    writer->start();
    placeAt(4096, 8192); // 8192 bytes queued: the limit
    writer->startTicker(&listener);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(listener.ticks.load(), 0) << "no room below the write-ahead";
    writer->stopTicker();
    ring->setCursors(8192, 12288); // one chunk played
    writer->startTicker(&listener);
    for (int i = 0; i < 2000 && listener.ticks.load() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    writer->stopTicker();
    EXPECT_GT(listener.ticks.load(), 0);
}
