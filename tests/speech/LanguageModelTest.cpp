#include <gtest/gtest.h>
#include <sphinxbase/logmath.h>
#include <sphinxbase/ngram_model.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "speech/LanguageModelTrainer.h"
#include "tests/speech/RecognitionTestSupport.h"

namespace talvero {

namespace {

using recotest::ScratchDir;

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(LanguageModelTest, TextIsReadAsUtf16WithMarkOrAsCodePage)
{
    // "Señor, ¿qué?" in UTF-16 LE with its mark, and a surrogate pair (U+1F600).
    std::string utf16(
        "\xFF\xFE"
        "S\0e\0\xF1\0o\0r\0,\0 \0\xBF\0q\0u\0\xE9\0?\0=\xD8\0\xDE",
        30);
    EXPECT_EQ(TrainingTextToUtf8(utf16), "Se\xC3\xB1or, \xC2\xBFqu\xC3\xA9?\xF0\x9F\x98\x80");
    EXPECT_EQ(TrainingTextToUtf8("plain text"), "plain text");

    auto sentences = TrainingSentences("The cat's hat. It costs 20 euros!\nDon't   STOP\n\n\n");
    ASSERT_EQ(sentences.size(), 3u);
    EXPECT_EQ(sentences[0], (std::vector<std::string>{"the", "cat's", "hat"}));
    EXPECT_EQ(sentences[1], (std::vector<std::string>{"it", "costs", "euros"}));
    EXPECT_EQ(sentences[2], (std::vector<std::string>{"don't", "stop"}));
}

// The model is a valid ARPA file that favours the text's own word sequences.
TEST(LanguageModelTest, ModelFavoursTheTextsSequences)
{
    std::string arpa =
        BuildTrigramArpa({{"the", "red", "car"}, {"a", "red", "car"}, {"the", "dog"}},
                         {"the", "red", "car", "a", "dog"});
    ScratchDir dir;
    dir.Write("m.lm", arpa);
    logmath_t* lmath = logmath_init(1.0001, 0, 0);
    ngram_model_t* lm = ngram_model_read(nullptr, (dir / "m.lm").c_str(), NGRAM_ARPA, lmath);
    ASSERT_NE(lm, nullptr) << arpa;
    EXPECT_GT(ngram_score(lm, "car", "red", "the", nullptr),
              ngram_score(lm, "dog", "red", "the", nullptr));
    EXPECT_GT(ngram_score(lm, "red", "the", nullptr), ngram_score(lm, "car", "the", nullptr));
    ngram_model_free(lm);
    logmath_free(lmath);
}

TEST(LanguageModelTest, TrainingWritesModelAndPronunciationsForNewWords)
{
    auto engines = ListRecognizerEngines();
    ASSERT_FALSE(engines.empty());
    ScratchDir dir;
    TrainingProgress progress;
    TrainingResult r = TrainLanguageModel("Talvero translates phrases.\nThe zorblax drinks tea.",
                                          engines[0], dir.path, progress);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.newWords, 2u);  // talvero, zorblax
    EXPECT_EQ(progress.percent, 100);
    TrainedModelFiles files = TrainedModelPaths(dir.path, engines[0].language);
    std::string dic = ReadFile(files.dictionary);
    EXPECT_NE(dic.find("\ntea T IY\n"), std::string::npos) << dic.substr(0, 400);
    // New words get phones of the engine's set (from espeak-ng): no lower case, no marks.
    for (std::string word : {"talvero ", "zorblax "}) {
        size_t at = dic.find("\n" + word);
        ASSERT_NE(at, std::string::npos) << word;
        std::string phones =
            dic.substr(at + word.size() + 1, dic.find('\n', at + 1) - at - word.size() - 1);
        EXPECT_FALSE(phones.empty());
        EXPECT_EQ(phones.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ "), std::string::npos)
            << phones;
    }
    EXPECT_NE(ReadFile(files.languageModel).find(" the zorblax drinks\n"), std::string::npos);
}

TEST(LanguageModelTest, BadTextsAndCancelLeaveTheEarlierModel)
{
    auto engines = ListRecognizerEngines();
    ASSERT_FALSE(engines.empty());
    ScratchDir dir;
    TrainedModelFiles files = TrainedModelPaths(dir.path, engines[0].language);
    dir.Write(std::filesystem::path(files.languageModel).filename(), "earlier");
    TrainingProgress progress;
    TrainingResult r = TrainLanguageModel("", engines[0], dir.path, progress);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "The file holds no words to train with.");
    r = TrainLanguageModel("123 456 -- ... ???", engines[0], dir.path, progress);
    EXPECT_EQ(r.error, "The file holds no words to train with.");
    r = TrainLanguageModel(std::string("\x7F"
                                       "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\0>\0",
                                       20),
                           engines[0], dir.path, progress);
    EXPECT_EQ(r.error, "The file does not hold text.");
    progress.cancel = true;
    r = TrainLanguageModel("a perfectly good text", engines[0], dir.path, progress);
    EXPECT_TRUE(r.cancelled);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(ReadFile(files.languageModel), "earlier");
    EXPECT_FALSE(std::filesystem::exists(files.dictionary));
}

}  // namespace

}  // namespace talvero
