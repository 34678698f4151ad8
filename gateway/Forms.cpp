#include "gateway/Forms.h"

#include <array>
#include <cstdio>

#include "base/Utf8.h"
#include "web/Translators.h"

namespace talvero {

namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string First(const std::multimap<std::string, std::string>& form, const char* name)
{
    auto it = form.find(name);
    return it == form.end() ? std::string() : it->second;
}

// Windows-1252's bytes 0x80 to 0x9F; 0 where the code page leaves the byte undefined.
constexpr std::array<char16_t, 32> kHighControls{
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Length of the well-formed UTF-8 sequence at `at` (overlong forms, surrogates and values past
// U+10FFFF are not), with its code point; 0 when there is none.
size_t DecodeUtf8(std::string_view text, size_t at, char32_t& c)
{
    auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char b = byte(at);
    size_t length;
    char32_t minimum;
    if (b < 0x80) {
        c = b;
        return 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
        length = 2, c = b & 0x1F, minimum = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3, c = b & 0x0F, minimum = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4, c = b & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
        c = (c << 6) | (byte(at + i) & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    return length;
}

std::string Page(std::string_view title, std::string_view body)
{
    std::string page = "<html><head><title>";
    page += title;
    page += "</title></head><body>\n";
    page += body;
    page += "\n</body></html>\n";
    return page;
}

}  // namespace

const char* FormPath(FormService service)
{
    switch (service) {
        case FormService::Google:
            return "/translate_t";
        case FormService::Babelfish:
            return "/translate_txt";
        case FormService::FreeTranslation:
            return "/";
    }
    return "/";
}

std::string PercentDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
                   HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

std::multimap<std::string, std::string> ParseForm(std::string_view body)
{
    std::multimap<std::string, std::string> form;
    while (!body.empty()) {
        size_t end = body.find('&');
        std::string_view field = body.substr(0, end);
        body = end == std::string_view::npos ? std::string_view() : body.substr(end + 1);
        if (field.empty()) continue;
        size_t eq = field.find('=');
        std::string_view name = field.substr(0, eq);
        std::string_view value = eq == std::string_view::npos ? "" : field.substr(eq + 1);
        form.emplace(PercentDecode(name), PercentDecode(value));
    }
    return form;
}

TranslationRequest ReadTranslationForm(FormService service, std::string_view body)
{
    auto form = ParseForm(body);
    TranslationRequest request;
    std::string code;
    switch (service) {
        case FormService::Google:
            code = First(form, "langpair");
            request.pair = PairFromGoogleCode(code);
            request.text = First(form, "text");
            break;
        case FormService::Babelfish:
            code = First(form, "lp");
            request.pair = PairFromBabelfishCode(code);
            request.text = First(form, "trtext");
            break;
        case FormService::FreeTranslation:
            code = First(form, "Language");
            request.pair = PairFromFreeTranslationName(code);
            request.text = First(form, "SrcText");
            break;
    }
    if (!request.pair) {
        request.problem = code.empty() ? "No language pair was chosen."
                                       : "No such language pair: " + code.substr(0, 64);
    }
    return request;
}

bool IsUtf8(std::string_view text)
{
    char32_t c;
    for (size_t at = 0; at < text.size();) {
        size_t length = DecodeUtf8(text, at, c);
        if (length == 0) return false;
        at += length;
    }
    return true;
}

std::string Windows1252ToUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    for (char byte : text) {
        auto b = static_cast<unsigned char>(byte);
        char32_t c = b;
        if (b >= 0x80 && b < 0xA0) c = kHighControls[b - 0x80] ? kHighControls[b - 0x80] : '?';
        AppendUtf8(out, c);
    }
    return out;
}

std::string Utf8ToWindows1252(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    char32_t c;
    for (size_t at = 0; at < utf8.size();) {
        size_t length = DecodeUtf8(utf8, at, c);
        if (length == 0) {
            out += '?';
            ++at;
            continue;
        }
        at += length;
        char byte = '?';
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            byte = static_cast<char>(c);
        } else {
            for (size_t i = 0; i < kHighControls.size(); ++i)
                if (kHighControls[i] && kHighControls[i] == c) byte = static_cast<char>(0x80 + i);
        }
        out += byte;
    }
    return out;
}

std::string PrintableText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    char hex[16];
    char32_t c;
    for (size_t at = 0; at < text.size();) {
        size_t length = DecodeUtf8(text, at, c);
        if (length == 0) {
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(text[at]));
            out += hex;
            ++at;
            continue;
        }
        if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\\')
            out += "\\\\";
        else if (c < 0x20 || c == 0x7F) {
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(c));
            out += hex;
        } else if (c >= 0x80 && c <= 0x9F) {
            std::snprintf(hex, sizeof hex, "\\u%04X", static_cast<unsigned>(c));
            out += hex;
        } else {
            out.append(text.substr(at, length));
        }
        at += length;
    }
    return out;
}

std::string HtmlEscape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else
            out += c;
    }
    return out;
}

std::string ResultPage(FormService service, std::string_view translation)
{
    std::string escaped = HtmlEscape(translation);
    switch (service) {
        case FormService::Google:
            return Page("Translate",
                        std::string(kGoogleStartMarker) + escaped + std::string(kGoogleEndMarker));
        case FormService::Babelfish:
            return Page("Babel Fish Translation", std::string(kBabelfishStartMarker) + escaped +
                                                      std::string(kBabelfishEndMarker) + "</div>");
        case FormService::FreeTranslation:
            return Page("Translation Results", std::string(kFreeTranslationStartMarker) + escaped +
                                                   std::string(kFreeTranslationEndMarker));
    }
    return ErrorPage("unknown form");
}

std::string ErrorPage(std::string_view message)
{
    return Page("Not translated", "<p>" + HtmlEscape(message) + "</p>");
}

std::string UpdatePage(int version)
{
    char line[64];
    std::snprintf(line, sizeof line, "<p>Current Version Update %06d</p>", version);
    return Page("Talvero", line);
}

}  // namespace talvero
