#include "LogCapture.h"
#include "core/Runnable.h"
#include "core/WinLock.h"
#include "core/WinThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <sys/resource.h>
#include <thread>

using namespace sonabel;
using sonabel::test::LogCapture;

namespace {

struct PollingBody : Runnable {
    std::atomic<int> loops{0};
    std::atomic<long> tid{0};
    void run(Thread& thread) override {
        tid = static_cast<long>(::gettid());
        while (!thread.shouldStop()) {
            ++loops;
            thread.sleep(1);
        }
    }
};

// Ignores the stop flag until released.
struct StubbornBody : Runnable {
    std::atomic<bool> release{false};
    std::atomic<bool> finished{false};
    void run(Thread& thread) override {
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        // The object that started us may be gone: the view we got stays valid.
        (void)thread.shouldStop();
        finished = true;
    }
};

TEST(LockTest, RecursiveLockIsFreeAfterMatchingUnlocks) {
    std::unique_ptr<Lock> lock(createLock());
    lock->setName("Test");
    lock->lock();
    lock->lock();
    lock->unlock();
    std::atomic<bool> taken{false};
    std::thread other([&] {
        lock->lock();
        taken = true;
        lock->unlock();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(taken) << "still held once";
    lock->unlock();
    other.join();
    EXPECT_TRUE(taken);
}

TEST(ThreadTest, RunsAndStopsCooperatively) {
    std::unique_ptr<Thread> thread(createThread());
    EXPECT_TRUE(thread->terminate(1000)) << "never ran: true at once";
    PollingBody body;
    ASSERT_TRUE(thread->run(&body));
    EXPECT_TRUE(thread->isRunning());
    while (body.loops < 3) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(thread->terminate(1000));
    EXPECT_FALSE(thread->isRunning());
    EXPECT_TRUE(thread->shouldStop());
}

TEST(ThreadTest, TerminateTimesOutOnABodyThatIgnoresTheFlag) {
    LogCapture log;
    auto body = std::make_shared<StubbornBody>();
    {
        std::unique_ptr<Thread> thread(createThread());
        ASSERT_TRUE(thread->run(body.get()));
        auto t0 = std::chrono::steady_clock::now();
        EXPECT_FALSE(thread->terminate(300));
        auto waited = std::chrono::steady_clock::now() - t0;
        EXPECT_GE(waited, std::chrono::milliseconds(290));
        EXPECT_TRUE(log.hasError("Thread->terminate: waited 300 ms, but thread didn't finish!", 2));
        EXPECT_FALSE(thread->isRunning());
    } // the object is destroyed while its thread still runs
    body->release = true;
    while (!body->finished) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

TEST(ThreadTest, PriorityIndexesMapToNiceValues) {
    std::unique_ptr<Thread> thread(createThread());
    thread->setPriority(1); // nice 10, allowed for everyone
    PollingBody body;
    ASSERT_TRUE(thread->run(&body));
    while (body.tid == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    errno = 0;
    int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(body.tid.load()));
    EXPECT_EQ(nice, 10);
    thread->setPriority(0);
    EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(body.tid.load())), 19);
    thread->setPriority(5); // real time, or a logged fallback: never a failure
    EXPECT_TRUE(thread->terminate(1000));
}

} // namespace
