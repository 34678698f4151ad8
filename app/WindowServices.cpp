#include "app/WindowServices.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <new>
#include <thread>

#include "base/TextFile.h"
#include "dictionary/LocalDictionary.h"
#include "settings/Services.h"

namespace talvero {

namespace {

class SilentSpeech : public ISpeech {
public:
    bool SetUp() override { return false; }
    void SpeakText(const std::string&) override {}
    void OnVoiceEvent(const Settings&) override {}
};

class FileDictionary : public ILocalDictionary {
public:
    ~FileDictionary() override { WaitForLoad(); }
    std::vector<std::string> Load(const std::string& localFile,
                                  const std::string& personalFile) override
    {
        WaitForLoad();
        return LoadOrSayWhy(localFile, personalFile);
    }
    std::vector<std::string> LoadInBackground(
        const std::string& localFile, const std::string& personalFile,
        std::function<void(std::vector<std::string>)> later) override
    {
        WaitForLoad();
        std::vector<std::string> known;
        for (const std::string* file : {&localFile, &personalFile}) {
            long long size = 0;
            const int fd = OpenPlainFile(*file, size);
            if (fd < 0)
                known.push_back(CouldNotOpenMessage(*file));
            else
                ::close(fd);
        }
        loading = std::thread([this, localFile, personalFile, known, later = std::move(later)] {
            std::vector<std::string> found = LoadOrSayWhy(localFile, personalFile);
            std::erase_if(found, [&known](const std::string& m) {
                return std::find(known.begin(), known.end(), m) != known.end();
            });
            if (later) later(std::move(found));
        });
        return known;
    }
    std::optional<std::string> Find(const std::string& original) override
    {
        WaitForLoad();
        return dictionary->FindTranslation(original);
    }
    void Discard() override
    {
        WaitForLoad();
        // A fresh, empty dictionary in place of the loaded one (the file names stay).
        auto empty = std::make_unique<LocalDictionary>();
        empty->localDictionaryFile = dictionary->localDictionaryFile;
        empty->personalDictionaryFile = dictionary->personalDictionaryFile;
        dictionary = std::move(empty);
    }
    LocalDictionary* Engine() override
    {
        WaitForLoad();
        return dictionary.get();
    }

private:
    void WaitForLoad()
    {
        if (loading.joinable()) loading.join();
    }
    // A dictionary larger than the memory the program may have: the window goes on with an empty
    // one and says which file it could not take (on the loading thread the exception would end
    // the program).
    std::vector<std::string> LoadOrSayWhy(const std::string& localFile,
                                          const std::string& personalFile)
    {
        try {
            // The window lives long: it answers from the mapped index rather than keeping the
            // text and a tree built from it.
            dictionary->indexFirst = true;
            return dictionary->Load(localFile, personalFile);
        } catch (const std::bad_alloc&) {
            dictionary.reset();
            dictionary = std::make_unique<LocalDictionary>();
            dictionary->localDictionaryFile = localFile;
            dictionary->personalDictionaryFile = personalFile;
            // The larger file is the one that did not fit.
            std::error_code e1, e2;
            const auto localSize = std::filesystem::file_size(localFile, e1);
            const auto personalSize = std::filesystem::file_size(personalFile, e2);
            const bool personal = !e2 && (e1 || personalSize > localSize);
            return {NotEnoughMemoryMessage(personal ? personalFile : localFile)};
        }
    }

    std::unique_ptr<LocalDictionary> dictionary = std::make_unique<LocalDictionary>();
    std::thread loading;  // a load under way in the background
};

class DispatchEngines : public ITranslationEngines {
public:
    explicit DispatchEngines(ILocalDictionary& dictionary) : dictionary(dictionary)
    {
        HttpLimits limits;
        limits.cancel = workers.StopFlag();
        web = MakeWebEngineRunner(LoadServices(), limits);
    }
    ~DispatchEngines() override { workers.StopAndJoin(); }
    TranslateOutcome Translate(std::string_view input, const Settings& settings) override
    {
        return RunTranslate(input, settings, {web, Local()});
    }
    void StartTranslate(std::string_view input, const Settings& settings, const PostToOwner& post,
                        std::function<void(TranslateOutcome)> done) override
    {
        TranslateOutcome begun = BeginTranslate(input, settings);
        if (begun.emptyInput || !AsksTheWeb(settings) || !post) {
            done(FinishTranslate(std::move(begun), {}, settings, Local()));
            return;
        }
        // The web step on a worker; the local step and the rest back on the caller's thread,
        // with the dictionary as it is then (another pair may have been loaded meanwhile).
        workers.Start([this, begun = std::move(begun), settings, post, done = std::move(done)] {
            WebRound round = AskWebEngines(begun, settings, web);
            post([this, begun, round = std::move(round), settings, done] {
                done(FinishTranslate(begun, round, settings, Local()));
            });
        });
    }

private:
    LocalStep Local()
    {
        return [this](const std::string& text, const Settings& s) {
            LocalDictionary* d = dictionary.Engine();
            return d ? TranslateLocal(*d, text, s) : LocalStepResult{};
        };
    }

    ILocalDictionary& dictionary;
    WebEngineRunner web;
    OwnedThreads workers;  // last: joined before the runner goes
};

}  // namespace

std::unique_ptr<ILocalDictionary> MakeLocalDictionary()
{
    return std::make_unique<FileDictionary>();
}

std::unique_ptr<ITranslationEngines> MakeTranslationEngines(ILocalDictionary& dictionary)
{
    return std::make_unique<DispatchEngines>(dictionary);
}

std::unique_ptr<ISpeech> MakeSilentSpeech()
{
    return std::make_unique<SilentSpeech>();
}

}  // namespace talvero
