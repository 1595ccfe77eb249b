#include "core/WinThread.h"

#include "core/Log.h"
#include "core/Runnable.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace sonabel {

namespace {

// Nice values of the indexes 0..4; 5 and 6 ask for real-time scheduling.
constexpr int niceOfIndex[7] = {19, 10, 5, 0, -5, -10, -15};
constexpr int fifoOfIndex[7] = {0, 0, 0, 0, 0, 70, 80};

std::atomic<bool> fallbackLogged{false};

void logFallbackOnce(const char* what, int index) {
    if (!fallbackLogged.exchange(true))
        logDebug(2, "Thread priority %d: %s not permitted, the thread keeps a lower priority.", index, what);
}

// Applies a priority index to a running thread. Real-time scheduling needs a
// privilege; without it a negative nice value is tried, and without that the
// thread is left as it is.
void applyPriority(int index, long tid, pthread_t native) {
    if (index < 0 || index > 6) return;
    sched_param param{};
    if (fifoOfIndex[index] > 0) {
        param.sched_priority = fifoOfIndex[index];
        if (pthread_setschedparam(native, SCHED_FIFO, &param) == 0) return;
        if (setpriority(PRIO_PROCESS, static_cast<id_t>(tid), niceOfIndex[index]) != 0)
            logFallbackOnce("SCHED_FIFO and a negative nice value are", index);
        else
            logFallbackOnce("SCHED_FIFO is", index);
        return;
    }
    param.sched_priority = 0;
    pthread_setschedparam(native, SCHED_OTHER, &param);
    if (setpriority(PRIO_PROCESS, static_cast<id_t>(tid), niceOfIndex[index]) != 0)
        logFallbackOnce("this nice value is", index);
}

} // namespace

// What the running thread shares with its WinThread; the thread holds a
// reference, so it stays alive as long as either needs it. It is also the
// Thread the body sees.
struct WinThread::State : Thread {
    std::atomic<bool> stopRequested{false};
    std::atomic<int> priorityIndex{3};
    std::atomic<long> tid{0};
    std::mutex mutex;
    std::condition_variable changed;
    bool started = false;
    bool done = false;
    Runnable* runnable = nullptr;

    bool run(Runnable*) override { return false; }
    bool terminate(int32_t) override { return false; }
    bool shouldStop() override { return stopRequested.load(std::memory_order_acquire); }
    bool isRunning() override { return true; }
    void sleep(int32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    void setPriority(int32_t index) override {
        priorityIndex = index;
        applyPriority(index, tid.load(), pthread_self());
    }
};

Thread* createThread() { return new WinThread; }

WinThread::WinThread() : state(std::make_shared<State>()) { logTrace(10, "WinThread constructor."); }

WinThread::~WinThread() {
    logTrace(10, "WinThread destructor.");
    if (isRunning()) terminate(1000);
}

bool WinThread::run(Runnable* runnable) {
    if (isRunning()) terminate(1000);
    // A fresh state each time: a thread left running by a timed-out terminate
    // keeps the old one. The stop flag carries over, so an object serves once.
    auto fresh = std::make_shared<State>();
    fresh->stopRequested = state->stopRequested.load();
    fresh->priorityIndex = state->priorityIndex.load();
    fresh->runnable = runnable;
    state = fresh;
    State& s = *state;
    try {
        std::shared_ptr<State> shared = state;
        handle = std::thread([shared] {
            State& st = *shared;
            Runnable* body = nullptr;
            {
                std::lock_guard guard(st.mutex);
                st.tid = static_cast<long>(::syscall(SYS_gettid));
                // The runnable runs once.
                body = st.runnable;
                st.runnable = nullptr;
                st.started = true;
            }
            st.changed.notify_all();
            if (body) body->run(st);
            {
                std::lock_guard guard(st.mutex);
                st.done = true;
            }
            st.changed.notify_all();
        });
    } catch (const std::system_error&) {
        logError(1, "Thread->run: could not create thread !");
        return false;
    }
    {
        std::unique_lock guard(s.mutex);
        s.changed.wait(guard, [&s] { return s.started; });
    }
    if (s.priorityIndex != 3) setPriority(s.priorityIndex);
    return true;
}

bool WinThread::terminate(int32_t ms) {
    if (!handle.joinable()) return true;
    State& s = *state;
    s.stopRequested.store(true, std::memory_order_release);
    bool ended;
    {
        std::unique_lock guard(s.mutex);
        ended = s.changed.wait_for(guard, std::chrono::milliseconds(ms), [&s] { return s.done; });
    }
    if (ended) {
        handle.join();
        s.tid = 0;
        return true;
    }
    logError(2, "Thread->terminate: waited %d ms, but thread didn't finish!", ms);
    // The thread goes on alone; it holds its own reference to the state.
    handle.detach();
    return false;
}

bool WinThread::shouldStop() { return state->shouldStop(); }

bool WinThread::isRunning() { return handle.joinable(); }

void WinThread::sleep(int32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void WinThread::setPriority(int32_t index) {
    state->priorityIndex = index;
    if (isRunning()) applyPriority(index, state->tid.load(), handle.native_handle());
}

long WinThread::getThreadId() const { return handle.joinable() ? state->tid.load() : 0; }

} // namespace sonabel
