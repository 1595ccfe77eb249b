#pragma once
// A clock for tests: tick() calls the listener by hand, or a thread ticks it
// as fast as it can (or at a fixed pace) until stopTicker.

#include "engine/TickProvider.h"

#include <atomic>
#include <thread>

namespace sonabel::test {

class TestTickProvider : public sonabel::TickProvider {
public:
    explicit TestTickProvider(int32_t frames = 1024, bool threaded = false) : tickFrames(frames), useThread(threaded) {}
    ~TestTickProvider() override { stopTicker(); }

    void startTicker(TickListener* l) override;
    void stopTicker() override;
    void setTickFrames(int32_t frames) override;
    int32_t getTickFrames() override { return tickFrames.load(); }

    // Calls the listener once, as the device's thread would.
    void tick();

    std::atomic<TickListener*> listener{nullptr};
    std::atomic<int32_t> tickFrames;
    std::atomic<int> startCount{0};
    std::atomic<int> stopCount{0};
    std::atomic<long> ticks{0};

private:
    bool useThread;
    std::atomic<bool> stopping{false};
    std::thread thread;
};

} // namespace sonabel::test
