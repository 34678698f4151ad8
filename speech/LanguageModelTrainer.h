#pragma once
// Adapting a recognition engine to a text: a trigram language model of the text (ARPA, absolute
// discounting with back-off) whose unigrams are interpolated with the engine's general model and
// whose vocabulary takes in the general model's most likely words, and the matching
// sub-dictionary, with pronunciations for the words the engine's dictionary lacks. Both are kept
// in the working directory, where the recognizer uses them in place of the general model
// (Recognizer::Load).
#include <atomic>
#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "speech/RecognizerEngines.h"

namespace talvero {

struct TrainedModelFiles {
    std::string languageModel;  // <dir>/TalveroTrained_<language>.lm
    std::string dictionary;     // <dir>/TalveroTrained_<language>.dic
};
TrainedModelFiles TrainedModelPaths(const std::string& workDir, const std::string& language);

// A training file's text as UTF-8: UTF-16 little-endian after the mark FF FE, otherwise text of
// the program's code page.
std::string TrainingTextToUtf8(std::string_view fileBytes);

// The text's sentences as lists of lower-case words. Sentences end at . ! ? ; : and at blank
// lines; anything that is not a word (numbers, symbols) is dropped.
std::vector<std::vector<std::string>> TrainingSentences(std::string_view utf8);

// A trigram model of `sentences` in ARPA form, over the words of `vocabulary` (other words break
// the sentence there). Unigrams mix the text's frequencies with the probabilities of `general`
// (word → probability; empty: the text's alone); bigrams and trigrams are absolutely discounted
// and back off to the order below.
std::string BuildTrigramArpa(const std::vector<std::vector<std::string>>& sentences,
                             const std::vector<std::string>& vocabulary,
                             const std::unordered_map<std::string, double>& general = {});

// Phones (the engine's phone set, e.g. "HH AH L OW") for words missing from its dictionary:
// espeak-ng's phonemes for the word mapped to the engine's phones, or, when espeak-ng cannot
// give them, a letter-by-letter guess.
std::map<std::string, std::string> GuessPronunciations(const std::vector<std::string>& words,
                                                       const std::string& language);

struct TrainingProgress {
    std::atomic<int> percent = 0;
    std::atomic<bool> cancel = false;
};

struct TrainingResult {
    bool ok = false;
    bool cancelled = false;
    std::string error;       // why nothing was trained
    size_t words = 0;        // running words of the text used
    size_t vocabulary = 0;   // distinct words of the model
    size_t newWords = 0;     // words the engine's dictionary lacked
    bool truncated = false;  // only the first part of a very long text was used
};

// Training takes the first this many megabytes of a text; the rest of a longer one is not read.
inline constexpr size_t kTrainingTextMegabytes = 10;

// Reads what training can use of a file: its first bytes, up to the length training takes, and
// one more, so that a longer file is still known as longer. `size` gets the whole file's size.
// False when it is not a plain file or cannot be read.
bool ReadTrainingFile(const std::string& path, std::string& bytes, long long& size);

// Trains `engine` on the training file's bytes and writes the model into `workDir`. Meant for a
// worker thread: it checks `progress.cancel` often, and a cancelled or failed training leaves
// the files of an earlier training as they were.
TrainingResult TrainLanguageModel(std::string_view fileBytes, const RecognizerEngine& engine,
                                  const std::string& workDir, TrainingProgress& progress);

}  // namespace talvero
