#include "app/OwnedThreads.h"

namespace talvero {

void OwnedThreads::Start(std::function<void()> work)
{
    JoinFinished();
    std::lock_guard<std::mutex> lock(mutex);
    Worker& w = workers.emplace_back();
    w.thread = std::thread([&w, work = std::move(work)] {
        work();
        w.done = true;
    });
}

void OwnedThreads::JoinFinished()
{
    std::list<Worker> finished;
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (auto it = workers.begin(); it != workers.end();) {
            auto next = std::next(it);
            if (it->done) finished.splice(finished.end(), workers, it);
            it = next;
        }
    }
    for (Worker& w : finished)
        w.thread.join();
}

void OwnedThreads::StopAndJoin()
{
    stop->store(true);
    std::list<Worker> all;
    {
        std::lock_guard<std::mutex> lock(mutex);
        all.splice(all.end(), workers);
    }
    for (Worker& w : all)
        w.thread.join();
    stop->store(false);
}

int OwnedThreads::Running() const
{
    std::lock_guard<std::mutex> lock(mutex);
    int n = 0;
    for (const Worker& w : workers)
        n += w.done ? 0 : 1;
    return n;
}

}  // namespace talvero
