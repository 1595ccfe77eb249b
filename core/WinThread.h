#pragma once
// Thread on std::thread. The body never sees this object: it gets a small
// view of the state that this object shares with the running thread, so a
// thread that outlives a timed-out terminate (and this object) touches
// nothing that has been freed.

#include "core/Thread.h"

#include <memory>
#include <thread>

namespace sonabel {

class WinThread : public Thread {
public:
    WinThread();
    ~WinThread() override;
    WinThread(const WinThread&) = delete;
    WinThread& operator=(const WinThread&) = delete;

    bool run(Runnable* runnable) override;
    bool terminate(int32_t ms) override;
    bool shouldStop() override;
    bool isRunning() override;
    void sleep(int32_t ms) override;
    void setPriority(int32_t index) override;

    // The Linux thread id of the running thread, 0 when none runs.
    long getThreadId() const;

    struct State;

private:
    std::shared_ptr<State> state;
    std::thread handle;
};

} // namespace sonabel
