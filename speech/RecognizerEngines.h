#pragma once
// The recognition engines: one per installed acoustic model, with the language model and the
// pronouncing dictionary that come with it.
#include <string>
#include <vector>

namespace talvero {

struct RecognizerEngine {
    std::string description;  // what the engine list shows, e.g. "English (United States) (en-us)"
    std::string language;     // the model's language tag, e.g. "en-us"
    std::string acousticModel;  // folder with mdef and feat.params
    std::string languageModel;  // general n-gram model (ARPA or binary)
    std::string dictionary;     // pronouncing dictionary
};

// The engines under `modelRoot` (default: $TALVERO_RECOGNIZER_MODELS, else the folder the
// installed models live in), sorted by description. A language folder counts when it holds an
// acoustic model and both a language model and a dictionary can be found beside it.
std::vector<RecognizerEngine> ListRecognizerEngines(const std::string& modelRoot = {});

// The folder ListRecognizerEngines scans by default.
std::string DefaultRecognizerModelRoot();

}  // namespace talvero
