#pragma once
// Fetch-and-parse base of the web translators: ask the subclass for a URL, fetch it (form POST
// or GET), let the subclass cut its result out of the page, repeat while it wants more. Also the
// helpers that cut text out of HTML: markers matched in any letter case, white-space tidying,
// tag removal and a fixed list of entities.
#include <string>

#include "web/HttpCommon.h"
#include "web/WebGrab.h"

namespace talvero {

class CWebResourceProvider {
public:
    CWebResourceProvider() = default;
    virtual ~CWebResourceProvider() = default;

    // Runs the sequence; blocks until it ends. Afterwards GetErrorFlag() is 0 on success.
    void Retrieve();
    // Fetches one URL into the content (POST when UsePost(), else GET).
    void FetchResource(const std::string& url);

    int GetErrorFlag() const { return errorFlag; }
    const std::string& GetErrorText() const { return errorText; }
    // Why the last fetch or parse failed, in a few words ("time-out", "HTTP 404", ...).
    const std::string& GetFailureReason() const { return failureReason; }
    const std::string& GetContent() const { return content; }
    const std::string& GetUrl() const { return url; }

    // For the GET form: user agent, status window, event pump, proxy.
    void SetAgent(const std::string& agent) { this->agent = agent; }
    void SetStatusWindow(CStatusWindow* window) { statusWindow = window; }
    void SetEventPump(EventPump pump) { eventPump = std::move(pump); }
    void SetProxy(const std::string& server, unsigned short port, bool use);
    void SetLimits(const HttpLimits& limits) { this->limits = limits; }

    // Text helpers (static: they need no provider).
    static void NormalizeWhitespace(std::string& text);
    // Tags out, then the fixed entity table, then DecodeMarkupReferences.
    static void StripHtml(std::string& text);
    // "&lt;", "&gt;", "&quot;" and numeric references (decimal, "&#x" hex) into the code page.
    static void DecodeMarkupReferences(std::string& text);
    static std::string ReplaceNoCase(const std::string& text, const std::string& pattern,
                                     const std::string& replacement);
    // Position of `pattern` in `text` at or after `start`, letters compared lower-cased; -1 when
    // absent. An empty pattern matches at `start`.
    static long FindNoCase(const std::string& text, const std::string& pattern, long start);

protected:
    virtual std::string GetResourceUrl() = 0;
    virtual bool UsePost() { return false; }
    virtual std::string GetPostData() { return {}; }
    virtual bool StartFetching() { return true; }
    virtual bool HasMoreResources() { return false; }
    virtual void ParseContent() {}

    // Moves the cursor past the next `marker` (any letter case); false when there is none.
    bool SkipPast(const std::string& marker);
    // Text from the cursor up to the next `marker`, cursor moved past it; false (out untouched)
    // when the marker is missing or the cursor stands on the content's last byte or beyond.
    bool ExtractUntil(const std::string& marker, std::string& out);

    // The translators' ParseContent: result = the tidied text between the two markers; error
    // flag 1 and "Error parsing content" when either is missing.
    void ParseBetween(const std::string& startMarker, const std::string& endMarker,
                      std::string& result);

    int errorFlag = 0;
    long cursor = 0;
    std::string agent;
    std::string content;
    std::string errorText;
    std::string failureReason;
    std::string url;
    CStatusWindow* statusWindow = nullptr;

private:
    EventPump eventPump;
    HttpLimits limits;
    bool useProxy = false;
    std::string proxyServer;
    unsigned short proxyPort = 0;
};

}  // namespace talvero
