#pragma once
// How a final recognition is tidied before it goes into the input and the history.
#include <string>
#include <string_view>

namespace talvero {

// `text` (code page) trimmed, with its first character in upper case when `uppercaseFirst`,
// and with the punctuation of pattern `pattern`, a position in the dictation's pattern list
// ("Text?", "¿Text?", "Text ?", "Text;", "Text!", "¡Text!", "Text."); any other number adds
// none. "¿" and "¡" are characters of the code page.
std::string TidyRecognizedText(std::string_view text, bool uppercaseFirst, int pattern);

}  // namespace talvero
