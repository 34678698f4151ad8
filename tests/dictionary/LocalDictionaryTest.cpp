#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "dictionary/LocalDictionary.h"
#include "tests/support/TempDir.h"

namespace talvero {

namespace {

namespace fs = std::filesystem;

class DictionaryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = temp.Path().string();
        dict.newTranslationsFile = Path("newtranslationsadded.txt");
        dict.SetTraceSink([this](std::string_view line) { trace.append(line); });
    }

    std::string Path(const std::string& name) const { return dir + "/" + name; }
    void Write(const std::string& name, const std::string& content) const
    {
        std::ofstream(Path(name), std::ios::binary) << content;
    }
    std::string Read(const std::string& name) const
    {
        std::ifstream in(Path(name), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::vector<std::string> Load(const std::string& local = "local.txt",
                                  const std::string& personal = "personal.txt")
    {
        return dict.Load(Path(local), Path(personal));
    }
    std::string Translate(const std::string& text, bool combinations = true)
    {
        std::string out;
        return dict.TranslatePhrase(text, out, combinations) ? out : "<none>";
    }

    TempDir temp;
    std::string dir;
    std::string trace;
    LocalDictionary dict;
};

TEST_F(DictionaryTest, LoadsPairsAsTheyStand)
{
    Write("local.txt", "casa\nhouse\r\nperro \ndog\nsolo");
    Write("personal.txt", "");
    EXPECT_TRUE(Load().empty());
    ASSERT_EQ(dict.Entries().size(), 3u);
    EXPECT_EQ(dict.Tree().entryCount, 3);
    EXPECT_EQ(Translate("casa"), "house");
    EXPECT_EQ(dict.FindTranslation("perro "), "dog");
    EXPECT_EQ(dict.FindTranslation("perro"), std::nullopt);  // trailing space is kept
    EXPECT_EQ(dict.FindTranslation("solo"), "");
}

TEST_F(DictionaryTest, PersonalPairsWinAndLaterPairsWin)
{
    Write("local.txt", "casa\nhouse\nperro\ndog\nperro\nhound\n");
    Write("personal.txt", "casa\nhome");
    Load();
    EXPECT_EQ(Translate("casa"), "home");
    EXPECT_EQ(Translate("perro"), "hound");
    EXPECT_EQ(dict.Tree().entryCount, 4);
}

TEST_F(DictionaryTest, MissingFilesAreReportedAndTheOtherIsRead)
{
    Write("personal.txt", "casa\nhouse");
    std::vector<std::string> messages = Load("nolocal.txt", "personal.txt");
    EXPECT_EQ(messages,
              std::vector<std::string>{"Could not open the file: " + Path("nolocal.txt")});
    EXPECT_EQ(Translate("casa"), "house");

    messages = Load("a.txt", "b.txt");
    EXPECT_EQ(messages, (std::vector<std::string>{"Could not open the file: " + Path("a.txt"),
                                                  "Could not open the file: " + Path("b.txt")}));
    EXPECT_EQ(Translate("casa"), "<none>");  // the cache went with the old pair
    EXPECT_FALSE(fs::exists(Path("a.txt")));
}

TEST_F(DictionaryTest, OnlyPlainFilesAreRead)
{
    ASSERT_EQ(mkfifo(Path("local.txt").c_str(), 0600), 0);  // no writer: reading would wait
    fs::create_symlink("/dev/zero", Path("personal.txt"));
    EXPECT_EQ(Load(),
              (std::vector<std::string>{"Could not open the file: " + Path("local.txt"),
                                        "Could not open the file: " + Path("personal.txt")}));
    EXPECT_EQ(dict.Tree().entryCount, 0);

    // Additions and Undo do not wait on the pipe either.
    dict.personalDictionaryFile = Path("local.txt");
    EXPECT_FALSE(dict.AddTranslation("gato", "cat").written);
    EXPECT_EQ(dict.FindTranslation("gato"), "cat");
    dict.additionsCount = 1;
    std::string error;
    EXPECT_FALSE(dict.UndoAddition(&error));  // a pipe is no file to take a pair out of
    EXPECT_EQ(error, "Could not open the file: " + Path("local.txt"));
}

TEST_F(DictionaryTest, BadFilesLoadWithoutHarm)
{
    std::string binary;
    for (int i = 0; i < 100000; ++i) {
        char c = static_cast<char>((i * 7919) & 0xFF);
        binary += c == '\n' ? '\0' : c;
    }
    Write("local.txt", std::string("a\0b\nnul\n", 8) + binary + "\r\n\r\nx\ny");
    Write("personal.txt", std::string(50 << 20, 'q'));
    EXPECT_TRUE(Load().empty());
    EXPECT_EQ(dict.FindTranslation(std::string("a\0b", 3)), "nul");
    EXPECT_EQ(Translate("x"), "y");
    EXPECT_EQ(dict.FindTranslation(std::string(50 << 20, 'q')), "");
    EXPECT_EQ(dict.FindTranslation(std::string(1000, 'q')), std::nullopt);
}

struct CombinationCase {
    const char* text;
    const char* expected;
    bool combinations;
};

class CombinationTest : public DictionaryTest,
                        public ::testing::WithParamInterface<CombinationCase> {};

TEST_P(CombinationTest, TranslatesByWordGroups)
{
    Write("local.txt", "el\nthe\nperro\ndog\ncome\neats\nel perro\nthe dog");
    Write("personal.txt", "");
    Load();
    EXPECT_EQ(Translate(GetParam().text, GetParam().combinations), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Examples, CombinationTest,
                         ::testing::Values(CombinationCase{"el perro", "the dog", true},
                                           CombinationCase{"el perro come", "the dog eats", true},
                                           CombinationCase{"perro come", "dog eats", true},
                                           CombinationCase{"el gato", "<none>", true},
                                           CombinationCase{"perro", "dog", true},
                                           CombinationCase{"gato", "<none>", true},
                                           CombinationCase{"el perro come", "<none>", false},
                                           CombinationCase{"el perro", "the dog", false},
                                           CombinationCase{"el,perro come", "the dog eats", true},
                                           CombinationCase{"a,b,c d", "<none>", true},
                                           CombinationCase{"  el perro  ", "the dog", true},
                                           CombinationCase{"el  perro come", "the dog eats",
                                                           true}));

TEST_F(DictionaryTest, FirstSplitInOrderWinsAndTwoPartSplitsAreTraced)
{
    Write("local.txt", "a\nA\nb\nB\nd\nD\nb c\nBC\nc d\nCD");
    Write("personal.txt", "");
    Load();
    // [a][b][c d] comes before [a][b c][d].
    EXPECT_EQ(Translate("a b c d"), "A B CD");
    EXPECT_EQ(trace, "");
    // "b c d" has the three-part split [b][c][d] only, c is missing; then two parts, the
    // first word and the rest before all but the last word and the last.
    EXPECT_EQ(Translate("b c d"), "B CD");
    EXPECT_EQ(trace, "Resulting token: b\nResulting token: c\nResulting token: d\n");
    trace.clear();
    EXPECT_EQ(Translate("x,y"), "<none>");
    EXPECT_EQ(trace, "Resulting token: x\nResulting token: y\n");
}

// The combination search written out plainly, word for word after its description, over a
// map: what the engine must answer, and the trace it must write, for any phrase.
class PlainSearch {
public:
    std::map<std::string, std::string> pairs;
    std::string trace;

    bool Translate(const std::string& text, std::string& out)
    {
        if (auto it = pairs.find(Trim(text)); it != pairs.end()) {
            out = it->second;
            return true;
        }
        const std::vector<std::string> words = Cut(text, " ,.");
        const int n = static_cast<int>(words.size());
        if (n < 2) return false;
        for (int i = 1; i <= n - 2; ++i) {
            for (int j = i + 1; j <= n - 1; ++j) {
                std::string l = Part(text, 0, i, n), m = Part(text, i, j, n),
                            r = Part(text, j, n, n);
                if (l.empty() || m.empty() || r.empty()) continue;
                std::string tl, tm, tr;
                if (!Translate(m, tm) || !Translate(l, tl) || !Translate(r, tr)) continue;
                out = tl + " " + tm + " " + tr;
                return true;
            }
        }
        for (const std::string& w : words)
            trace += "Resulting token: " + w + "\n";
        std::string rest, head, ta, tb;
        for (int k = 1; k < n; ++k)
            rest += (k > 1 ? " " : "") + words[k];
        for (int k = 0; k < n - 1; ++k)
            head += (k > 0 ? " " : "") + words[k];
        if (Translate(words[0], ta) && Translate(rest, tb)) {
            out = ta + " " + tb;
            return true;
        }
        if (Translate(head, ta) && Translate(words[n - 1], tb)) {
            out = ta + " " + tb;
            return true;
        }
        return false;
    }

private:
    static bool White(char c)
    {
        return std::string_view(" \t\n\v\f\r").find(c) != std::string::npos;
    }
    static std::string Trim(std::string s)
    {
        while (!s.empty() && White(s.back()))
            s.pop_back();
        size_t b = 0;
        while (b < s.size() && White(s[b]))
            ++b;
        return s.substr(b);
    }
    static std::vector<std::string> Cut(const std::string& text, std::string_view separators)
    {
        std::vector<std::string> words;
        std::string word;
        for (char c : text + separators[0]) {
            if (separators.find(c) == std::string_view::npos) {
                word += c;
            } else if (!word.empty()) {
                words.push_back(word);
                word.clear();
            }
        }
        return words;
    }
    static std::string Part(const std::string& text, int from, int to, int count)
    {
        const std::vector<std::string> words = Cut(text, " ");
        std::string out;
        for (int k = from; k < to && k < count; ++k)
            out += (k < static_cast<int>(words.size()) ? words[k] : "") + " ";
        while (!out.empty() && White(out.back()))
            out.pop_back();
        return out;
    }
};

TEST_F(DictionaryTest, CombinationSearchAgreesWithThePlainOneUpToTheDefaultLimit)
{
    std::mt19937 rng(42);
    const std::vector<std::string> vocabulary = {"el", "perro", "come", "\xe9l", "y", "\t", "gato"};
    const std::vector<std::string> separators = {" ", " ", " ", "  ", ",", ", ", ".", " . "};
    auto pick = [&](const std::vector<std::string>& from) { return from[rng() % from.size()]; };
    for (int round = 0; round < 40; ++round) {
        // A dictionary of single words and word groups, some left out, so that searches fail
        // at different places.
        PlainSearch plain;
        std::string file;
        for (int k = 0; k < 12; ++k) {
            std::string original = pick(vocabulary);
            for (int more = static_cast<int>(rng() % 4); more > 0 && k > 4; --more)
                original += " " + pick(vocabulary);
            std::string translation = "T" + std::to_string(k);
            plain.pairs[original] = translation;
            file += original + "\n" + translation + "\n";
        }
        Write("local.txt", file);
        Write("personal.txt", "");
        Load();
        for (int probe = 0; probe < 50; ++probe) {
            std::string text = rng() % 4 == 0 ? " " : "";
            const int words = 1 + static_cast<int>(rng() % 8);
            for (int w = 0; w < words; ++w)
                text += (w > 0 ? pick(separators) : "") + pick(vocabulary);
            std::string expected, actual;
            plain.trace.clear();
            trace.clear();
            const bool found = plain.Translate(text, expected);
            ASSERT_EQ(dict.TranslatePhrase(text, actual), found) << text;
            if (found) {
                EXPECT_EQ(actual, expected) << text;
            }
            ASSERT_EQ(trace, plain.trace) << text;
        }
    }
}

TEST_F(DictionaryTest, LongPhrasesWithoutAWordLimitAreSearchedWithinBounds)
{
    Write("local.txt", "a\nA\nb\nB\nc\nC");
    Write("personal.txt", "");
    Load();
    Settings settings;
    settings.maxWordsInCombinations = -1;
    auto phrase = [](int words, bool unknownInTheMiddle) {
        std::string text;
        for (int k = 0; k < words; ++k) {
            text += k > 0 ? " " : "";
            text += unknownInTheMiddle && k == words / 2 ? "z" : std::string(1, "abc"[k % 3]);
        }
        return text;
    };
    // Without a bound the search below would try more splits than the universe has atoms.
    EXPECT_FALSE(TranslateLocal(dict, phrase(60, true), settings).found);
    // Phrases whose translation the search in full order would take hours to reach still get
    // it: two words are known only together with the word before them.
    std::string file, text, expected;
    for (int k = 0; k < 30; ++k) {
        const std::string word = "w" + std::to_string(k);
        text += (k > 0 ? " " : "") + word;
        expected += (k == 0 || k == 10 || k == 25 ? "" : " ") + std::string("W") + word.substr(1);
        if (k != 10 && k != 25) file += word + "\n" + "W" + word.substr(1) + "\n";
    }
    Write("local.txt", file + "w9 w10\nW9W10\nw24 w25\nW24W25");
    Load();
    std::string translation;
    trace.clear();
    EXPECT_TRUE(dict.TranslatePhrase(text, translation));
    EXPECT_EQ(translation, expected);
    EXPECT_EQ(trace.rfind("Resulting token: w", 0), 0u);  // the trace as far as it got

    Write("local.txt", "a\nA\nb\nB\nc\nC");
    Load();
    // A phrase that can be translated word by word still is, however long within reason.
    LocalStepResult r = TranslateLocal(dict, phrase(1500, false), settings);
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.translation.size(), 1500u * 2 - 1);
    // Pasting a book gives no translation rather than a crash.
    EXPECT_FALSE(TranslateLocal(dict, phrase(200000, false), settings).found);
    EXPECT_FALSE(TranslateLocal(dict, phrase(200000, true), settings).found);
    // Many words joined by commas: the three-part splits have empty parts, and there are many.
    std::string commas = "x";
    for (int k = 0; k < 20000; ++k)
        commas += ",a";
    EXPECT_FALSE(TranslateLocal(dict, commas + " b", settings).found);
}

TEST_F(DictionaryTest, WordsOfAndCountWords)
{
    EXPECT_EQ(CountWords(" a, b. c "), 3u);
    EXPECT_EQ(CountWords(",,."), 0u);
    EXPECT_EQ(WordsOf("el,perro come", 0, 1, 3), "el,perro");
    EXPECT_EQ(WordsOf("el,perro come", 2, 3, 3), "");
    EXPECT_EQ(WordsOf("a  b\t c", 0, 3, 3), "a b\t c");
    EXPECT_EQ(WordsOf("a b c", 1, 3, 3), "b c");
}

TEST_F(DictionaryTest, LocalStepLimitAndNearList)
{
    Write("local.txt",
          "el\nthe\nperro\ndog\ncome\neats\nel perro\nthe dog\n"
          "uno dos tres cuatro cinco seis siete ocho nueve\nnine");
    Write("personal.txt", "");
    Load();
    Settings settings;
    LocalStepResult r = TranslateLocal(dict, " el ", settings);
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.translation, "the");
    EXPECT_EQ(r.nearList, (std::vector<std::string>{"el perro", "el"}));

    r = TranslateLocal(dict, "uno dos tres cuatro cinco seis siete ocho nueve", settings);
    EXPECT_FALSE(r.found);
    EXPECT_EQ(r.nearList.size(), 1u);
    settings.maxWordsInCombinations = -1;  // as unsigned: no limit
    EXPECT_TRUE(
        TranslateLocal(dict, "uno dos tres cuatro cinco seis siete ocho nueve", settings).found);
    settings.maxWordsInCombinations = 0;
    r = TranslateLocal(dict, "perro", settings);
    EXPECT_FALSE(r.found);
    EXPECT_EQ(r.nearList, std::vector<std::string>{"perro"});
    settings.maxWordsInCombinations = 2;
    EXPECT_FALSE(TranslateLocal(dict, "el, perro. come", settings).found);
    settings.maxWordsInCombinations = 3;
    EXPECT_EQ(TranslateLocal(dict, "el, perro. come", settings).translation, "the dog eats");
}

TEST_F(DictionaryTest, AdditionsGoToBothFilesAndMemory)
{
    Write("local.txt", "casa\nhouse");
    Write("personal.txt", "uno\none");
    Write("newtranslationsadded.txt", "");
    Load();
    EXPECT_EQ(Translate("gato"), "<none>");
    auto r = dict.AddTranslation("gato", "c\r\nat");
    EXPECT_TRUE(r.written);
    EXPECT_EQ(r.translation, "cat");
    dict.AddTranslation("perro", "dog");
    EXPECT_EQ(Read("personal.txt"), "uno\none\ngato\ncat\nperro\ndog");
    EXPECT_EQ(Read("newtranslationsadded.txt"), "gato\ncat\nperro\ndog");
    EXPECT_EQ(Translate("gato"), "cat");
    EXPECT_EQ(dict.Tree().entryCount, 4);

    // An empty translation writes nothing, does not count and is not put into memory.
    r = dict.AddTranslation("pez", "");
    EXPECT_FALSE(r.written);
    EXPECT_EQ(Translate("pez"), "<none>");
    EXPECT_EQ(dict.additionsCount, 2);

    // A new translation of a cached phrase is found at once.
    dict.AddTranslation("gato", "tomcat");
    EXPECT_EQ(Translate("gato"), "tomcat");

    Load();
    EXPECT_EQ(Translate("perro"), "dog");
    EXPECT_EQ(Translate("gato"), "tomcat");
}

TEST_F(DictionaryTest, AdditionsNeverShiftThePairs)
{
    struct Case {
        const char* before;  // nullptr: no file
        const char* after;
    };
    for (Case c : {Case{nullptr, "gato\ncat"}, Case{"", "gato\ncat"},
                   Case{"uno\none\n", "uno\none\ngato\ncat"},
                   Case{"uno\r\none\r\n", "uno\r\none\r\ngato\ncat"},
                   Case{"uno\none", "uno\none\ngato\ncat"},
                   // An odd line count: the dangling original keeps its empty translation.
                   Case{"uno\none\ndos", "uno\none\ndos\n\ngato\ncat"},
                   Case{"uno\none\ndos\n", "uno\none\ndos\n\ngato\ncat"},
                   Case{"uno\rone\rdos\rtwo", "uno\rone\rdos\rtwo\n\ngato\ncat"}}) {
        fs::remove(Path("personal.txt"));
        if (c.before) Write("personal.txt", c.before);
        Write("local.txt", "");
        Load();
        dict.AddTranslation("gato", "cat");
        EXPECT_EQ(Read("personal.txt"), c.after);
        Load();
        EXPECT_EQ(Translate("gato"), "cat");
    }
}

TEST_F(DictionaryTest, AFailedAppendIsTakenBackAndSaysWhy)
{
    Write("local.txt", "");
    Write("personal.txt", "uno\none");
    Load();
    // The file may grow by a few bytes only: the pair's write stops part-way.
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 12;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    auto r = dict.AddTranslation("gato", std::string(64, 'c'));
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_FALSE(r.written);
    EXPECT_EQ(r.error, "Could not write the file: " + Path("personal.txt") + " (" +
                           std::strerror(EFBIG) + ")");
    EXPECT_EQ(Read("personal.txt"), "uno\none");
    EXPECT_EQ(dict.additionsCount, 0);
    EXPECT_TRUE(dict.AddTranslation("mesa", "table").written);
    Load();
    EXPECT_EQ(Translate("mesa"), "table");
}

// Whether process `pid` is blocked on a flock: the kernel lists each waiter with "->".
bool WaitsForAFileLock(pid_t pid)
{
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream fields(line);
        std::string number, arrow, kind, mode, access;
        long owner = 0;
        if (fields >> number >> arrow >> kind >> mode >> access >> owner && arrow == "->" &&
            kind == "FLOCK" && owner == pid)
            return true;
    }
    return false;
}

TEST_F(DictionaryTest, TwoAdditionsAtOnceKeepTheirPairs)
{
    Write("local.txt", "");
    Load();
    // While this process is between reading the file and writing its pair, another process
    // adds one: it must wait for the lock rather than slip its pair in.
    const std::string personal = Path("personal.txt");
    pid_t child = -1;
    bool childWaited = false;
    LocalDictionary::beforeAppendWrite = [&] {
        // Once, and not in the child (where `child` is 0). Not by clearing the hook: that would
        // destroy this closure while it runs.
        if (child >= 0) return;
        child = fork();
        if (child == 0) {
            for (int fd = 3; fd < 1024; ++fd)
                close(fd);  // the lock's descriptor must stay the parent's alone
            LocalDictionary other;
            other.personalDictionaryFile = personal;
            other.newTranslationsFile = personal + ".new";
            _exit(other.AddTranslation("silla", "chair").written ? 0 : 1);
        }
        for (int i = 0; i < 1000 && !childWaited; ++i) {
            childWaited = WaitsForAFileLock(child);
            if (!childWaited) usleep(10 * 1000);
        }
    };
    EXPECT_TRUE(dict.AddTranslation("mesa", "table").written);
    LocalDictionary::beforeAppendWrite = nullptr;
    ASSERT_GT(child, 0);
    EXPECT_TRUE(childWaited) << "the other process never waited for the lock";
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    Load();
    EXPECT_EQ(Translate("mesa"), "table");
    EXPECT_EQ(Translate("silla"), "chair");
    EXPECT_EQ(dict.Entries().size(), 2u);
}

TEST_F(DictionaryTest, UndoRemovesThisRunsPairsFromTheEnd)
{
    Write("local.txt", "");
    Write("personal.txt", "uno\r\none\r\ndos\r\ntwo");
    chmod(Path("personal.txt").c_str(), 0640);
    Load();
    dict.AddTranslation("a", "1");
    dict.AddTranslation("b", "2");
    dict.AddTranslation("c", "");  // not written, not counted
    EXPECT_TRUE(dict.UndoAddition());
    EXPECT_EQ(Read("personal.txt"), "uno\r\none\r\ndos\r\ntwo\na\n1");
    EXPECT_TRUE(dict.UndoAddition());
    EXPECT_EQ(Read("personal.txt"), "uno\r\none\r\ndos\r\ntwo");
    EXPECT_TRUE(dict.UndoAddition());  // nothing left of this run
    EXPECT_EQ(Read("personal.txt"), "uno\r\none\r\ndos\r\ntwo");
    EXPECT_EQ(dict.FindTranslation("b"), "2");  // memory keeps the pair until the next load

    struct stat st {};
    ASSERT_EQ(stat(Path("personal.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    for (const auto& f : fs::directory_iterator(dir)) {
        EXPECT_EQ(f.path().filename().string().find("tmp"), std::string::npos);
    }
}

TEST_F(DictionaryTest, UndoRewritesTheFileALinkPointsTo)
{
    fs::create_directory(Path("synced"));
    Write("synced/personal.txt", "uno\none");
    fs::create_symlink("synced/personal.txt", Path("personal.txt"));
    Write("local.txt", "");
    Load();
    dict.AddTranslation("gato", "cat");
    EXPECT_EQ(Read("synced/personal.txt"), "uno\none\ngato\ncat");
    EXPECT_TRUE(dict.UndoAddition());
    EXPECT_TRUE(fs::is_symlink(Path("personal.txt")));
    EXPECT_EQ(Read("synced/personal.txt"), "uno\none");
}

TEST_F(DictionaryTest, UndoOfTheOnlyPairLeavesAnEmptyFile)
{
    Write("local.txt", "");
    Load();
    dict.AddTranslation("gato", "cat");
    EXPECT_TRUE(dict.UndoAddition());
    EXPECT_EQ(Read("personal.txt"), "");
    dict.AddTranslation("perro", "dog");
    EXPECT_EQ(Read("personal.txt"), "perro\ndog");
}

}  // namespace

}  // namespace talvero
