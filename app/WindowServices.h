#pragma once
// What the main window asks of the parts around it: the translation engines, the local
// dictionary and speech. The window holds one object of each and calls them from its handlers;
// tests and not-yet-built parts plug in here. No GUI code.
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct Settings;

// One Translate run, as the window sees it.
struct TranslateRequest {
    std::string text;  // the input, trimmed, never empty
    // Selected positions of the pair combos of Google, Babelfish, FreeTranslation (-1: none).
    std::array<int, 3> webPairPositions{-1, -1, -1};
};

struct BannerRequest {
    std::string text;
    int lines = 0;
    int appearMs = 10;
    int stayMs = 0;
    int hideMs = 10;
};

struct TranslateOutcome {
    // New content of the result boxes 1002, 1003, 1004, 1005; nothing: the box keeps its text.
    std::array<std::optional<std::string>, 4> boxes;
    std::optional<BannerRequest> banner;
    std::vector<std::string> nearList;  // for list box 1006
    std::vector<std::string> speak;     // queued on the voice in this order
};

class ITranslationEngines {
public:
    virtual ~ITranslationEngines() = default;
    virtual TranslateOutcome Translate(const TranslateRequest& request,
                                       const Settings& settings) = 0;
};

class ILocalDictionary {
public:
    virtual ~ILocalDictionary() = default;
    // Loads both files anew; returns one message per file that could not be opened
    // ("Could not open the file: <name>").
    virtual std::vector<std::string> Load(const std::string& localFile,
                                          const std::string& personalFile) = 0;
    // Translation of a stored original, or nothing.
    virtual std::optional<std::string> Find(const std::string& original) = 0;
    virtual void Discard() = 0;
};

class ISpeech {
public:
    virtual ~ISpeech() = default;
    // Recognition and voice set-up at start-up; false when no recognizer exists.
    virtual bool SetUp() = 0;
    virtual void SpeakText(const std::string& text) = 0;
    virtual std::string LastRecognizedText() = 0;
    virtual void OnRecognitionEvent() = 0;
    virtual void OnVoiceEvent() = 0;
};

// The parts that are not there yet: a speech layer without recognizer or voice, engines that
// translate nothing, a dictionary that only reports files it cannot open.
std::unique_ptr<ISpeech> MakeSilentSpeech();
std::unique_ptr<ITranslationEngines> MakeNoEngines();
std::unique_ptr<ILocalDictionary> MakeEmptyDictionary();
