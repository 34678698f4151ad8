#pragma once
// Threads that belong to one object and are joined when it goes, so no work outlives what it
// uses (a thread left running at exit frees what the process is already freeing). The stop
// flag tells long work (a web request) to give up early; the destructor sets it, then joins.
#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace talvero {

class OwnedThreads {
public:
    OwnedThreads() = default;
    ~OwnedThreads() { StopAndJoin(); }
    OwnedThreads(const OwnedThreads&) = delete;
    OwnedThreads& operator=(const OwnedThreads&) = delete;

    // Runs `work` on a new thread. Threads that have finished are joined here.
    void Start(std::function<void()> work);
    // Sets the stop flag and joins every thread; later Starts run again with a cleared flag.
    void StopAndJoin();
    // Read by work that can end early; set while StopAndJoin runs.
    std::shared_ptr<const std::atomic<bool>> StopFlag() const { return stop; }
    int Running() const;

private:
    struct Worker {
        std::thread thread;
        std::atomic<bool> done{false};
    };
    void JoinFinished();

    mutable std::mutex mutex;
    std::list<Worker> workers;
    std::shared_ptr<std::atomic<bool>> stop = std::make_shared<std::atomic<bool>>(false);
};

// Hands a continuation to the thread that owns the work (the window's), from any thread.
using PostToOwner = std::function<void(std::function<void()>)>;

}  // namespace talvero
