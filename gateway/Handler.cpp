#include "gateway/Handler.h"

#include <future>
#include <memory>

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
    return {status, kHtmlUtf8, std::move(body), {}};
}

HttpReply Text(int status, std::string body)
{
    return {status, kText, std::move(body), {}};
}

using Done = std::function<void(HttpReply)>;

void Translate(const RequestParts& parts, FormService service, const std::string& body, Done done)
{
    TranslationRequest request = ReadTranslationForm(service, body);
    if (!request.pair) return done(Html(400, ErrorPage(request.problem)));
    // The reply goes back in the character set the text came in.
    const bool utf8 = IsUtf8(request.text);
    auto reply = [service, utf8, done = std::move(done)](const ApertiumResult& result) {
        if (result.kind == ApertiumResult::Kind::Busy) return done(BusyReply());
        if (result.kind != ApertiumResult::Kind::Ok)
            return done(Html(result.kind == ApertiumResult::Kind::PairNotInstalled ? 404 : 502,
                             ErrorPage(result.problem)));
        if (utf8) return done(Html(200, ResultPage(service, result.text)));
        done({200,
              "text/html; charset=windows-1252",
              ResultPage(service, Utf8ToWindows1252(result.text)),
              {}});
    };
    if (request.text.empty()) return reply({ApertiumResult::Kind::Ok, "", ""});
    parts.translate(*request.pair, utf8 ? request.text : Windows1252ToUtf8(request.text),
                    std::move(reply));
}

void Upload(const RequestParts& parts, const HttpRequest& request, Done done)
{
    auto query = ParseForm(request.query);
    auto value = [&](const char* key) { return query.find(key)->second; };
    for (const char* key : kUploadKeys)
        if (query.find(key) == query.end())
            return done(Text(400, std::string("Result:ERROR the query lacks ") + key));
    auto row = std::make_shared<UploadRow>();
    row->user = AsUtf8(value("user_name_data"));
    row->sourceLanguage = value("from");
    row->targetLanguage = value("to");
    row->original = AsUtf8(value("texttotranslate"));
    row->translation = AsUtf8(value("translation"));
    // What needs no password is answered before the password costs a hash.
    if (!UploadLanguage(row->sourceLanguage) || !UploadLanguage(row->targetLanguage))
        return done(Text(400, "Result:ERROR unknown language code"));
    if (row->original.empty() || row->translation.empty())
        return done(Text(400, "Result:ERROR the original and the translation must not be empty"));
    parts.verify(
        value("user_name_data"), value("password_data"), request.clientAddress,
        [&parts, row, done = std::move(done)](LoginVerdict verdict, std::chrono::seconds wait) {
            switch (verdict) {
                case LoginVerdict::Accepted:
                    break;
                case LoginVerdict::Refused:
                    return done(Text(403, "Result:DENIED wrong user name or password"));
                case LoginVerdict::Busy:
                    return done(BusyReply());
                case LoginVerdict::TooManyAttempts: {
                    HttpReply reply =
                        Text(429, "Result:DENIED too many failed attempts; try again in " +
                                      std::to_string(wait.count()) + " s");
                    reply.headers.emplace_back("Retry-After", std::to_string(wait.count()));
                    return done(std::move(reply));
                }
            }
            parts.store(*row, [&parts, row, done](StoreOutcome outcome, const std::string& error) {
                if (outcome == StoreOutcome::Busy) return done(BusyReply());
                if (outcome == StoreOutcome::Failed) {
                    // The uploader only learns that it failed; why is for the administrator.
                    if (parts.log)
                        parts.log("an upload by " + PrintableText(row->user) +
                                  " was not stored: " + error);
                    return done(Text(500, "Result:ERROR the pair could not be stored"));
                }
                done(Text(200, "Result:OK"));
            });
        });
}

}  // namespace

void HandleRequest(const RequestParts& parts, const HttpRequest& request, Done done)
{
    const bool get = request.method == "GET" || request.method == "HEAD";
    if (request.method == "POST") {
        for (FormService service :
             {FormService::Google, FormService::Babelfish, FormService::FreeTranslation})
            if (request.path == FormPath(service))
                return Translate(parts, service, request.body, std::move(done));
    } else if (get && request.path == "/upload_es.php") {
        return Upload(parts, request, std::move(done));
    } else if (get && request.path == "/autoupdate.html") {
        return done(Html(200, UpdatePage(parts.currentVersion)));
    } else if (get && request.path == "/health") {
        if (!parts.health) return done(Text(200, "OK"));
        return parts.health([done = std::move(done)](bool answers) {
            done(answers ? Text(200, "OK") : Text(503, "the database does not answer"));
        });
    } else if (get && request.path == "/") {
        return done(
            Html(200, ErrorPage("Talvero gateway: post the translation forms to /translate_t, "
                                "/translate_txt or /.")));
    }
    done(Html(404, ErrorPage("Error 404")));
}

HttpReply HandleRequest(const RequestParts& parts, const HttpRequest& request)
{
    std::promise<HttpReply> answer;
    HandleRequest(parts, request, [&](HttpReply reply) { answer.set_value(std::move(reply)); });
    return answer.get_future().get();
}

HttpReply TooLargeReply()
{
    return Html(413, ErrorPage("Error 413"));
}

HttpReply BusyReply()
{
    HttpReply reply = Text(503, "Result:ERROR busy, try again in a moment");
    reply.headers.emplace_back("Retry-After", "1");
    return reply;
}

}  // namespace talvero
