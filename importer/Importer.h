#pragma once
// Converts dictionaries that Debian packages into phrase-pair files ("localdictionary_xx_yy.txt"):
// FreeDict databases in dictd format (freedict-XXX-YYY.index + .dict.dz) and the ding format
// of trans-de-en ("German :: English" lines). The importers work on UTF-8 text; the phrase-pair
// text is converted to the program's code page only when it is formatted for writing.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

struct PhrasePair {
    std::string original;
    std::string translation;
    bool operator==(const PhrasePair&) const = default;
};

struct ImportOutcome {
    bool ok = false;
    std::string error;              // one line, when !ok
    std::string dictionaryCode;     // the catalogue's pair code, e.g. "es_en"
    std::vector<PhrasePair> pairs;  // UTF-8, in the order they are to be written
    size_t entriesRead = 0;         // index entries or ding lines read
};

// ---- Languages

// The catalogue's language code for an ISO 639-3, 639-2/B or 639-1 code ("spa", "es" -> "es";
// "nld", "dut", "nl" -> "du"), or "" for a language the catalogue does not have.
std::string CatalogueLanguageCode(std::string_view isoCode);

// The local list's pair code for two ISO codes ("spa", "eng" -> "es_en"), or "" when either
// language is unknown or the pair is not in the local list.
std::string LocalPairCode(std::string_view fromIso, std::string_view toIso);

// True when `code` is the dictionary code of a pair in the local list.
bool IsLocalPairCode(std::string_view code);

// ---- Words that lost their spaces

// Some FreeDict databases lost the spaces of many phrases ("ontheleft", "theFarEast",
// "goodmorning"). With a word list of the language they are split again.
class WordList {
public:
    WordList() = default;
    // `text`: one word a line, as in /usr/share/dict; `languageCode` ("en", "es") selects the
    // common small words that may stand between others.
    WordList(std::string_view text, std::string_view languageCode);
    bool Empty() const { return lower.empty() && exact.empty(); }
    // A word of the list as written, or one whose lowercase form is a lowercase entry.
    bool Contains(std::string_view word) const;
    // A piece of a glued token: a common small word, or a listed word of four letters or
    // more (capitalized as listed only at the start of the token).
    bool IsPiece(std::string_view piece, bool first, bool last) const;
    bool IsSmall(std::string_view piece) const;
    // Learns which words the text uses, and which side by side (within a comma-separated item).
    void NoteBigrams(std::string_view text);
    bool KnownBigram(std::string_view first, std::string_view second) const;
    // How much the noted text uses a word: log(1 + uses).
    double Weight(std::string_view word) const;

private:
    std::unordered_set<std::string> lower;
    std::unordered_set<std::string> exact;
    std::unordered_set<std::string> smallWords;
    std::unordered_set<std::string> notLastWords;
    std::unordered_set<std::string> notFirstWords;
    std::unordered_set<std::string> bigrams;
    std::unordered_map<std::string, uint32_t> uses;
};

// The installed Debian word lists of a catalogue language (English only: wamerican and
// wbritish); empty for other languages and when none is installed.
WordList SystemWordList(std::string_view languageCode);

// Splits the glued words of a translation: a token that is not in the list is cut where a small
// letter meets a capital and into listed words ("intheCubanway" -> "in the Cuban way"); words
// without a small one between them only where KnownBigram says so. Tokens that cannot be cut
// completely stay as they are. An empty list changes nothing.
std::string Respace(std::string_view text, const WordList& words);

// ---- dictd / FreeDict

// Decodes one of dictd's base64 numbers (most significant digit first, no padding). False for an
// empty text, a character outside the alphabet or a value above 2^48.
bool DecodeDictdNumber(std::string_view digits, uint64_t& value);

struct DictdIndexEntry {
    std::string headword;
    uint64_t offset = 0;
    uint64_t length = 0;
    std::string original;  // the optional fourth field: the headword before dictd folded it
};

// Parses a whole .index file ("headword<TAB>offset<TAB>length[<TAB>original]" lines). Fails on
// the first malformed line, naming it. Empty lines are ignored.
bool ParseDictdIndex(std::string_view text, std::vector<DictdIndexEntry>& entries,
                     std::string& error);

// The uncompressed data of a .dict.dz (one or more gzip members; dictzip is gzip with an extra
// field). Bytes that do not start with the gzip magic are taken as an uncompressed .dict.
// Fails on corrupt or truncated data and when the result would exceed `maxSize`.
inline constexpr size_t kMaxDictDataSize = size_t{1} << 30;
bool InflateDictData(std::string_view fileBytes, std::string& out, std::string& error,
                     size_t maxSize = kMaxDictDataSize);

// The original for an article: the spelling of its headline (pronunciation, part of speech and
// labels removed) that matches the index headword once case and punctuation are ignored, so that
// "Barbar" keeps its capital; the index headword itself when nothing matches.
std::string FreeDictOriginal(std::string_view article, std::string_view indexHeadword);

// The article's senses, each one cleaned translation ("bike, cycle, bicycle"), in article order.
// A sense's translation is the text of its numbered line, or the first line after the headline
// when nothing is numbered; the lines after it (definitions, notes, examples) are not
// translations. Grammar tags <...>, labels [...], notes (...) and stray sense numbers go.
// Senses with " | " alternatives parallel to the headline's ("Schneider, | Schneiderin" for
// "modisto, | modista") give the `alternative`-th one; -1 keeps them all.
std::vector<std::string> FreeDictSenses(std::string_view article, int alternative = -1);

// Pairs of a whole database: every index entry (except the 00database... meta entries) gives its
// original with each sense of its article. Fails when an entry points outside the data.
// `words` (of the target language) mends translations that lost their spaces, after learning
// which words the database's own translations write apart.
bool FreeDictPairs(std::string_view indexText, std::string_view data,
                   std::vector<PhrasePair>& pairs, size_t& entriesRead, std::string& error,
                   WordList words = {});

// The pair code an import of `source` gives: `pairCode` when one is given (it must be in the
// local list), otherwise the one its file name names ("freedict-spa-eng" -> "es_en"). "" with
// `error` when there is none.
std::string FreeDictPairCode(const std::string& source, std::string_view pairCode,
                             std::string& error);

// Imports "/usr/share/dictd/freedict-spa-eng" (also accepted with ".index" or ".dict.dz"). The
// pair code comes from the file name unless `pairCode` is given. Translations that lost their
// spaces are mended with the system word list of the target language, when one is installed.
ImportOutcome ImportFreeDict(const std::string& source, std::string_view pairCode = {});

// ---- ding (trans-de-en)

// One side's alternative cleaned of markup: {f} {pl} {vt}, [Am.] [coll.], (notes), <old
// spellings>, /ABBR/ and ~references go; synonyms stay, joined by "; ".
std::string CleanDingPhrase(std::string_view text);

// The pairs of one line: both sides split on " | " in parallel, each alternative one pair.
// Comments ('#') and lines without " :: " give none. `reverse` makes the right side original.
// An import ranks the line's headword above its other synonyms and alternatives when it picks
// the main sense of an original that several lines have.
// `splitSynonyms` gives each synonym of the original side ("Aas; Aasfleisch") a pair of its
// own with the whole translation, so that each can be looked up.
std::vector<PhrasePair> DingLinePairs(std::string_view line, bool reverse,
                                      bool splitSynonyms = false);

ImportOutcome ImportDingText(std::string_view text, bool reverse, bool splitSynonyms = false);

// As FreeDictPairCode, for a ding file ("de-en" -> "de_en", reversed "en_de").
std::string DingPairCode(const std::string& path, bool reverse, std::string_view pairCode,
                         std::string& error);

// Imports "/usr/share/trans/de-en"; the pair code comes from the file name ("de-en" -> "de_en",
// reversed "en_de") unless `pairCode` is given.
ImportOutcome ImportDing(const std::string& path, bool reverse, bool splitSynonyms = false,
                         std::string_view pairCode = {});

// ---- Output

// Groups the pairs of each original together (originals in order of first appearance), drops
// repeated translations of an original and puts its main sense last: when the dictionary is
// loaded a later pair of the same original replaces an earlier one, so the main sense is the
// one a lookup answers with. The main sense is the first pair of the lowest rank (`ranks`,
// parallel to `pairs`; without ranks, the first pair).
void OrderForLookup(std::vector<PhrasePair>& pairs, const std::vector<uint64_t>& ranks = {});

// The phrase-pair text in the program's code page: lines alternate original and translation,
// no line end after the last. Pairs with an empty side are left out.
std::string FormatPhrasePairs(const std::vector<PhrasePair>& pairs);

// Writes FormatPhrasePairs atomically. False (with an error line) when the file cannot be written.
bool WritePhrasePairs(const std::string& path, const std::vector<PhrasePair>& pairs,
                      std::string& error);

// ---- Synthetic data

// `count` pairs of 1 to 4 random words a side (lowercase letters, some accented), in random
// order, the same for the same seed on every machine. For load and lookup benchmarks.
std::vector<PhrasePair> SyntheticPairs(size_t count, uint64_t seed);
