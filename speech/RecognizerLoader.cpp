#include "speech/RecognizerLoader.h"

namespace talvero {

RecognizerLoader::RecognizerLoader(std::function<void()> ready) : ready(std::move(ready)) {}

RecognizerLoader::~RecognizerLoader()
{
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    if (worker.joinable()) worker.join();
}

void RecognizerLoader::Request(const RecognizerEngine& engine, const std::string& workDir,
                               std::shared_ptr<Recognizer> retired)
{
    std::optional<LoadedRecognizer> stale;
    {
        std::lock_guard lock(mutex);
        pending = Job{engine, workDir};
        ++requests;
        stale = std::move(result);  // an untaken result of an earlier request
        result.reset();
        if (retired) retiring.push_back(std::move(retired));
        if (stale && stale->recognizer) retiring.push_back(std::move(stale->recognizer));
        if (!worker.joinable()) worker = std::thread([this] { Run(); });
    }
    wake.notify_all();
}

std::optional<LoadedRecognizer> RecognizerLoader::Take()
{
    std::lock_guard lock(mutex);
    std::optional<LoadedRecognizer> out = std::move(result);
    result.reset();
    return out;
}

bool RecognizerLoader::Busy() const
{
    std::lock_guard lock(mutex);
    return pending || loading || result;
}

void RecognizerLoader::Run()
{
    std::unique_lock lock(mutex);
    for (;;) {
        wake.wait(lock, [&] { return stopping || pending || !retiring.empty(); });
        if (!retiring.empty()) {
            std::vector<std::shared_ptr<Recognizer>> old = std::move(retiring);
            retiring.clear();
            lock.unlock();
            old.clear();
            lock.lock();
            continue;
        }
        if (stopping) return;
        Job job = std::move(*pending);
        pending.reset();
        const unsigned long number = requests;
        loading = true;
        lock.unlock();

        LoadedRecognizer loaded;
        auto recognizer = std::make_shared<Recognizer>();
        if (recognizer->Load(job.engine, job.workDir, loaded.error)) {
            loaded.recognizer = std::move(recognizer);
            loaded.audio = OpenRecognizerInput(loaded.error);
        }
        recognizer.reset();

        lock.lock();
        loading = false;
        if (stopping || number != requests) {
            // Overtaken by a newer request (or the owner is going): dropped here, unlocked.
            lock.unlock();
            loaded = {};
            lock.lock();
            continue;
        }
        result = std::move(loaded);
        lock.unlock();
        if (ready) ready();
        lock.lock();
    }
}

}  // namespace talvero
