// The thread object of a session's polling worker: started once per connection, waited for
// with a deadline, and let go (detached) when it does not end in time.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <thread>

namespace device {

class WorkerThread {
public:
    WorkerThread() = default;
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Runs `body` on a new thread. `body` must own everything it touches: after a timed-out
    // wait the thread runs on alone. False when no thread could be created.
    bool Start(std::function<void()> body);

    // A thread was started and has not been waited for yet.
    bool Started() const { return thread_.joinable(); }

    // Waits up to `limit` for the thread to end and joins it; when it does not end in time
    // it is detached. Either way the object is empty afterwards. True when it ended.
    bool WaitAndRelease(std::chrono::milliseconds limit);

private:
    struct Completion;
    std::thread thread_;
    std::shared_ptr<Completion> completion_;
};

// Polling workers of this process whose threads have not finished yet. The ADS client's port
// is process-wide, so a new session must not open it while an old worker may still close it.
std::size_t RunningWorkerCount();
// Waits up to `limit` until no worker thread is left running; true when none is.
bool WaitForWorkersToEnd(std::chrono::milliseconds limit);

}  // namespace device
