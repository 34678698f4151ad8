#pragma once
// What travels over the wire: form bodies in, the services' pages out, and the character set of
// both. Free functions without any server, so that each rule is tested by itself.
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "gateway/Languages.h"

namespace talvero {

// The three translation forms, by the path each is posted to.
enum class FormService { Google, Babelfish, FreeTranslation };

// "/translate_t", "/translate_txt", "/".
const char* FormPath(FormService service);

// application/x-www-form-urlencoded: "+" is a blank, "%XX" a byte; a "%" not followed by two
// hex digits stays as it is. Field names repeat at will; the first value counts.
std::string PercentDecode(std::string_view text);
std::multimap<std::string, std::string> ParseForm(std::string_view body);

// One posted translation form, read: the pair in Apertium's codes and the text (the bytes as
// sent), or why it cannot be translated.
struct TranslationRequest {
    std::optional<ApertiumPair> pair;
    std::string text;
    std::string problem;  // set when `pair` is empty
};
TranslationRequest ReadTranslationForm(FormService service, std::string_view body);

// The program posts its code page's bytes: UTF-8 on a normal desktop, Windows-1252 where it
// reads dictionaries written on Windows. Text that is not UTF-8 is taken as Windows-1252.
bool IsUtf8(std::string_view text);
std::string Windows1252ToUtf8(std::string_view text);
// Characters Windows-1252 lacks become "?".
std::string Utf8ToWindows1252(std::string_view utf8);

// `text` safe to print on a terminal: tab, line breaks and backslash as \t \n \r \\, every
// other control byte (C0, DEL) and every byte outside well-formed UTF-8 as \xHH, and the C1
// controls (U+0080 to U+009F) as \u00HH. Whatever an uploader sent cannot drive the terminal.
std::string PrintableText(std::string_view text);

// "&", "<" and ">" as entities: the translation can never close the marker around it.
std::string HtmlEscape(std::string_view text);

// The service's page with `translation` (already in the reply's character set) escaped between
// the markers the translator cuts it out of.
std::string ResultPage(FormService service, std::string_view translation);
// A page without the markers, so that the translator fails and its box keeps its text.
std::string ErrorPage(std::string_view message);

// "/autoupdate.html": the marker, one blank, the version in six digits.
std::string UpdatePage(int version);

}  // namespace talvero
