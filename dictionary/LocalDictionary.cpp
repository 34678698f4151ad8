#include "dictionary/LocalDictionary.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/TextFile.h"
#include "dictionary/DictionaryIndex.h"

namespace talvero {

namespace {

bool IsWordSeparator(char c)
{
    return c == ' ' || c == ',' || c == '.';
}

// The words of `text` cut at any of the separators, runs of separators counting as one.
template <typename IsSep>
std::vector<std::string_view> Tokens(std::string_view text, IsSep isSep)
{
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isSep(text[i]))
            ++i;
        size_t start = i;
        while (i < text.size() && !isSep(text[i]))
            ++i;
        if (i > start) words.push_back(text.substr(start, i - start));
    }
    return words;
}

std::string Join(const std::vector<std::string_view>& words, size_t from, size_t to)
{
    std::string out;
    for (size_t k = from; k < to; ++k) {
        if (k > from) out += ' ';
        out.append(words[k]);
    }
    return out;
}

// Closes a descriptor on every way out.
struct FdCloser {
    int fd;
    ~FdCloser()
    {
        if (fd >= 0) ::close(fd);
    }
};

// What the file holds as the loader counts it: its lines, and whether the last byte is a line
// feed. Read through the descriptor that holds the lock, so it is the file that gets written.
bool CountLines(int fd, off_t size, size_t& lines, bool& endsInLineFeed)
{
    lines = 0;
    endsInLineFeed = true;
    char buf[1 << 16];
    off_t at = 0;
    char last = '\n';
    while (at < size) {
        ssize_t n = ::pread(fd, buf, sizeof buf, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n == 0;  // the file shrank meanwhile: count what is there
        for (const char* p = buf; (p = static_cast<const char*>(std::memchr(
                                       p, '\n', static_cast<size_t>(buf + n - p)))) != nullptr;
             ++p)
            ++lines;
        last = buf[n - 1];
        at += n;
    }
    endsInLineFeed = last == '\n';
    if (!endsInLineFeed) ++lines;
    return true;
}

}  // namespace

std::function<void()> LocalDictionary::beforeAppendWrite;

namespace {

// Appends a pair as two lines, so that it is read as a pair whatever the file held: a last line
// without terminator gets one, and a file with an odd number of lines (a hand-edited file that
// lost its last translation, CR-only line ends, a torn write) first gets an empty line, the
// translation the loader already gives that dangling original. The file is locked from the
// count to the end of the write, so two additions at once cannot glue their pairs together, and
// a write that fails part-way is cut back off, so no half pair shifts the next addition.
// Returns why it failed, or an empty text.
std::string AppendPair(const std::string& path, bool create, std::string_view original,
                       std::string_view translation)
{
    for (int attempt = 0;; ++attempt) {
        // Without blocking: a pipe in the file's place fails here rather than waiting for a
        // reader.
        int flags = O_RDWR | O_APPEND | O_CLOEXEC | O_NONBLOCK | (create ? O_CREAT : 0);
        FdCloser file{::open(path.c_str(), flags, 0644)};
        if (file.fd < 0) return CouldNotOpenMessage(path);
        // Where locks are not supported the append goes on unlocked, as it always did.
        while (::flock(file.fd, LOCK_EX) != 0 && errno == EINTR) {
        }
        struct stat st {};
        if (::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode)) return CouldNotOpenMessage(path);
        // An Undo replaces the file by a rename: if one did while this waited for the lock, the
        // descriptor holds the old file, which nobody reads any more.
        struct stat now {};
        if (attempt < 8 && ::stat(path.c_str(), &now) == 0 &&
            (now.st_ino != st.st_ino || now.st_dev != st.st_dev))
            continue;

        size_t lines = 0;
        bool endsInLineFeed = true;
        if (!CountLines(file.fd, st.st_size, lines, endsInLineFeed))
            return "Could not read the file: " + path + " (" + std::strerror(errno) + ")";
        std::string text;
        text.reserve(original.size() + translation.size() + 3);
        if (!endsInLineFeed) text.append(kLineEnd);
        if (lines % 2 != 0) text.append(kLineEnd);
        text.append(original);
        text.append(kLineEnd);
        text.append(translation);

        if (LocalDictionary::beforeAppendWrite) LocalDictionary::beforeAppendWrite();
        if (WriteAll(file.fd, text)) return {};
        const int error = errno;
        std::string message =
            "Could not write the file: " + path + " (" + std::strerror(error) + ")";
        if (::ftruncate(file.fd, st.st_size) != 0)
            message += "; the part written could not be taken back";
        return message;
    }
}

void RemoveLineBreaks(std::string& s)
{
    std::erase_if(s, [](char c) { return c == '\n' || c == '\r'; });
}

}  // namespace

std::string CouldNotOpenMessage(const std::string& file)
{
    return "Could not open the file: " + file;
}

std::string NotEnoughMemoryMessage(const std::string& file)
{
    return "Not enough memory to load the file: " + file;
}

size_t CountWords(std::string_view text)
{
    size_t count = 0;
    bool inWord = false;
    for (char c : text) {
        bool sep = IsWordSeparator(c);
        if (!sep && !inWord) ++count;
        inWord = !sep;
    }
    return count;
}

std::string WordsOf(std::string_view text, int from, int to, int count)
{
    std::vector<std::string_view> words = Tokens(text, [](char c) { return c == ' '; });
    std::string out;
    for (int k = 0; k < count; ++k) {
        if (from <= k && k < to) {
            if (static_cast<size_t>(k) < words.size()) out.append(words[k]);
            out += ' ';
        }
    }
    while (!out.empty() && IsWhiteSpace(out.back()))
        out.pop_back();
    return out;
}

LocalDictionary::LocalDictionary()
    : tree(std::make_unique<CTernarySearchTree>(table)),
      traceSink([](std::string_view line) { std::fwrite(line.data(), 1, line.size(), stdout); })
{
}

LocalDictionary::~LocalDictionary() = default;

void LocalDictionary::SetTraceSink(std::function<void(std::string_view)> sink)
{
    traceSink = std::move(sink);
}

std::vector<std::string> LocalDictionary::Load(const std::string& localFile,
                                               const std::string& personalFile)
{
    localDictionaryFile = localFile;
    personalDictionaryFile = personalFile;
    return LoadDictionary();
}

std::vector<std::string> LocalDictionary::LoadDictionary()
{
    std::vector<std::string> messages;
    // An Undo killed before its rename leaves its temporary beside the file.
    RemoveStaleTemporaries(personalDictionaryFile);
    // So does an index write killed before its rename.
    RemoveStaleTemporaries(DictionaryIndex::PathFor(localDictionaryFile), false);
    tree.reset();
    table.Clear();
    index.reset();
    cache.clear();

    // The local file from its saved index when that matches it, else from its text, saving an
    // index for the next load where the directory allows.
    bool usable = !fromText && UseIndex(DictionaryIndex::Open(localDictionaryFile));
    if (!usable && indexFirst && !fromText) {
        // Busy (another process is writing it) or impossible: the text answers instead.
        const DictionaryIndex::Built built = DictionaryIndex::WriteFor(localDictionaryFile);
        if (built == DictionaryIndex::Built::Written ||
            built == DictionaryIndex::Built::AlreadyThere)
            usable = UseIndex(DictionaryIndex::Open(localDictionaryFile));
    }
    if (!usable) {
        DictionaryIndex::Identity identity;
        // Taken before the read: a change made meanwhile then shows as a stale index.
        const bool known = DictionaryIndex::StatText(localDictionaryFile, identity);
        bool tooLarge = false;
        const bool read = table.AppendFile(localDictionaryFile, tooLarge);
        if (!read) {
            messages.push_back(tooLarge ? "The dictionary file is too large: " + localDictionaryFile
                                        : CouldNotOpenMessage(localDictionaryFile));
        }
        tree = std::make_unique<CTernarySearchTree>(table);
        tree->Build();
        if ((!indexFirst || fromText) && read && known &&
            identity.size == table.FileText().size() &&
            identity.size >= DictionaryIndex::minimumTextBytes) {
            DictionaryIndex::HashText(table.FileText(), identity);
            DictionaryIndex::Write(localDictionaryFile, identity, table, tree->EntriesInOrder());
        }
    }

    // The personal file is the user's and small: its pairs go in as additions would.
    std::string content;
    if (ReadFileIfPresent(personalDictionaryFile, content) != FileRead::Read) {
        messages.push_back(CouldNotOpenMessage(personalDictionaryFile));
        return messages;
    }
    const uint32_t first = static_cast<uint32_t>(table.size());
    if (!table.AppendPairs(content))
        messages.push_back("The dictionary file is too large: " + personalDictionaryFile);
    for (uint32_t i = first; i < table.size(); ++i)
        tree->Insert(i);
    tree->entryCount = static_cast<int32_t>(table.size());
    return messages;
}

bool LocalDictionary::UseIndex(std::unique_ptr<DictionaryIndex> opened)
{
    if (!opened) return false;
    index = std::move(opened);
    table.UseRecordView(index->Text(), index->Records(), index->EntryCount(), index->Blocks());
    tree = std::make_unique<CTernarySearchTree>(table);
    tree->UseSorted(index->SortedCount());
    return true;
}

template <typename Search>
auto LocalDictionary::Guarded(Search search)
{
    try {
        return search();
    } catch (const DamagedIndex&) {
        // The text is the truth: load from it, which writes the index anew, and search the
        // text. The additions of this run are in the personal file, which the load reads too.
        ::unlink(DictionaryIndex::PathFor(localDictionaryFile).c_str());
        fromText = true;
        std::vector<std::string> messages = LoadDictionary();
        fromText = false;
        (void)messages;
        return search();
    }
}

bool LocalDictionary::LookUpPhrase(std::string_view text, std::string& translation)
{
    return Guarded([&] { return LookUp(text, translation); });
}

std::vector<std::string> LocalDictionary::NearOriginals(std::string_view text)
{
    return Guarded([&] {
        tree->nearList.clear();
        if (!text.empty()) tree->CollectNear(text);
        return tree->nearList.Strings();
    });
}

bool LocalDictionary::LookUp(std::string_view text, std::string& translation)
{
    text = TrimWhiteSpace(text);
    if (auto it = cache.find(std::string(text)); it != cache.end()) {
        translation = it->second;
        return true;
    }
    // A miss needs only the entry of the whole phrase, not every phrase that begins with it.
    const int32_t entry = tree->FindEntry(text);
    if (entry < 0) return false;
    translation = std::string(table.Translation(static_cast<uint32_t>(entry)));
    cache.emplace(std::string(text), translation);
    return true;
}

bool LocalDictionary::TranslatePhrase(std::string_view text, std::string& translation,
                                      bool searchCombinations)
{
    return Guarded([&] { return Translate(text, translation, searchCombinations); });
}

bool LocalDictionary::Translate(std::string_view text, std::string& translation,
                                bool searchCombinations)
{
    SearchBudget budget;
    if (TranslateGroups(text, translation, searchCombinations, budget, 0)) return true;
    if (!budget.exhausted) return false;
    // A word group's answer depends on its text alone, so settling each group once gives what
    // the search in full would have given, in polynomial rather than exponential time.
    std::unordered_map<std::string, std::optional<std::string>> settled;
    SearchBudget again;
    again.settled = &settled;
    return TranslateGroups(text, translation, searchCombinations, again, 0);
}

bool LocalDictionary::TranslateGroups(std::string_view text, std::string& translation,
                                      bool searchCombinations, SearchBudget& budget, int depth)
{
    if (!budget.settled) return SearchGroups(text, translation, searchCombinations, budget, depth);
    std::string key(text);
    if (auto it = budget.settled->find(key); it != budget.settled->end()) {
        if (!budget.Spend(16 + text.size()) || !it->second) return false;
        translation = *it->second;
        return true;
    }
    std::string out;
    const bool found = SearchGroups(text, out, searchCombinations, budget, depth);
    if (budget.exhausted) return false;
    if (found) translation = out;
    budget.settled->emplace(std::move(key),
                            found ? std::optional<std::string>(std::move(out)) : std::nullopt);
    return found;
}

bool LocalDictionary::SearchGroups(std::string_view text, std::string& translation,
                                   bool searchCombinations, SearchBudget& budget, int depth)
{
    // Once the budget is spent, every level gives up at once and the search unwinds.
    if (depth > kSearchDepth) budget.exhausted = true;
    if (!budget.Spend(64 + text.size())) return false;
    if (LookUp(text, translation)) return true;
    if (!searchCombinations) return false;
    const int n = static_cast<int>(CountWords(text));
    if (n < 2) return false;
    auto group = [&](std::string_view part, std::string& out) {
        return TranslateGroups(part, out, searchCombinations, budget, depth + 1);
    };

    // Three parts: shorter left parts first, and for each, shorter middle parts first.
    for (int i = 1; i <= n - 2; ++i) {
        for (int j = i + 1; j <= n - 1; ++j) {
            if (!budget.Spend(16 + text.size())) return false;
            std::string left = WordsOf(text, 0, i, n);
            std::string middle = WordsOf(text, i, j, n);
            std::string right = WordsOf(text, j, n, n);
            if (left.empty() || middle.empty() || right.empty()) continue;
            std::string tm, tl, tr;
            if (group(middle, tm) && group(left, tl) && group(right, tr)) {
                translation = tl + ' ' + tm + ' ' + tr;
                return true;
            }
            if (budget.exhausted) return false;
        }
    }

    // Two parts: the first word and the rest, then all but the last word and the last.
    std::vector<std::string_view> words = Tokens(text, IsWordSeparator);
    for (std::string_view w : words) {
        if (budget.settled) break;
        if (!budget.Spend(16 + w.size())) return false;
        std::string line = "Resulting token: ";
        line.append(w);
        line += '\n';
        if (traceSink) traceSink(line);
    }
    const size_t count = words.size();
    std::string ta, tb;
    if (group(words[0], ta) && group(Join(words, 1, count), tb)) {
        translation = ta + ' ' + tb;
        return true;
    }
    if (budget.exhausted) return false;
    std::string tc, td;
    if (group(Join(words, 0, count - 1), tc) && group(words[count - 1], td)) {
        translation = tc + ' ' + td;
        return true;
    }
    return false;
}

std::optional<std::string> LocalDictionary::FindTranslation(std::string_view text)
{
    return Guarded([&]() -> std::optional<std::string> {
        const int32_t entry = tree->FindEntry(text);
        if (entry < 0) return std::nullopt;
        return std::string(table.Translation(static_cast<uint32_t>(entry)));
    });
}

LocalDictionary::AddResult LocalDictionary::AddTranslation(std::string original,
                                                           std::string translation)
{
    AddResult result;
    RemoveLineBreaks(original);
    RemoveLineBreaks(translation);
    // A pair with an empty side is no addition: neither the files nor memory get it.
    if (original.empty() || translation.empty()) return result;
    result.error = AppendPair(personalDictionaryFile, true, original, translation);
    if (result.error.empty()) {
        result.written = true;
        ++additionsCount;
    }
    if (uploadPair) uploadPair(original, translation);
    // The new-translations file is emptied (created) by the window at start-up.
    AppendPair(newTranslationsFile, false, original, translation);
    int64_t index = table.Append(original, translation);
    if (index >= 0) {
        ++tree->entryCount;
        tree->Insert(static_cast<uint32_t>(index));
        // A cached answer for this phrase would hide the new translation.
        cache.erase(original);
    } else if (result.error.empty()) {
        result.error = "The dictionary is full";
    }
    result.original = std::move(original);
    result.translation = std::move(translation);
    return result;
}

bool LocalDictionary::UndoAddition(std::string* error)
{
    if (additionsCount < 1) return true;
    // Locked like an addition, so that one running in another process meanwhile is neither lost
    // with the old file nor cut in half.
    long long size = 0;
    FdCloser file{OpenPlainFile(personalDictionaryFile, size)};
    std::string content;
    if (file.fd < 0) {
        struct stat st {};
        // A file the user removed holds no pair to take back; one that cannot be opened may.
        if (::stat(personalDictionaryFile.c_str(), &st) != 0 && errno == ENOENT) {
            --additionsCount;
            return true;
        }
        if (error) *error = CouldNotOpenMessage(personalDictionaryFile);
        return false;
    }
    while (::flock(file.fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    if (!ReadFromDescriptor(file.fd, content)) {
        if (error) *error = "Could not read the file: " + personalDictionaryFile;
        return false;
    }
    std::vector<std::string_view> lines = SplitLines(content);
    if (lines.size() >= 2) {
        // Keep everything before the last two lines, with the file's own line ends, and no
        // terminator after what is now the last line.
        size_t keep = 0;
        if (lines.size() >= 3) {
            std::string_view last = lines[lines.size() - 3];
            keep = static_cast<size_t>(last.data() + last.size() - content.data());
        }
        if (!AtomicWriteFile(personalDictionaryFile, std::string_view(content).substr(0, keep))) {
            if (error) *error = "Could not write the file: " + personalDictionaryFile;
            return false;
        }
    }
    --additionsCount;
    return true;
}

LocalStepResult TranslateLocal(LocalDictionary& dictionary, const std::string& text,
                               const Settings& settings)
{
    LocalStepResult result;
    const std::string_view trimmed = TrimWhiteSpace(text);
    const uint64_t words = CountWords(trimmed);
    if (words <= static_cast<uint32_t>(settings.maxWordsInCombinations)) {
        std::string translation;
        dictionary.TranslatePhrase(trimmed, translation, settings.searchCombinations);
        if (!translation.empty()) {
            result.found = true;
            result.translation = std::move(translation);
        }
    }
    result.nearList = dictionary.NearOriginals(trimmed);
    return result;
}

}  // namespace talvero
