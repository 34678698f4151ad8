#include "importer/Dictd.h"

#include <zlib.h>

#include <algorithm>
#include <unordered_map>

#include "base/TextFile.h"
#include "importer/ImportText.h"

namespace talvero {

using namespace importer;

namespace {

// "1." "12." at the start of a (trimmed) line, followed by a space or the end; returns the length
// of the marker or 0.
size_t SenseMarkerLength(std::string_view s)
{
    size_t i = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9')
        ++i;
    if (i == 0 || i > 3 || i >= s.size() || s[i] != '.') return 0;
    if (i + 1 < s.size() && !IsSpace(s[i + 1])) return 0;
    return i + 1;
}

// A sense number that the database left at the end of a translation ("abacá 2.").
std::string_view DropTrailingSenseNumber(std::string_view s)
{
    s = Trim(s);
    if (s.empty() || s.back() != '.') return s;
    size_t i = s.size() - 1;
    size_t digitsEnd = i;
    while (i > 0 && s[i - 1] >= '0' && s[i - 1] <= '9')
        --i;
    if (i == digitsEnd || i == 0 || !IsSpace(s[i - 1])) return s;
    return Trim(s.substr(0, i));
}

std::string CleanFreeDictTranslation(std::string_view line)
{
    std::string s = Normalize(DropTrailingSenseNumber(line));
    s = RemoveMarkupGroups(s);
    return CleanList(Normalize(s), ',', ", ");
}

}  // namespace

// ---- dictd / FreeDict

bool DecodeDictdNumber(std::string_view digits, uint64_t& value)
{
    if (digits.empty() || digits.size() > 8) return false;  // 8 digits: 48 bits
    uint64_t v = 0;
    for (char ch : digits) {
        int d;
        if (ch >= 'A' && ch <= 'Z')
            d = ch - 'A';
        else if (ch >= 'a' && ch <= 'z')
            d = ch - 'a' + 26;
        else if (ch >= '0' && ch <= '9')
            d = ch - '0' + 52;
        else if (ch == '+')
            d = 62;
        else if (ch == '/')
            d = 63;
        else
            return false;
        v = (v << 6) | static_cast<uint64_t>(d);
    }
    value = v;
    return true;
}

bool ParseDictdIndex(std::string_view text, std::vector<DictdIndexEntry>& entries,
                     std::string& error)
{
    entries.clear();
    size_t lineNumber = 0;
    for (std::string_view line : SplitLines(text)) {
        ++lineNumber;
        if (line.empty()) continue;
        std::vector<std::string_view> fields = SplitOn(line, "\t");
        DictdIndexEntry e;
        // An empty headword is dictd's fold of one without letters ("..."); it is valid.
        bool ok = (fields.size() == 3 || fields.size() == 4) &&
                  DecodeDictdNumber(fields[1], e.offset) && DecodeDictdNumber(fields[2], e.length);
        if (!ok) {
            error = "malformed index line " + std::to_string(lineNumber);
            entries.clear();
            return false;
        }
        e.headword = fields[0];
        if (fields.size() == 4) e.original = fields[3];
        entries.push_back(std::move(e));
    }
    return true;
}

bool InflateDictData(std::string_view bytes, std::string& out, std::string& error, size_t maxSize,
                     size_t needed)
{
    out.clear();
    if (bytes.size() > maxSize) {
        error = "the dictionary data is too large";
        return false;
    }
    bool gzip = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1F &&
                static_cast<unsigned char>(bytes[1]) == 0x8B;
    if (!gzip) {
        out.assign(bytes.substr(0, needed));
        return true;
    }
    z_stream zs{};
    if (inflateInit2(&zs, 16 + MAX_WBITS) != Z_OK) {
        error = "cannot start decompression";
        return false;
    }
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    zs.avail_in = static_cast<uInt>(bytes.size());
    size_t used = 0;
    bool done = false;
    while (!done) {
        if (used >= needed) {
            done = true;
            break;
        }
        if (used == out.size()) {
            if (out.size() >= maxSize) {
                error = "the dictionary data is too large once decompressed (more than " +
                        std::to_string(maxSize >> 20) + " MB)";
                break;
            }
            out.resize(std::min(
                {maxSize, needed, std::max<size_t>(out.size() * 2, bytes.size() * 3 + 4096)}));
        }
        zs.next_out = reinterpret_cast<Bytef*>(out.data() + used);
        zs.avail_out = static_cast<uInt>(std::min<size_t>(out.size() - used, 1u << 30));
        uInt before = zs.avail_out;
        int rc = inflate(&zs, Z_NO_FLUSH);
        used += before - zs.avail_out;
        if (rc == Z_STREAM_END) {
            // Another gzip member may follow; anything else after the end is ignored, as gzip does.
            if (zs.avail_in >= 2 && zs.next_in[0] == 0x1F && zs.next_in[1] == 0x8B) {
                inflateReset(&zs);
                continue;
            }
            done = true;
        } else if (rc == Z_BUF_ERROR && zs.avail_in == 0) {
            error = "the compressed dictionary data is truncated";
            break;
        } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
            error = std::string("the compressed dictionary data is corrupt") +
                    (zs.msg ? std::string(" (") + zs.msg + ")" : std::string());
            break;
        }
    }
    inflateEnd(&zs);
    if (!done) {
        out.clear();
        return false;
    }
    out.resize(std::min(used, needed));
    return true;
}

namespace {

struct HeadlineMatch {
    std::string original;
    int alternative = -1;  // which " | " alternative of the headline matched, if any
};

// An article's headline, cleaned and folded once: many index entries may point at one article,
// and a headline may be long, so matching a headword against it is one lookup.
struct Headline {
    std::string cleaned;
    std::u32string cleanedKey;
    std::unordered_map<std::u32string, HeadlineMatch> pieces;  // the first piece of each key

    explicit Headline(std::string_view article)
    {
        std::string_view head = article.substr(0, article.find('\n'));
        // The headword ends where the pronunciation or the grammar tag begins.
        size_t cut = std::min(head.find(" /"), head.find(" <"));
        if (cut != std::string_view::npos) head = head.substr(0, cut);
        cleaned = Normalize(RemoveMarkupGroups(head));
        cleanedKey = FoldKey(cleaned);
        std::vector<std::string_view> alternatives = SplitOn(cleaned, "|");
        for (size_t a = 0; a < alternatives.size(); ++a)
            for (std::string_view piece : SplitOn(alternatives[a], ",")) {
                piece = Trim(piece);
                if (piece.empty()) continue;
                pieces.try_emplace(
                    FoldKey(piece),
                    HeadlineMatch{std::string(piece),
                                  alternatives.size() > 1 ? static_cast<int>(a) : -1});
            }
    }

    HeadlineMatch Match(std::string_view indexHeadword) const
    {
        std::u32string want = FoldKey(indexHeadword);
        if (!cleaned.empty() && cleanedKey == want) return {cleaned, -1};
        // A headword that folds to nothing ("...") only matches a headline that does too.
        if (!want.empty())
            if (auto it = pieces.find(want); it != pieces.end()) return it->second;
        return {Normalize(indexHeadword), -1};
    }
};

HeadlineMatch MatchHeadline(std::string_view article, std::string_view indexHeadword)
{
    return Headline(article).Match(indexHeadword);
}

// "Schneider, | Schneiderin" beside the headline "modisto, | modista": the alternative of the
// matched headword, or all of them when the counts do not fit.
std::string_view PickAlternative(std::string_view sense, int alternative, std::string& joined)
{
    if (sense.find('|') == std::string_view::npos) return sense;
    std::vector<std::string_view> parts = SplitOn(sense, "|");
    if (alternative >= 0 && static_cast<size_t>(alternative) < parts.size())
        return parts[static_cast<size_t>(alternative)];
    joined.clear();
    for (std::string_view part : parts) {
        if (!joined.empty()) joined += ", ";
        joined += part;
    }
    return joined;
}

}  // namespace

std::string FreeDictOriginal(std::string_view article, std::string_view indexHeadword)
{
    return MatchHeadline(article, indexHeadword).original;
}

std::vector<std::string> FreeDictSenses(std::string_view article, int alternative)
{
    // An article either numbers its senses 1., 2., 3. from its first line, or has one sense on
    // its first line. Numbers that break that count belong to the explanations under a sense:
    // "1. Person Plural" under "nosotros" is the grammatical person, "7. Ton der Tonleiter" under
    // sense 1 the seventh note, and a bare " 3." numbers the explanations of one sense.
    std::vector<std::string> senses;
    std::vector<std::string_view> lines = SplitLines(article);
    bool numbered = false;
    bool sawBody = false;
    int lastSense = 0;
    std::string joined;
    for (size_t i = 1; i < lines.size(); ++i) {
        std::string_view line = Trim(lines[i]);
        if (line.empty()) continue;
        std::string_view candidate;
        const size_t marker = SenseMarkerLength(line);
        const std::string_view rest = marker ? Trim(line.substr(marker)) : std::string_view();
        const int number = marker ? std::stoi(std::string(line.substr(0, marker - 1))) : 0;
        if (marker && !rest.empty() && (numbered ? number == lastSense + 1 : !sawBody)) {
            numbered = true;
            lastSense = number;
            candidate = rest;
        } else if (!numbered && !sawBody && !marker) {
            candidate = line;
        }
        sawBody = true;
        if (candidate.empty()) continue;
        std::string sense =
            CleanFreeDictTranslation(PickAlternative(candidate, alternative, joined));
        if (!sense.empty()) senses.push_back(std::move(sense));
    }
    return senses;
}

bool FreeDictPairs(std::string_view indexText, std::string_view data,
                   std::vector<PhrasePair>& pairs, size_t& entriesRead, std::string& error,
                   WordList words, const ImportLimits& limits)
{
    pairs.clear();
    entriesRead = 0;
    std::vector<DictdIndexEntry> entries;
    if (!ParseDictdIndex(indexText, entries, error)) return false;
    // Several headwords may share an article: its headline and senses are worked out once.
    std::unordered_map<std::string, std::vector<std::string>> sensesAt;
    std::unordered_map<std::string, Headline> headlines;
    OutputBudget budget{limits};
    for (const DictdIndexEntry& e : entries) {
        if (StartsWith(e.headword, "00database") || StartsWith(e.headword, "00-database")) continue;
        if (e.offset > data.size() || e.length > data.size() - e.offset) {
            error = "index entry '" + Normalize(e.headword) + "' points past the end of the data";
            pairs.clear();
            return false;
        }
        ++entriesRead;
        std::string_view article = data.substr(e.offset, e.length);
        HeadlineMatch match;
        if (e.original.empty()) {
            std::string at = std::to_string(e.offset) + ":" + std::to_string(e.length);
            auto h = headlines.find(at);
            if (h == headlines.end()) h = headlines.emplace(at, Headline(article)).first;
            match = h->second.Match(e.headword);
        } else {
            match = HeadlineMatch{Normalize(e.original), -1};
        }
        std::string key = std::to_string(e.offset) + ":" + std::to_string(e.length) + ":" +
                          std::to_string(match.alternative);
        auto it = sensesAt.find(key);
        if (it == sensesAt.end()) {
            it = sensesAt.emplace(key, FreeDictSenses(article, match.alternative)).first;
        }
        const std::string& original = match.original;
        if (original.empty()) continue;
        for (const std::string& sense : it->second) {
            pairs.push_back({original, sense});
            if (!budget.Take(pairs.back())) {
                error = budget.Error();
                pairs.clear();
                return false;
            }
        }
    }
    if (!words.Empty()) {
        for (const auto& [key, senses] : sensesAt)
            for (const std::string& sense : senses)
                words.NoteBigrams(sense);
        std::unordered_map<std::string, std::string> respaced;
        for (PhrasePair& p : pairs) {
            auto [it, added] = respaced.try_emplace(p.translation);
            if (added) it->second = Respace(p.translation, words);
            p.translation = it->second;
        }
    }
    return true;
}

namespace {

std::string FreeDictBase(const std::string& source)
{
    std::string base = source;
    for (std::string_view suffix : {".dict.dz", ".index", ".dict"})
        if (EndsWith(base, suffix)) {
            base.resize(base.size() - suffix.size());
            break;
        }
    return base;
}

}  // namespace

std::string FreeDictPairCode(const std::string& source, std::string_view pairCode,
                             std::string& error)
{
    std::string name = FileBaseName(FreeDictBase(source));
    if (StartsWith(name, "freedict-")) name = name.substr(9);
    auto [from, to] = LanguagesOfName(name);
    std::string code;
    return ResolvePairCode(from, to, pairCode, code, error) ? code : std::string();
}

ImportOutcome ImportFreeDict(const std::string& source, std::string_view pairCode)
{
    ImportOutcome outcome;
    std::string base = FreeDictBase(source);
    outcome.dictionaryCode = FreeDictPairCode(source, pairCode, outcome.error);
    if (outcome.dictionaryCode.empty()) return outcome;

    std::string index, compressed, data;
    const std::string tooLarge = " is larger than " + std::to_string(kMaxImportDataMegabytes) +
                                 " MB, more than an import takes";
    switch (ReadFileIfPresent(base + ".index", index, kMaxImportDataSize)) {
        case FileRead::Read:
            break;
        case FileRead::TooLarge:
            outcome.error = base + ".index" + tooLarge;
            return outcome;
        default:
            outcome.error = "cannot read " + base + ".index";
            return outcome;
    }
    std::string dataFile = base + ".dict.dz";
    FileRead dataRead = ReadFileIfPresent(dataFile, compressed, kMaxImportDataSize);
    if (dataRead == FileRead::Missing || dataRead == FileRead::Unreadable) {
        dataFile = base + ".dict";
        dataRead = ReadFileIfPresent(dataFile, compressed, kMaxImportDataSize);
    }
    if (dataRead == FileRead::TooLarge) {
        outcome.error = dataFile + tooLarge;
        return outcome;
    }
    if (dataRead != FileRead::Read) {
        outcome.error = "cannot read " + base + ".dict.dz";
        return outcome;
    }
    // Only as much data as the index points at: a small file that inflates enormously past
    // that costs nothing.
    size_t needed = 0;
    {
        std::vector<DictdIndexEntry> entries;
        if (!ParseDictdIndex(index, entries, outcome.error)) {
            outcome.error = base + ".index: " + outcome.error;
            return outcome;
        }
        for (const DictdIndexEntry& e : entries)
            if (e.offset <= kMaxDictDataSize && e.length <= kMaxDictDataSize)
                needed = std::max<size_t>(needed, e.offset + e.length);
            else
                needed = kMaxDictDataSize + 1;
    }
    // Refused before inflating anything: a few bytes of index could otherwise make a small
    // file inflate to the bound, for nothing.
    if (needed > kMaxDictDataSize) {
        outcome.error = base + ".index asks for more than " +
                        std::to_string(kMaxImportDataMegabytes) +
                        " MB of dictionary data, more than an import takes";
        return outcome;
    }
    if (!InflateDictData(compressed, data, outcome.error, kMaxDictDataSize, needed)) {
        outcome.error = base + ".dict.dz: " + outcome.error;
        return outcome;
    }
    compressed.clear();
    compressed.shrink_to_fit();
    std::string target = outcome.dictionaryCode.substr(outcome.dictionaryCode.find('_') + 1);
    if (!FreeDictPairs(index, data, outcome.pairs, outcome.entriesRead, outcome.error,
                       SystemWordList(target))) {
        outcome.error = base + ": " + outcome.error;
        return outcome;
    }
    MergeSenses(outcome.pairs);
    if (outcome.pairs.empty()) {
        outcome.error = base + ": no phrase pairs found";
        return outcome;
    }
    outcome.ok = true;
    return outcome;
}

}  // namespace talvero
