#pragma once

namespace sonabel {

class Thread;

// The body of a thread. It polls thread.shouldStop() often enough to end
// within its owner's time-out (1000 ms everywhere in the system).
class Runnable {
public:
    virtual ~Runnable() = default;
    virtual void run(Thread& thread) = 0;
};

} // namespace sonabel
