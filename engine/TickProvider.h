#pragma once
// The clock contract of the soundcards. startTicker runs a ticker thread
// (priority index 5) that calls the listener's ticked with the tick size each
// time the device is ready for one chunk; stopTicker ends it, waiting up to
// 1000 ms, and no tick comes after it returns.

#include <cstdint>

namespace sonabel {

class TickListener;

class TickProvider {
public:
    virtual ~TickProvider() = default;
    virtual void startTicker(TickListener* listener) = 0;
    virtual void stopTicker() = 0;
    // Ignores values of 10 or less and the current value.
    virtual void setTickFrames(int32_t frames) = 0;
    virtual int32_t getTickFrames() = 0;
};

} // namespace sonabel
