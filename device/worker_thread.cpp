#include "device/worker_thread.h"

#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <utility>

namespace device {

struct WorkerThread::Completion {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
};

namespace {

struct WorkerRegistry {
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t running = 0;
};

// Never destroyed: a worker let go after a timed-out wait may still finish while the process
// is running its exit-time destructors.
WorkerRegistry& Registry() {
    alignas(WorkerRegistry) static unsigned char storage[sizeof(WorkerRegistry)];
    static WorkerRegistry* const registry = ::new (storage) WorkerRegistry();
    return *registry;
}

void CountWorker(int delta) {
    WorkerRegistry& registry = Registry();
    {
        std::lock_guard lock(registry.mutex);
        registry.running = delta > 0 ? registry.running + 1 : registry.running - 1;
    }
    registry.changed.notify_all();
}

}  // namespace

WorkerThread::~WorkerThread() {
    // Only reached with a thread still attached when its owner never waited; a detached
    // worker keeps what it needs alive by itself.
    if (thread_.joinable()) {
        thread_.detach();
    }
}

bool WorkerThread::Start(std::function<void()> body) {
    if (thread_.joinable()) {
        return false;
    }
    auto completion = std::make_shared<Completion>();
    CountWorker(+1);
    try {
        thread_ = std::thread([completion, fn = std::move(body)]() mutable {
            fn();
            // Drop what the body owns (the session among it) before anyone is told the
            // thread has ended.
            fn = nullptr;
            {
                std::lock_guard lock(completion->mutex);
                completion->done = true;
            }
            completion->ended.notify_all();
            CountWorker(-1);
        });
    } catch (const std::system_error&) {
        CountWorker(-1);
        return false;
    }
    completion_ = std::move(completion);
    return true;
}

bool WorkerThread::WaitAndRelease(std::chrono::milliseconds limit) {
    if (!thread_.joinable()) {
        return true;
    }
    bool ended = false;
    {
        std::unique_lock lock(completion_->mutex);
        ended = completion_->ended.wait_for(lock, limit, [this] { return completion_->done; });
    }
    if (ended) {
        thread_.join();
    } else {
        thread_.detach();
    }
    completion_.reset();
    return ended;
}

std::size_t RunningWorkerCount() {
    WorkerRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    return registry.running;
}

bool WaitForWorkersToEnd(std::chrono::milliseconds limit) {
    WorkerRegistry& registry = Registry();
    std::unique_lock lock(registry.mutex);
    return registry.changed.wait_for(lock, limit, [&] { return registry.running == 0; });
}

}  // namespace device
