#include "speech/LanguageModelTrainer.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <unordered_map>
#include <unordered_set>

#include <sphinxbase/err.h>
#include <sphinxbase/logmath.h>
#include <sphinxbase/ngram_model.h>

#include <cstring>

#include "base/CodePage.h"
#include "base/TextFile.h"
#include "base/Utf8.h"

namespace talvero {

namespace {

// Longer texts are cut here: the model of the first ten megabytes is as good as any, and the
// counts of a whole 50 MB file would take minutes and hundreds of megabytes.
constexpr size_t kMaxTextBytes = kTrainingTextMegabytes * 1024 * 1024;
constexpr size_t kMaxVocabulary = 20000;
constexpr size_t kMaxNewWords = 2000;
constexpr size_t kMaxWordBytes = 40;
// A small absolute discount: the model is meant to favour the text's own word sequences
// strongly (on phrases of the text, 0.5 or Ney's estimate gave twice the word errors of 0.02).
constexpr double kDiscount = 0.02;
// The unigrams mix the text's frequencies and the general model's half and half, and the
// general model's 2000 most likely words join the vocabulary: dictation outside the text stays
// possible at a small cost on the text's phrases (19 % word errors against 17 % without them,
// 24 % with 10000 words).
constexpr double kTextUnigramWeight = 0.5;
constexpr size_t kGeneralWords = 2000;

// Next code point of valid UTF-8 text (the conversions above only produce valid text).
char32_t NextCodePoint(std::string_view s, size_t& i)
{
    unsigned char b = s[i++];
    if (b < 0x80) return b;
    int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : 1;
    char32_t c = b & (0x3F >> extra);
    for (int k = 0; k < extra && i < s.size(); ++k)
        c = (c << 6) | (s[i++] & 0x3F);
    return c;
}

bool IsLetter(char32_t c)
{
    if (c < 0x80) return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (c < 0xC0 || c == 0xD7 || c == 0xF7) return false;
    if (c >= 0x2000 && c <= 0x2BFF) return false;  // punctuation, symbols, arrows, boxes
    if (c >= 0x3000 && c <= 0x303F) return false;
    if (c >= 0xFE00 && c <= 0xFFFF) return false;
    return true;
}

char32_t Lower(char32_t c)
{
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    return c;
}

bool EndsSentence(char32_t c)
{
    return c == '.' || c == '!' || c == '?' || c == ';' || c == ':' || c == '\n' || c == '\r';
}

// espeak-ng's English phoneme mnemonics and the phones of the engine's model. Longest first
// wins; stress and length marks are skipped.
const std::vector<std::pair<std::string, std::string>>& EspeakToCmu()
{
    static const std::vector<std::pair<std::string, std::string>> table = [] {
        std::vector<std::pair<std::string, std::string>> t = {
            {"aI@", "AY ER"}, {"aU@", "AW ER"}, {"aI3", "AY ER"}, {"i@3", "IH R"}, {"A@", "AA R"},
            {"O@", "AO R"},   {"o@", "AO R"},   {"e@", "EH R"},   {"i@", "IH R"},  {"U@", "UH R"},
            {"aI", "AY"},     {"aU", "AW"},     {"eI", "EY"},     {"OI", "OY"},    {"oU", "OW"},
            {"A:", "AA"},     {"O:", "AO"},     {"3:", "ER"},     {"i:", "IY"},    {"u:", "UW"},
            {"a#", "AE"},     {"aa", "AE"},     {"@L", "AH L"},   {"@2", "AH"},    {"@5", "AH"},
            {"I#", "IH"},     {"I2", "IH"},     {"0#", "AA"},     {"tS", "CH"},    {"dZ", "JH"},
            {"t#", "T"},      {"d#", "D"},      {"r-", "R"},      {"l-", "L"},     {"n-", "N"},
            {"m-", "M"},      {"z#", "Z"},      {"w#", "W"},      {"a", "AE"},     {"A", "AA"},
            {"@", "AH"},      {"3", "ER"},      {"e", "EH"},      {"E", "EH"},     {"i", "IY"},
            {"I", "IH"},      {"0", "AA"},      {"O", "AO"},      {"u", "UW"},     {"U", "UH"},
            {"V", "AH"},      {"p", "P"},       {"b", "B"},       {"t", "T"},      {"d", "D"},
            {"k", "K"},       {"g", "G"},       {"f", "F"},       {"v", "V"},      {"T", "TH"},
            {"D", "DH"},      {"s", "S"},       {"z", "Z"},       {"S", "SH"},     {"Z", "ZH"},
            {"h", "HH"},      {"m", "M"},       {"n", "N"},       {"N", "NG"},     {"l", "L"},
            {"r", "R"},       {"w", "W"},       {"j", "Y"},       {"x", "K"},      {"*", "T"},
            {"C", "HH"},
        };
        std::stable_sort(t.begin(), t.end(), [](const auto& a, const auto& b) {
            return a.first.size() > b.first.size();
        });
        return t;
    }();
    return table;
}

std::string MapEspeakPhonemes(std::string_view mnemonics)
{
    std::string phones;
    size_t i = 0;
    while (i < mnemonics.size()) {
        bool matched = false;
        for (const auto& [from, to] : EspeakToCmu()) {
            if (mnemonics.substr(i, from.size()) == from) {
                phones += (phones.empty() ? "" : " ") + to;
                i += from.size();
                matched = true;
                break;
            }
        }
        if (!matched) ++i;  // stress, length and syllable marks
    }
    return phones;
}

// A crude guess, letter by letter, for when espeak-ng gives nothing.
std::string LetterToSound(const std::string& word)
{
    static const std::unordered_map<char, const char*> letters = {
        {'a', "AE"}, {'b', "B"},  {'c', "K"},   {'d', "D"}, {'e', "EH"}, {'f', "F"}, {'g', "G"},
        {'h', "HH"}, {'i', "IH"}, {'j', "JH"},  {'k', "K"}, {'l', "L"},  {'m', "M"}, {'n', "N"},
        {'o', "AA"}, {'p', "P"},  {'q', "K"},   {'r', "R"}, {'s', "S"},  {'t', "T"}, {'u', "AH"},
        {'v', "V"},  {'w', "W"},  {'x', "K S"}, {'y', "Y"}, {'z', "Z"}};
    std::string phones;
    char last = 0;
    for (char c : word) {
        auto it = letters.find(c);
        if (it == letters.end() || c == last) continue;
        phones += (phones.empty() ? "" : " ") + std::string(it->second);
        last = c;
    }
    return phones.empty() ? "AH" : phones;
}

// Runs the program `args[0]` (found on PATH) with `args`, without a shell, its output into `out`
// and its errors nowhere. True when it ran and exited with 0.
bool RunForOutput(const std::vector<std::string>& args, std::string& out)
{
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        return false;
    }
    bool read = ReadFromDescriptor(pipeFds[0], out);
    close(pipeFds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return read && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// espeak-ng's phoneme mnemonics for each word (one per line in, one per line out), or an empty
// list when espeak-ng cannot be run or answers out of step. The command rather than the linked
// library: the library's state is the whole process's, and the voice may be speaking from it on
// another thread meanwhile. The word list goes into a directory of its own, the voice name as an
// argument of its own (no shell sees either).
std::vector<std::string> EspeakPhonemes(const std::vector<std::string>& words,
                                        const std::string& voice)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/talvero-words-XXXXXX";
    if (!mkdtemp(dir.data())) return {};
    const std::string inName = dir + "/words.txt";
    std::string input;
    for (const std::string& w : words)
        input += w + "\n";
    int fd = open(inName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    bool written = fd >= 0 && WriteAll(fd, input);
    if (fd >= 0) close(fd);
    std::vector<std::string> lines;
    std::string out;
    if (written && RunForOutput({"espeak-ng", "-q", "-x", "-v", voice, "-f", inName}, out))
        for (std::string_view line : SplitLines(out))
            lines.emplace_back(TrimWhiteSpace(line));
    unlink(inName.c_str());
    rmdir(dir.c_str());
    if (lines.size() != words.size()) return {};
    return lines;
}

// The general model's unigram probabilities of `wanted` and of its `top` most likely words.
std::unordered_map<std::string, double> GeneralUnigrams(
    const std::string& path, const std::unordered_map<std::string, size_t>& wanted, size_t top)
{
    std::unordered_map<std::string, double> result;
    logmath_t* lmath = logmath_init(1.0001, 0, 0);
    ngram_model_t* lm =
        lmath ? ngram_model_read(nullptr, path.c_str(), NGRAM_AUTO, lmath) : nullptr;
    if (lm) {
        std::vector<std::pair<double, std::string>> all;
        uint32 n = ngram_model_get_counts(lm)[0];
        for (uint32 wid = 0; wid < n; ++wid) {
            const char* word = ngram_word(lm, wid);
            if (!word || word[0] == '<') continue;
            double p = std::pow(10.0, logmath_log_to_log10(lmath, ngram_score(lm, word, nullptr)));
            if (wanted.count(word))
                result[word] = p;
            else if (std::all_of(word, word + std::strlen(word),
                                 [](char c) { return (c >= 'a' && c <= 'z') || c == '\''; }))
                all.emplace_back(p, word);
        }
        size_t k = std::min(top, all.size());
        std::partial_sort(all.begin(), all.begin() + k, all.end(), std::greater<>());
        for (size_t i = 0; i < k; ++i)
            result.emplace(all[i].second, all[i].first);
        ngram_model_free(lm);
    }
    if (lmath) logmath_free(lmath);
    return result;
}

bool LooksBinary(std::string_view bytes)
{
    size_t control = 0;
    for (unsigned char c : bytes.substr(0, 1 << 20))
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f') ++control;
    return control * 100 > std::min<size_t>(bytes.size(), 1 << 20);
}

std::string Format(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4f", v);
    return buf;
}

}  // namespace

TrainedModelFiles TrainedModelPaths(const std::string& workDir, const std::string& language)
{
    std::string base =
        (workDir.empty() ? std::string(".") : workDir) + "/TalveroTrained_" + language;
    return {base + ".lm", base + ".dic"};
}

std::string TrainingTextToUtf8(std::string_view fileBytes)
{
    if (fileBytes.size() >= 2 && static_cast<unsigned char>(fileBytes[0]) == 0xFF &&
        static_cast<unsigned char>(fileBytes[1]) == 0xFE) {
        std::string out;
        for (size_t i = 2; i + 1 < fileBytes.size(); i += 2) {
            char32_t u = static_cast<unsigned char>(fileBytes[i]) |
                         (static_cast<unsigned char>(fileBytes[i + 1]) << 8);
            if (u >= 0xD800 && u < 0xDC00 && i + 3 < fileBytes.size()) {
                char32_t low = static_cast<unsigned char>(fileBytes[i + 2]) |
                               (static_cast<unsigned char>(fileBytes[i + 3]) << 8);
                if (low >= 0xDC00 && low < 0xE000) {
                    u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                    i += 2;
                } else {
                    u = 0xFFFD;
                }
            } else if (u >= 0xD800 && u < 0xE000) {
                u = 0xFFFD;
            }
            AppendUtf8(out, u);
        }
        return out;
    }
    return CodePageToUtf8(fileBytes);
}

std::vector<std::vector<std::string>> TrainingSentences(std::string_view utf8)
{
    std::vector<std::vector<std::string>> sentences(1);
    std::string word;
    auto endWord = [&] {
        while (!word.empty() && word.back() == '\'')
            word.pop_back();
        if (!word.empty() && word.size() <= kMaxWordBytes) sentences.back().push_back(word);
        word.clear();
    };
    size_t i = 0;
    while (i < utf8.size()) {
        char32_t c = NextCodePoint(utf8, i);
        if (IsLetter(c)) {
            AppendUtf8(word, Lower(c));
        } else if ((c == '\'' || c == U'\u2019') && !word.empty()) {
            word += '\'';
        } else {
            endWord();
            if (EndsSentence(c) && !sentences.back().empty()) sentences.emplace_back();
        }
    }
    endWord();
    if (sentences.back().empty()) sentences.pop_back();
    return sentences;
}

std::string BuildTrigramArpa(const std::vector<std::vector<std::string>>& sentences,
                             const std::vector<std::string>& vocabulary,
                             const std::unordered_map<std::string, double>& general)
{
    std::unordered_map<std::string, uint64_t> id;
    std::vector<std::string> words = {"<s>", "</s>"};
    for (const std::string& w : vocabulary)
        if (id.emplace(w, words.size()).second) words.push_back(w);
    constexpr uint64_t kStart = 0, kEnd = 1;
    auto key2 = [](uint64_t a, uint64_t b) { return a << 21 | b; };
    auto key3 = [](uint64_t a, uint64_t b, uint64_t c) { return a << 42 | b << 21 | c; };
    constexpr uint64_t kMask = (1u << 21) - 1;

    std::vector<double> c1(words.size(), 0.0);
    std::unordered_map<uint64_t, double> c2, c3, history2;
    std::vector<double> history1(words.size(), 0.0);
    // Each run of known words is a sentence of its own: <s> w1 ... wn </s>.
    auto countRun = [&](const std::vector<uint64_t>& run) {
        if (run.size() <= 2) return;
        for (size_t i = 1; i < run.size(); ++i) {
            c1[run[i]] += 1;
            history1[run[i - 1]] += 1;
            c2[key2(run[i - 1], run[i])] += 1;
            if (i >= 2) {
                history2[key2(run[i - 2], run[i - 1])] += 1;
                c3[key3(run[i - 2], run[i - 1], run[i])] += 1;
            }
        }
    };
    for (const auto& sentence : sentences) {
        std::vector<uint64_t> run = {kStart};
        for (const std::string& w : sentence) {
            auto it = id.find(w);
            if (it != id.end() && it->second > kEnd) {
                run.push_back(it->second);
                continue;
            }
            run.push_back(kEnd);
            countRun(run);
            run = {kStart};
        }
        run.push_back(kEnd);
        countRun(run);
    }
    double total = 0;
    for (double c : c1)
        total += c;
    if (total == 0) total = 1;

    // Unigrams: the text's own frequencies mixed with the general model's, so that words of the
    // general vocabulary stay reachable and rare words of the text are not overrated.
    double generalTotal = 0;
    std::vector<double> g(words.size(), 0.0);
    for (size_t w = 2; w < words.size(); ++w)
        if (auto it = general.find(words[w]); it != general.end())
            generalTotal += g[w] = it->second;
    const double textShare = generalTotal > 0 ? kTextUnigramWeight : 1.0;
    std::vector<double> unigram(words.size(), 0.0);
    for (size_t w = 1; w < words.size(); ++w)
        unigram[w] = textShare * c1[w] / total +
                     (generalTotal > 0 ? (1 - textShare) * g[w] / generalTotal : 0.0);
    auto p1 = [&](uint64_t w) { return unigram[w]; };
    auto p2 = [&](uint64_t a, uint64_t b) { return (c2.at(key2(a, b)) - kDiscount) / history1[a]; };
    // Back-off weights: the mass freed by discounting, spread over the lower order's
    // probabilities of the words not seen after the history.
    std::vector<double> freed1(words.size(), 0.0), seen1(words.size(), 0.0);
    for (const auto& [k, c] : c2) {
        uint64_t a = k >> 21, b = k & kMask;
        freed1[a] += kDiscount / history1[a];
        seen1[a] += p1(b);
    }
    std::unordered_map<uint64_t, double> freed2, seen2;
    for (const auto& [k, c] : c3) {
        uint64_t ab = k >> 21, b = ab & kMask, w = k & kMask;
        freed2[ab] += kDiscount / history2[ab];
        seen2[ab] += p2(b, w);
    }
    auto backoff = [](double freed, double seen) {
        double rest = 1.0 - seen;
        return Format(std::log10(rest > 1e-9 && freed > 0 ? std::max(freed / rest, 1e-9) : 1.0));
    };

    std::vector<std::pair<uint64_t, double>> bigrams(c2.begin(), c2.end()),
        trigrams(c3.begin(), c3.end());
    std::sort(bigrams.begin(), bigrams.end());
    std::sort(trigrams.begin(), trigrams.end());
    size_t unigrams = 1;
    for (size_t w = 1; w < words.size(); ++w)
        unigrams += unigram[w] > 0;

    std::string out = "\\data\\\nngram 1=" + std::to_string(unigrams) +
                      "\nngram 2=" + std::to_string(bigrams.size()) +
                      "\nngram 3=" + std::to_string(trigrams.size()) + "\n\n\\1-grams:\n";
    for (size_t w = 0; w < words.size(); ++w) {
        if (w != kStart && unigram[w] == 0) continue;
        out += (w == kStart ? std::string("-99.0000") : Format(std::log10(p1(w)))) + " " + words[w];
        if (w != kEnd) out += " " + backoff(freed1[w], seen1[w]);
        out += "\n";
    }
    out += "\n\\2-grams:\n";
    for (const auto& [k, c] : bigrams) {
        uint64_t a = k >> 21, b = k & kMask;
        out += Format(std::log10(p2(a, b))) + " " + words[a] + " " + words[b];
        if (auto it = freed2.find(k); it != freed2.end())
            out += " " + backoff(it->second, seen2[k]);
        out += "\n";
    }
    out += "\n\\3-grams:\n";
    for (const auto& [k, c] : trigrams) {
        uint64_t a = k >> 42, b = (k >> 21) & kMask, w = k & kMask;
        double p = (c - kDiscount) / history2[key2(a, b)];
        out += Format(std::log10(p)) + " " + words[a] + " " + words[b] + " " + words[w] + "\n";
    }
    out += "\n\\end\\\n";
    return out;
}

std::map<std::string, std::string> GuessPronunciations(const std::vector<std::string>& words,
                                                       const std::string& language)
{
    std::map<std::string, std::string> result;
    std::vector<std::string> mnemonics;
    if (language.rfind("en", 0) == 0 && !words.empty()) mnemonics = EspeakPhonemes(words, language);
    for (size_t i = 0; i < words.size(); ++i) {
        std::string phones = i < mnemonics.size() ? MapEspeakPhonemes(mnemonics[i]) : "";
        result[words[i]] = phones.empty() ? LetterToSound(words[i]) : phones;
    }
    return result;
}

bool ReadTrainingFile(const std::string& path, std::string& bytes, long long& size)
{
    bytes.clear();
    const int fd = OpenPlainFile(path, size);
    if (fd < 0) return false;
    // Only the head: reading a 50 MB file whole held the window for a noticeable time.
    const size_t wanted = std::min<long long>(size, kMaxTextBytes + 1);
    bytes.resize(wanted);
    size_t done = 0;
    while (done < wanted) {
        const ssize_t n = ::read(fd, bytes.data() + done, wanted - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    bytes.resize(done);
    return done == wanted;
}

TrainingResult TrainLanguageModel(std::string_view fileBytes, const RecognizerEngine& engine,
                                  const std::string& workDir, TrainingProgress& progress)
{
    TrainingResult result;
    auto cancelled = [&] {
        if (!progress.cancel) return false;
        result.cancelled = true;
        return true;
    };
    if (LooksBinary(fileBytes.substr(0, 2) == "\xFF\xFE" ? std::string_view() : fileBytes)) {
        result.error = "The file does not hold text.";
        return result;
    }
    if (fileBytes.size() > kMaxTextBytes) {
        fileBytes = fileBytes.substr(0, kMaxTextBytes);
        result.truncated = true;
    }
    std::string text = TrainingTextToUtf8(fileBytes);
    progress.percent = 10;
    if (cancelled()) return result;
    auto sentences = TrainingSentences(text);
    text.clear();
    progress.percent = 30;
    if (cancelled()) return result;

    std::unordered_map<std::string, size_t> frequency;
    for (const auto& s : sentences)
        for (const std::string& w : s)
            ++frequency[w];
    if (frequency.empty()) {
        result.error = "The file holds no words to train with.";
        return result;
    }
    // The engine's pronunciations of the text's words (all variants: "word", "word(2)", ...).
    std::map<std::string, std::vector<std::string>> known;
    {
        std::ifstream dict(engine.dictionary);
        if (!dict) {
            result.error = "Cannot read the engine's dictionary " + engine.dictionary;
            return result;
        }
        std::string line;
        size_t lines = 0;
        while (std::getline(dict, line)) {
            if ((++lines & 0x3FFF) == 0 && cancelled()) return result;
            size_t end = line.find_first_of(" \t");
            if (end == std::string::npos) continue;
            std::string word = line.substr(0, end);
            std::string base = word.substr(0, word.find('('));
            if (frequency.count(base)) known[base].push_back(line);
        }
    }
    progress.percent = 50;

    err_set_logfp(nullptr);
    std::unordered_map<std::string, double> general =
        GeneralUnigrams(engine.languageModel, frequency, kGeneralWords);
    if (cancelled()) return result;
    std::vector<std::pair<std::string, size_t>> byFrequency(frequency.begin(), frequency.end());
    std::sort(byFrequency.begin(), byFrequency.end(), [](const auto& a, const auto& b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
    std::vector<std::string> vocabulary, fresh;
    for (const auto& [word, n] : byFrequency) {
        if (vocabulary.size() >= kMaxVocabulary) break;
        bool isKnown = known.count(word) > 0;
        if (!isKnown && fresh.size() >= kMaxNewWords) continue;
        if (!isKnown) fresh.push_back(word);
        vocabulary.push_back(word);
    }
    // The general model's most likely words join the vocabulary with its pronunciations.
    {
        std::unordered_set<std::string> inText(vocabulary.begin(), vocabulary.end());
        std::unordered_set<std::string> extra;
        for (const auto& [word, p] : general)
            if (!inText.count(word)) extra.insert(word);
        std::ifstream dict(engine.dictionary);
        std::string line;
        while (std::getline(dict, line)) {
            std::string word = line.substr(0, line.find_first_of(" \t"));
            std::string base = word.substr(0, word.find('('));
            if (extra.count(base)) known[base].push_back(line);
        }
        for (const std::string& word : extra)
            if (known.count(word)) vocabulary.push_back(word);
    }
    if (cancelled()) return result;
    auto guessed = GuessPronunciations(fresh, engine.language);
    progress.percent = 75;
    if (cancelled()) return result;

    std::string dictionary;
    std::vector<std::string> sortedVocabulary = vocabulary;
    std::sort(sortedVocabulary.begin(), sortedVocabulary.end());
    for (const std::string& w : sortedVocabulary) {
        if (auto it = known.find(w); it != known.end())
            for (const std::string& line : it->second)
                dictionary += line + "\n";
        else
            dictionary += w + " " + guessed[w] + "\n";
    }
    std::string arpa = BuildTrigramArpa(sentences, vocabulary, general);
    progress.percent = 90;
    if (cancelled()) return result;

    TrainedModelFiles files = TrainedModelPaths(workDir, engine.language);
    if (!AtomicWriteFile(files.dictionary, dictionary) ||
        !AtomicWriteFile(files.languageModel, arpa)) {
        result.error = "Cannot write the trained model into " + workDir;
        return result;
    }
    for (const auto& s : sentences)
        result.words += s.size();
    result.vocabulary = vocabulary.size();
    result.newWords = fresh.size();
    result.ok = true;
    progress.percent = 100;
    return result;
}

}  // namespace talvero
