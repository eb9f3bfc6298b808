#include "device/worker_thread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

using namespace std::chrono_literals;

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
        EXPECT_EQ(device::RunningWorkerCount(), 1u);
    }
    shared.reset();
    EXPECT_FALSE(watch.expired()) << "the thread still owns its share";
    gate->Open();
    ASSERT_TRUE(device::WaitForWorkersToEnd(10s));
    // What the body owned was released before the thread counted itself out.
    EXPECT_TRUE(watch.expired());
}

TEST(WorkerThread, WaitJoinsAThreadThatEnds) {
    device::WorkerThread worker;
    int ran = 0;
    ASSERT_TRUE(worker.Start([&ran] { ran = 1; }));
    EXPECT_TRUE(worker.WaitAndRelease(10s));
    EXPECT_EQ(ran, 1);
    EXPECT_FALSE(worker.Started());
    EXPECT_EQ(device::RunningWorkerCount(), 0u);
    // The object can carry the next session's worker.
    ASSERT_TRUE(worker.Start([&ran] { ran = 2; }));
    EXPECT_FALSE(worker.Start([] {})) << "one thread at a time";
    EXPECT_TRUE(worker.WaitAndRelease(10s));
    EXPECT_EQ(ran, 2);
}

}  // namespace
