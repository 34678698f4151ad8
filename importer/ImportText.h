#pragma once
// Text helpers the importers share (UTF-8). Internal to the importer library.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace talvero {

namespace importer {

bool IsSpace(char c);
std::string_view Trim(std::string_view s);
// Control characters become spaces, typographic hyphens (U+2010, U+2011) the hyphen one types,
// no-break spaces plain ones; runs of spaces collapse and the ends are trimmed. Nothing that
// comes out of here can break a line of the phrase-pair file.
std::string Normalize(std::string_view s);
// Removes balanced groups such as "(...)" (nested ones included), leaving a space where each
// was. An opener without its closer, or a closer without an opener, stays as text.
std::string RemoveGroups(std::string_view s, char open, char close);
// (...), [...], {...} and <...>.
std::string RemoveMarkupGroups(std::string_view s);
// Removes abbreviation marks such as " /NBCRV/"; "and/or" and "km/h" stay.
std::string RemoveSlashGroups(std::string_view s);
// Splits at `separator` (a comma only where a space or the end follows), trims the pieces, drops
// empty and repeated ones and joins the rest with `joiner`.
std::string CleanList(std::string_view s, char separator, std::string_view joiner);
// Case- and punctuation-blind key of a headword, as dictd folds its index.
std::u32string FoldKey(std::string_view s);
bool StartsWith(std::string_view s, std::string_view prefix);
bool EndsWith(std::string_view s, std::string_view suffix);
std::vector<std::string_view> SplitOn(std::string_view s, std::string_view separator);
std::string FileBaseName(std::string_view path);
// "spa-eng" -> spa, eng; anything else is taken as one (unknown) language.
std::pair<std::string, std::string> LanguagesOfName(std::string name);
// The pair code for "spa-eng"-like names; an explicit code wins but must be in the local list.
bool ResolvePairCode(std::string_view from, std::string_view to, std::string_view explicitCode,
                     std::string& code, std::string& error);

}  // namespace importer

}  // namespace talvero
