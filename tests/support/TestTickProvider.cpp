#include "TestTickProvider.h"

#include "engine/TickListener.h"

namespace sonabel::test {

void TestTickProvider::startTicker(TickListener* l) {
    stopTicker();
    listener = l;
    startCount++;
    if (!useThread) return;
    stopping = false;
    thread = std::thread([this] {
        while (!stopping.load()) tick();
    });
}

void TestTickProvider::stopTicker() {
    if (thread.joinable()) {
        stopping = true;
        thread.join();
    }
    if (listener.exchange(nullptr)) stopCount++;
}

void TestTickProvider::setTickFrames(int32_t frames) {
    if (frames <= 10) return;
    tickFrames = frames;
}

void TestTickProvider::tick() {
    if (TickListener* l = listener.load()) {
        l->ticked(tickFrames.load());
        ticks++;
    }
}

} // namespace sonabel::test
