#include "importer/Respace.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/TextFile.h"
#include "importer/ImportText.h"

namespace talvero {

using namespace importer;

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

}  // namespace talvero
