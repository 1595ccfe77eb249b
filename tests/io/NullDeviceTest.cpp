// The null device keeps a clock without any sound system, and
// chooseTickProvider picks the clock among the started devices. The stress
// test changes devices and the clock while the engine ticks; under TSan it
// proves the devices' locking.

#include "LogCapture.h"
#include "TestStreams.h"
#include "core/SampleBuffer.h"
#include "engine/AudioMixer.h"
#include "engine/AudioSynchronizer.h"
#include "io/TickProviderChoice.h"
#include "io/AudioDevice.h"
#include "io/AudioEvent.h"
#include "io/DirectSoundWriter.h"
#include "io/MMEReader.h"
#include "io/NullCaptureQueue.h"
#include "io/NullPlaybackRing.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

using namespace sonabel;
using namespace sonabel::test;
using Clock = std::chrono::steady_clock;

namespace {

struct Engine {
    AudioMixer mixer;
    AudioSynchronizer sync;
    Engine() {
        mixer.open();
        mixer.start();
        sync.setReader(&mixer);
        sync.start();
    }
    ~Engine() {
        sync.stop();
        sync.setTickProvider(nullptr);
    }
};

double rateOver(const std::function<int32_t()>& position, int ms) {
    const auto t0 = Clock::now();
    const int32_t p0 = position();
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return (position() - p0) / std::chrono::duration<double>(Clock::now() - t0).count();
}

} // namespace

TEST(AudioEvent, WakesOnceAndTimesOut) {
    AudioEvent event;
    EXPECT_FALSE(event.wait(5));
    event.set();
    EXPECT_TRUE(event.wait(0));
    EXPECT_FALSE(event.wait(0)) << "auto-reset";
    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        event.set();
    });
    EXPECT_TRUE(event.wait(2000));
    setter.join();
    event.set();
    event.reset();
    EXPECT_FALSE(event.wait(0));
}

TEST(NullDevice, FactoriesMakeTheSoundcardClasses) {
    EXPECT_EQ(getDeviceDriverCount(), 1);
    EXPECT_EQ(createOutputDevice(1), nullptr);
    EXPECT_EQ(createInputDevice(-1), nullptr);
    setenv("SONABEL_AUDIO_API", "null", 1);
    AudioOutputDevice* out = createOutputDevice(0);
    AudioInputDevice* in = createInputDevice(0);
    ASSERT_NE(out, nullptr);
    ASSERT_NE(in, nullptr);
    EXPECT_STREQ(out->getName(), "DirectSound");
    EXPECT_STREQ(in->getName(), "MME");
    ASSERT_EQ(out->getDeviceCount(), 1) << "with no sound system only the null device is left";
    EXPECT_STREQ(out->getDeviceName(0), "Null device (no sound)");
    EXPECT_STREQ(in->getDeviceName(0), "Null device (no sound)");
    delete out;
    delete in;
    unsetenv("SONABEL_AUDIO_API");
}

TEST(NullDevice, WriterAndReaderKeepTheClockAtTheFormatsRate) {
    ConstantReader source(0.25f);
    DirectSoundWriter writer(std::vector<PlaybackRing*>{new NullPlaybackRing});
    writer.setBufferCount(2);
    MMEReader reader(std::vector<CaptureQueue*>{new NullCaptureQueue});
    Engine engine;
    engine.mixer.addInput(&source, 1.0f, false);
    engine.sync.addWriter(&writer);
    chooseTickProvider(&engine.sync, &writer, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const double out = rateOver([&] { return writer.getPosition(); }, 1500);
    EXPECT_NEAR(out, 44100.0, 4410.0);

    engine.sync.removeWriter(&writer);
    engine.mixer.addInput(&reader, 1.0f, false);
    chooseTickProvider(&engine.sync, &writer, &reader);
    EXPECT_EQ(engine.sync.getTickProvider(), &reader);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const double in = rateOver([&] { return engine.sync.getPosition(); }, 1500);
    EXPECT_NEAR(in, 44100.0, 4410.0);
    engine.mixer.removeInput(&reader);
    engine.mixer.removeInput(&source);
    chooseTickProvider(&engine.sync, &writer, &reader);
    reader.close();
}

TEST(TickProviderChoice, OutputWinsThenInputThenNone) {
    setDebugThreshold(5);
    DirectSoundWriter writer(std::vector<PlaybackRing*>{new NullPlaybackRing});
    MMEReader reader(std::vector<CaptureQueue*>{new NullCaptureQueue});
    AudioSynchronizer sync;
    LogCapture log;
    chooseTickProvider(nullptr, &writer, &reader); // before the panels: nothing
    chooseTickProvider(&sync, &writer, &reader);
    EXPECT_EQ(sync.getTickProvider(), nullptr);
    EXPECT_EQ(log.count("tickprovider"), 0) << "no provider, none to drop";

    writer.open();
    writer.start();
    reader.open();
    reader.start();
    chooseTickProvider(&sync, &writer, &reader);
    EXPECT_EQ(sync.getTickProvider(), &writer);
    EXPECT_TRUE(log.contains("DEBUG: Using tickprovider DirectSound Null device (no sound) out. (level:2)"));
    chooseTickProvider(&sync, &writer, &reader);
    EXPECT_EQ(log.count("Using tickprovider"), 1) << "the same provider again is not announced";

    writer.stop();
    chooseTickProvider(&sync, &writer, &reader);
    EXPECT_EQ(sync.getTickProvider(), &reader);
    EXPECT_TRUE(log.contains("DEBUG: Using new tickprovider MME Null device (no sound) in. (level:2)"));

    reader.stop();
    chooseTickProvider(&sync, &writer, &reader);
    chooseTickProvider(&sync, &writer, &reader);
    EXPECT_EQ(sync.getTickProvider(), nullptr);
    EXPECT_EQ(log.count("DEBUG: Now using no tickprovider. (level:2)"), 1);
    writer.close();
    reader.close();
}

TEST(DeviceStress, DevicesOpenCloseAndSwitchClocksWhileTheEngineTicks) {
    ConstantReader source(0.1f);
    DirectSoundWriter writer(std::vector<PlaybackRing*>{new NullPlaybackRing});
    writer.setBufferCount(2);
    MMEReader reader(std::vector<CaptureQueue*>{new NullCaptureQueue});
    RecordingWriter file;
    file.keepSamples = false;
    Engine engine;
    engine.mixer.addInput(&source, 1.0f, false);
    engine.sync.addWriter(&file);

    std::mt19937 rng(6);
    const auto end = Clock::now() + std::chrono::seconds(4);
    int changes = 0;
    while (Clock::now() < end) {
        switch (rng() % 9) {
        case 0: engine.sync.addWriter(&writer); break;
        case 1: engine.sync.removeWriter(&writer); break;
        case 2: engine.mixer.addInput(&reader, 1.0f, false); break;
        case 3: engine.mixer.removeInput(&reader); reader.close(); break;
        case 4: writer.setBufferCount(static_cast<int32_t>(1 + rng() % 20)); break;
        case 5: reader.setBufferCount(static_cast<int32_t>(2 + rng() % 10)); break;
        case 6: writer.setTickFrames(rng() % 2 ? 512 : 1024); break;
        case 7: reader.setTickFrames(rng() % 2 ? 512 : 1024); break;
        case 8: break;
        }
        chooseTickProvider(&engine.sync, &writer, &reader);
        ++changes;
        std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>(rng() % 5)));
    }
    engine.sync.removeWriter(&writer);
    engine.mixer.removeInput(&reader);
    chooseTickProvider(&engine.sync, &writer, &reader);
    reader.close();
    engine.mixer.removeInput(&source);
    EXPECT_GT(changes, 200);
    EXPECT_GT(file.chunks.load(), 10) << "the engine kept ticking";
}
