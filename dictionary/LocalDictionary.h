#pragma once
// The local dictionary of the selected pair: its two files, the entry table, the tree, the
// lookup cache, the searches and the additions. The window and talvero-cli own one each and
// bind it to their controls or arguments; nothing here knows about either.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/TextFile.h"  // TrimWhiteSpace
#include "dictionary/DictionaryIndex.h"
#include "dictionary/EntryTable.h"
#include "dictionary/TernarySearchTree.h"
#include "settings/Settings.h"

namespace talvero {

inline constexpr const char* kNewTranslationsFileName = "newtranslationsadded.txt";

// "Could not open the file: %s" with the file name.
std::string CouldNotOpenMessage(const std::string& file);
// What is said when a dictionary file does not fit into the memory the program may have.
std::string NotEnoughMemoryMessage(const std::string& file);

// Number of maximal runs of characters other than space, comma and full stop.
size_t CountWords(std::string_view text);

// Words `from` (inclusive) to `to` (exclusive) of the first `count` words of `text` cut at
// spaces (commas and full stops stay with their words), joined by single spaces, without
// trailing white space. Words beyond the end of the text are empty.
std::string WordsOf(std::string_view text, int from, int to, int count);

class LocalDictionary {
public:
    LocalDictionary();
    ~LocalDictionary();
    LocalDictionary(const LocalDictionary&) = delete;
    LocalDictionary& operator=(const LocalDictionary&) = delete;

    std::string localDictionaryFile = "localdictionary_es_en.txt";
    std::string personalDictionaryFile = "personaldictionary_es_en.txt";
    std::string newTranslationsFile = kNewTranslationsFileName;

    int32_t additionsCount = 0;  // additions written in this run and not undone

    // Sets both file names and loads them: a new entry table and tree with the local file's
    // pairs, then the personal file's (later pairs win). Empties the lookup cache. Returns one
    // message per file that could not be read ("Could not open the file: %s"); the dictionary
    // holds whatever could be read.
    std::vector<std::string> Load(const std::string& localFile, const std::string& personalFile);
    std::vector<std::string> LoadDictionary();  // the current file names

    // Exact lookup of the trimmed text, answered from the cache of earlier hits when it can.
    bool LookUpPhrase(std::string_view text, std::string& translation);

    // The whole phrase, or else consecutive word groups each translated the same way (when
    // `searchCombinations` is on). Writes "Resulting token: %s\n" for every word cut for the
    // two-part splits to the trace sink.
    //
    // The word-group search grows exponentially with the number of words, and a word limit that
    // reads as none lets any phrase through. So a search may do at most `kSearchWork` units of
    // work (a lookup, a split tried and a trace line each cost a few units plus the bytes of
    // their text) and nest word groups at most `kSearchDepth` deep. A phrase within the default
    // word limit needs less than a hundredth of that. A search that would go further stops its
    // trace there and finds the same answer again with each word group searched only once;
    // when even that would go beyond the same bounds, the phrase gets no translation. Either
    // way it ends within about a second.
    bool TranslatePhrase(std::string_view text, std::string& translation,
                         bool searchCombinations = true);
    static constexpr uint64_t kSearchWork = uint64_t{1} << 26;
    static constexpr int kSearchDepth = 1000;

    // The translation of the entry whose original is exactly `text`, if any (the near list's
    // double-click). No trimming, no cache.
    std::optional<std::string> FindTranslation(std::string_view text);

    // Every stored original that begins with `text`, in the tree's order; the tree's nearList
    // holds them after.
    std::vector<std::string> NearOriginals(std::string_view text);

    struct AddResult {
        bool written = false;  // appended to the personal dictionary file
        std::string original;  // the pair as added (line breaks removed)
        std::string translation;
        std::string error;  // why the personal file could not be written, if it was not
    };
    // Appends the pair to the personal dictionary file (created when missing) and to the
    // new-translations file when both strings are non-empty, calls `uploadPair` in between when
    // set, and puts the pair into the loaded dictionary in any case. Each append is locked
    // against other processes, keeps the file's pairs aligned whatever it held before, and is
    // taken back whole when its write fails (`error` then says what failed).
    AddResult AddTranslation(std::string original, std::string translation);

    // For tests: runs inside each append, with the file locked, just before the pair is
    // written.
    static std::function<void()> beforeAppendWrite;

    // Takes the last pair written in this run back out of the personal dictionary file (the
    // loaded dictionary keeps it). Returns false only when the file could not be rewritten.
    bool UndoAddition(std::string* error = nullptr);

    // Called by AddTranslation between the two file appends when set.
    std::function<void(const std::string& original, const std::string& translation)> uploadPair;

    // A local file without a sound saved index: when set, the index is written first (unless
    // another process is writing it) and answered from, so that the load costs only the pages
    // that searches touch and the next load finds it ready; when not, the text is read into
    // memory, answered from, and the index written after it.
    bool indexFirst = false;

    // Receives each "Resulting token: %s\n" line; standard output by default.
    void SetTraceSink(std::function<void(std::string_view line)> sink);

    CTernarySearchTree& Tree() { return *tree; }
    const CTernarySearchTree& Tree() const { return *tree; }
    const EntryTable& Entries() const { return table; }
    size_t CachedCount() const { return cache.size(); }
    // Whether the local file's pairs are answered from its saved index. Searches through the
    // tree itself (Tree()) may throw DamagedIndex then; those of this class find the text's
    // answer instead.
    bool UsesIndex() const { return index != nullptr; }
    void ClearCache() { cache.clear(); }

private:
    bool UseIndex(std::unique_ptr<DictionaryIndex> opened);
    bool fromText = false;  // the next load reads the text whatever index there is
    // Runs a search; when the index turns out damaged, reloads from the text and runs it again.
    template <typename Search>
    auto Guarded(Search search);
    bool LookUp(std::string_view text, std::string& translation);
    bool Translate(std::string_view text, std::string& translation, bool searchCombinations);

    struct SearchBudget {
        uint64_t work = 0;
        bool exhausted = false;
        // The second search: the answer for each word group already searched; no trace.
        std::unordered_map<std::string, std::optional<std::string>>* settled = nullptr;
        // Adds `units` and tells whether the search may go on.
        bool Spend(uint64_t units)
        {
            work += units;
            if (work > kSearchWork) exhausted = true;
            return !exhausted;
        }
    };
    bool TranslateGroups(std::string_view text, std::string& translation, bool searchCombinations,
                         SearchBudget& budget, int depth);
    bool SearchGroups(std::string_view text, std::string& translation, bool searchCombinations,
                      SearchBudget& budget, int depth);

    // The local file's saved index, when it is used: the table and the tree read from it, so it
    // goes last.
    std::unique_ptr<DictionaryIndex> index;
    EntryTable table;
    std::unique_ptr<CTernarySearchTree> tree;
    // The lookup cache: phrases found whole, with the translation found first.
    std::unordered_map<std::string, std::string> cache;
    std::function<void(std::string_view)> traceSink;
};

// The Translate action's local step.
struct LocalStepResult {
    bool found = false;                 // a non-empty translation was found
    std::string translation;            // empty when none
    std::vector<std::string> nearList;  // every stored original beginning with the text
};

// Counts the words of the trimmed text and, when the count is not greater than the word limit
// (compared as unsigned numbers, so a negative limit means none), runs TranslatePhrase; then
// fills the near list. Leaves the tree's nearList holding the same originals.
LocalStepResult TranslateLocal(LocalDictionary& dictionary, const std::string& text,
                               const Settings& settings);

}  // namespace talvero
