#include "device/worker_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>

namespace {

using namespace std::chrono_literals;

// While set, every allocation fails (the test's own thread is the only one allocating then).
std::atomic<bool> g_allocationsFail{false};

// A gate the test opens; the worker body waits at it.
struct Gate {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;

    void Open() {
        {
            std::lock_guard lock(mutex);
            open = true;
        }
        opened.notify_all();
    }
    void Wait() {
        std::unique_lock lock(mutex);
        opened.wait(lock, [this] { return open; });
    }
};

struct Shared {
    int touched = 0;
};

TEST(WorkerThread, ThreadLetGoAfterATimedOutWaitKeepsWhatItOwns) {
    auto gate = std::make_shared<Gate>();
    auto shared = std::make_shared<Shared>();
    std::weak_ptr<Shared> watch = shared;
    {
        device::WorkerThread worker;
        ASSERT_TRUE(worker.Start([gate, shared] {
            gate->Wait();
            shared->touched += 1;  // after its starter has gone
        }));
        EXPECT_TRUE(worker.Started());
        EXPECT_FALSE(worker.WaitAndRelease(20ms));
        EXPECT_FALSE(worker.Started());
        EXPECT_FALSE(worker.Ended());
        EXPECT_FALSE(worker.Start([] {})) << "not while the one let go still runs";
        shared.reset();
        EXPECT_FALSE(watch.expired()) << "the thread still owns its share";
        gate->Open();
        // The object still knows when the thread it let go has ended.
        ASSERT_TRUE(worker.WaitAndRelease(10s));
        EXPECT_TRUE(worker.Ended());
        // What the body owned was released before the thread told it has ended.
        EXPECT_TRUE(watch.expired());
    }
}

TEST(WorkerThread, WaitJoinsAThreadThatEnds) {
    device::WorkerThread worker;
    int ran = 0;
    ASSERT_TRUE(worker.Start([&ran] { ran = 1; }));
    EXPECT_TRUE(worker.WaitAndRelease(10s));
    EXPECT_EQ(ran, 1);
    EXPECT_FALSE(worker.Started());
    // The object can carry the next session's worker.
    ASSERT_TRUE(worker.Start([&ran] { ran = 2; }));
    EXPECT_FALSE(worker.Start([] {})) << "one thread at a time";
    EXPECT_TRUE(worker.WaitAndRelease(10s));
    EXPECT_EQ(ran, 2);
}

// The sanitizers bring allocators of their own, so allocation is made to fail only without them.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
TEST(WorkerThread, StartWithoutMemoryFailsAndLeavesNothingBehind) {
    device::WorkerThread worker;
    g_allocationsFail = true;
    const bool started = worker.Start([] {});
    g_allocationsFail = false;
    EXPECT_FALSE(started);
    EXPECT_FALSE(worker.Started());
    int ran = 0;
    ASSERT_TRUE(worker.Start([&ran] { ran = 1; }));
    EXPECT_TRUE(worker.WaitAndRelease(10s));
    EXPECT_EQ(ran, 1);
}
#endif

}  // namespace

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// On malloc, as the standard library's own: its operator delete frees it.
void* operator new(std::size_t size) {
    void* p = g_allocationsFail ? nullptr : std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    return p;
}
#endif
