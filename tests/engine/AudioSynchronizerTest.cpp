#include "LogCapture.h"
#include "TestStreams.h"
#include "TestTickProvider.h"
#include "core/SampleBuffer.h"
#include "engine/AudioMixer.h"
#include "engine/AudioSynchronizer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace sonabel;
using namespace sonabel::test;

namespace {

// Remembers the chunk buffer and its counter at each write.
struct BufferSpy : RecordingWriter {
    SampleBuffer* last = nullptr;
    int counter = -1;
    int channels = 0;
    void write(SampleBuffer& b) override {
        RecordingWriter::write(b);
        last = &b;
        counter = b.chunkCounter;
        channels = b.channelCount;
    }
};

struct Engine {
    AudioMixer mixer;
    AudioSynchronizer sync;
    Engine() {
        mixer.open();
        mixer.start();
        sync.setReader(&mixer);
    }
    ~Engine() {
        if (sync.isStarted()) sync.stop();
    }
};

TEST(AudioSynchronizerTest, TicksCarryChunksFromTheMixerToTheWriters) {
    ConstantReader src(0.25f);
    RecordingWriter w1, w2;
    TestTickProvider clock(256);
    Engine e;
    e.mixer.addInput(&src, 1.0f, false);
    e.sync.addWriter(&w1);
    e.sync.addWriter(&w2);
    e.sync.setTickProvider(&clock);
    e.sync.start();
    EXPECT_EQ(clock.startCount, 1);
    clock.tick();
    clock.tick();
    EXPECT_EQ(w1.frames, 512);
    EXPECT_EQ(w2.frames, 512);
    EXPECT_EQ(w1.samples[300], 0.25f);
    EXPECT_EQ(e.sync.getPosition(), 512);
    EXPECT_EQ(w1.format.sampleRate, 44100.0f) << "writers get the mixer's format at start";
}

TEST(AudioSynchronizerTest, BufferIsReusedWhileTheChunkSizeStays) {
    ConstantReader src(0.25f, 3);
    BufferSpy spy;
    Engine e;
    e.mixer.addInput(&src, 1.0f, false);
    e.sync.addWriter(&spy);
    e.sync.start();
    e.sync.ticked(512);
    SampleBuffer* first = spy.last;
    EXPECT_EQ(spy.counter, 0);
    EXPECT_EQ(spy.channels, 3) << "the reader's channel count at the first tick";
    e.sync.ticked(512);
    EXPECT_EQ(spy.last, first);
    EXPECT_EQ(spy.counter, 1);
    e.sync.ticked(1024);
    EXPECT_EQ(spy.counter, 0) << "a new size makes a new buffer";
    EXPECT_EQ(spy.channels, 3);
    EXPECT_EQ(spy.frames, 2048);
}

TEST(AudioSynchronizerTest, WritersOpenAndCloseWithTheSynchronizer) {
    RecordingWriter early, late;
    Engine e;
    e.sync.addWriter(&early);
    EXPECT_FALSE(early.isOpen()) << "not started yet";
    e.sync.start();
    EXPECT_TRUE(early.isOpen());
    EXPECT_TRUE(early.isStarted());
    e.sync.addWriter(&late);
    EXPECT_TRUE(late.isOpen()) << "added while started: opened at once";
    EXPECT_EQ(late.format.channels, 2);
    EXPECT_EQ(late.format.sampleRate, 44100.0f);
    e.sync.removeWriter(&late);
    EXPECT_FALSE(late.isOpen());
    EXPECT_EQ(e.sync.getWriter(1), nullptr);
    e.sync.ticked(64);
    EXPECT_EQ(late.frames, 0);
    e.sync.stop();
    EXPECT_FALSE(early.isOpen());
    EXPECT_FALSE(e.mixer.isOpen());
    e.sync.ticked(64);
    EXPECT_EQ(early.frames, 64) << "a tick after stop does nothing";
    e.sync.start();
    EXPECT_TRUE(early.isOpen());
    EXPECT_TRUE(e.mixer.isOpen());
    EXPECT_EQ(early.openCount, 2);
}

TEST(AudioSynchronizerTest, WithoutAReaderTheFirstWriterGivesTheFormat) {
    AudioSynchronizer sync;
    RecordingWriter a, b;
    a.format = AudioFormat(1, 8000.0f);
    b.format = AudioFormat(2, 48000.0f);
    sync.addWriter(&a);
    sync.addWriter(&b);
    sync.start();
    EXPECT_EQ(b.format.channels, 1);
    EXPECT_EQ(b.format.sampleRate, 8000.0f);
    sync.ticked(32); // no reader: the buffer keeps its contents
    EXPECT_EQ(a.frames, 32);
    sync.stop();
}

TEST(AudioSynchronizerTest, WrongCallsAreReported) {
    LogCapture log;
    Engine e;
    e.sync.start();
    e.sync.start();
    EXPECT_EQ(log.count("Call to AudioSynchronizer::start, but already started."), 1);
    e.sync.stop();
    e.sync.stop();
    EXPECT_TRUE(log.hasError("Call to AudioSynchronizer::stop, but already stopped.", 2));
    e.sync.addWriter(nullptr);
    EXPECT_TRUE(log.contains("DEBUG: AudioSynchronizer::addWriter() parameter NULL is not allowed. (level:1)"));
    EXPECT_EQ(e.sync.getWriterCount(), 0);
}

TEST(AudioSynchronizerTest, SwitchingProvidersStopsTheOldTickerFirst) {
    RecordingWriter w;
    TestTickProvider out(128, true), in(128, true);
    Engine e;
    w.keepSamples = false;
    e.sync.addWriter(&w);
    e.sync.setTickProvider(&in);
    e.sync.start();
    while (in.ticks < 5) std::this_thread::yield();
    e.sync.setTickProvider(&out);
    EXPECT_EQ(in.stopCount, 1);
    EXPECT_EQ(e.sync.getTickProvider(), &out);
    long inTicks = in.ticks;
    while (out.ticks < 5) std::this_thread::yield();
    EXPECT_EQ(in.ticks, inTicks) << "the old clock is silent";
    e.sync.setTickProvider(nullptr);
    EXPECT_EQ(out.stopCount, 1);
    int frames = w.frames;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(w.frames, frames) << "no clock, no chunks";
    e.sync.stop();
}

TEST(AudioSynchronizerTest, StopWaitsForTheTickerAndDropsTheBuffer) {
    BufferSpy spy;
    TestTickProvider clock(256, true);
    Engine e;
    e.sync.addWriter(&spy);
    e.sync.setTickProvider(&clock);
    e.sync.start();
    while (clock.ticks < 3) std::this_thread::yield();
    e.sync.stop();
    EXPECT_EQ(clock.stopCount, 1);
    EXPECT_EQ(clock.listener.load(), nullptr);
    e.sync.setTickProvider(nullptr);
    e.sync.start();
    e.sync.ticked(256);
    EXPECT_EQ(spy.counter, 0) << "a fresh buffer after a restart";
}

} // namespace
