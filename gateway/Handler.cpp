#include "gateway/Handler.h"

#include "gateway/Forms.h"

namespace talvero {

namespace {

constexpr const char* kHtmlUtf8 = "text/html; charset=utf-8";
constexpr const char* kText = "text/plain; charset=utf-8";

// The upload's six query keys, in the order the program sends them.
constexpr const char* kUploadKeys[] = {"texttotranslate", "translation",  "from", "to",
                                       "user_name_data",  "password_data"};

// Texts are stored and translated as UTF-8; a program running in Windows-1252 sends that.
std::string AsUtf8(const std::string& text)
{
    return IsUtf8(text) ? text : Windows1252ToUtf8(text);
}

HttpReply Html(int status, std::string body)
{
    return {status, kHtmlUtf8, std::move(body)};
}

HttpReply Text(int status, std::string body)
{
    return {status, kText, std::move(body)};
}

HttpReply Translate(const RequestParts& parts, FormService service, const std::string& body)
{
    TranslationRequest request = ReadTranslationForm(service, body);
    if (!request.pair) return Html(400, ErrorPage(request.problem));
    // The reply goes back in the character set the text came in.
    const bool utf8 = IsUtf8(request.text);
    ApertiumResult result;
    if (request.text.empty())
        result.kind = ApertiumResult::Kind::Ok;
    else
        result =
            parts.translate(*request.pair, utf8 ? request.text : Windows1252ToUtf8(request.text));
    if (result.kind != ApertiumResult::Kind::Ok)
        return Html(result.kind == ApertiumResult::Kind::PairNotInstalled ? 404 : 502,
                    ErrorPage(result.problem));
    if (utf8) return Html(200, ResultPage(service, result.text));
    return {200, "text/html; charset=windows-1252",
            ResultPage(service, Utf8ToWindows1252(result.text))};
}

HttpReply Upload(const RequestParts& parts, const HttpRequest& request)
{
    auto query = ParseForm(request.query);
    auto value = [&](const char* key) { return query.find(key)->second; };
    for (const char* key : kUploadKeys)
        if (query.find(key) == query.end())
            return Text(400, std::string("Result:ERROR the query lacks ") + key);
    switch (parts.verify(value("user_name_data"), value("password_data"), request.clientAddress)) {
        case LoginVerdict::Accepted:
            break;
        case LoginVerdict::Refused:
            return Text(403, "Result:DENIED wrong user name or password");
        case LoginVerdict::TooManyAttempts:
            return Text(429,
                        "Result:DENIED too many failed attempts; try again in a quarter of "
                        "an hour");
    }
    UploadRow row;
    row.user = AsUtf8(value("user_name_data"));
    row.sourceLanguage = value("from");
    row.targetLanguage = value("to");
    row.original = AsUtf8(value("texttotranslate"));
    row.translation = AsUtf8(value("translation"));
    if (!UploadLanguage(row.sourceLanguage) || !UploadLanguage(row.targetLanguage))
        return Text(400, "Result:ERROR unknown language code");
    if (row.original.empty() || row.translation.empty())
        return Text(400, "Result:ERROR the original and the translation must not be empty");
    std::string error;
    if (!parts.store(row, error)) {
        // The uploader only learns that it failed; why is for the administrator.
        if (parts.log)
            parts.log("an upload by " + PrintableText(row.user) + " was not stored: " + error);
        return Text(500, "Result:ERROR the pair could not be stored");
    }
    return Text(200, "Result:OK");
}

}  // namespace

HttpReply HandleRequest(const RequestParts& parts, const HttpRequest& request)
{
    const bool get = request.method == "GET" || request.method == "HEAD";
    if (request.method == "POST") {
        for (FormService service :
             {FormService::Google, FormService::Babelfish, FormService::FreeTranslation})
            if (request.path == FormPath(service)) return Translate(parts, service, request.body);
    } else if (get && request.path == "/upload_es.php") {
        return Upload(parts, request);
    } else if (get && request.path == "/autoupdate.html") {
        return Html(200, UpdatePage(parts.currentVersion));
    } else if (get && request.path == "/") {
        return Html(200, ErrorPage("Talvero gateway: post the translation forms to /translate_t, "
                                   "/translate_txt or /."));
    }
    return Html(404, ErrorPage("Error 404"));
}

HttpReply TooLargeReply()
{
    return Html(413, ErrorPage("Error 413"));
}

}  // namespace talvero
