#include "app/WindowServices.h"

#include <cstdio>

namespace {

class SilentSpeech : public ISpeech {
public:
    bool SetUp() override { return false; }
    void SpeakText(const std::string&) override {}
    std::string LastRecognizedText() override { return {}; }
    void OnRecognitionEvent() override {}
    void OnVoiceEvent() override {}
};

class NoEngines : public ITranslationEngines {
public:
    TranslateOutcome Translate(const TranslateRequest&, const Settings&) override { return {}; }
};

class EmptyDictionary : public ILocalDictionary {
public:
    std::vector<std::string> Load(const std::string& localFile,
                                  const std::string& personalFile) override
    {
        std::vector<std::string> messages;
        for (const std::string* name : {&localFile, &personalFile}) {
            std::FILE* f = std::fopen(name->c_str(), "rb");
            if (f)
                std::fclose(f);
            else
                messages.push_back("Could not open the file: " + *name);
        }
        return messages;
    }
    std::optional<std::string> Find(const std::string&) override { return std::nullopt; }
    void Discard() override {}
};

}  // namespace

std::unique_ptr<ISpeech> MakeSilentSpeech()
{
    return std::make_unique<SilentSpeech>();
}
std::unique_ptr<ITranslationEngines> MakeNoEngines()
{
    return std::make_unique<NoEngines>();
}
std::unique_ptr<ILocalDictionary> MakeEmptyDictionary()
{
    return std::make_unique<EmptyDictionary>();
}
