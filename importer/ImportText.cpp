#include "importer/ImportText.h"

#include <algorithm>
#include <unordered_set>

#include "importer/Languages.h"

namespace talvero {

namespace importer {

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

namespace {

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

}  // namespace

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

// "spa-eng" -> spa, eng; anything else is taken as one (unknown) language.
std::pair<std::string, std::string> LanguagesOfName(std::string name)
{
    std::vector<std::string_view> langs = SplitOn(name, "-");
    if (langs.size() != 2) return {name, ""};
    return {std::string(langs[0]), std::string(langs[1])};
}

}  // namespace importer

}  // namespace talvero
