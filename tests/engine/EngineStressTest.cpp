// One thread ticks the engine as fast as it can while the test thread keeps
// changing everything the interface may change. Run under TSan this proves
// the locking; anywhere it proves there is no crash and no deadlock.

#include "TestStreams.h"
#include "TestTickProvider.h"
#include "engine/AudioMixer.h"
#include "engine/AudioSynchronizer.h"
#include "engine/LoadMonitor.h"
#include "filters/AudioFilter.h"
#include "filters/DisplayClient.h"
#include "filters/DisplayHost.h"
#include "filters/DisplaySurface.h"
#include "filters/FilterCatalogue.h"
#include "filters/FilterChainFile.h"
#include "filters/FilterListener.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <random>
#include <sstream>
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

namespace {

// A display host whose windows are pixel arrays: the audio thread paints one
// at once (synchronous display) unless this thread is painting it, and this
// thread paints the ones that asked, as the interface does.
struct MemoryWindow : DisplayWindow, DisplaySurface {
    static constexpr int width = 160, height = 80;
    void fillRect(int l, int t, int r, int b, DisplayColour c) override {
        for (int y = std::max(t, 0); y < std::min(b, height); ++y)
            for (int x = std::max(l, 0); x < std::min(r, width); ++x) pixels[static_cast<size_t>(y * width + x)] = c;
    }
    void drawPolyline(const DisplayPoint* p, int count, DisplayColour c) override {
        for (int i = 0; i < count; ++i) fillRect(p[i].x, p[i].y, p[i].x + 1, p[i].y + 1, c);
    }
    DisplayClient* client = nullptr;
    std::mutex lock;
    std::vector<DisplayColour> pixels = std::vector<DisplayColour>(width * height);
    std::atomic<bool> pending{false};
};

struct MemoryHost : DisplayHost {
    DisplayWindow* createWindow(DisplayClient* client, const char*) override {
        windows.push_back(std::make_unique<MemoryWindow>());
        windows.back()->client = client;
        return windows.back().get();
    }
    void raiseWindow(DisplayWindow*) override {}
    void destroyWindow(DisplayWindow* w) override { std::erase_if(windows, [w](auto& m) { return m.get() == w; }); }
    void redrawNow(DisplayWindow* window) override {
        auto* w = static_cast<MemoryWindow*>(window);
        std::unique_lock<std::mutex> guard(w->lock, std::try_to_lock);
        if (!guard.owns_lock()) w->pending = true;
        else w->client->paintWindow(*w, w->width, w->height);
    }
    void requestRedraw(DisplayWindow* window) override { static_cast<MemoryWindow*>(window)->pending = true; }
    void paintPending() {
        for (auto& w : windows)
            if (w->pending.exchange(false)) {
                std::lock_guard<std::mutex> guard(w->lock);
                w->client->paintWindow(*w, w->width, w->height);
            }
    }
    std::vector<std::unique_ptr<MemoryWindow>> windows; // this thread only
};

struct CountingListener : FilterListener, LoadMonitor {
    void parameterTextChanged(AudioFilter*, int) override { ++texts; }
    void parameterValueChanged(AudioFilter*, int) override {}
    DisplayHost* getDisplayHost() override { return &host; }
    void reportLoad(AudioMixer*) override { ++reports; }
    std::atomic<long> texts{0}, reports{0};
    MemoryHost host;
};

} // namespace

// What the filter box does while the sound runs, at the engine's level:
// catalogue filters added (in the stream's format), deleted and moved, their
// parameters set (display windows shown and hidden, synchronous display
// toggled), windows painted here while the audio thread paints synchronous
// ones, load figures read and reset, whole chains swapped in from text.
TEST(EngineStressTest, FilterChainChangesWhileTicking) {
    AudioMixer mixer;
    ConstantReader input(0.2f, 1, 48000.0f);
    mixer.addInput(&input, 1.0f, false);
    CountingListener listener;
    mixer.loadMonitor = &listener; // filters are timed
    AudioSynchronizer sync;
    sync.setReader(&mixer);
    TestTickProvider clock(512, true);
    sync.setTickProvider(&clock);
    sync.start();
    const FilterChainFile chainFile(FilterFactory{getFilterCount, createFilter});
    const char* chains[] = {"Forward Wavelet Transform\nWavelet Display | Synchronous Display = yes\n"
                            "Wavelet Denoiser\nInverse Wavelet Transform\nTime domain Display\n",
                            "Delay | Delay = 20\nStatistics\nButterworth Lowpass\n"};
    std::vector<AudioFilter*> chain; // owned here, in chain order
    auto add = [&](AudioFilter* filter) {
        filter->listener = &listener;
        filter->setFormat(*mixer.getAudioFormat());
        mixer.addFilter(filter);
        chain.push_back(filter);
    };
    auto remove = [&](size_t i) {
        mixer.removeFilter(chain[i]);
        delete chain[i];
        chain.erase(chain.begin() + static_cast<long>(i));
    };
    std::mt19937 rng(777);
    for (int changes = 0; clock.ticks < 3000 || changes < 1500; ++changes, std::this_thread::yield()) {
        const size_t n = chain.size();
        AudioFilter* some = n ? chain[rng() % n] : nullptr;
        switch (rng() % 7) {
        case 0: add(createFilter(static_cast<int>(rng() % 13))); break;
        case 1: if (n) remove(rng() % n); break;
        case 2:
            if (n > 1) {
                const size_t from = rng() % n, to = rng() % n;
                some = chain[from];
                chain.erase(chain.begin() + static_cast<long>(from));
                chain.insert(chain.begin() + static_cast<long>(to), some);
                mixer.moveFilterNr(static_cast<int>(from), static_cast<int>(to));
            }
            break;
        case 3:
            if (some && some->getParameterCount() > 0)
                some->setParameter(static_cast<int>(rng() % static_cast<unsigned>(some->getParameterCount())),
                                   static_cast<int>(rng() % 60));
            break;
        case 4: listener.host.paintPending(); break;
        case 5:
            if (some) some->processCount.exchange(0), some->processTime.exchange(0.0f);
            break;
        default: {
            std::istringstream text(chains[rng() % 2]);
            std::vector<AudioFilter*> loaded;
            std::string error;
            ASSERT_TRUE(chainFile.parse(text, loaded, error)) << error;
            while (!chain.empty()) remove(chain.size() - 1);
            for (AudioFilter* f : loaded) add(f);
        }
        }
    }
    sync.stop();
    sync.setTickProvider(nullptr);
    while (!chain.empty()) remove(chain.size() - 1);
    mixer.removeInput(&input);
    EXPECT_GT(listener.texts.load(), 0);
    EXPECT_GT(listener.reports.load(), 0);
}
