#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "base/CodePage.h"
#include "base/TextFile.h"
#include "dictionary/LocalDictionary.h"
#include "importer/Importer.h"
#include "tests/support/CliRunner.h"
#include "tests/support/SyntheticPairs.h"
#include "tests/support/TempDir.h"

namespace talvero {

void PrintTo(const PhrasePair& p, std::ostream* os)
{
    *os << "{\"" << p.original << "\" -> \"" << p.translation << "\"}";
}

namespace {

std::string DictdNumber(uint64_t v)
{
    static const char* kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string s;
    do {
        s.insert(s.begin(), kDigits[v % 64]);
        v /= 64;
    } while (v > 0);
    return s;
}

std::string Gzip(std::string_view data)
{
    z_stream zs{};
    EXPECT_EQ(deflateInit2(&zs, 9, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&zs, data.size()) + 64, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

// A small dictd database: articles laid end to end, an index line per headword.
struct Database {
    std::string data;
    std::string index;
    uint64_t Add(std::string_view article)
    {
        uint64_t at = data.size();
        data += article;
        return at;
    }
    void Index(std::string_view headword, uint64_t offset, uint64_t length)
    {
        index +=
            std::string(headword) + "\t" + DictdNumber(offset) + "\t" + DictdNumber(length) + "\n";
    }
    void AddEntry(std::string_view headword, std::string_view article)
    {
        uint64_t at = Add(article);
        Index(headword, at, article.size());
    }
};

Database SpanishEnglish()
{
    Database db;
    db.AddEntry("00databaseinfo", "This is the database's description\n");
    db.AddEntry("a bordo", "a bordo /a βˈoɾðo/\naboard\n");
    uint64_t at = db.Add("feo, fea /fˈeo/ /fˈea/ <adj>\nugly, plain\n");
    db.Index("fea", at, db.data.size() - at);
    db.Index("feo", at, db.data.size() - at);
    db.AddEntry("europa", "Europa /eʊɾˈopa/\n1. Europe\n2. Europa\n");
    db.AddEntry("billete de banco", "billete de banco /biʎˈete ðe βˈanko/\nbank‐note\n");
    db.AddEntry("vacío", "vacío /baθˈio/\n");  // no translation at all
    return db;
}

std::string Slurp(const std::string& path)
{
    std::string s;
    EXPECT_TRUE(ReadWholeFile(path, s)) << path;
    return s;
}

}  // namespace

// ---- dictd numbers and index

TEST(DictdIndex, DecodesNumbersOfDictdsAlphabet)
{
    const std::pair<const char*, uint64_t> cases[] = {
        {"A", 0},
        {"B", 1},
        {"a", 26},
        {"0", 52},
        {"+", 62},
        {"/", 63},
        {"BA", 64},
        {"CgE", 2 * 4096 + 32 * 64 + 4},
        {"////////", (uint64_t{1} << 48) - 1},
    };
    for (auto [digits, expected] : cases) {
        uint64_t v = 12345;
        EXPECT_TRUE(DecodeDictdNumber(digits, v)) << digits;
        EXPECT_EQ(v, expected) << digits;
    }
    for (const char* bad : {"", "A=", "AB C", "-1", "\xC3\xA9", "AAAAAAAAA"}) {
        uint64_t v = 0;
        EXPECT_FALSE(DecodeDictdNumber(bad, v)) << bad;
    }
}

TEST(DictdIndex, ParsesLinesWithOptionalOriginalField)
{
    std::vector<DictdIndexEntry> entries;
    std::string error;
    ASSERT_TRUE(
        ParseDictdIndex("a bordo\tI5n\te\r\n\nblancanieve\t6/\tz\tBlanca-Nieve\n", entries, error));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].headword, "a bordo");
    EXPECT_EQ(entries[0].offset, 8u * 4096 + 57 * 64 + 39);
    EXPECT_EQ(entries[0].length, 30u);
    EXPECT_EQ(entries[1].original, "Blanca-Nieve");
}

TEST(DictdIndex, MalformedIndexFailsNamingTheLine)
{
    const char* cases[] = {
        "abad\tChP\tp\nabadesa\tCh",     // truncated in the middle of a line
        "abad\tChP\tp\nabadesa\tCh4\n",  // a line without its length
        "abad ChP p\n",                  // spaces instead of tabs
        "abad\tChP\tp\tx\ty\n",          // too many fields
        "abad\tC*P\tp\n",                // outside the alphabet
    };
    for (const char* text : cases) {
        std::vector<DictdIndexEntry> entries;
        std::string error;
        EXPECT_FALSE(ParseDictdIndex(text, entries, error)) << text;
        EXPECT_TRUE(entries.empty());
        EXPECT_NE(error.find("malformed index line"), std::string::npos) << error;
    }
}

// ---- .dict.dz data

TEST(DictData, InflatesGzipMembersAndPassesPlainTextThrough)
{
    std::string out, error;
    ASSERT_TRUE(InflateDictData(Gzip("first member\n") + Gzip("second\n"), out, error)) << error;
    EXPECT_EQ(out, "first member\nsecond\n");
    ASSERT_TRUE(InflateDictData("plain dict text\n", out, error));
    EXPECT_EQ(out, "plain dict text\n");
}

TEST(DictData, CorruptTruncatedOrHugeDataFailsCleanly)
{
    std::string big(200000, 'x');
    std::string gz = Gzip(big);
    std::string out, error;
    EXPECT_FALSE(InflateDictData(gz.substr(0, gz.size() / 2), out, error));
    EXPECT_NE(error.find("truncated"), std::string::npos) << error;
    EXPECT_TRUE(out.empty());

    std::string garbage = "\x1F\x8B";
    std::mt19937 rng(7);
    for (int i = 0; i < 4000; ++i)
        garbage += static_cast<char>(rng());
    EXPECT_FALSE(InflateDictData(garbage, out, error));
    EXPECT_FALSE(error.empty());

    // A small file that inflates beyond the limit (a decompression bomb) is refused.
    EXPECT_FALSE(InflateDictData(gz, out, error, 100000));
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
}

// ---- FreeDict articles

struct SensesCase {
    const char* name;
    const char* article;
    std::vector<std::string> senses;
};

class FreeDictSensesTest : public testing::TestWithParam<SensesCase> {};

TEST_P(FreeDictSensesTest, TakesOneCleanTranslationPerSense)
{
    EXPECT_EQ(FreeDictSenses(GetParam().article), GetParam().senses);
}

INSTANTIATE_TEST_SUITE_P(
    RealShapes, FreeDictSensesTest,
    testing::Values(
        SensesCase{"Unnumbered", "bien /bjˈen/\nokay, well\n", {"okay, well"}},
        SensesCase{"NumberedWithGrammar",
                   "autorisation /otoʀizasjɔ̃/ <n, fem>\n1. permission\n2. authorization\n",
                   {"permission", "authorization"}},
        SensesCase{"GenderTagsInTranslations",
                   "fenómeno /fenˈomeno/ <n, m>\n1. Phänomen <n, n>\n2. Erscheinung <n, f>\n",
                   {"Phänomen", "Erscheinung"}},
        SensesCase{"LabelsAndNotes",
                   "abats /aba/ <n>\n1. offal\n2.  [cul] giblets\n3. im Laufe (+Genitiv)\n",
                   {"offal", "giblets", "im Laufe"}},
        SensesCase{"RepeatAfterNoteRemovalAndOrphanComma",
                   "hop /hɔp/\n1. hop, hop (plant)\n2. Zusammenstoß <n, m>, (Schiffe)\n",
                   {"hop", "Zusammenstoß"}},
        SensesCase{"DefinitionLinesAreNotTranslations",
                   "Bar /baːɐ̯/ <n, neut>\nbar\neine Maßeinheit für den Druck; 1 bar = 10⁵ N/m²\n",
                   {"bar"}},
        SensesCase{"StraySenseNumbersAndDefinitionOnlySenses",
                   "Abakus /ˈabakʊs/ <n, masc>\nábaco 2.\nein antikes Rechenbrett\n 3.\n"
                   "antikes Spielbrett\n 4.\nArchitektur: Platte am Kopfstück von Säulen\n",
                   {"ábaco"}},
        SensesCase{"NestedNumbering",
                   "abbekommen /ˈapbəˌkɔmən/ <v>\n1. recibir 2.\nseinen Teil erhalten\n 3.\n"
                   "etwas erleiden müssen\n2. remover\netwas Befestigtes entfernen\n",
                   {"recibir", "remover"}},
        SensesCase{"OrdinalsOpeningExplanations",
                   "wir /viːɐ̯/\nnosotros, nosotras\n1. Person Plural; mehrere Personen\n",
                   {"nosotros, nosotras"}},
        SensesCase{"OrdinalsOpeningExplanationsOfNumberedSenses",
                   "h /haː/ <abbreviation, neut>\n1. si\n7. Ton der Grund-(C-Dur-)Tonleiter\n"
                   "2. si menor\nZeichen für h-Moll\n16. bis 19. Jahrhundert\n",
                   {"si", "si menor"}},
        SensesCase{"TypographicHyphenAndCrLf", "billete /x/\r\nbank‐note\r\n", {"bank-note"}},
        SensesCase{"HeadlineOnly", "vacío /baθˈio/\n", {}},
        SensesCase{"ControlCharactersNeverBreakALine",
                   "x /x/\nfirst\x01second\tthird\n",
                   {"first second third"}}),
    [](const testing::TestParamInfo<SensesCase>& info) { return info.param.name; });

TEST(FreeDictOriginal, KeepsTheHeadlinesSpellingOfTheIndexHeadword)
{
    EXPECT_EQ(FreeDictOriginal("Barbar /baʁˈbaːɐ̯/ <n, masc>\nbárbaro\n", "barbar"), "Barbar");
    EXPECT_EQ(FreeDictOriginal("Ágil /ˈaxil/\nagile\n", "ágil"), "Ágil");
    EXPECT_EQ(FreeDictOriginal("feo, fea /fˈeo/ /fˈea/ <adj>\nhässlich\n", "fea"), "fea");
    EXPECT_EQ(FreeDictOriginal(" [Chile]  [coloq.] paco, | paca /pˈako/ <n, f>\nx\n", "paca"),
              "paca");
    EXPECT_EQ(FreeDictOriginal("Blanca‐Nieve /blˈanka njˈeβe/\nSnow White\n", "blancanieve"),
              "Blanca-Nieve");
    EXPECT_EQ(FreeDictOriginal("1,2,3-Propentricarbonsäure /x/ <n, fem>\nx\n",
                               "1,2,3-propentricarbonsäure"),
              "1,2,3-Propentricarbonsäure");
    // Nothing in the headline matches: the index headword is the original.
    EXPECT_EQ(FreeDictOriginal("something else /x/\ny\n", "other"), "other");
}

TEST(FreeDict, WholeDatabaseSkipsMetaEntriesAndSharesArticles)
{
    Database db = SpanishEnglish();
    std::vector<PhrasePair> pairs;
    size_t entries = 0;
    std::string error;
    ASSERT_TRUE(FreeDictPairs(db.index, db.data, pairs, entries, error)) << error;
    EXPECT_EQ(entries, 6u);
    std::vector<PhrasePair> expected = {{"a bordo", "aboard"},  {"fea", "ugly, plain"},
                                        {"feo", "ugly, plain"}, {"Europa", "Europe"},
                                        {"Europa", "Europa"},   {"billete de banco", "bank-note"}};
    EXPECT_EQ(pairs, expected);
}

TEST(FreeDict, FoldedAndParallelHeadwordsOfRealIndexes)
{
    Database db;
    // dictd folds "..." to an empty headword and keeps a leading space before folded variants.
    db.AddEntry("", "...\n... ago\n");
    db.AddEntry("", "pero, . /pˈeɾo/ <conj>\nsondern\n");
    uint64_t at = db.Add(
        "musulmán, | musulmana /mˌusulmˈan/ /mˌusulmˈana/ <n, f>\n1. Moslem <n, m>\n"
        "2. Muslim, | Muslimin <n, f>\n");
    db.Index("musulmán", at, db.data.size() - at);
    db.Index(" musulmana", at, db.data.size() - at);
    std::vector<PhrasePair> pairs;
    size_t entries = 0;
    std::string error;
    ASSERT_TRUE(FreeDictPairs(db.index, db.data, pairs, entries, error)) << error;
    std::vector<PhrasePair> expected = {{"...", "... ago"},
                                        {"musulmán", "Moslem"},
                                        {"musulmán", "Muslim"},
                                        {"musulmana", "Moslem"},
                                        {"musulmana", "Muslimin"}};
    EXPECT_EQ(pairs, expected);
}

TEST(FreeDict, EntriesPointingPastTheDataFail)
{
    Database db = SpanishEnglish();
    std::vector<PhrasePair> pairs;
    size_t entries = 0;
    std::string error;
    Database past = db;
    past.Index("fuera", db.data.size() - 3, 4);
    EXPECT_FALSE(FreeDictPairs(past.index, past.data, pairs, entries, error));
    EXPECT_NE(error.find("'fuera' points past the end"), std::string::npos) << error;
    EXPECT_TRUE(pairs.empty());

    Database huge = db;
    huge.Index("enorme", (uint64_t{1} << 48) - 1, (uint64_t{1} << 48) - 1);  // no overflow
    EXPECT_FALSE(FreeDictPairs(huge.index, huge.data, pairs, entries, error));
}

TEST(FreeDict, ImportsFilesDeterministicallyUnderTheCataloguesName)
{
    TempDir dir;
    Database db = SpanishEnglish();
    dir.Write("freedict-spa-eng.index", db.index);
    dir.Write("freedict-spa-eng.dict.dz", Gzip(db.data));

    ImportOutcome outcome = ImportFreeDict(dir.File("freedict-spa-eng.dict.dz"));
    ASSERT_TRUE(outcome.ok) << outcome.error;
    EXPECT_EQ(outcome.dictionaryCode, "es_en");
    std::string error;
    ASSERT_TRUE(WritePhrasePairs(dir.File("first.txt"), outcome.pairs, error));
    // One pair per original, its senses in the article's order.
    EXPECT_EQ(Slurp(dir.File("first.txt")),
              "a bordo\naboard\nfea\nugly, plain\nfeo\nugly, plain\nEuropa\nEurope | Europa\n"
              "billete de banco\nbank-note");

    ImportOutcome again = ImportFreeDict(dir.File("freedict-spa-eng"));
    ASSERT_TRUE(WritePhrasePairs(dir.File("second.txt"), again.pairs, error));
    EXPECT_EQ(Slurp(dir.File("first.txt")), Slurp(dir.File("second.txt")));

    // Dutch is "du" in the catalogue; --pair overrides the name.
    dir.Write("freedict-nld-eng.index", db.index);
    dir.Write("freedict-nld-eng.dict.dz", Gzip(db.data));
    EXPECT_EQ(ImportFreeDict(dir.File("freedict-nld-eng")).dictionaryCode, "du_en");
    EXPECT_EQ(ImportFreeDict(dir.File("freedict-nld-eng"), "sv_es").dictionaryCode, "sv_es");
}

TEST(FreeDict, BadSourcesFailWithOneLine)
{
    TempDir dir;
    Database db = SpanishEnglish();
    auto expectFailure = [](const ImportOutcome& o, const std::string& text) {
        EXPECT_FALSE(o.ok);
        EXPECT_NE(o.error.find(text), std::string::npos) << o.error;
        EXPECT_EQ(o.error.find('\n'), std::string::npos) << o.error;
        EXPECT_TRUE(o.pairs.empty());
    };
    expectFailure(ImportFreeDict(dir.File("freedict-spa-eng")), "cannot read");
    expectFailure(ImportFreeDict(dir.File("freedict-spa-tur")), "no local dictionary pair");
    expectFailure(ImportFreeDict(dir.File("freedict-spa-eng"), "xx_yy"), "not a pair");

    dir.Write("freedict-spa-eng.index", db.index);
    std::string gz = Gzip(db.data);
    dir.Write("freedict-spa-eng.dict.dz", gz.substr(0, gz.size() - 12));
    expectFailure(ImportFreeDict(dir.File("freedict-spa-eng")), "truncated");

    std::string binary;
    std::mt19937 rng(3);
    for (int i = 0; i < 5000; ++i)
        binary += static_cast<char>(rng());
    dir.Write("freedict-spa-eng.index", binary);
    dir.Write("freedict-spa-eng.dict.dz", gz);
    expectFailure(ImportFreeDict(dir.File("freedict-spa-eng")), "malformed index line");

    dir.Write("freedict-spa-eng.index", "00databaseinfo\tA\tB\n");
    expectFailure(ImportFreeDict(dir.File("freedict-spa-eng")), "no phrase pairs");
}

// ---- ding

struct DingCase {
    const char* name;
    const char* line;
    bool reverse;
    std::vector<PhrasePair> pairs;
};

class DingLineTest : public testing::TestWithParam<DingCase> {};

TEST_P(DingLineTest, SplitsAlternativesInParallelAndCleansThem)
{
    EXPECT_EQ(DingLinePairs(GetParam().line, GetParam().reverse), GetParam().pairs);
}

INSTANTIATE_TEST_SUITE_P(
    RealShapes, DingLineTest,
    testing::Values(
        DingCase{"Parallel",
                 "Aalbestand {m} | Aalbestände {pl} :: eel stock | eel stocks",
                 false,
                 {{"Aalbestand", "eel stock"}, {"Aalbestände", "eel stocks"}}},
        DingCase{"Reverse",
                 "Aalbestand {m} | Aalbestände {pl} :: eel stock | eel stocks",
                 true,
                 {{"eel stock", "Aalbestand"}, {"eel stocks", "Aalbestände"}}},
        DingCase{"SynonymsAndLabels",
                 "Sonnenmilch {f}; Sonnenlotion {f} [ugs.] :: suntan lotion; sun lotion [Br.]",
                 false,
                 {{"Sonnenmilch; Sonnenlotion", "suntan lotion; sun lotion"}}},
        DingCase{"NotesOldSpellingsAndGrammarWithSeparators",
                 "Aalräucherei {f} (Betrieb) :: eel smokery; eel-smoking business "
                 "<eelsmoking business> | x {prp; +Dat.} :: y {dealt; dealt}",
                 false,
                 {{"Aalräucherei", "eel smokery; eel-smoking business"}}},
        DingCase{"AbbreviationsAndReferences",
                 "Armenrecht {n} [jur.] ~Prozesskostenhilfe :: in forma pauperis /IFP/ ~legal aid",
                 false,
                 {{"Armenrecht", "in forma pauperis"}}},
        DingCase{"SlashesInsideWordsStay",
                 "und/oder {conj} :: and/or; km/h",
                 false,
                 {{"und/oder", "and/or; km/h"}}},
        DingCase{"UnevenAlternativesPairUpFromTheLeft",
                 "a | b | c :: A | B",
                 false,
                 {{"a", "A"}, {"b", "B"}}},
        DingCase{"EmptyAfterCleaningIsDropped",
                 "{f} | Haus {n} :: [Am.] | house",
                 false,
                 {{"Haus", "house"}}},
        DingCase{"Comment", "# Version :: devel 2023-01-30", false, {}},
        DingCase{"NoSeparator", "Aal {m} eel", false, {}},
        DingCase{"UnbalancedBracketsStayText",
                 "Klammer (auf :: bracket ]",
                 false,
                 {{"Klammer (auf", "bracket ]"}}}),
    [](const testing::TestParamInfo<DingCase>& info) { return info.param.name; });

TEST(Ding, HostileLinesAreHandledInLinearTime)
{
    // Each of these would take minutes if a cleaning step were quadratic.
    std::string opens(1 << 20, '(');
    std::string commas;
    for (int i = 0; i < 200000; ++i)
        commas += std::to_string(i) + "; ";
    std::string tildes(1 << 20, '~');
    for (const std::string& side : {opens, commas, tildes}) {
        std::vector<PhrasePair> pairs = DingLinePairs(side + " :: x", false, true);
        EXPECT_LE(pairs.size(), 200000u);
    }
    EXPECT_EQ(CleanDingPhrase("a (b (c) d"), "a (b d");
    EXPECT_EQ(CleanDingPhrase("a ) b (c)"), "a ) b");
}

TEST(Ding, SplitSynonymsGivesEachSynonymItsOwnOriginal)
{
    std::vector<PhrasePair> expected = {{"Aas", "carrion"}, {"Aasfleisch", "carrion"}};
    EXPECT_EQ(DingLinePairs("Aas {n}; Aasfleisch {n} [zool.] :: carrion", false, true), expected);
}

TEST(Ding, ImportOrdersTheFirstLineOfAHeadwordLast)
{
    ImportOutcome o = ImportDingText(
        "# comment\nBank {f} :: bank\r\nBank {f} :: settle\nBank {f} :: bank\nbinary\x01\x02\n",
        false);
    ASSERT_TRUE(o.ok);
    EXPECT_EQ(o.entriesRead, 4u);
    std::vector<PhrasePair> expected = {{"Bank", "bank | settle"}};
    EXPECT_EQ(o.pairs, expected);
}

TEST(Ding, EverySenseOfAHeadwordSurvivesTheLoad)
{
    // Two lines of trans-de-en for "Hund": the loader keeps one translation per original.
    ImportOutcome o = ImportDingText(
        "Hund {m} [zool.] | Hunde {pl} | Haushund {m} :: dog; dawg (used to represent American "
        "speech) | dogs; dawgs | domestic dog; pet dog\nHund {m} :: canine; K-9 [Am.]\n",
        false);
    ASSERT_TRUE(o.ok);
    TempDir dir;
    std::string error;
    ASSERT_TRUE(WritePhrasePairs(dir.File("localdictionary_de_en.txt"), o.pairs, error));
    LocalDictionary dictionary;
    dir.Write("personaldictionary_de_en.txt", "");
    EXPECT_TRUE(
        dictionary
            .Load(dir.File("localdictionary_de_en.txt"), dir.File("personaldictionary_de_en.txt"))
            .empty());
    std::string translation;
    ASSERT_TRUE(dictionary.LookUpPhrase("Hund", translation));
    EXPECT_EQ(translation, "dog; dawg | canine; K-9");
    ASSERT_TRUE(dictionary.LookUpPhrase("Hunde", translation));
    EXPECT_EQ(translation, "dogs; dawgs");
}

TEST(Ding, TheLinesHeadwordIsTheMainSenseOverSynonymsElsewhere)
{
    ImportOutcome o = ImportDingText(
        "Einrichtung {f}; Haus {n} | Einrichtungen {pl}; Häuser {pl} :: establishment | "
        "establishments\nHaus {n} | Häuser {pl} :: house | houses\nHaus {n} [pol.] :: house (of "
        "parliament)\n",
        false, true);
    ASSERT_TRUE(o.ok);
    std::vector<PhrasePair> expected = {{"Einrichtung", "establishment"},
                                        {"Haus", "house | establishment"},
                                        {"Einrichtungen", "establishments"},
                                        {"Häuser", "houses | establishments"}};
    EXPECT_EQ(o.pairs, expected);
}

TEST(Ding, ReversedThePlainestTranslationIsTheMainSense)
{
    // The right side is in no useful order: one word for one word, and the shorter word, win.
    ImportOutcome o = ImportDingText(
        "Bandhaken {m} (Fassbinderei) :: dog\nGeschlecht {n}; Familie {f} :: house; family\n"
        "Haus {n} | Häuser {pl} :: house | houses\nHund {m}; Hündin {f} [zool.] :: dog; dawg\n",
        true, true);
    ASSERT_TRUE(o.ok);
    auto last = [&o](const std::string& original) {
        std::string found;
        for (const PhrasePair& p : o.pairs)
            if (p.original == original) found = p.translation;
        return found;
    };
    EXPECT_EQ(last("dog"), "Hund; Hündin | Bandhaken");
    EXPECT_EQ(last("house"), "Haus | Geschlecht; Familie");
    EXPECT_EQ(last("family"), "Geschlecht; Familie");
}

TEST(Ding, FilesGiveThePairFromTheirNameAndBinaryInputFails)
{
    TempDir dir;
    dir.Write("de-en", "Haus {n} | Häuser {pl} :: house | houses\n");
    ImportOutcome o = ImportDing(dir.File("de-en"), false);
    ASSERT_TRUE(o.ok) << o.error;
    EXPECT_EQ(o.dictionaryCode, "de_en");
    ImportOutcome r = ImportDing(dir.File("de-en"), true);
    EXPECT_EQ(r.dictionaryCode, "en_de");
    EXPECT_EQ(r.pairs.front(), (PhrasePair{"house", "Haus"}));

    std::string binary(100000, '\0');
    std::mt19937 rng(11);
    for (char& c : binary)
        c = static_cast<char>(rng());
    dir.Write("en-es", binary);
    ImportOutcome b = ImportDing(dir.File("en-es"), false);
    EXPECT_FALSE(b.ok);
    EXPECT_NE(b.error.find("no 'German :: English' lines"), std::string::npos) << b.error;
    EXPECT_FALSE(ImportDing(dir.File("missing-en"), false).ok);
}

// ---- Glued words

namespace {

WordList SmallEnglishList()
{
    return WordList(
        "the\nfar\neast\nleft\nway\nCuban\nleast\nnorth\namerica\nfeast\ntabernacles\n"
        "bottle\nopener\narc\nhim\nand\nrite\ncost\nnote\npad\nnotepad\nwill\ntwill\n"
        "cheers\ngood\nhealth\nGerman\nwoman\nstir\n",
        "en");
}

}  // namespace

TEST(Respace, CutsGluedWordsAtCapitalsAndIntoListedWords)
{
    WordList words = SmallEnglishList();
    const std::pair<const char*, const char*> cases[] = {
        {"ontheleft", "on the left"},
        {"theFarEast", "the Far East"},
        {"intheCubanway", "in the Cuban way"},
        {"NorthAmerica", "North America"},
        {"FeastofTabernacles", "Feast of Tabernacles"},
        {"Germanwoman", "Germanwoman"},  // no small word and no evidence
        {"CostaRica", "Costa Rica"},     // names the list lacks stay whole
        {"stirup, atleast", "stir up, at least"},
        {"archimandrite", "archimandrite"},  // not "arc him and rite"
        {"Costa", "Costa"},                  // not "Cost a"
        {"notepad", "notepad"},              // a listed word stays
        {"bottleopener", "bottleopener"},    // two words without a small one: no evidence
        {"Ithe", "Ithe"},                    // a name does not start with a small word
        {"abc-def xyz", "abc-def xyz"},
    };
    for (auto [in, out] : cases)
        EXPECT_EQ(Respace(in, words), out) << in;
    EXPECT_EQ(Respace("ontheleft", WordList()), "ontheleft");
}

TEST(Respace, TheDictionarysOwnWritingDecidesUnclearCuts)
{
    WordList words = SmallEnglishList();
    words.NoteBigrams("bottle opener, corkscrew");
    words.NoteBigrams("at will; at will");
    words.NoteBigrams("German woman");
    EXPECT_EQ(Respace("bottleopener", words), "bottle opener");
    EXPECT_EQ(Respace("bottle, opener", words), "bottle, opener");
    EXPECT_EQ(Respace("atwill", words), "at will");  // not "a twill"
    EXPECT_EQ(Respace("goodhealth", words), "goodhealth");
    EXPECT_EQ(Respace("Germanwoman", words), "German woman");
}

TEST(Respace, FreeDictPairsLearnFromTheWholeDatabase)
{
    Database db;
    db.AddEntry("abrelatas", "abrelatas /x/\nbottleopener\n");
    db.AddEntry("abridor", "abridor /x/\nbottle opener, opener\n");
    std::vector<PhrasePair> pairs;
    size_t entries = 0;
    std::string error;
    ASSERT_TRUE(FreeDictPairs(db.index, db.data, pairs, entries, error, SmallEnglishList()));
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0].translation, "bottle opener");
}

// ---- Output

TEST(PhrasePairs, MergeSensesKeepsEverySenseOnceMainSenseFirst)
{
    const std::vector<PhrasePair> input = {{"a", "1"}, {"b", "2"}, {"a", "3"},
                                           {"a", "1"}, {"c", "4"}, {"a", "5"}};
    std::vector<PhrasePair> pairs = input;
    MergeSenses(pairs);
    std::vector<PhrasePair> expected = {{"a", "1 | 3 | 5"}, {"b", "2"}, {"c", "4"}};
    EXPECT_EQ(pairs, expected);

    pairs = input;
    MergeSenses(pairs, {2, 0, 1, 2, 0, 1});
    expected = {{"a", "3 | 1 | 5"}, {"b", "2"}, {"c", "4"}};
    EXPECT_EQ(pairs, expected);
}

TEST(PhrasePairs, FormatHasNoFinalLineEndAndNoBrokenLines)
{
    std::vector<PhrasePair> pairs = {
        {"casa", "house"}, {"", "dropped"}, {"dropped", ""}, {"dos\nlíneas", "two\r\nlines"}};
    EXPECT_EQ(FormatPhrasePairs(pairs), "casa\nhouse\ndos líneas\ntwo  lines");
    EXPECT_EQ(FormatPhrasePairs({}), "");
}

TEST(PhrasePairs, FormatConvertsToTheProgramsCodePage)
{
    const char* old = std::getenv("TALVERO_CODEPAGE");
    std::string saved = old ? old : "";
    setenv("TALVERO_CODEPAGE", "CP1252", 1);
    ResetCodePageForTesting();
    std::string text = FormatPhrasePairs({{"¿qué?", "what?"}});
    if (old)
        setenv("TALVERO_CODEPAGE", saved.c_str(), 1);
    else
        unsetenv("TALVERO_CODEPAGE");
    ResetCodePageForTesting();
    EXPECT_EQ(text, "\xBFqu\xE9?\nwhat?");
}

TEST(PhrasePairs, WriteFailsCleanlyWhenTheDirectoryIsMissing)
{
    std::string error;
    EXPECT_FALSE(WritePhrasePairs("/nonexistent-dir/x.txt", {{"a", "b"}}, error));
    EXPECT_NE(error.find("cannot write"), std::string::npos);
}

TEST(Synthetic, SameSeedSamePairsOfOneToFourWords)
{
    std::vector<PhrasePair> a = SyntheticPairs(2000, 42);
    EXPECT_EQ(a, SyntheticPairs(2000, 42));
    EXPECT_NE(a, SyntheticPairs(2000, 43));
    size_t maxWords = 0, minWords = 9;
    for (const PhrasePair& p : a) {
        for (const std::string* side : {&p.original, &p.translation}) {
            size_t words = 1 + static_cast<size_t>(std::count(side->begin(), side->end(), ' '));
            minWords = std::min(minWords, words);
            maxWords = std::max(maxWords, words);
        }
    }
    EXPECT_EQ(minWords, 1u);
    EXPECT_EQ(maxWords, 4u);
    // Pinned: a change of the generator changes the benchmark's data.
    std::vector<PhrasePair> pinned = {{"dclseylbq bhvhojvx", "ef wmur"},
                                      {"ze", "\xC3\xB1tcj xze gptex"}};
    EXPECT_EQ(SyntheticPairs(2, 1), pinned);
}

// ---- The packaged dictionaries, when installed

TEST(Packaged, SpanishEnglishFreeDictImportsCleanly)
{
    const std::string source = "/usr/share/dictd/freedict-spa-eng";
    if (access((source + ".index").c_str(), R_OK) != 0) GTEST_SKIP() << "dict-freedict-spa-eng";
    ImportOutcome o = ImportFreeDict(source);
    ASSERT_TRUE(o.ok) << o.error;
    EXPECT_EQ(o.dictionaryCode, "es_en");
    EXPECT_GT(o.pairs.size(), 4000u);
    for (const PhrasePair& p : o.pairs) {
        ASSERT_FALSE(p.original.empty());
        ASSERT_EQ(p.translation.find_first_of("/<>[]()\n"), std::string::npos) << p.translation;
    }
}

// ---- talvero-cli import

namespace {

CliRun RunImport(const TempDir& dir, const std::string& args)
{
    return RunCli(dir.Path().string(), "import " + args);
}

}  // namespace

TEST(CliImport, MisuseExitsTwoWithOneLine)
{
    TempDir dir;
    for (const char* args : {"", "bogus x", "freedict", "freedict a b c", "ding de-en --pair xx_yy",
                             "freedict freedict-spa-eng --reverse", "ding de-en --seed 3",
                             "synthetic 0 f.txt", "synthetic 10", "synthetic 10 f.txt --reverse",
                             "ding de-en --frobnicate", "ding --pair"}) {
        CliRun run = RunImport(dir, args);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << args << ": " << run.err;
        EXPECT_TRUE(run.out.empty()) << args;
    }
    CliRun help = RunImport(dir, "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("freedict SOURCE"), std::string::npos);
}

TEST(CliImport, WritesTheCataloguesFileAndKeepsExistingOnRequest)
{
    TempDir dir;
    Database db = SpanishEnglish();
    dir.Write("freedict-spa-eng.index", db.index);
    dir.Write("freedict-spa-eng.dict.dz", Gzip(db.data));
    std::filesystem::create_directory(dir.File("out"));

    CliRun run = RunImport(dir, "freedict freedict-spa-eng out");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(
        run.out.rfind("Wrote 5 phrase pairs from 6 entries to out/localdictionary_es_en.txt", 0),
        0u)
        << run.out;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1);
    std::string first = Slurp(dir.File("out/localdictionary_es_en.txt"));
    EXPECT_EQ(first.substr(0, 15), "a bordo\naboard\n");

    dir.Write("out/localdictionary_es_en.txt", "mine\nmío");
    run = RunImport(dir, "freedict freedict-spa-eng out --keep-existing");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Slurp(dir.File("out/localdictionary_es_en.txt")), "mine\nmío");
    run = RunImport(dir, "freedict freedict-spa-eng.index out");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Slurp(dir.File("out/localdictionary_es_en.txt")), first);

    dir.Write("de-en", "Haus {n} :: house\n");
    run = RunImport(dir, "ding de-en --reverse");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Slurp(dir.File("localdictionary_en_de.txt")), "house\nHaus");

    // A failure: one line, status 1, nothing written.
    run = RunImport(dir, "ding de-en no-such-dir");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "talvero-cli: cannot write no-such-dir/localdictionary_de_en.txt\n");
}

// ---- hostile inputs: bounded time and memory, a clear error

TEST(Hostile, ManyEntriesOnOneLongHeadlineAreMatchedOnce)
{
    // A 300 KB headline and thousands of index entries pointing at it: each entry used to clean
    // and fold the whole headline again.
    Database db;
    std::string headline;
    for (int i = 0; headline.size() < 300000; ++i)
        headline += "palabra" + std::to_string(i) + ", ";
    const uint64_t at = db.Add(headline + "\nword\n");
    for (int i = 0; i < 6000; ++i)
        db.Index("palabra" + std::to_string(i), at, db.data.size() - at);
    std::vector<PhrasePair> pairs;
    size_t read = 0;
    std::string error;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(FreeDictPairs(db.index, db.data, pairs, read, error)) << error;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    ASSERT_EQ(pairs.size(), 6000u);
    EXPECT_EQ(pairs[1234], (PhrasePair{"palabra1234", "word"}));
}

TEST(Hostile, OnlyTheDataTheIndexNeedsIsInflated)
{
    // 2 MB of dictzip that would inflate to 512 MB: the index needs 12 bytes of it.
    z_stream zs{};
    ASSERT_EQ(deflateInit2(&zs, 1, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string head = "casa\nhouse\n", zeros(1 << 20, '\0'), gz;
    char buf[1 << 16];
    for (int chunk = 0; chunk <= 512; ++chunk) {
        std::string_view in = chunk == 0 ? std::string_view(head) : std::string_view(zeros);
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
        zs.avail_in = static_cast<uInt>(in.size());
        do {
            zs.next_out = reinterpret_cast<Bytef*>(buf);
            zs.avail_out = sizeof buf;
            deflate(&zs, chunk == 512 ? Z_FINISH : Z_NO_FLUSH);
            gz.append(buf, sizeof buf - zs.avail_out);
        } while (zs.avail_out == 0);
    }
    deflateEnd(&zs);
    TempDir dir;
    dir.Write("freedict-spa-eng.index", "casa\tA\tL\n");
    dir.Write("freedict-spa-eng.dict.dz", gz);
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    ImportOutcome o = ImportFreeDict(dir.File("freedict-spa-eng"));
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    ASSERT_TRUE(o.ok) << o.error;
    EXPECT_EQ(o.pairs, (std::vector<PhrasePair>{{"casa", "house"}}));
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 100 * 1024) << "KiB more at the peak";
}

TEST(Hostile, AnIndexPointingPastTheInflateBoundIsRefusedUpFront)
{
    // A few bytes of index can ask for a gigabyte of inflated data: refused before inflating.
    TempDir dir;
    dir.Write("freedict-spa-eng.index", "casa\tA\tL\nbomba\t" + DictdNumber(300u << 20) + "\tL\n");
    dir.Write("freedict-spa-eng.dict.dz", Gzip("casa\nhouse\n"));
    ImportOutcome o = ImportFreeDict(dir.File("freedict-spa-eng"));
    EXPECT_FALSE(o.ok);
    EXPECT_NE(o.error.find("more than 256 MB"), std::string::npos) << o.error;
    CliRun help = RunImport(dir, "--help");
    EXPECT_NE(help.out.find("256 MB"), std::string::npos);
}

TEST(Hostile, AnImportLargerThanTheLoaderTakesStopsWithAnError)
{
    std::string synonyms;
    for (int i = 0; i < 5000; ++i)
        synonyms += (i ? "; s" : "s") + std::to_string(i);
    ImportOutcome o = ImportDingText(synonyms + " :: " + std::string(1000, 't'), false, true,
                                     ImportLimits{1000, uint64_t{1} << 40});
    EXPECT_FALSE(o.ok);
    EXPECT_TRUE(o.pairs.empty());
    EXPECT_EQ(o.error.rfind("the import would give more than Talvero can load", 0), 0u) << o.error;
    o = ImportDingText(synonyms + " :: t", false, true, ImportLimits{100000, 20000});
    EXPECT_FALSE(o.ok);
}

#ifndef __SANITIZE_ADDRESS__
TEST(Hostile, RunningOutOfMemoryIsAnErrorNotAnAbort)
{
    // 100,000 synonyms, each given the whole 10 KB translation: a gigabyte of pairs, in a process
    // allowed far less.
    TempDir dir;
    std::string line;
    for (int i = 0; i < 100000; ++i)
        line += (i ? "; w" : "w") + std::to_string(i);
    dir.Write("de-en", line + " :: " + std::string(10000, 't') + "\n");
    // The limit is set around the run only; the command inherits it.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = rlim_t{600} << 20;
    ASSERT_EQ(setrlimit(RLIMIT_AS, &small), 0);
    CliRun run = RunImport(dir, "ding de-en . --split-synonyms");
    setrlimit(RLIMIT_AS, &saved);
    EXPECT_EQ(run.status, 1) << "an abort is no exit status";
    EXPECT_EQ(run.err, "talvero-cli: not enough memory for this import\n");
}
#endif

}  // namespace talvero
