#include "app/WindowServices.h"

#include "catalogue/Services.h"
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
    std::vector<std::string> Load(const std::string& localFile,
                                  const std::string& personalFile) override
    {
        return dictionary->Load(localFile, personalFile);
    }
    std::optional<std::string> Find(const std::string& original) override
    {
        return dictionary->FindTranslation(original);
    }
    void Discard() override
    {
        // A fresh, empty dictionary in place of the loaded one (the file names stay).
        auto empty = std::make_unique<LocalDictionary>();
        empty->localDictionaryFile = dictionary->localDictionaryFile;
        empty->personalDictionaryFile = dictionary->personalDictionaryFile;
        dictionary = std::move(empty);
    }
    LocalDictionary* Engine() override { return dictionary.get(); }

private:
    std::unique_ptr<LocalDictionary> dictionary = std::make_unique<LocalDictionary>();
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
