#include "app/WindowServices.h"

#include <unistd.h>

#include <algorithm>
#include <thread>

#include "catalogue/Services.h"
#include "catalogue/TextFile.h"
#include "dictionary/LocalDictionary.h"

namespace {

class SilentSpeech : public ISpeech {
public:
    bool SetUp() override { return false; }
    void SpeakText(const std::string&) override {}
    std::string LastRecognizedText() override { return {}; }
    void OnRecognitionEvent() override {}
    void OnVoiceEvent(const Settings&) override {}
};

class FileDictionary : public ILocalDictionary {
public:
    ~FileDictionary() override { WaitForLoad(); }
    std::vector<std::string> Load(const std::string& localFile,
                                  const std::string& personalFile) override
    {
        WaitForLoad();
        return dictionary->Load(localFile, personalFile);
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
            std::vector<std::string> found = dictionary->Load(localFile, personalFile);
            std::erase_if(found, [&known](const std::string& m) {
                return std::find(known.begin(), known.end(), m) != known.end();
            });
            if (!found.empty() && later) later(std::move(found));
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

    std::unique_ptr<LocalDictionary> dictionary = std::make_unique<LocalDictionary>();
    std::thread loading;  // a load under way in the background
};

class DispatchEngines : public ITranslationEngines {
public:
    explicit DispatchEngines(ILocalDictionary& dictionary)
        : dictionary(dictionary), web(MakeWebEngineRunner(LoadServices()))
    {
    }
    TranslateOutcome Translate(std::string_view input, const Settings& settings) override
    {
        TranslateEngines engines;
        engines.web = web;
        // The dictionary as it is when the web engines have answered: the window may have
        // loaded another pair while it waited.
        engines.local = [this](const std::string& text, const Settings& s) {
            LocalDictionary* d = dictionary.Engine();
            return d ? TranslateLocal(*d, text, s) : LocalStepResult{};
        };
        return RunTranslate(input, settings, engines, wait);
    }
    void SetWebWait(WebWait wait) override { this->wait = std::move(wait); }

private:
    ILocalDictionary& dictionary;
    WebEngineRunner web;
    WebWait wait;
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
