#include "device/worker_thread.h"

#include <condition_variable>
#include <mutex>
#include <utility>

namespace device {

struct WorkerThread::Completion {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
};

WorkerThread::~WorkerThread() {
    // Only reached with a thread still attached when its owner never waited; a detached
    // worker keeps what it needs alive by itself.
    if (thread_.joinable()) {
        thread_.detach();
    }
}

bool WorkerThread::Start(std::function<void()> body) noexcept {
    if (thread_.joinable() || !Ended()) {
        return false;
    }
    // Out of memory or out of threads: whatever the failure, the caller gets false and finds
    // the object as it was.
    try {
        auto completion = std::make_shared<Completion>();
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
        });
        completion_ = std::move(completion);
    } catch (...) {
        return false;
    }
    return true;
}

bool WorkerThread::Ended() const {
    if (!completion_) {
        return true;
    }
    std::lock_guard lock(completion_->mutex);
    return completion_->done;
}

bool WorkerThread::WaitAndRelease(std::chrono::milliseconds limit) {
    if (!completion_) {
        return true;
    }
    bool ended = false;
    {
        std::unique_lock lock(completion_->mutex);
        ended = completion_->ended.wait_for(lock, limit, [this] { return completion_->done; });
    }
    if (thread_.joinable()) {
        if (ended) {
            thread_.join();
        } else {
            thread_.detach();
        }
    }
    return ended;
}

}  // namespace device
