#include "web/WebResourceProvider.h"

#include <cctype>
#include <cstdio>

#include "base/CodePage.h"
#include "web/HttpRetriever.h"

namespace talvero {

namespace {

char Lower(char c)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

std::string LowerCopy(const std::string& text)
{
    std::string low = text;
    for (char& c : low)
        c = Lower(c);
    return low;
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

void CWebResourceProvider::SetProxy(const std::string& server, unsigned short port, bool use)
{
    proxyServer = server;
    proxyPort = port;
    useProxy = use;
}

void CWebResourceProvider::Retrieve()
{
    errorFlag = 0;
    errorText.clear();
    failureReason.clear();
    content.clear();
    if (!StartFetching()) return;
    do {
        url = GetResourceUrl();
        cursor = 0;
        FetchResource(url);
        ParseContent();
    } while (HasMoreResources());
}

void CWebResourceProvider::FetchResource(const std::string& resourceUrl)
{
    errorFlag = 0;
    errorText.clear();
    failureReason.clear();
    if (UsePost()) {
        std::string body = GetPostData();
        CHttpRetriever client;
        client.SetLimits(limits);
        const char* reply =
            client.ReadAll(resourceUrl.c_str(), body.c_str(), static_cast<long>(body.size()));
        content = reply ? std::string(reply) : std::string();
        int code = client.GetStatusCode();
        if (code / 100 != 2) {
            errorFlag = 1;
            char text[64];
            std::snprintf(text, sizeof text, "Error %d fetching resource", code);
            errorText = text;
            failureReason = client.GetLastError() != 0
                                ? TransferFailureReason(client.GetLastError())
                                : "HTTP " + std::to_string(code);
        }
        return;
    }
    CWebGrab client;
    client.SetLimits(limits);
    client.SetEventPump(eventPump);
    if (useProxy) client.SetProxy(proxyServer, proxyPort, true);
    if (!client.Initialise(agent, statusWindow)) {
        errorFlag = 1;
        errorText = "Unable to initialize resource provider";
        failureReason = "no HTTP session";
        return;
    }
    client.SetReload(true);
    bool ok = client.GetFile(resourceUrl, content, agent, statusWindow);
    client.Close();
    if (!ok) {
        errorFlag = 1;
        errorText = "Error fetching resource" + resourceUrl;
        failureReason =
            client.GetErrorMessage().empty() ? "page not fetched" : client.GetErrorMessage();
    }
}

long CWebResourceProvider::FindNoCase(const std::string& text, const std::string& pattern,
                                      long start)
{
    if (start < 0) start = 0;
    const long n = static_cast<long>(text.size());
    const long m = static_cast<long>(pattern.size());
    if (m == 0) return start <= n ? start : -1;
    for (long at = start; at + m <= n; ++at) {
        long k = 0;
        while (k < m && Lower(text[at + k]) == Lower(pattern[k]))
            ++k;
        if (k == m) return at;
    }
    return -1;
}

bool CWebResourceProvider::SkipPast(const std::string& marker)
{
    long pos = FindNoCase(content, marker, cursor);
    if (pos < 0) return false;
    cursor = pos + static_cast<long>(marker.size());
    return true;
}

bool CWebResourceProvider::ExtractUntil(const std::string& marker, std::string& out)
{
    if (cursor >= static_cast<long>(content.size()) - 1) return false;
    long pos = FindNoCase(content, marker, cursor);
    if (pos < 0) return false;
    out = content.substr(cursor, pos - cursor);
    cursor = pos + static_cast<long>(marker.size());
    return true;
}

void CWebResourceProvider::NormalizeWhitespace(std::string& text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && IsSpace(text[begin]))
        ++begin;
    while (end > begin && IsSpace(text[end - 1]))
        --end;
    text = text.substr(begin, end - begin);
    for (char& c : text)
        if (c == '\n') c = ' ';
}

std::string CWebResourceProvider::ReplaceNoCase(const std::string& text, const std::string& pattern,
                                                const std::string& replacement)
{
    if (pattern.empty()) return text;
    const std::string low = LowerCopy(text);
    const std::string pat = LowerCopy(pattern);
    // Built front to back in one pass: the search resumes after each replacement, so the
    // replacement is never searched again and everything after it is still the original text.
    // (Replacing in place would move the tail once per match: minutes for a page of entities.)
    std::string out;
    out.reserve(text.size());
    size_t from = 0;
    while (true) {
        size_t p = low.find(pat, from);
        if (p == std::string::npos) break;
        out.append(text, from, p - from);
        out += replacement;
        from = p + pat.size();
    }
    out.append(text, from, std::string::npos);
    return out;
}

void CWebResourceProvider::StripHtml(std::string& text)
{
    // Everything from a "<" to the next ">" goes; an unclosed "<" goes alone.
    std::string kept;
    size_t pos = 0;
    while (true) {
        size_t open = text.find('<', pos);
        if (open == std::string::npos) break;
        kept.append(text, pos, open - pos);
        pos = open + 1;
        size_t close = text.find('>', pos);
        if (close == std::string::npos) break;
        pos = close + 1;
    }
    if (pos < text.size()) kept.append(text, pos, std::string::npos);
    text = std::move(kept);

    // Each entity step runs only when the entity occurs exactly as written, and then replaces
    // every occurrence in any letter case. Later steps see what earlier ones produced.
    struct Step {
        const char* sought;
        const char* replaced;
        const char* by;      // the replacement, or
        char32_t character;  // the character whose bytes in the code page replace it
    };
    static const Step steps[] = {
        {"&nbsp;", "&nbsp;", " ", 0},
        {"&amp;", "&amp;", "&", 0},
        {"&aring;", "&aring;", nullptr, 0xE5},
        {"&auml;", "&auml;", nullptr, 0xE4},
        {"&eacute;", "&eacute;", nullptr, 0xE9},
        {"&iacute;", "&iacute;", nullptr, 0xED},
        {"&igrave;", "&igrave;", nullptr, 0xEC},
        {"&ograve;", "&ograve;", nullptr, 0xF2},
        {"&ouml;", "&ouml;", nullptr, 0xF6},
        {"&szlig;", "&szlig;", nullptr, 0xDF},
        {"&#0;", "&#0", "#", 0},
        {"&#39;", "&#39;", "'", 0},
    };
    for (const Step& step : steps) {
        if (text.find(step.sought) == std::string::npos) continue;
        std::string by = step.by ? std::string(step.by) : CodePageChar(step.character);
        text = ReplaceNoCase(text, step.replaced, by);
    }
    DecodeMarkupReferences(text);
}

void CWebResourceProvider::DecodeMarkupReferences(std::string& text)
{
    // Pages escape "<", ">" and quotes, and write other characters as numeric references; left
    // as they are, a translation such as "x < 5" would reach the box as "x &lt; 5". One pass, so
    // that a decoded "&" never starts another reference.
    if (text.find('&') == std::string::npos) return;
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        size_t amp = text.find('&', pos);
        if (amp == std::string::npos) break;
        out.append(text, pos, amp - pos);
        pos = amp + 1;
        size_t semicolon = text.find(';', pos);
        // The longest reference taken is "&#x10FFFF;" with zeros in front; no further look.
        if (semicolon == std::string::npos || semicolon - pos > 12) {
            out += '&';
            continue;
        }
        std::string_view name(text.data() + pos, semicolon - pos);
        std::string decoded;
        if (name == "lt") {
            decoded = "<";
        } else if (name == "gt") {
            decoded = ">";
        } else if (name == "quot") {
            decoded = "\"";
        } else if (name.size() > 1 && name[0] == '#') {
            bool hex = name[1] == 'x' || name[1] == 'X';
            std::string_view digits = name.substr(hex ? 2 : 1);
            char32_t value = 0;
            bool valid = !digits.empty();
            for (char c : digits) {
                int d = std::isdigit(static_cast<unsigned char>(c))           ? c - '0'
                        : hex && std::isxdigit(static_cast<unsigned char>(c)) ? Lower(c) - 'a' + 10
                                                                              : -1;
                if (d < 0) valid = false;
                if (!valid) break;
                value = value * (hex ? 16 : 10) + static_cast<char32_t>(d);
                if (value > 0x10FFFF) valid = false;
            }
            // NUL, surrogates and values past Unicode are no characters: left as written.
            if (valid && value != 0 && (value < 0xD800 || value > 0xDFFF))
                decoded = CodePageChar(value);
        }
        if (decoded.empty()) {
            out += '&';
            continue;
        }
        out += decoded;
        pos = semicolon + 1;
    }
    out.append(text, pos, std::string::npos);
    text = std::move(out);
}

void CWebResourceProvider::ParseBetween(const std::string& startMarker,
                                        const std::string& endMarker, std::string& result)
{
    errorFlag = 1;
    errorText = "Error parsing content";
    if (failureReason.empty()) failureReason = "no translation in the reply";
    if (!SkipPast(startMarker)) return;
    if (!ExtractUntil(endMarker, result)) return;
    NormalizeWhitespace(result);
    StripHtml(result);
    errorFlag = 0;
    errorText.clear();
    failureReason.clear();
}

}  // namespace talvero
