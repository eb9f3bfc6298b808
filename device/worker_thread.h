// The thread object of a session's polling worker: started once per connection, waited for
// with a deadline, and let go (detached) when it does not end in time, while still knowing
// whether it has ended since.
#pragma once

#include <chrono>
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
    // wait the thread runs on alone. False, with nothing started and nothing thrown, when no
    // thread could be made or the last one has not ended yet.
    bool Start(std::function<void()> body) noexcept;

    // A thread was started and has not been waited for yet.
    bool Started() const { return thread_.joinable(); }
    // The last thread started has ended, also one let go earlier (true when none was started).
    bool Ended() const;

    // Waits up to `limit` for the last thread started to end, also one let go earlier. One
    // still attached is joined when it ended and let go (detached) when it did not. True when
    // it has ended.
    bool WaitAndRelease(std::chrono::milliseconds limit);

private:
    struct Completion;
    std::thread thread_;
    std::shared_ptr<Completion> completion_;
};

}  // namespace device
