#pragma once
// The ding format of trans-de-en ("German :: English" lines).
#include <string>
#include <string_view>
#include <vector>

#include "importer/PhrasePairs.h"

namespace talvero {

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

// More pairs or text than the loader takes fail (`limits`).
ImportOutcome ImportDingText(std::string_view text, bool reverse, bool splitSynonyms = false,
                             const ImportLimits& limits = {});

// As FreeDictPairCode, for a ding file ("de-en" -> "de_en", reversed "en_de").
std::string DingPairCode(const std::string& path, bool reverse, std::string_view pairCode,
                         std::string& error);

// Imports "/usr/share/trans/de-en"; the pair code comes from the file name ("de-en" -> "de_en",
// reversed "en_de") unless `pairCode` is given.
ImportOutcome ImportDing(const std::string& path, bool reverse, bool splitSynonyms = false,
                         std::string_view pairCode = {});

}  // namespace talvero
