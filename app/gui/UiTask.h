#pragma once
// Work for a window that must not outlive it: the work runs on a worker this object owns and
// joins, and its continuation runs on the UI thread only while the owner still lives (a weak
// reference checked there, where the window is also destroyed). Destroying the owner, or
// calling Drop, cancels the continuations that have not run and joins the workers.
#include <functional>
#include <memory>
#include <utility>

#include "app/OwnedThreads.h"

namespace talvero {

class UiTasks {
public:
    UiTasks() = default;
    ~UiTasks() { Drop(); }
    UiTasks(const UiTasks&) = delete;
    UiTasks& operator=(const UiTasks&) = delete;

    // A function any thread may call to have `f` run on the UI thread while the owner lives.
    PostToOwner Poster() const;

    // `work` on a worker, then `then(result)` on the UI thread.
    template <typename Result>
    void Run(std::function<Result()> work, std::function<void(Result)> then)
    {
        PostToOwner post = Poster();
        workers.Start([work = std::move(work), then = std::move(then), post] {
            auto result = std::make_shared<Result>(work());
            post([then, result] { then(std::move(*result)); });
        });
    }

    // The owner is going: no continuation runs from now on; the workers are told to stop and
    // joined.
    void Drop();
    std::shared_ptr<const std::atomic<bool>> StopFlag() const { return workers.StopFlag(); }

private:
    std::shared_ptr<char> life = std::make_shared<char>();
    OwnedThreads workers;
};

}  // namespace talvero
