#include "LogCapture.h"
#include "TestStreams.h"
#include "core/SampleBuffer.h"
#include "engine/AudioMixer.h"
#include "engine/LoadMonitor.h"
#include "filters/FilterListener.h"

#include <gtest/gtest.h>

using namespace sonabel;
using namespace sonabel::test;

namespace {

struct CountingMonitor : LoadMonitor {
    int reports = 0;
    void reportLoad(AudioMixer*) override { ++reports; }
};

struct WindowSpy : AudioFilter {
    AudioFormat format;
    float firstSample = -99.0f;
    int calls = 0;
    const char* getName() override { return "Spy"; }
    const char* getDescription() override { return "Remembers what it saw."; }
    AudioFormat* getFormat() override { return &format; }
    void setFormat(const AudioFormat& f) override { format.copyFrom(f); }
    void process(SampleBuffer& b) override {
        ++calls;
        firstSample = b.getBuffer(0)[0];
        for (int c = 0; c < b.channelCount; ++c)
            for (int i = 0; i < b.currCount; ++i)
                if (b.getBuffer(c)[i] != firstSample) firstSample = -42.0f;
    }
    int32_t getParameterCount() override { return 0; }
    const ParameterInfo* getParameterInfo(int32_t) override { return nullptr; }
    void setParameter(int32_t, int32_t) override {}
    int32_t getParameter(int32_t) override { return 0; }
    char* getParameterText(int32_t, char* b, int32_t) override {
        b[0] = 0;
        return b;
    }
};

TEST(AudioMixerTest, NoInputsGiveASilentWindowToTheFilters) {
    AudioMixer mixer;
    mixer.open();
    WindowSpy spy;
    mixer.addFilter(&spy);
    SampleBuffer b(2, 64);
    for (int i = 0; i < 64; ++i) b.getBuffer(1)[i] = 3.0f;
    EXPECT_EQ(mixer.read(b, 0, 0.0f), 0);
    EXPECT_EQ(spy.firstSample, 0.0f);
    mixer.removeFilter(&spy);
}

TEST(AudioMixerTest, SumsInputsWithTheirVolumes) {
    ConstantReader a(0.4f), b(0.4f);
    AudioMixer mixer;
    mixer.addInput(&a, 1.0f, false);
    mixer.addInput(&b, 0.5f, false);
    mixer.open();
    SampleBuffer buf(2, 32);
    EXPECT_EQ(mixer.read(buf, 0, 0.0f), 32);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 32; ++i) ASSERT_FLOAT_EQ(buf.getBuffer(c)[i], 0.6f);

    // Read as one input of another stage: add half of the sum, keep the rest.
    for (int i = 0; i < 32; ++i) buf.getBuffer(0)[i] = 1.0f;
    mixer.read(buf, 0, 0.5f);
    EXPECT_FLOAT_EQ(buf.getBuffer(0)[5], 1.3f);

    // A volume of 0 is stored as a tiny gain, never as "overwrite".
    mixer.setInputVolume(&a, 0.0f);
    mixer.setInputVolume(&b, 0.0f);
    for (int i = 0; i < 32; ++i) buf.getBuffer(0)[i] = 1.0f;
    mixer.read(buf, 0, 0.5f);
    EXPECT_NEAR(buf.getBuffer(0)[0], 1.0f, 1e-5f);
    EXPECT_GT(buf.getBuffer(0)[0], 1.0f);
}

TEST(AudioMixerTest, ClosedInputsAreSkippedAndPositionCountsFramesAskedFor) {
    ConstantReader open(0.25f), closed(0.5f), shortOne(0.125f, 2, 44100.0f, 100);
    AudioMixer mixer;
    mixer.addInput(&open, 1.0f, false);
    mixer.addInput(&closed, 1.0f, false);
    mixer.addInput(&shortOne, 1.0f, false);
    mixer.open();
    closed.close();
    SampleBuffer buf(2, 512);
    EXPECT_EQ(mixer.read(buf, 0, 0.0f), 512);
    EXPECT_FLOAT_EQ(buf.getBuffer(0)[0], 0.375f);
    EXPECT_FLOAT_EQ(buf.getBuffer(0)[200], 0.25f);
    open.close();
    EXPECT_EQ(mixer.read(buf, 512, 0.0f), 0) << "only the ended input remains";
    mixer.read(buf, 1024, 0.0f);
    EXPECT_EQ(mixer.getPosition(), 1536);
    EXPECT_EQ(mixer.getInputCount(), 3) << "ended inputs without autoDelete stay";
}

TEST(AudioMixerTest, EndedAutoDeleteInputIsRemovedAndTheNextStillRead) {
    bool destroyed = false;
    auto* ending = new ConstantReader(0.5f, 2, 44100.0f, 10);
    ConstantReader after(0.25f);
    AudioMixer mixer;
    ending->destroyedFlag = &destroyed;
    mixer.addInput(ending, 1.0f, true);
    mixer.addInput(&after, 1.0f, false);
    mixer.open();
    SampleBuffer buf(2, 64);
    mixer.read(buf, 0, 0.0f);
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(mixer.getInputCount(), 1);
    EXPECT_EQ(mixer.getInput(0), &after);
    EXPECT_FLOAT_EQ(buf.getBuffer(0)[0], 0.75f);
    EXPECT_FLOAT_EQ(buf.getBuffer(0)[10], 0.25f) << "the entry after the removed one was read";
}

TEST(AudioMixerTest, FormatFollowsTheInputsAndNeverLosesChannels) {
    ConstantReader mono(0.1f, 1, 22050.0f), quad(0.1f, 4, 48000.0f);
    AudioMixer mixer;
    GainFilter filter;
    mixer.addFilter(&filter);
    mixer.open();
    mixer.addInput(&mono, 1.0f, false);
    EXPECT_EQ(mixer.getAudioFormat()->channels, 2);
    EXPECT_EQ(mixer.getAudioFormat()->sampleRate, 22050.0f);
    EXPECT_EQ(filter.format.sampleRate, 22050.0f) << "the chain is told";
    mixer.addInput(&quad, 1.0f, false);
    EXPECT_EQ(mixer.getAudioFormat()->channels, 4);
    EXPECT_EQ(mixer.getAudioFormat()->sampleRate, 22050.0f) << "the first input gives the rate";
    mixer.removeInput(&quad);
    EXPECT_EQ(mixer.getAudioFormat()->channels, 4);
    EXPECT_EQ(filter.formatChanges, 3) << "on entering the chain, and two changes";

    // A filter added while sound runs takes the chain's format at once.
    mixer.start();
    GainFilter late;
    mixer.addFilter(&late);
    EXPECT_EQ(late.getFormat()->channels, 4);
    EXPECT_EQ(late.getFormat()->sampleRate, 22050.0f);
    mixer.removeFilter(&late);
    mixer.removeFilter(&filter);
}

TEST(AudioMixerTest, AFilterEnteringTheChainGetsTheFormatWhateverTheOrder) {
    // The renderer's order (input, filters, open) leaves the format unchanged
    // at open, so only addFilter can tell the filters.
    const struct {
        float rate;
        int channels, expectedChannels;
    } cases[] = {{8000.0f, 1, 2}, {22050.0f, 2, 2}, {48000.0f, 1, 2}, {192000.0f, 2, 2}, {96000.0f, 6, 6}};
    for (const auto& c : cases) {
        for (bool inputFirst : {true, false}) {
            ConstantReader input(0.1f, c.channels, c.rate);
            GainFilter filter;
            AudioMixer mixer;
            if (inputFirst) mixer.addInput(&input, 1.0f, false);
            mixer.addFilter(&filter);
            if (!inputFirst) mixer.addInput(&input, 1.0f, false);
            mixer.open();
            EXPECT_EQ(filter.getFormat()->sampleRate, c.rate) << c.rate << (inputFirst ? " input first" : " filter first");
            EXPECT_EQ(filter.getFormat()->channels, c.expectedChannels) << c.rate;
            mixer.removeFilter(&filter);
        }
    }
}

TEST(AudioMixerTest, InputLifeCycleFollowsTheMixer) {
    ConstantReader early(0.1f);
    ConstantReader late(0.1f);
    AudioMixer mixer;
    mixer.addInput(&early, 1.0f, false);
    EXPECT_FALSE(early.isOpen());
    mixer.open();
    EXPECT_TRUE(early.isOpen());
    mixer.start();
    EXPECT_TRUE(early.isStarted());
    mixer.addInput(&late, 1.0f, false);
    EXPECT_TRUE(late.isOpen());
    EXPECT_TRUE(late.isStarted());
    mixer.close();
    EXPECT_FALSE(early.isOpen());
    EXPECT_TRUE(mixer.isStarted()) << "close leaves the started flag";
    mixer.removeInputNr(0);
    EXPECT_EQ(mixer.getInputCount(), 1);
}

TEST(AudioMixerTest, WrongCallsAreReported) {
    LogCapture log;
    AudioMixer mixer;
    SampleBuffer buf(2, 8);
    EXPECT_EQ(mixer.read(buf, 0, 0.0f), 0);
    EXPECT_TRUE(log.hasError("AudioMixer::read: has not been opened before.", 2));
    mixer.start();
    EXPECT_TRUE(log.hasError("AudioMixer::start(): not opened.", 2));
    EXPECT_EQ(mixer.getFilter(-1), nullptr);
    EXPECT_TRUE(log.hasError("AudioMixer::getFilter: argument range fault.", 2));
    mixer.removeFilterNr(0);
    EXPECT_TRUE(log.hasError("AudioMixer::removeFilterNr: argument range fault.", 2));
    mixer.moveFilterNr(0, 1);
    EXPECT_TRUE(log.hasError("AudioMixer::moveFilterNr: argument range fault.", 2));
    EXPECT_EQ(mixer.getInput(0), nullptr);
    EXPECT_TRUE(log.hasError("AudioMixer::getInput: argument range fault.", 2));
    mixer.removeInputNr(3);
    EXPECT_TRUE(log.hasError("AudioMixer::removeInputNr: argument range fault.", 2));
    mixer.stop();
    EXPECT_TRUE(log.contains("DEBUG: AudioMixer::stop(): not started. (level:2)"));
    mixer.close();
    EXPECT_TRUE(log.contains("DEBUG: AudioMixer::close(): mixer is not open. (level:3)"));
    mixer.open();
    mixer.open();
    EXPECT_TRUE(log.contains("DEBUG: Multiple call to AudioMixer::open(). (level:3)"));
}

TEST(AudioMixerTest, FiltersRunInOrderAndInactiveOnesAreSkippedAndUntimed) {
    ConstantReader src(0.5f);
    AudioMixer mixer;
    CountingMonitor monitor;
    mixer.loadMonitor = &monitor;
    mixer.addInput(&src, 1.0f, false);
    GainFilter half(50), twice(200), off(0);
    mixer.addFilter(&half);
    mixer.addFilter(&off);
    mixer.addFilter(&twice);
    off.setActive(false);
    mixer.moveFilterNr(2, 0);
    EXPECT_EQ(mixer.getFilter(0), &twice);
    mixer.open();
    SampleBuffer buf(2, 16);
    for (int i = 0; i < 19; ++i) mixer.read(buf, 0, 0.0f);
    EXPECT_EQ(monitor.reports, 1);
    for (int i = 0; i < 19; ++i) mixer.read(buf, 0, 0.0f);
    EXPECT_EQ(monitor.reports, 2);
    EXPECT_FLOAT_EQ(buf.getBuffer(1)[3], 0.5f);
    EXPECT_EQ(off.processCalls, 0);
    EXPECT_EQ(off.processCount, 0);
    EXPECT_EQ(off.processTime, 0.0f);
    EXPECT_EQ(half.processCount, 38);
    for (int i = 2; i >= 0; --i) mixer.removeFilterNr(i);
    EXPECT_EQ(mixer.getFilterCount(), 0);
}

TEST(AudioMixerTest, AvailableTakesTheLargestAnswer) {
    ConstantReader ended(0.1f, 2, 44100.0f, 0), shortOne(0.1f, 2, 44100.0f, 100);
    AudioMixer mixer;
    EXPECT_EQ(mixer.available(512), 0);
    mixer.addInput(&ended, 1.0f, false);
    EXPECT_EQ(mixer.available(512), 0) << "only ended inputs";
    mixer.addInput(&shortOne, 1.0f, false);
    EXPECT_EQ(mixer.available(512), 100);
}

TEST(FilterParameterTest, ValuesAreClampedAndTheListenerToldOnce) {
    struct Listener : FilterListener {
        std::vector<int> texts;
        void parameterTextChanged(AudioFilter*, int i) override { texts.push_back(i); }
        void parameterValueChanged(AudioFilter*, int) override {}
    } listener;
    LogCapture log;
    GainFilter f;
    f.setParameter(0, 7); // no listener yet: changes silently
    EXPECT_EQ(f.getParameter(0), 7);
    f.listener = &listener;
    f.setParameter(0, 250);
    EXPECT_EQ(f.getParameter(0), 200);
    f.setParameter(0, -3);
    EXPECT_EQ(f.getParameter(0), 0);
    EXPECT_EQ(listener.texts, (std::vector<int>{0, 0}));
    EXPECT_EQ(f.getParameterInfo(1), nullptr);
    EXPECT_TRUE(log.hasError("GainFilter::getParameterInfo(1): out of range.", 2));
    EXPECT_EQ(f.getParameterInfo(-1), nullptr);
    EXPECT_TRUE(log.hasError("GainFilter::getParameterInfo(-1): out of range.", 2));
    f.setParameter(3, 9);
    EXPECT_TRUE(log.hasError("GainFilter::setParameter(3, 9): number out of range.", 2));
    EXPECT_EQ(listener.texts.size(), 2u);
}

} // namespace
