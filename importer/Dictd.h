#pragma once
// FreeDict databases in dictd format (freedict-XXX-YYY.index + .dict.dz).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "importer/PhrasePairs.h"
#include "importer/Respace.h"

namespace talvero {

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
// Fails on corrupt or truncated data and when the result would exceed `maxSize`. Decompression
// stops once `needed` bytes are out (the end of the last article the index points at): the rest
// is never inflated, however large it would grow.
inline constexpr size_t kMaxDictDataSize = kMaxImportDataSize;
bool InflateDictData(std::string_view fileBytes, std::string& out, std::string& error,
                     size_t maxSize = kMaxDictDataSize, size_t needed = SIZE_MAX);

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
// An article many entries point at has its headline and senses worked out once; more pairs or
// text than the loader takes fail (`limits`).
bool FreeDictPairs(std::string_view indexText, std::string_view data,
                   std::vector<PhrasePair>& pairs, size_t& entriesRead, std::string& error,
                   WordList words = {}, const ImportLimits& limits = {});

// The pair code an import of `source` gives: `pairCode` when one is given (it must be in the
// local list), otherwise the one its file name names ("freedict-spa-eng" -> "es_en"). "" with
// `error` when there is none.
std::string FreeDictPairCode(const std::string& source, std::string_view pairCode,
                             std::string& error);

// Imports "/usr/share/dictd/freedict-spa-eng" (also accepted with ".index" or ".dict.dz"). The
// pair code comes from the file name unless `pairCode` is given. Translations that lost their
// spaces are mended with the system word list of the target language, when one is installed.
ImportOutcome ImportFreeDict(const std::string& source, std::string_view pairCode = {});

}  // namespace talvero
