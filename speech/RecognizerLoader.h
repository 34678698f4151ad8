#pragma once
// Loads a recognition engine away from the window's thread: its models take about half a second
// to read. Requests made while one is loading are served in turn, but only the latest request's
// result is handed out; earlier ones are dropped as soon as they are done.
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "speech/Recognizer.h"

namespace talvero {

struct LoadedRecognizer {
    std::shared_ptr<Recognizer> recognizer;   // null when the engine could not be loaded
    std::unique_ptr<IRecognizerAudio> audio;  // null when that failed or no input opened
    std::string error;
};

class RecognizerLoader {
public:
    // `ready` is called from the loading thread whenever the latest request's result waits.
    explicit RecognizerLoader(std::function<void()> ready);
    // Waits for the load under way, if any, and drops its result.
    ~RecognizerLoader();
    RecognizerLoader(const RecognizerLoader&) = delete;
    RecognizerLoader& operator=(const RecognizerLoader&) = delete;

    // Loads `engine` (with the model trained in `workDir`) and then opens the recognizer's
    // input (OpenRecognizerInput). `retired` is released on the loading thread: freeing a
    // decoder's models takes a while too.
    void Request(const RecognizerEngine& engine, const std::string& workDir,
                 std::shared_ptr<Recognizer> retired = {});
    // The latest request's result, once it is there; each result is handed out once.
    std::optional<LoadedRecognizer> Take();
    // From a request until its result has been taken.
    bool Busy() const;

private:
    struct Job {
        RecognizerEngine engine;
        std::string workDir;
    };
    void Run();

    std::function<void()> ready;
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::optional<Job> pending;
    std::optional<LoadedRecognizer> result;
    std::vector<std::shared_ptr<Recognizer>> retiring;
    unsigned long requests = 0;  // numbers the requests; a result is only kept for the latest
    bool loading = false;
    bool stopping = false;
    std::thread worker;
};

}  // namespace talvero
