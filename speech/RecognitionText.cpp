#include "speech/RecognitionText.h"

#include <locale.h>

#include <cwctype>

#include "base/CodePage.h"
#include "base/TextFile.h"

namespace talvero {

namespace {

struct Punctuation {
    char32_t before;  // 0: nothing in front
    const char* after;
};

const Punctuation kPatterns[] = {
    {0, "?"}, {U'\u00BF', "?"}, {0, " ?"}, {0, ";"}, {0, "!"}, {U'\u00A1', "!"}, {0, "."},
};

}  // namespace

std::string TidyRecognizedText(std::string_view text, bool uppercaseFirst, int pattern)
{
    std::string result(TrimWhiteSpace(text));
    if (uppercaseFirst && !result.empty()) {
        std::wstring wide = CodePageToWide(result);
        if (!wide.empty()) {
            // Case mapping of the whole of Unicode, whatever locale the process runs in.
            static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
            wint_t first = static_cast<wint_t>(wide[0]);
            wide[0] =
                static_cast<wchar_t>(unicode ? towupper_l(first, unicode) : std::towupper(first));
            result = WideToCodePage(wide);
        }
    }
    if (pattern >= 0 && pattern < static_cast<int>(std::size(kPatterns))) {
        const Punctuation& p = kPatterns[pattern];
        if (p.before) result = CodePageChar(p.before) + result;
        result += p.after;
    }
    return result;
}

}  // namespace talvero
