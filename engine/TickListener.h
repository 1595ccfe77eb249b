#pragma once

#include <cstdint>

namespace sonabel {

// Called by a clock each time the device can take (playback) or has
// (capture) one more chunk of frames. Runs on the clock's ticker thread.
class TickListener {
public:
    virtual ~TickListener() = default;
    virtual void ticked(int32_t frames) = 0;
};

} // namespace sonabel
