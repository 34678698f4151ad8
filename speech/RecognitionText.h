#pragma once
// How a final recognition is tidied before it goes into the input and the history.
#include <string>
#include <string_view>
#include <vector>

// The punctuation patterns of the dictation list, in list order ("Text?", "¿Text?", ...), as
// text of the program's code page.
std::vector<std::string> PunctuationPatterns();

// `text` (code page) trimmed, with its first character in upper case when `uppercaseFirst`,
// and with the punctuation of pattern `pattern` (an index into PunctuationPatterns; anything
// else adds none).
std::string TidyRecognizedText(std::string_view text, bool uppercaseFirst, int pattern);
