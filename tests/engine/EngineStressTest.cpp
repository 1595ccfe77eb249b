// One thread ticks the engine as fast as it can while the test thread keeps
// changing everything the interface may change. Run under TSan this proves
// the locking; anywhere it proves there is no crash and no deadlock.

#include "TestStreams.h"
#include "TestTickProvider.h"
#include "engine/AudioMixer.h"
#include "engine/AudioSynchronizer.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <thread>
#include <vector>

using namespace sonabel;
using namespace sonabel::test;

TEST(EngineStressTest, ChangesWhileTickingNeitherCrashNorDeadlock) {
    AudioMixer mixer;
    mixer.open();
    mixer.start();
    AudioSynchronizer sync;
    sync.setReader(&mixer);
    TestTickProvider clock(256, true);
    sync.setTickProvider(&clock);
    sync.start();

    std::vector<std::unique_ptr<GainFilter>> filters;
    for (int i = 0; i < 4; ++i) filters.push_back(std::make_unique<GainFilter>(100));
    std::vector<std::unique_ptr<ConstantReader>> inputs;
    for (int i = 0; i < 3; ++i) inputs.push_back(std::make_unique<ConstantReader>(0.1f));
    std::vector<std::unique_ptr<RecordingWriter>> writers;
    for (int i = 0; i < 3; ++i) {
        writers.push_back(std::make_unique<RecordingWriter>());
        writers.back()->keepSamples = false;
    }
    TestTickProvider other(256, true);

    std::mt19937 rng(12345);
    const long target = 10000;
    int changes = 0;
    while (clock.ticks + other.ticks < target || changes < 2000) {
        int i = static_cast<int>(rng() % 3);
        switch (rng() % 10) {
        case 0: mixer.addFilter(filters[rng() % 4].get()); break;
        case 1:
            if (mixer.getFilterCount() > 0) mixer.removeFilterNr(static_cast<int>(rng() % static_cast<unsigned>(mixer.getFilterCount())));
            break;
        case 2:
            if (mixer.getFilterCount() > 1)
                mixer.moveFilterNr(0, mixer.getFilterCount() - 1);
            break;
        case 3: mixer.addInput(inputs[static_cast<size_t>(i)].get(), 1.0f, false); break;
        case 4: mixer.removeInput(inputs[static_cast<size_t>(i)].get()); break;
        case 5: mixer.setInputVolume(inputs[static_cast<size_t>(i)].get(), static_cast<float>(rng() % 100) / 100.0f); break;
        case 6: sync.addWriter(writers[static_cast<size_t>(i)].get()); break;
        case 7: sync.removeWriter(writers[static_cast<size_t>(i)].get()); break;
        case 8:
            filters[rng() % 4]->setParameter(0, static_cast<int>(rng() % 200));
            filters[rng() % 4]->setActive(rng() % 2 == 0);
            break;
        case 9: sync.setTickProvider(rng() % 2 ? static_cast<TickProvider*>(&clock) : &other); break;
        }
        ++changes;
        std::this_thread::yield();
    }
    sync.stop();
    sync.setTickProvider(nullptr);
    while (mixer.getFilterCount() > 0) mixer.removeFilterNr(0);
    while (mixer.getInputCount() > 0) mixer.removeInputNr(0);
    EXPECT_GE(clock.ticks + other.ticks, target);
    EXPECT_GE(changes, 2000);
}
