#include "base/CodePage.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>

namespace talvero {

namespace {

std::mutex cacheMutex;
std::string cachedName;

std::string DetectCodePage()
{
    if (const char* env = std::getenv("TALVERO_CODEPAGE"); env && *env) return env;
    // Ask the environment's locale, whether or not the process called setlocale.
    locale_t loc = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    std::string name;
    if (loc) {
        name = nl_langinfo_l(CODESET, loc);
        freelocale(loc);
    }
    // The C locale reports ASCII; treat it as UTF-8, which it is a subset of and which every
    // desktop uses.
    if (name.empty() || name == "ANSI_X3.4-1968" || name == "ASCII") name = "UTF-8";
    return name;
}

// Converts with iconv; an unconvertible or invalid input unit becomes `repl`. `unit` is the size
// of one input character (0: UTF-8, variable).
std::string Convert(std::string_view text, const char* from, const char* to, std::string_view repl,
                    size_t unit = 1)
{
    if (text.empty()) return {};
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(text);
    std::string out;
    out.resize(text.size() * 4 + 16);
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    while (inLeft > 0) {
        size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        if (rc != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) {
            size_t used = static_cast<size_t>(outPtr - out.data());
            out.resize(out.size() * 2);
            outPtr = out.data() + used;
            outLeft = out.size() - used;
            continue;
        }
        // EILSEQ / EINVAL: skip one input byte and put a replacement.
        size_t rlen = repl.size();
        if (outLeft < rlen + 8) {
            size_t used = static_cast<size_t>(outPtr - out.data());
            out.resize(out.size() * 2 + 16);
            outPtr = out.data() + used;
            outLeft = out.size() - used;
        }
        for (size_t i = 0; i < rlen; ++i)
            *outPtr++ = repl[i];
        outLeft -= rlen;
        size_t step = unit;
        if (unit == 0) {  // UTF-8 input: skip the whole sequence of the character
            unsigned char lead = static_cast<unsigned char>(*in);
            step = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
            for (size_t k = 1; k < step && k < inLeft; ++k)
                if ((static_cast<unsigned char>(in[k]) & 0xC0) != 0x80) step = k;
        }
        size_t skip = inLeft < step ? inLeft : step;
        in += skip;
        inLeft -= skip;
    }
    out.resize(static_cast<size_t>(outPtr - out.data()));
    iconv_close(cd);
    return out;
}

}  // namespace

std::string CodePageName()
{
    std::lock_guard<std::mutex> lock(cacheMutex);
    if (cachedName.empty()) cachedName = DetectCodePage();
    return cachedName;
}

bool CodePageIsUtf8()
{
    std::string n = CodePageName();
    return n == "UTF-8" || n == "utf-8" || n == "UTF8" || n == "utf8";
}

void ResetCodePageForTesting()
{
    std::lock_guard<std::mutex> lock(cacheMutex);
    cachedName.clear();
}

constexpr std::string_view kUtf8Replacement = "\xEF\xBF\xBD";

std::string CodePageToUtf8(std::string_view text)
{
    return Convert(text, CodePageName().c_str(), "UTF-8", kUtf8Replacement);
}

std::string Utf8ToCodePage(std::string_view utf8)
{
    if (CodePageIsUtf8()) return Convert(utf8, "UTF-8", "UTF-8", kUtf8Replacement);
    return Convert(utf8, "UTF-8", CodePageName().c_str(), "?", 0);
}

std::string Utf16ToCodePage(std::string_view bytes, bool bigEndian)
{
    bytes = bytes.substr(0, bytes.size() & ~size_t{1});
    const char* from = bigEndian ? "UTF-16BE" : "UTF-16LE";
    if (CodePageIsUtf8()) return Convert(bytes, from, "UTF-8", kUtf8Replacement, 2);
    return Convert(bytes, from, CodePageName().c_str(), "?", 2);
}

std::wstring CodePageToWide(std::string_view text)
{
    const wchar_t q = L'?';
    std::string utf32 = Convert(text, CodePageName().c_str(), "WCHAR_T",
                                std::string_view(reinterpret_cast<const char*>(&q), sizeof q));
    return std::wstring(reinterpret_cast<const wchar_t*>(utf32.data()),
                        utf32.size() / sizeof(wchar_t));
}

std::string WideToCodePage(std::wstring_view wide)
{
    std::string_view bytes(reinterpret_cast<const char*>(wide.data()),
                           wide.size() * sizeof(wchar_t));
    return Convert(bytes, "WCHAR_T", CodePageName().c_str(),
                   CodePageIsUtf8() ? kUtf8Replacement : std::string_view("?"), sizeof(wchar_t));
}

std::string CodePageChar(char32_t codePoint)
{
    std::wstring w(1, static_cast<wchar_t>(codePoint));
    return WideToCodePage(w);
}

}  // namespace talvero
