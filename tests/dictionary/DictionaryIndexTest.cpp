#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "ReferenceTree.h"
#include "base/CodePage.h"
#include "dictionary/DictionaryIndex.h"
#include "dictionary/LocalDictionary.h"
#include "tests/support/TempDir.h"

namespace talvero {

namespace {

namespace fs = std::filesystem;
using Pairs = std::vector<std::pair<std::string, std::string>>;

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void Spit(const std::string& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

std::string AsText(const Pairs& pairs, std::mt19937& rng)
{
    std::string text;
    for (const auto& [original, translation] : pairs) {
        if (!text.empty()) text += rng() % 5 == 0 ? "\r\n" : "\n";
        text += original + "\n" + translation;
    }
    return text;
}

// Originals with bytes above 0x7F, DEL and blanks, many sharing long beginnings, duplicates and
// prefixes of one another; probes that are prefixes, extensions and strangers of them.
struct Hostile {
    Pairs pairs;
    std::vector<std::string> probes;
};

Hostile MakeHostile(std::mt19937& rng, int count, size_t maxLength)
{
    const std::string alphabet = std::string("ab \xE9\x80\xFF") + "A\x7F" + "c";
    auto phrase = [&](size_t most) {
        std::string s(1 + rng() % most, 'a');
        for (char& c : s)
            c = alphabet[rng() % alphabet.size()];
        return s;
    };
    Hostile h;
    for (int i = 0; i < count; ++i) {
        std::string original = phrase(maxLength);
        const unsigned kind = rng() % 10;
        if (kind < 2 && !h.pairs.empty()) original = h.pairs[rng() % h.pairs.size()].first;
        if (kind == 2 && !h.pairs.empty()) {
            const std::string& other = h.pairs[rng() % h.pairs.size()].first;
            original = other.substr(0, 1 + rng() % other.size());
        }
        if (kind == 3 && !h.pairs.empty()) original = h.pairs[rng() % h.pairs.size()].first + "b";
        h.pairs.emplace_back(original, "t" + std::to_string(i));
    }
    for (const auto& p : h.pairs) {
        for (size_t len = 0; len <= p.first.size() + 1; len += 1 + len / 4)
            h.probes.push_back(p.first.substr(0, len));
        h.probes.push_back(p.first);
        h.probes.push_back(p.first + alphabet[rng() % alphabet.size()]);
    }
    for (int i = 0; i < 100; ++i)
        h.probes.push_back(phrase(5));
    return h;
}

// Everything a caller can learn from the dictionary about `probes`, as one text.
std::string Answers(LocalDictionary& d, const std::vector<std::string>& probes)
{
    std::string out;
    for (const std::string& probe : probes) {
        auto pos = d.Tree().Find(probe);
        out += probe + " -> " +
               (!pos               ? "<none>"
                : !pos->HasEntry() ? "<prefix>"
                                   : *d.FindTranslation(probe)) +
               " [";
        d.Tree().nearList.clear();
        d.Tree().CollectNear(probe);
        for (size_t i = 0; i < d.Tree().nearList.size(); ++i)
            out.append(d.Tree().nearList[i]).append("|");
        out += "]\n";
    }
    return out;
}

std::string Answers(const ReferenceTree& reference, const std::vector<std::string>& probes)
{
    std::string out;
    for (const std::string& probe : probes) {
        ReferenceTree::Found found;
        out += probe + " -> " +
               (!reference.Find(probe, found) ? "<none>"
                : !found.hasEntry             ? "<prefix>"
                                              : found.translation) +
               " [";
        std::vector<std::string> near;
        reference.CollectNear(probe, near);
        for (const std::string& n : near)
            out += n + "|";
        out += "]\n";
    }
    return out;
}

class IndexTest : public ::testing::Test {
protected:
    void SetUp() override { DictionaryIndex::minimumTextBytes = 0; }
    void TearDown() override
    {
        DictionaryIndex::minimumTextBytes = kDefaultMinimum;
        DictionaryIndex::settledNs = kDefaultSettled;
    }

    std::string Path(const std::string& name) const { return temp.File(name); }
    LocalDictionary& Fresh(bool indexFirst = false)
    {
        loaded.push_back(std::make_unique<LocalDictionary>());
        loaded.back()->indexFirst = indexFirst;
        loaded.back()->newTranslationsFile = Path("new.txt");
        loaded.back()->SetTraceSink([](std::string_view) {});
        messages = loaded.back()->Load(Path("local.txt"), Path("personal.txt"));
        return *loaded.back();
    }

    static inline const uint64_t kDefaultMinimum = DictionaryIndex::minimumTextBytes;
    static inline const int64_t kDefaultSettled = DictionaryIndex::settledNs;
    TempDir temp;
    std::vector<std::unique_ptr<LocalDictionary>> loaded;
    std::vector<std::string> messages;
};

// The first load from the text and a later one from the index, before and after additions,
// answer as the plain tree fed the same pairs in the same order.
TEST_F(IndexTest, MappedDictionaryAnswersAsThePlainTree)
{
    std::mt19937 rng(99);
    for (int round = 0; round < 12; ++round) {
        Hostile local = MakeHostile(rng, 1 + static_cast<int>(rng() % 600), round < 6 ? 6 : 30);
        Hostile personal = MakeHostile(rng, static_cast<int>(rng() % 20), 6);
        Spit(Path("local.txt"), AsText(local.pairs, rng));
        Spit(Path("personal.txt"), AsText(personal.pairs, rng));
        ReferenceTree reference;
        for (const Hostile* h : {&local, &personal})
            for (const auto& [o, t] : h->pairs)
                reference.Insert(o, t);
        std::vector<std::string> probes = local.probes;
        probes.insert(probes.end(), personal.probes.begin(), personal.probes.end());

        LocalDictionary& fromText = Fresh();
        EXPECT_FALSE(fromText.UsesIndex());
        LocalDictionary& fromIndex = Fresh();
        ASSERT_TRUE(fromIndex.UsesIndex()) << "round " << round;
        EXPECT_EQ(fromIndex.Tree().entryCount, fromText.Tree().entryCount);
        const std::string expected = Answers(reference, probes);
        ASSERT_EQ(Answers(fromText, probes), expected) << "round " << round;
        ASSERT_EQ(Answers(fromIndex, probes), expected) << "round " << round;

        // Additions: new originals, and ones the mapped part holds, which they must override.
        for (int i = 0; i < 5; ++i) {
            std::string original = local.pairs[rng() % local.pairs.size()].first;
            if (i % 2) original += "\xE9z";
            const std::string translation = "added" + std::to_string(i);
            fromText.AddTranslation(original, translation);
            fromIndex.AddTranslation(original, translation);
            reference.Insert(original, translation);
            probes.push_back(original);
        }
        ASSERT_EQ(Answers(fromIndex, probes), Answers(reference, probes)) << "round " << round;
        ASSERT_EQ(Answers(fromText, probes), Answers(reference, probes)) << "round " << round;
        loaded.clear();
    }
}

// A million generated pairs, and the German dictionary of the benchmarks when it has been made:
// the same answers from the index as from the text.
TEST_F(IndexTest, LargeDictionariesAnswerAsFromTheirText)
{
    std::vector<std::string> files;
    {
        std::mt19937 rng(7);
        const char* syllables[] = {"ka", "re", "\xC3\xA9t", "zu", "mo", "ri", "st", "an", "\xFF"};
        std::string text;
        text.reserve(40'000'000);
        for (int i = 0; i < 1'000'000; ++i) {
            const int words = 1 + static_cast<int>(rng() % 4);
            for (int w = 0; w < words; ++w) {
                if (w) text += ' ';
                for (int s = 0, n = 1 + static_cast<int>(rng() % 4); s < n; ++s)
                    text += syllables[rng() % 9];
            }
            text += "\nt" + std::to_string(i) + (i + 1 < 1'000'000 ? "\n" : "");
        }
        Spit(Path("million.txt"), text);
        files.push_back(Path("million.txt"));
    }
    const char* data = std::getenv("TALVERO_BENCH_DATA");
    const fs::path german = fs::path(data ? data : TALVERO_SOURCE_DIR "/build/bench-data") /
                            "localdictionary_de_en.txt";
    if (fs::exists(german)) files.push_back(german.string());

    for (const std::string& file : files) {
        fs::remove(Path("local.txt"));
        fs::remove(Path("local.txt.index"));
        fs::create_symlink(file, Path("local.txt"));
        LocalDictionary& fromText = Fresh();
        LocalDictionary& fromIndex = Fresh();
        ASSERT_TRUE(fromIndex.UsesIndex()) << file;
        std::vector<std::string> probes = {"a", "k", "ka", "\xC3", "\xFF", "Haus", "H", "zzz"};
        const EntryTable& entries = fromText.Entries();
        for (uint32_t i = 0; i < entries.size(); i += 9973) {
            const std::string original(entries.Original(i));
            probes.push_back(original);
            probes.push_back(original.substr(0, original.size() / 2 + 1));
            probes.push_back(original + " x");
        }
        EXPECT_EQ(Answers(fromIndex, probes), Answers(fromText, probes)) << file;
        loaded.clear();
    }
}

// Whatever lies in the index's place, the answers are those of the text, and a sound index is
// written in its stead.
TEST_F(IndexTest, ABadIndexIsNeverTrusted)
{
    std::mt19937 rng(5);
    Hostile h = MakeHostile(rng, 500, 12);
    const std::string text = AsText(h.pairs, rng);
    Spit(Path("local.txt"), text);
    Spit(Path("personal.txt"), "x\ny");
    const std::string expected = Answers(Fresh(), h.probes);
    const std::string index = Slurp(Path("local.txt.index"));
    ASSERT_GT(index.size(), 2000u);

    std::string otherVersion = index;
    otherVersion[8] ^= 1;
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"empty", ""},
        {"truncated", index.substr(0, index.size() - 1)},
        {"header only", index.substr(0, 1200)},
        {"zeros", std::string(index.size(), '\0')},
        {"garbage", std::string(index.size(), '\x5A')},
        {"another version", otherVersion},
    };
    for (const auto& [label, content] : bad) {
        Spit(Path("local.txt.index"), content);
        LocalDictionary& d = Fresh();
        EXPECT_FALSE(d.UsesIndex()) << label;
        EXPECT_TRUE(messages.empty()) << label;
        EXPECT_EQ(Answers(d, h.probes), expected) << label;
        EXPECT_TRUE(Fresh().UsesIndex()) << label << ": not written anew";
    }

    // The text changed to another of the same size and modification time: the content decides.
    struct stat before {};
    ASSERT_EQ(::stat(Path("local.txt").c_str(), &before), 0);
    std::string changed = text;
    changed.back() = changed.back() == '1' ? '2' : '1';  // the last pair's translation
    Spit(Path("local.txt"), changed);
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, Path("local.txt").c_str(), times, 0), 0);
    LocalDictionary& edited = Fresh();
    EXPECT_FALSE(edited.UsesIndex());
    EXPECT_NE(Answers(edited, h.probes), expected);
    Spit(Path("local.txt"), text);

    // Another code page: the same bytes mean other characters.
    ::setenv("TALVERO_CODEPAGE", "CP1252", 1);
    ResetCodePageForTesting();
    EXPECT_FALSE(Fresh().UsesIndex());
    ::unsetenv("TALVERO_CODEPAGE");
    ResetCodePageForTesting();
    EXPECT_FALSE(Fresh().UsesIndex());
    EXPECT_TRUE(Fresh().UsesIndex());
}

// A text that has long been left alone is checked by its times and sampled bytes, not read whole:
// an index written while its text was fresh is marked settled by a later load and stays usable,
// and an edit of the same size with its modification time put back is still caught.
TEST_F(IndexTest, ASettledTextIsCheckedWithoutReadingItWhole)
{
    std::mt19937 rng(6);
    Hostile h = MakeHostile(rng, 500, 12);
    const std::string text = AsText(h.pairs, rng);
    Spit(Path("local.txt"), text);
    Spit(Path("personal.txt"), "x\ny");
    const std::string expected = Answers(Fresh(), h.probes);
    const std::string fresh = Slurp(Path("local.txt.index"));

    DictionaryIndex::settledNs = -3'600'000'000'000;  // every text counts as long settled
    EXPECT_TRUE(Fresh().UsesIndex());
    EXPECT_NE(Slurp(Path("local.txt.index")), fresh);
    EXPECT_EQ(Slurp(Path("local.txt.index")).size(), fresh.size());
    LocalDictionary& settled = Fresh();
    ASSERT_TRUE(settled.UsesIndex());
    EXPECT_EQ(Answers(settled, h.probes), expected);

    struct stat before {};
    ASSERT_EQ(::stat(Path("local.txt").c_str(), &before), 0);
    std::string changed = text;
    changed.back() = changed.back() == '1' ? '2' : '1';
    Spit(Path("local.txt"), changed);
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, Path("local.txt").c_str(), times, 0), 0);
    LocalDictionary& edited = Fresh();
    EXPECT_FALSE(edited.UsesIndex());
    EXPECT_NE(Answers(edited, h.probes), expected);
}

// An index that cannot be written costs nothing but the speed; a text replaced under a mapped
// index leaves the loaded dictionary as it was until the next load.
TEST_F(IndexTest, NoIndexWrittenAndTextChangedUnderTheMapping)
{
    Spit(Path("local.txt"), "casa\nhouse\nperro\ndog");
    Spit(Path("personal.txt"), "gato\ncat");
    fs::create_directory(Path("local.txt.index"));  // nothing can be renamed onto it
    LocalDictionary& unwritable = Fresh();
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(unwritable.FindTranslation("casa"), "house");
    EXPECT_EQ(unwritable.FindTranslation("gato"), "cat");
    fs::remove(Path("local.txt.index"));
    for (const auto& entry : fs::directory_iterator(temp.Path()))
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();

    Fresh();
    LocalDictionary& mapped = Fresh();
    ASSERT_TRUE(mapped.UsesIndex());
    Spit(Path("local.txt"), "");  // cut short by another program
    EXPECT_EQ(mapped.FindTranslation("perro"), "dog");
    EXPECT_EQ(Answers(mapped, {"c"}), "c -> <prefix> [casa|]\n");
    LocalDictionary& reloaded = Fresh();
    EXPECT_FALSE(reloaded.UsesIndex());
    EXPECT_EQ(reloaded.FindTranslation("perro"), std::nullopt);
    EXPECT_EQ(reloaded.FindTranslation("gato"), "cat");
}

// Everything a caller of the dictionary's own searches learns about `probes`.
std::string GuardedAnswers(LocalDictionary& d, const std::vector<std::string>& probes)
{
    std::string out;
    for (const std::string& probe : probes) {
        out += probe + " -> " + d.FindTranslation(probe).value_or("<none>") + " [";
        for (const std::string& near : d.NearOriginals(probe))
            out += near + "|";
        out += "]\n";
    }
    return out;
}

// A block damaged on disk is found when a search first reads from it: the answers are the
// text's, and the index is written anew, whichever block it was.
TEST_F(IndexTest, DamagedBlocksAreFoundWhenTouchedAndTheIndexRebuilt)
{
    std::mt19937 rng(11);
    Hostile h = MakeHostile(rng, 6000, 30);
    // Every record is then read by the searches below: no pair that a later one overrides.
    std::set<std::string> seen;
    std::erase_if(h.pairs, [&seen](const auto& p) { return !seen.insert(p.first).second; });
    Spit(Path("local.txt"), AsText(h.pairs, rng));
    Spit(Path("personal.txt"), "x\ny");
    // Every translation looked up, and near searches that read every original.
    std::vector<std::string> probes;
    for (const auto& pair : h.pairs)
        probes.push_back(pair.first);
    for (int c = 1; c < 256; ++c)
        probes.emplace_back(1, static_cast<char>(c));
    const std::string expected = GuardedAnswers(Fresh(), probes);
    const std::string index = Slurp(Path("local.txt.index"));
    const uint64_t blocks =
        (index.size() - DictionaryIndex::kBlocksStart) / IndexBlocks::kBlockBytes;
    ASSERT_GE(blocks, 5u);
    for (uint64_t b = 0; b < blocks; ++b) {
        SCOPED_TRACE("block " + std::to_string(b));
        std::string damaged = index;
        damaged[DictionaryIndex::kBlocksStart + b * IndexBlocks::kBlockBytes + rng() % 16384] ^=
            0x04;
        Spit(Path("local.txt.index"), damaged);
        LocalDictionary& d = Fresh();
        ASSERT_TRUE(d.UsesIndex());
        EXPECT_TRUE(GuardedAnswers(d, probes) == expected);
        EXPECT_FALSE(d.UsesIndex()) << "the damage went unnoticed";
        // The same records and checksums again (the header may say the text has settled since).
        EXPECT_TRUE(Slurp(Path("local.txt.index")).substr(DictionaryIndex::kBlocksStart) ==
                    index.substr(DictionaryIndex::kBlocksStart))
            << "not written anew";
    }
}

// An index written where a link lies replaces the link; the file it pointed to stays as it was.
TEST_F(IndexTest, ALinkInTheIndexPlaceIsReplacedNotWrittenThrough)
{
    Spit(Path("local.txt"), "casa\nhouse\nperro\ndog");
    Spit(Path("personal.txt"), "gato\ncat");
    Spit(Path("precious"), "precious");
    fs::create_symlink(Path("precious"), Path("local.txt.index"));
    EXPECT_EQ(Fresh().FindTranslation("perro"), "dog");
    EXPECT_EQ(Slurp(Path("precious")), "precious");
    EXPECT_FALSE(fs::is_symlink(Path("local.txt.index")));
    EXPECT_TRUE(Fresh().UsesIndex());
}

// A disk that fills while the index is written leaves the old index whole and no temporary.
TEST_F(IndexTest, AFullDiskLeavesTheOldIndexOrNone)
{
    std::mt19937 rng(12);
    Hostile h = MakeHostile(rng, 3000, 20);
    Spit(Path("local.txt"), AsText(h.pairs, rng));
    Spit(Path("personal.txt"), "x\ny");
    Fresh();
    const std::string old = Slurp(Path("local.txt.index"));
    ASSERT_GT(old.size(), 40000u);
    Spit(Path("local.txt"), AsText(h.pairs, rng) + "\nnew\npair");  // the index is stale now
    const pid_t child = ::fork();
    if (child == 0) {
        // Writes beyond 32 KiB fail as on a full disk.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{32768, 32768};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        LocalDictionary d;
        d.Load(Path("local.txt"), Path("personal.txt"));
        ::_exit(d.FindTranslation("new") == std::optional<std::string>("pair") ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(Slurp(Path("local.txt.index")), old);
    for (const auto& entry : fs::directory_iterator(temp.Path()))
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
    Fresh();  // written when there is room again
    EXPECT_TRUE(Fresh().UsesIndex());
}

// While one writer is at a text's index, others leave it to that one and answer from the text;
// a load that writes the index first then answers from it at once.
TEST_F(IndexTest, OneWriterAtATime)
{
    std::mt19937 rng(13);
    Hostile h = MakeHostile(rng, 500, 12);
    Spit(Path("local.txt"), AsText(h.pairs, rng));
    Spit(Path("personal.txt"), "x\ny");
    const int other = ::open(Path("local.txt").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);  // as a writer holds it
    EXPECT_EQ(DictionaryIndex::WriteFor(Path("local.txt")), DictionaryIndex::Built::Busy);
    for (bool indexFirst : {false, true}) {
        EXPECT_FALSE(Fresh(indexFirst).UsesIndex());
        EXPECT_FALSE(fs::exists(Path("local.txt.index")));
    }
    const std::string fromText = GuardedAnswers(*loaded.back(), h.probes);
    ::close(other);
    LocalDictionary& mapped = Fresh(true);
    ASSERT_TRUE(mapped.UsesIndex());
    EXPECT_EQ(GuardedAnswers(mapped, h.probes), fromText);
    EXPECT_EQ(DictionaryIndex::WriteFor(Path("local.txt")), DictionaryIndex::Built::AlreadyThere);
}

}  // namespace

}  // namespace talvero
