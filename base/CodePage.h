#pragma once
// The program's 8-bit code page: phrases are byte strings in it. It is the locale's character
// set unless TALVERO_CODEPAGE names another (e.g. CP1252 for dictionary files written on
// Windows). Conversions happen only at the edges (controls, clipboard, speech).
#include <string>
#include <string_view>

namespace talvero {

// Name of the code page in iconv's spelling, e.g. "UTF-8" or "CP1252".
std::string CodePageName();
bool CodePageIsUtf8();

// Conversions; characters that the target cannot hold become '?'. Invalid input bytes are
// replaced, never a reason to fail.
std::string CodePageToUtf8(std::string_view text);

std::string Utf8ToCodePage(std::string_view utf8);
// UTF-16 text (no byte-order mark) to the code page; a dangling last byte is dropped.
std::string Utf16ToCodePage(std::string_view bytes, bool bigEndian);
std::wstring CodePageToWide(std::string_view text);
std::string WideToCodePage(std::wstring_view wide);

// One character (a Unicode code point) as bytes of the code page: "\xBF" for U+00BF in CP1252,
// "\xC2\xBF" in UTF-8.
std::string CodePageChar(char32_t codePoint);

// For tests: forget the cached code page so that a changed TALVERO_CODEPAGE takes effect.
void ResetCodePageForTesting();

}  // namespace talvero
