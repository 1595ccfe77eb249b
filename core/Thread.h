#pragma once
// A thread that stops cooperatively: terminate raises a flag that the body
// polls, then waits a bounded time. One object serves one thread: make a new
// one for every start.
//
// Priority indexes: 0 idle, 1 lowest, 2 below normal, 3 normal (default),
// 4 above normal, 5 highest (the soundcard tickers), 6 time critical.

#include <cstdint>

namespace sonabel {

class Runnable;

class Thread {
public:
    virtual ~Thread() = default;
    // Starts the runnable on a new thread; false when none could be made.
    virtual bool run(Runnable* runnable) = 0;
    // Asks the thread to stop and waits up to ms milliseconds. True when it
    // ended (or the wait cannot tell), false when it is still running.
    virtual bool terminate(int32_t ms) = 0;
    virtual bool shouldStop() = 0;
    virtual bool isRunning() = 0;
    virtual void sleep(int32_t ms) = 0;
    virtual void setPriority(int32_t index) = 0;
};

// The caller owns the result.
Thread* createThread();

} // namespace sonabel
