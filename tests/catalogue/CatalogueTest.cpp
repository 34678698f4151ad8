#include <gtest/gtest.h>

#include <set>

#include "catalogue/Catalogue.h"

namespace talvero {

TEST(Catalogue, ListSizesAndFirstEntries)
{
    EXPECT_EQ(PairsOf(PairList::Google).size(), 529u);
    EXPECT_EQ(PairsOf(PairList::Local).size(), 529u);
    EXPECT_EQ(PairsOf(PairList::Babelfish).size(), 36u);
    EXPECT_EQ(PairsOf(PairList::FreeTranslation).size(), 18u);
    EXPECT_EQ(PairAt(PairList::Google, 0)->displayName, "Arabic to Bulgarian");
    EXPECT_EQ(PairAt(PairList::Local, 0)->displayName, "Arabic to Bulgarian");
    EXPECT_EQ(PairAt(PairList::Babelfish, 0)->displayName, "Chinese (Simplified) to English");
    EXPECT_EQ(PairAt(PairList::FreeTranslation, 0)->displayName, "Dutch to English");
}

struct PositionCase {
    int position;
    const char* display;
    friend void PrintTo(const PositionCase& c, std::ostream* os) { *os << c.display; }
};

class GoogleLikePositions : public ::testing::TestWithParam<PositionCase> {};

TEST_P(GoogleLikePositions, DisplayNameAndPairNumber)
{
    for (PairList list : {PairList::Google, PairList::Local}) {
        const PairEntry* e = PairAt(list, GetParam().position);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->displayName, GetParam().display);
        EXPECT_EQ(e->pairNumber, GetParam().position);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, GoogleLikePositions,
    ::testing::Values(
        PositionCase{0, "Arabic to Bulgarian"}, PositionCase{1, "Arabic to Chinese Simplified"},
        PositionCase{2, "Arabic to Chinese Traditional"}, PositionCase{22, "Arabic to Swedish"},
        PositionCase{23, "Bulgarian to Arabic"}, PositionCase{46, "Chinese to Arabic"},
        PositionCase{48, "Chinese to Chinese Traditional"}, PositionCase{91, "Croatian to Swedish"},
        PositionCase{92, "Czech to Arabic"}, PositionCase{142, "Dutch to Croatian"},
        PositionCase{163, "English to Chinese Simplified"}, PositionCase{182, "English to Spanish"},
        PositionCase{491, "Spanish to English"}, PositionCase{528, "Swedish to Spanish"}));

TEST(Catalogue, SettingsNamesAndDictionaryCodes)
{
    const PairEntry* e = PairAt(PairList::Local, 48);
    EXPECT_EQ(e->settingsName, "CHINESE_SIMPLIFIED TO CHINESE_TRADITIONAL");
    EXPECT_EQ(e->dictionaryCode, "zh-CN_zh-TW");
    EXPECT_EQ(PairAt(PairList::Local, 142)->dictionaryCode, "du_hr");
    EXPECT_EQ(PairAt(PairList::Local, 491)->dictionaryCode, "es_en");
    EXPECT_EQ(PairAt(PairList::Local, 491)->settingsName, "SPANISH TO ENGLISH");
    EXPECT_EQ(PairAt(PairList::Google, 163)->settingsName, "ENGLISH TO CHINESE_SIMPLIFIED");
    EXPECT_TRUE(PairAt(PairList::Google, 48)->dictionaryCode.empty());
    EXPECT_EQ(PositionOfSettingsName(PairList::Google, "CHINESE_SIMPLIFIED TO CHINESE_TRADITIONAL"),
              48);
    EXPECT_EQ(PositionOfSettingsName(PairList::Google, "CHINESE SIMPLIFIED TO CHINESE_TRADITIONAL"),
              std::nullopt);
    EXPECT_EQ(PositionOfSettingsName(PairList::Local, "spanish to english"), std::nullopt);
    EXPECT_EQ(PositionOfSettingsName(PairList::Local, "DUTCH TO CROATIAN"), 142);
}

TEST(Catalogue, NoTraditionalSourceNoSelfPairsNoDuplicates)
{
    for (PairList list :
         {PairList::Google, PairList::Local, PairList::Babelfish, PairList::FreeTranslation}) {
        std::set<std::string> names, settings;
        std::string previous;
        for (const PairEntry& e : PairsOf(list)) {
            EXPECT_GT(e.displayName, previous) << "sorted and unique";
            previous = e.displayName;
            size_t to = e.displayName.find(" to ");
            std::string source = e.displayName.substr(0, to);
            std::string target = e.displayName.substr(to + 4);
            EXPECT_NE(source, target);
            EXPECT_NE(source, "Chinese Traditional");
            EXPECT_TRUE(settings.insert(e.settingsName).second);
        }
    }
}

struct WebCase {
    PairList list;
    int position;
    const char* display;
    const char* settings;
    int pairNumber;
    friend void PrintTo(const WebCase& c, std::ostream* os) { *os << c.display; }
};

class WebPositions : public ::testing::TestWithParam<WebCase> {};

TEST_P(WebPositions, Entry)
{
    const WebCase& c = GetParam();
    const PairEntry* e = PairAt(c.list, c.position);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->displayName, c.display);
    EXPECT_EQ(e->settingsName, c.settings);
    EXPECT_EQ(e->pairNumber, c.pairNumber);
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, WebPositions,
    ::testing::Values(
        WebCase{PairList::Babelfish, 0, "Chinese (Simplified) to English",
                "CHINESE SIMPLIFIED TO ENGLISH", 0},
        WebCase{PairList::Babelfish, 2, "Dutch to English", "DUTCH TO ENGLISH", 14},
        WebCase{PairList::Babelfish, 5, "English to Chinese (Traditional)",
                "ENGLISH TO CHINESE TRADITIONAL", 3},
        WebCase{PairList::Babelfish, 16, "French to Dutch", "FRENCH TO DUTCH", 21},
        WebCase{PairList::Babelfish, 17, "French to English", "FRENCH TO ENGLISH", 16},
        WebCase{PairList::Babelfish, 35, "Spanish to French", "SPANISH TO FRENCH", 35},
        WebCase{PairList::FreeTranslation, 15, "Japanese to English", "JAPANESE TO ENGLISH", 15},
        WebCase{PairList::FreeTranslation, 16, "Russian to English", "RUSSIAN TO ENGLISH", 17},
        WebCase{PairList::FreeTranslation, 17, "Spanish to English", "SPANISH TO ENGLISH", 18}));

TEST(Catalogue, NoSelectionAndFreeTranslationGap)
{
    EXPECT_EQ(PairNumberForPosition(PairList::Google, -1), -1);
    EXPECT_EQ(PairNumberForPosition(PairList::Babelfish, -1), 255);
    EXPECT_EQ(PairNumberForPosition(PairList::FreeTranslation, 18), 255);
    EXPECT_EQ(PairAt(PairList::Local, 529), nullptr);
    for (const PairEntry& e : PairsOf(PairList::FreeTranslation))
        EXPECT_NE(e.pairNumber, 16);
}

TEST(Catalogue, UploadLanguages)
{
    EXPECT_EQ(UploadLanguageWord(0), "ARABIC");
    EXPECT_EQ(UploadLanguageWord(2), "CHINESE SIMPLIFIED");
    EXPECT_EQ(UploadLanguageWord(23), "SWEDISH");
    EXPECT_EQ(UploadLanguageWord(24), "");
    EXPECT_EQ(UploadLanguageWord(-1), "");
    EXPECT_EQ(UploadLanguageIndex("CHINESE TRADITIONAL"), 3);
    EXPECT_EQ(UploadLanguageIndex("CHINESE_TRADITIONAL"), std::nullopt);
    EXPECT_STREQ(Languages()[17].uploadEntry, "Norwege");
    EXPECT_STREQ(Languages()[3].uploadEntry, "Chinese traditional");
    EXPECT_STREQ(Languages()[7].dictionaryCode, "du");
    EXPECT_EQ(LocalDictionaryFileName("du_hr"), "localdictionary_du_hr.txt");
    EXPECT_EQ(PersonalDictionaryFileName("es_en"), "personaldictionary_es_en.txt");
}

}  // namespace talvero
