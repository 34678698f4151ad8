#include "importer/Importer.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <unordered_set>

#include "catalogue/Catalogue.h"
#include "catalogue/CodePage.h"
#include "catalogue/TextFile.h"

namespace {

// ---- Text helpers (UTF-8)

bool IsSpace(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

// Control characters become spaces, typographic hyphens (U+2010, U+2011) the hyphen one types,
// no-break spaces plain ones; runs of spaces collapse and the ends are trimmed. Nothing that
// comes out of here can break a line of the phrase-pair file.
std::string Normalize(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    bool pendingSpace = false;
    auto put = [&](std::string_view piece) {
        if (pendingSpace && !out.empty()) out += ' ';
        pendingSpace = false;
        out += piece;
    };
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c == 0x7F || c == ' ') {
            pendingSpace = true;
        } else if (c == 0xE2 && i + 2 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0x80 &&
                   (static_cast<unsigned char>(s[i + 2]) == 0x90 ||
                    static_cast<unsigned char>(s[i + 2]) == 0x91)) {
            put("-");
            i += 2;
        } else if (c == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0xA0) {
            pendingSpace = true;
            ++i;
        } else {
            put(std::string_view(&s[i], 1));
        }
    }
    return out;
}

// Removes balanced groups such as "(...)" (nested ones included), leaving a space where each
// was. An opener without its closer, or a closer without an opener, stays as text. One pass with
// a stack: hostile input such as a megabyte of "(" must not take quadratic time.
std::string RemoveGroups(std::string_view s, char open, char close)
{
    if (s.find(open) == std::string_view::npos) return std::string(s);
    std::vector<size_t> openers;
    std::vector<std::pair<size_t, size_t>> groups;  // [opener, closer], outermost last
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == open) {
            openers.push_back(i);
        } else if (s[i] == close && !openers.empty()) {
            size_t from = openers.back();
            openers.pop_back();
            // Drop the groups this one encloses; they were recorded before it.
            while (!groups.empty() && groups.back().first > from)
                groups.pop_back();
            groups.emplace_back(from, i);
        }
    }
    std::string out;
    out.reserve(s.size());
    size_t at = 0;
    for (auto [from, to] : groups) {
        out.append(s.substr(at, from - at));
        out += ' ';
        at = to + 1;
    }
    out.append(s.substr(at));
    return out;
}

std::string RemoveMarkupGroups(std::string_view s)
{
    std::string out = RemoveGroups(s, '{', '}');
    out = RemoveGroups(out, '[', ']');
    out = RemoveGroups(out, '(', ')');
    return RemoveGroups(out, '<', '>');
}

// Removes abbreviation marks such as " /NBCRV/": a slash at the start or after a space, a text
// without spaces or slashes, and a slash before the end, a space or a separator. "and/or" and
// "km/h" stay.
std::string RemoveSlashGroups(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        if (s[i] == '/' && (i == 0 || s[i - 1] == ' ')) {
            size_t j = i + 1;
            while (j < s.size() && s[j] != '/' && s[j] != ' ')
                ++j;
            bool closes = j < s.size() && s[j] == '/' && j > i + 1 &&
                          (j + 1 == s.size() || s[j + 1] == ' ' || s[j + 1] == ';' ||
                           s[j + 1] == ',' || s[j + 1] == '|');
            if (closes) {
                out += ' ';
                i = j + 1;
                continue;
            }
        }
        out += s[i++];
    }
    return out;
}

// Splits at `separator` (a comma only where a space or the end follows, so that "1,2,3-..." stays
// whole), trims the pieces, drops empty and repeated ones and joins the rest with `joiner`.
std::string CleanList(std::string_view s, char separator, std::string_view joiner)
{
    std::vector<std::string_view> items;
    std::unordered_set<std::string_view> seen;
    size_t start = 0;
    for (size_t i = 0; i <= s.size(); ++i) {
        bool cut = i == s.size();
        if (!cut && s[i] == separator)
            cut = separator != ',' || i + 1 == s.size() || s[i + 1] == ' ';
        if (!cut) continue;
        std::string_view item = Trim(s.substr(start, i - start));
        // Orphaned punctuation left behind by removed groups.
        while (!item.empty() && (item.back() == ',' || item.back() == ';'))
            item = Trim(item.substr(0, item.size() - 1));
        if (!item.empty() && seen.insert(item).second) items.push_back(item);
        start = i + 1;
    }
    std::string out;
    for (size_t k = 0; k < items.size(); ++k) {
        if (k > 0) out += joiner;
        out += items[k];
    }
    return out;
}

// ---- Case- and punctuation-blind comparison of headwords, as dictd folds its index.

char32_t NextCodePoint(std::string_view s, size_t& i)
{
    unsigned char c = static_cast<unsigned char>(s[i]);
    int extra = c < 0x80             ? 0
                : (c & 0xE0) == 0xC0 ? 1
                : (c & 0xF0) == 0xE0 ? 2
                : (c & 0xF8) == 0xF0 ? 3
                                     : -1;
    if (extra < 0 || i + static_cast<size_t>(extra) >= s.size()) {
        ++i;
        return 0xDC00 + c;  // an invalid byte stands for itself
    }
    char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        unsigned char d = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
        if ((d & 0xC0) != 0x80) {
            ++i;
            return 0xDC00 + c;
        }
        cp = (cp << 6) | (d & 0x3F);
    }
    i += static_cast<size_t>(extra) + 1;
    return cp;
}

char32_t LowerCodePoint(char32_t c)
{
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    if (c >= 0x100 && c <= 0x137) return c | 1;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c + 1 : c;
    if (c >= 0x14A && c <= 0x177) return c | 1;
    if (c >= 0x391 && c <= 0x3A9) return c + 32;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    return c;
}

bool IsWordCodePoint(char32_t c)
{
    if (c < 0x80) return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (c >= 0xA0 && c <= 0xBF) return false;  // Latin-1 punctuation and symbols
    if (c == 0xD7 || c == 0xF7) return false;
    if (c >= 0x2000 && c <= 0x206F) return false;  // general punctuation
    return true;
}

std::u32string FoldKey(std::string_view s)
{
    std::u32string key;
    size_t i = 0;
    while (i < s.size()) {
        char32_t c = NextCodePoint(s, i);
        if (IsWordCodePoint(c)) key += LowerCodePoint(c);
    }
    return key;
}

bool StartsWith(std::string_view s, std::string_view prefix)
{
    return s.substr(0, prefix.size()) == prefix;
}

std::vector<std::string_view> SplitOn(std::string_view s, std::string_view separator)
{
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        size_t at = s.find(separator, start);
        if (at == std::string_view::npos) {
            parts.push_back(s.substr(start));
            return parts;
        }
        parts.push_back(s.substr(start, at - start));
        start = at + separator.size();
    }
}

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

std::string FileBaseName(std::string_view path)
{
    size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool EndsWith(std::string_view s, std::string_view suffix)
{
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

// The pair code for "spa-eng"-like names; an explicit code wins but must be in the local list.
bool ResolvePairCode(std::string_view from, std::string_view to, std::string_view explicitCode,
                     std::string& code, std::string& error)
{
    if (!explicitCode.empty()) {
        if (!IsLocalPairCode(explicitCode)) {
            error =
                "'" + std::string(explicitCode) + "' is not a pair of the local dictionary list";
            return false;
        }
        code = explicitCode;
        return true;
    }
    code = LocalPairCode(from, to);
    if (code.empty()) {
        error = "no local dictionary pair for the languages '" + std::string(from) + "' and '" +
                std::string(to) + "' (name one with --pair, e.g. es_en)";
        return false;
    }
    return true;
}

// splitmix64: small, fast and the same everywhere, unlike the standard distributions.
struct SplitMix {
    uint64_t state;
    uint64_t Next()
    {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    unsigned Below(unsigned n) { return static_cast<unsigned>(Next() % n); }
};

}  // namespace

// ---- Languages

std::string CatalogueLanguageCode(std::string_view iso)
{
    struct Code {
        const char* iso;
        const char* catalogue;
    };
    static const Code kCodes[] = {
        {"ara", "ar"},    {"ar", "ar"},     {"bul", "bg"},   {"bg", "bg"},  {"zho", "zh-CN"},
        {"chi", "zh-CN"}, {"cmn", "zh-CN"}, {"zh", "zh-CN"}, {"hrv", "hr"}, {"hr", "hr"},
        {"ces", "cs"},    {"cze", "cs"},    {"cs", "cs"},    {"dan", "da"}, {"da", "da"},
        {"nld", "du"},    {"dut", "du"},    {"nl", "du"},    {"eng", "en"}, {"en", "en"},
        {"fin", "fi"},    {"fi", "fi"},     {"fra", "fr"},   {"fre", "fr"}, {"fr", "fr"},
        {"deu", "de"},    {"ger", "de"},    {"de", "de"},    {"ell", "el"}, {"gre", "el"},
        {"el", "el"},     {"hin", "hi"},    {"hi", "hi"},    {"ita", "it"}, {"it", "it"},
        {"jpn", "ja"},    {"ja", "ja"},     {"kor", "ko"},   {"ko", "ko"},  {"nor", "no"},
        {"nob", "no"},    {"nno", "no"},    {"no", "no"},    {"nb", "no"},  {"nn", "no"},
        {"pol", "pl"},    {"pl", "pl"},     {"por", "pt"},   {"pt", "pt"},  {"ron", "ro"},
        {"rum", "ro"},    {"ro", "ro"},     {"rus", "ru"},   {"ru", "ru"},  {"spa", "es"},
        {"es", "es"},     {"swe", "sv"},    {"sv", "sv"},
    };
    for (const Code& c : kCodes)
        if (iso == c.iso) return c.catalogue;
    return {};
}

bool IsLocalPairCode(std::string_view code)
{
    if (code.empty()) return false;
    for (const PairEntry& e : PairsOf(PairList::Local))
        if (e.dictionaryCode == code) return true;
    return false;
}

std::string LocalPairCode(std::string_view fromIso, std::string_view toIso)
{
    std::string from = CatalogueLanguageCode(fromIso);
    std::string to = CatalogueLanguageCode(toIso);
    if (from.empty() || to.empty()) return {};
    std::string code = from + "_" + to;
    return IsLocalPairCode(code) ? code : std::string();
}

// ---- Words that lost their spaces

namespace {

std::string AsciiLower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool IsUpper(char c)
{
    return c >= 'A' && c <= 'Z';
}
bool IsLower(char c)
{
    return (c >= 'a' && c <= 'z') || static_cast<unsigned char>(c) >= 0x80;
}
bool IsTokenChar(char c)
{
    return IsUpper(c) || IsLower(c) || c == '\'';
}
bool IsContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The fewest pieces; among those the most common small words ("brothers and sisters", not
// "brother sand sisters"), then the words the dictionary itself uses ("at will", not "a twill";
// "are sold", not "a resold"). Empty when the chunk cannot be cut completely.
std::vector<std::string_view> SegmentChunk(std::string_view chunk, bool endsToken,
                                           const WordList& words)
{
    constexpr size_t kMaxChunk = 64;
    if (chunk.size() > kMaxChunk) return {};
    struct Best {
        int count = -1;
        int small = 0;
        double rarest = 0;  // weight of the least used piece
        double weight = 0;
        size_t from = 0;
        bool operator<(const Best& o) const  // worse than
        {
            if (count != o.count) return count > o.count;
            if (small != o.small) return small < o.small;
            if (rarest != o.rarest) return rarest < o.rarest;
            return weight < o.weight;
        }
    };
    std::vector<Best> best(chunk.size() + 1);
    best[0].count = 0;
    best[0].rarest = HUGE_VAL;
    for (size_t i = 1; i <= chunk.size(); ++i) {
        if (i < chunk.size() && IsContinuationByte(chunk[i])) continue;
        for (size_t j = 0; j < i; ++j) {
            if (best[j].count < 0) continue;
            std::string_view piece = chunk.substr(j, i - j);
            // A lowercase chunk before a capital may end in "the" or "a" ("inthe|Cuban|way");
            // a name may not ("Costa" is not "Cost a").
            bool last = i == chunk.size() && (endsToken || IsUpper(chunk[0]));
            if (!words.IsPiece(piece, j == 0, last)) continue;
            double w = words.Weight(piece);
            Best candidate{best[j].count + 1, best[j].small + (words.IsSmall(piece) ? 1 : 0),
                           std::min(best[j].rarest, w), best[j].weight + w, j};
            if (best[i].count < 0 || best[i] < candidate) best[i] = candidate;
        }
    }
    if (best[chunk.size()].count < 2) return {};
    std::vector<std::string_view> pieces;
    for (size_t i = chunk.size(); i > 0; i = best[i].from)
        pieces.insert(pieces.begin(), chunk.substr(best[i].from, i - best[i].from));
    // A name begins with a name, not with "A" or "In" ("Alost", "Indo-China").
    if (IsUpper(chunk[0]) && words.IsSmall(pieces[0])) return {};
    // Two words without a small one between them are mostly a compound the list lacks
    // ("beanpole", "hornbeam"): cut only where the dictionary itself writes the words apart.
    if (std::none_of(pieces.begin(), pieces.end(),
                     [&words](std::string_view p) { return words.IsSmall(p); }))
        for (size_t k = 1; k < pieces.size(); ++k)
            if (!words.KnownBigram(pieces[k - 1], pieces[k])) return {};
    return pieces;
}

// One token ("theFarEast"): its respaced text, or the token itself.
std::string RespaceToken(std::string_view token, const WordList& words)
{
    if (token.size() < 4 || words.Contains(token)) return std::string(token);
    std::vector<std::string_view> chunks;
    size_t start = 0;
    for (size_t i = 1; i < token.size(); ++i)
        if (IsUpper(token[i]) && IsLower(token[i - 1]) && token[i - 1] != '\'') {
            chunks.push_back(token.substr(start, i - start));
            start = i;
        }
    chunks.push_back(token.substr(start));

    std::string out;
    for (size_t c = 0; c < chunks.size(); ++c) {
        std::string_view chunk = chunks[c];
        std::string piece;
        bool capitalized =
            IsUpper(chunk[0]) && std::none_of(chunk.begin() + 1, chunk.end(), IsUpper);
        bool lowerOnly = std::none_of(chunk.begin(), chunk.end(), IsUpper);
        if (words.Contains(chunk)) {
            piece = chunk;
        } else if (std::vector<std::string_view> parts =
                       capitalized || lowerOnly ? SegmentChunk(chunk, c + 1 == chunks.size(), words)
                                                : std::vector<std::string_view>{};
                   !parts.empty()) {
            for (std::string_view part : parts) {
                if (!piece.empty()) piece += ' ';
                piece += part;
            }
        } else if (chunks.size() > 1 && capitalized && chunk.size() >= 3) {
            piece = chunk;  // a name the list lacks ("Costa" in "CostaRica")
        } else {
            return std::string(token);
        }
        if (!out.empty()) out += ' ';
        out += piece;
    }
    return out;
}

}  // namespace

WordList::WordList(std::string_view text, std::string_view languageCode)
{
    for (std::string_view line : SplitLines(text)) {
        line = Trim(line);
        if (line.empty()) continue;
        if (std::any_of(line.begin(), line.end(), IsUpper))
            exact.emplace(line);
        else
            lower.emplace(line);
    }
    // Word lists hold every letter, many abbreviations and rare short words, which would cut
    // real words the list lacks into nonsense ("archimandrite": "arc him and rite"). Pieces
    // shorter than four letters must therefore be common small words.
    // Some never end or begin a phrase, and some endings are suffixes rather than words
    // ("cuddlesome" is not "cuddle some").
    if (languageCode == "en") {
        const char* small =
            "a all am an and any are as at be but by day do for from get go has her him his if "
            "in into is it its let me my new no not now of off old on one or our out put run see "
            "set so than that the them then this to too two up was way we who why with yes you "
            "your";
        const char* notLast =
            "a an and are am as but do has if is its let my no or our than the was your "
            "able ably dom fulness hood ism less ment ments ness ship some ward wards wise";
        const char* notFirst = "and are am but has is me or than was";
        for (std::string_view w : SplitOn(small, " "))
            smallWords.emplace(w);
        for (std::string_view w : SplitOn(notLast, " "))
            notLastWords.emplace(w);
        for (std::string_view w : SplitOn(notFirst, " "))
            notFirstWords.emplace(w);
    }
}

bool WordList::Contains(std::string_view word) const
{
    if (exact.count(std::string(word))) return true;
    return lower.count(AsciiLower(word)) > 0;
}

bool WordList::IsPiece(std::string_view piece, bool first, bool last) const
{
    std::string lowered = AsciiLower(piece);
    if (last && (piece.size() == 1 || notLastWords.count(lowered))) return false;  // "Cost a"
    if (first && notFirstWords.count(lowered)) return false;
    if (smallWords.count(lowered)) return true;
    if (piece.size() < 4) return false;
    // A capital is kept only where the word list has it ("German" in "Germanwoman").
    return lower.count(lowered) > 0 || (first && exact.count(std::string(piece)) > 0);
}

bool WordList::IsSmall(std::string_view piece) const
{
    return smallWords.count(AsciiLower(piece)) > 0;
}

void WordList::NoteBigrams(std::string_view text)
{
    std::string previous;
    size_t i = 0;
    while (i < text.size()) {
        if (!IsTokenChar(text[i])) {
            // A comma or other separator ends the phrase; spaces only separate its words.
            if (text[i] != ' ') previous.clear();
            ++i;
            continue;
        }
        size_t j = i;
        while (j < text.size() && IsTokenChar(text[j]))
            ++j;
        std::string word = AsciiLower(text.substr(i, j - i));
        ++uses[word];
        if (!previous.empty()) bigrams.insert(previous + " " + word);
        previous = std::move(word);
        i = j;
    }
}

double WordList::Weight(std::string_view word) const
{
    auto it = uses.find(AsciiLower(word));
    return std::log1p(it == uses.end() ? 0.0 : static_cast<double>(it->second));
}

bool WordList::KnownBigram(std::string_view first, std::string_view second) const
{
    return bigrams.count(AsciiLower(first) + " " + AsciiLower(second)) > 0;
}

WordList SystemWordList(std::string_view languageCode)
{
    // Only English: the databases with glued words translate into English, and lists of other
    // languages lack too many names and forms to cut safely. American and British spellings
    // both occur ("gramme", "offence").
    if (languageCode != "en") return {};
    std::string all, text;
    for (const char* path : {"/usr/share/dict/american-english", "/usr/share/dict/british-english"})
        if (ReadWholeFile(path, text)) {
            all += text;
            all += '\n';
        }
    return all.empty() ? WordList() : WordList(all, languageCode);
}

std::string Respace(std::string_view text, const WordList& words)
{
    if (words.Empty()) return std::string(text);
    std::string out;
    out.reserve(text.size() + 8);
    size_t i = 0;
    while (i < text.size()) {
        if (!IsTokenChar(text[i])) {
            out += text[i++];
            continue;
        }
        size_t j = i;
        while (j < text.size() && IsTokenChar(text[j]))
            ++j;
        out += RespaceToken(text.substr(i, j - i), words);
        i = j;
    }
    return out;
}

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

bool InflateDictData(std::string_view bytes, std::string& out, std::string& error, size_t maxSize)
{
    out.clear();
    if (bytes.size() > maxSize) {
        error = "the dictionary data is too large";
        return false;
    }
    bool gzip = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1F &&
                static_cast<unsigned char>(bytes[1]) == 0x8B;
    if (!gzip) {
        out.assign(bytes);
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
        if (used == out.size()) {
            if (out.size() >= maxSize) {
                error = "the dictionary data is too large once decompressed";
                break;
            }
            out.resize(
                std::min(maxSize, std::max<size_t>(out.size() * 2, bytes.size() * 3 + 4096)));
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
    out.resize(used);
    return true;
}

namespace {

struct HeadlineMatch {
    std::string original;
    int alternative = -1;  // which " | " alternative of the headline matched, if any
};

HeadlineMatch MatchHeadline(std::string_view article, std::string_view indexHeadword)
{
    std::string_view head = article.substr(0, article.find('\n'));
    // The headword ends where the pronunciation or the grammar tag begins.
    size_t cut = std::min(head.find(" /"), head.find(" <"));
    if (cut != std::string_view::npos) head = head.substr(0, cut);
    std::string cleaned = Normalize(RemoveMarkupGroups(head));

    std::u32string want = FoldKey(indexHeadword);
    if (!cleaned.empty() && FoldKey(cleaned) == want) return {cleaned, -1};
    // A headword that folds to nothing ("...") only matches a headline that does too.
    if (!want.empty()) {
        std::vector<std::string_view> alternatives = SplitOn(cleaned, "|");
        for (size_t a = 0; a < alternatives.size(); ++a)
            for (std::string_view piece : SplitOn(alternatives[a], ",")) {
                piece = Trim(piece);
                if (!piece.empty() && FoldKey(piece) == want)
                    return {std::string(piece), alternatives.size() > 1 ? static_cast<int>(a) : -1};
            }
    }
    return {Normalize(indexHeadword), -1};
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
    std::vector<std::string> senses;
    std::vector<std::string_view> lines = SplitLines(article);
    bool sawMarker = false;
    bool sawBody = false;
    std::string joined;
    for (size_t i = 1; i < lines.size(); ++i) {
        std::string_view line = Trim(lines[i]);
        if (line.empty()) continue;
        std::string_view candidate;
        if (size_t marker = SenseMarkerLength(line)) {
            sawMarker = true;
            candidate = Trim(line.substr(marker));  // empty: a sense with a definition only
        } else if (!sawMarker && !sawBody) {
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
                   WordList words)
{
    pairs.clear();
    entriesRead = 0;
    std::vector<DictdIndexEntry> entries;
    if (!ParseDictdIndex(indexText, entries, error)) return false;
    // Several headwords may share an article.
    std::unordered_map<std::string, std::vector<std::string>> sensesAt;
    for (const DictdIndexEntry& e : entries) {
        if (StartsWith(e.headword, "00database") || StartsWith(e.headword, "00-database")) continue;
        if (e.offset > data.size() || e.length > data.size() - e.offset) {
            error = "index entry '" + Normalize(e.headword) + "' points past the end of the data";
            pairs.clear();
            return false;
        }
        ++entriesRead;
        std::string_view article = data.substr(e.offset, e.length);
        HeadlineMatch match = e.original.empty() ? MatchHeadline(article, e.headword)
                                                 : HeadlineMatch{Normalize(e.original), -1};
        std::string key = std::to_string(e.offset) + ":" + std::to_string(e.length) + ":" +
                          std::to_string(match.alternative);
        auto it = sensesAt.find(key);
        if (it == sensesAt.end()) {
            it = sensesAt.emplace(key, FreeDictSenses(article, match.alternative)).first;
        }
        const std::string& original = match.original;
        if (original.empty()) continue;
        for (const std::string& sense : it->second)
            pairs.push_back({original, sense});
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

// "spa-eng" -> spa, eng; anything else is taken as one (unknown) language.
std::pair<std::string, std::string> LanguagesOfName(std::string name)
{
    std::vector<std::string_view> langs = SplitOn(name, "-");
    if (langs.size() != 2) return {name, ""};
    return {std::string(langs[0]), std::string(langs[1])};
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

std::string DingPairCode(const std::string& path, bool reverse, std::string_view pairCode,
                         std::string& error)
{
    std::string name = FileBaseName(path);
    if (EndsWith(name, ".txt")) name.resize(name.size() - 4);
    auto [from, to] = LanguagesOfName(name);
    if (reverse) std::swap(from, to);
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
    if (!ReadWholeFile(base + ".index", index)) {
        outcome.error = "cannot read " + base + ".index";
        return outcome;
    }
    if (!ReadWholeFile(base + ".dict.dz", compressed) &&
        !ReadWholeFile(base + ".dict", compressed)) {
        outcome.error = "cannot read " + base + ".dict.dz";
        return outcome;
    }
    if (!InflateDictData(compressed, data, outcome.error)) {
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
    OrderForLookup(outcome.pairs);
    if (outcome.pairs.empty()) {
        outcome.error = base + ": no phrase pairs found";
        return outcome;
    }
    outcome.ok = true;
    return outcome;
}

// ---- ding

std::string CleanDingPhrase(std::string_view text)
{
    std::string s = RemoveMarkupGroups(Normalize(text));
    s = RemoveSlashGroups(s);
    // "~Prozesskostenhilfe": a cross-reference up to the next synonym.
    if (s.find('~') != std::string::npos) {
        std::string kept;
        bool skipping = false;
        for (char c : s) {
            if (c == '~') skipping = true;
            if (c == ';') skipping = false;
            if (!skipping) kept += c;
        }
        s = std::move(kept);
    }
    return CleanList(Normalize(s), ';', "; ");
}

namespace {

size_t CountSynonyms(std::string_view side)
{
    return side.empty() ? 0 : 1 + static_cast<size_t>(std::count(side.begin(), side.end(), ';'));
}

// Ranks say how much a pair is the main sense of its original, lowest first: the line's headword
// (the first synonym of its first alternative), then the other synonyms of the first
// alternative, then the first synonym of a later alternative (a plural, a phrase), then the
// rest. The file is sorted by its left side, whose main senses come first; its right side is in
// no useful order, so reversed pairs also rank by how plain they are: the shorter first word
// ("dog" is "Hund" before "Schlepphaken": a German compound is mostly the special case), then
// fewer synonyms on either side.
void AppendDingLinePairs(std::string_view line, bool reverse, bool splitSynonyms,
                         std::vector<PhrasePair>& pairs, std::vector<uint64_t>& ranks)
{
    if (line.empty() || line.front() == '#') return;
    size_t sep = line.find(" :: ");
    if (sep == std::string_view::npos) return;
    std::vector<std::string_view> left = SplitOn(line.substr(0, sep), " | ");
    std::vector<std::string_view> right = SplitOn(line.substr(sep + 4), " | ");
    size_t n = std::min(left.size(), right.size());
    for (size_t i = 0; i < n; ++i) {
        PhrasePair p{CleanDingPhrase(left[i]), CleanDingPhrase(right[i])};
        if (reverse) std::swap(p.original, p.translation);
        if (p.original.empty() || p.translation.empty()) continue;
        uint64_t rank = uint64_t{i == 0 ? 0u : 2u} << 48;
        if (reverse) {
            std::string_view first = p.translation.substr(0, p.translation.find(';'));
            rank |= std::min<uint64_t>(first.size(), 0xFFFF) << 32 |
                    std::min<uint64_t>(CountSynonyms(p.translation), 0xFFFF) << 16 |
                    std::min<uint64_t>(CountSynonyms(p.original), 0xFFFF);
        }
        if (!splitSynonyms) {
            pairs.push_back(std::move(p));
            ranks.push_back(rank);
            continue;
        }
        for (std::string_view synonym : SplitOn(p.original, "; ")) {
            pairs.push_back({std::string(synonym), p.translation});
            ranks.push_back(rank);
            rank |= uint64_t{1} << 48;
        }
    }
}

}  // namespace

std::vector<PhrasePair> DingLinePairs(std::string_view line, bool reverse, bool splitSynonyms)
{
    std::vector<PhrasePair> pairs;
    std::vector<uint64_t> ranks;
    AppendDingLinePairs(line, reverse, splitSynonyms, pairs, ranks);
    return pairs;
}

ImportOutcome ImportDingText(std::string_view text, bool reverse, bool splitSynonyms)
{
    ImportOutcome outcome;
    std::vector<uint64_t> ranks;
    for (std::string_view line : SplitLines(text)) {
        if (line.empty() || line.front() == '#') continue;
        ++outcome.entriesRead;
        AppendDingLinePairs(line, reverse, splitSynonyms, outcome.pairs, ranks);
    }
    OrderForLookup(outcome.pairs, ranks);
    if (outcome.pairs.empty()) {
        outcome.error = "no 'German :: English' lines found";
        return outcome;
    }
    outcome.ok = true;
    return outcome;
}

ImportOutcome ImportDing(const std::string& path, bool reverse, bool splitSynonyms,
                         std::string_view pairCode)
{
    ImportOutcome outcome;
    std::string code = DingPairCode(path, reverse, pairCode, outcome.error);
    if (code.empty()) return outcome;
    std::string text;
    if (!ReadWholeFile(path, text)) {
        outcome.error = "cannot read " + path;
        return outcome;
    }
    outcome = ImportDingText(text, reverse, splitSynonyms);
    outcome.dictionaryCode = code;
    if (!outcome.ok) outcome.error = path + ": " + outcome.error;
    return outcome;
}

// ---- Output

void OrderForLookup(std::vector<PhrasePair>& pairs, const std::vector<uint64_t>& ranks)
{
    // Group number of each pair, numbered by first appearance of its original.
    std::unordered_map<std::string_view, uint32_t> groupOf;
    groupOf.reserve(pairs.size());
    std::vector<uint32_t> group(pairs.size());
    std::vector<uint32_t> groupSize;
    for (size_t i = 0; i < pairs.size(); ++i) {
        auto [it, added] =
            groupOf.try_emplace(pairs[i].original, static_cast<uint32_t>(groupSize.size()));
        if (added) groupSize.push_back(0);
        group[i] = it->second;
        ++groupSize[it->second];
    }
    // Counting sort of the pair indices by group, keeping the order within each group.
    std::vector<uint32_t> start(groupSize.size() + 1, 0);
    for (size_t g = 0; g < groupSize.size(); ++g)
        start[g + 1] = start[g] + groupSize[g];
    std::vector<uint32_t> order(pairs.size());
    std::vector<uint32_t> fill(start.begin(), start.end() - 1);
    for (size_t i = 0; i < pairs.size(); ++i)
        order[fill[group[i]]++] = static_cast<uint32_t>(i);

    std::vector<PhrasePair> out;
    out.reserve(pairs.size());
    std::vector<uint32_t> kept;
    std::unordered_set<std::string_view> seen;
    for (size_t g = 0; g < groupSize.size(); ++g) {
        kept.clear();
        seen.clear();
        if (ranks.size() == pairs.size())
            std::stable_sort(order.begin() + start[g], order.begin() + start[g + 1],
                             [&ranks](uint32_t a, uint32_t b) { return ranks[a] < ranks[b]; });
        for (uint32_t k = start[g]; k < start[g + 1]; ++k) {
            const std::string& t = pairs[order[k]].translation;
            if (seen.insert(t).second) kept.push_back(order[k]);
        }
        for (auto it = kept.rbegin(); it != kept.rend(); ++it)
            out.push_back(std::move(pairs[*it]));
    }
    pairs = std::move(out);
}

std::string FormatPhrasePairs(const std::vector<PhrasePair>& pairs)
{
    std::string text;
    size_t size = 0;
    for (const PhrasePair& p : pairs)
        size += p.original.size() + p.translation.size() + 2;
    text.reserve(size);
    auto append = [&text](const std::string& value) {
        for (char c : value)
            text += (c == '\n' || c == '\r') ? ' ' : c;
    };
    for (const PhrasePair& p : pairs) {
        if (p.original.empty() || p.translation.empty()) continue;
        if (!text.empty()) text += kLineEnd;
        append(p.original);
        text += kLineEnd;
        append(p.translation);
    }
    if (!CodePageIsUtf8()) text = Utf8ToCodePage(text);
    return text;
}

bool WritePhrasePairs(const std::string& path, const std::vector<PhrasePair>& pairs,
                      std::string& error)
{
    if (!AtomicWriteFile(path, FormatPhrasePairs(pairs))) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

// ---- Synthetic data

std::vector<PhrasePair> SyntheticPairs(size_t count, uint64_t seed)
{
    static const char* const kLetters[] = {
        "a",        "b",        "c",        "d",        "e",        "f",       "g", "h", "i",
        "j",        "k",        "l",        "m",        "n",        "o",       "p", "q", "r",
        "s",        "t",        "u",        "v",        "w",        "x",       "y", "z", "\xC3\xA1",
        "\xC3\xA9", "\xC3\xAD", "\xC3\xB1", "\xC3\xB3", "\xC3\xBA", "\xC3\xBC"};
    SplitMix rng{seed};
    auto phrase = [&rng]() {
        std::string s;
        unsigned words = 1 + rng.Below(4);
        for (unsigned w = 0; w < words; ++w) {
            if (w > 0) s += ' ';
            unsigned letters = 2 + rng.Below(8);
            for (unsigned k = 0; k < letters; ++k) {
                // One letter in 25 accented.
                unsigned pick = rng.Below(25) == 0 ? 26 + rng.Below(7) : rng.Below(26);
                s += kLetters[pick];
            }
        }
        return s;
    };
    std::vector<PhrasePair> pairs;
    pairs.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        std::string original = phrase();
        pairs.push_back({std::move(original), phrase()});
    }
    return pairs;
}
