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

// A display host without windows: each window is a small pixel array that
// the audio thread paints at once (synchronous display) or the test thread
// paints when it handles the requests, as the interface does.
class MemorySurface : public DisplaySurface {
public:
    explicit MemorySurface(std::vector<DisplayColour>& p) : pixels(p) {}
    void fillRect(int left, int top, int right, int bottom, DisplayColour colour) override {
        for (int y = std::max(top, 0); y < std::min(bottom, height); ++y)
            for (int x = std::max(left, 0); x < std::min(right, width); ++x) pixels[static_cast<size_t>(y * width + x)] = colour;
    }
    void drawPolyline(const DisplayPoint* points, int count, DisplayColour colour) override {
        for (int i = 0; i < count; ++i)
            if (points[i].x >= 0 && points[i].x < width && points[i].y >= 0 && points[i].y < height)
                pixels[static_cast<size_t>(points[i].y * width + points[i].x)] = colour;
    }
    static constexpr int width = 160, height = 80;

private:
    std::vector<DisplayColour>& pixels;
};

struct MemoryWindow : DisplayWindow {
    explicit MemoryWindow(DisplayClient* c) : client(c), pixels(MemorySurface::width * MemorySurface::height) {}
    void paint() {
        MemorySurface surface(pixels);
        client->paintWindow(surface, MemorySurface::width, MemorySurface::height);
    }
    DisplayClient* client;
    std::mutex lock;
    std::vector<DisplayColour> pixels;
    std::atomic<bool> pending{false};
};

class MemoryHost : public DisplayHost {
public:
    DisplayWindow* createWindow(DisplayClient* client, const char*) override {
        std::lock_guard<std::mutex> guard(listLock);
        windows.push_back(std::make_unique<MemoryWindow>(client));
        return windows.back().get();
    }
    void raiseWindow(DisplayWindow*) override {}
    void destroyWindow(DisplayWindow* window) override {
        std::lock_guard<std::mutex> guard(listLock);
        std::erase_if(windows, [window](const auto& w) { return w.get() == window; });
    }
    void redrawNow(DisplayWindow* window) override {
        auto* w = static_cast<MemoryWindow*>(window);
        std::unique_lock<std::mutex> guard(w->lock, std::try_to_lock);
        if (guard.owns_lock())
            w->paint();
        else
            w->pending = true;
    }
    void requestRedraw(DisplayWindow* window) override { static_cast<MemoryWindow*>(window)->pending = true; }
    // The interface thread's turn: paint the windows that asked.
    void paintPending() {
        std::lock_guard<std::mutex> guard(listLock);
        for (auto& w : windows)
            if (w->pending.exchange(false)) {
                std::lock_guard<std::mutex> painting(w->lock);
                w->paint();
            }
    }

private:
    std::mutex listLock; // the test thread only; keeps the list tidy
    std::vector<std::unique_ptr<MemoryWindow>> windows;
};

struct CountingListener : FilterListener {
    void parameterTextChanged(AudioFilter*, int) override { ++texts; }
    void parameterValueChanged(AudioFilter*, int) override { ++values; }
    DisplayHost* getDisplayHost() override { return host; }
    std::atomic<long> texts{0}, values{0};
    DisplayHost* host = nullptr;
};

struct CountingMonitor : LoadMonitor {
    void reportLoad(AudioMixer*) override { ++reports; }
    std::atomic<long> reports{0};
};

} // namespace

// What the filter box does while the sound runs, at the engine's level:
// filters of every kind added (in the stream's format), deleted and moved,
// their parameters set (display windows shown and hidden, synchronous
// display toggled), display windows painted on this thread while the audio
// thread paints synchronous ones, load figures read and reset, and whole
// chains swapped in from their text form.
TEST(EngineStressTest, FilterChainChangesWhileTicking) {
    AudioMixer mixer;
    ConstantReader input(0.2f, 1, 48000.0f);
    mixer.addInput(&input, 1.0f, false);
    CountingMonitor monitor;
    mixer.loadMonitor = &monitor; // filters are timed
    AudioSynchronizer sync;
    sync.setReader(&mixer);
    TestTickProvider clock(512, true);
    sync.setTickProvider(&clock);
    sync.start();
    MemoryHost host;
    CountingListener listener;
    listener.host = &host;
    const FilterChainFile chainFile(FilterFactory{getFilterCount, createFilter});
    const char* chains[] = {
        "Forward Wavelet Transform\nWavelet Display | Synchronous Display = yes\nWavelet Denoiser\n"
        "Inverse Wavelet Transform\nTime domain Display\n",
        "Delay | Delay = 20\nStatistics\nButterworth Lowpass\n",
    };

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
    const long target = 3000;
    int changes = 0;
    while (clock.ticks < target || changes < 1500) {
        const size_t n = chain.size();
        switch (rng() % 8) {
        case 0: add(createFilter(static_cast<int>(rng() % static_cast<unsigned>(getFilterCount())))); break;
        case 1:
            if (n > 0) remove(rng() % n);
            break;
        case 2:
            if (n > 1) {
                const size_t from = rng() % n, to = rng() % n;
                AudioFilter* moved = chain[from];
                chain.erase(chain.begin() + static_cast<long>(from));
                chain.insert(chain.begin() + static_cast<long>(to), moved);
                mixer.moveFilterNr(static_cast<int>(from), static_cast<int>(to));
            }
            break;
        case 3:
        case 4:
            if (n > 0) {
                AudioFilter* f = chain[rng() % n];
                if (f->getParameterCount() > 0) {
                    const int i = static_cast<int>(rng() % static_cast<unsigned>(f->getParameterCount()));
                    f->setParameter(i, static_cast<int>(rng() % 60));
                }
            }
            break;
        case 5: host.paintPending(); break;
        case 6:
            for (AudioFilter* f : chain) {
                f->processCount.exchange(0);
                f->processTime.exchange(0.0f);
            }
            break;
        case 7: {
            std::istringstream text(chains[rng() % 2]);
            std::vector<AudioFilter*> loaded;
            std::string error;
            ASSERT_TRUE(chainFile.parse(text, loaded, error)) << error;
            while (!chain.empty()) remove(chain.size() - 1);
            for (AudioFilter* f : loaded) add(f);
            break;
        }
        }
        ++changes;
        std::this_thread::yield();
    }
    sync.stop();
    sync.setTickProvider(nullptr);
    while (!chain.empty()) remove(chain.size() - 1);
    mixer.removeInput(&input);
    EXPECT_GE(clock.ticks.load(), target);
    EXPECT_GT(listener.texts.load(), 0);
    EXPECT_GT(monitor.reports.load(), 0);
}
