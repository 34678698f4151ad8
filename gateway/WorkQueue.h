#pragma once
// A fixed number of threads working off a bounded queue. Work that may take long (a password
// hash, a database write, a wait on Apertium) goes here instead of onto the threads that serve
// connections; when the queue is full, Post refuses at once, so that a flood is turned away
// quickly instead of piling up.
#include <sys/resource.h>
#include <unistd.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace talvero {

class WorkQueue {
public:
    // `niceness` above 0 lowers the threads' share of the processor: work that only burns it
    // (a password hash) then never keeps the threads that serve connections waiting.
    WorkQueue(int threads, size_t capacity, int niceness = 0) : capacity(capacity)
    {
        for (int i = 0; i < threads; ++i)
            workers.emplace_back([this, niceness] {
                if (niceness > 0) setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), niceness);
                Run();
            });
    }
    // Runs what was queued, then joins the threads.
    ~WorkQueue()
    {
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        wake.notify_all();
        for (auto& worker : workers)
            worker.join();
    }
    WorkQueue(const WorkQueue&) = delete;
    WorkQueue& operator=(const WorkQueue&) = delete;

    // False, without running `work`, when the queue is full or stopping.
    bool Post(std::function<void()> work)
    {
        {
            std::lock_guard lock(mutex);
            if (stopping || waiting.size() >= capacity) return false;
            waiting.push_back(std::move(work));
        }
        wake.notify_one();
        return true;
    }

    size_t Waiting()
    {
        std::lock_guard lock(mutex);
        return waiting.size();
    }

private:
    void Run()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [&] { return stopping || !waiting.empty(); });
            if (waiting.empty()) return;
            auto work = std::move(waiting.front());
            waiting.pop_front();
            lock.unlock();
            work();
            lock.lock();
        }
    }

    const size_t capacity;
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> waiting;
    bool stopping = false;
    std::vector<std::thread> workers;
};

}  // namespace talvero
