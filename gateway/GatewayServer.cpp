#include "gateway/GatewayServer.h"

#include <httplib.h>

#include <chrono>

#include "gateway/Forms.h"

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

}  // namespace

GatewayServer::GatewayServer(GatewayConfig config)
    : config(std::move(config)),
      server(std::make_unique<httplib::Server>()),
      apertium(this->config.apertiumAddress),
      users(this->config.usersFile)
{
}

GatewayServer::~GatewayServer()
{
    Stop();
}

std::string GatewayServer::BaseAddress() const
{
    return "http://" + config.listenAddress + ":" + std::to_string(port);
}

void GatewayServer::Route()
{
    httplib::Server& s = *server;
    const int threads = config.threads;
    s.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    s.set_payload_max_length(config.maxBodyBytes);
    s.set_read_timeout(config.clientTimeoutSeconds, 0);
    s.set_write_timeout(config.clientTimeoutSeconds, 0);
    s.set_keep_alive_timeout(2);
    s.set_tcp_nodelay(true);

    for (FormService service :
         {FormService::Google, FormService::Babelfish, FormService::FreeTranslation}) {
        s.Post(FormPath(service), [this, service](const httplib::Request& req,
                                                  httplib::Response& res) {
            TranslationRequest request = ReadTranslationForm(service, req.body);
            if (!request.pair) {
                res.status = 400;
                res.set_content(ErrorPage(request.problem), kHtmlUtf8);
                return;
            }
            // The reply goes back in the character set the text came in.
            const bool utf8 = IsUtf8(request.text);
            ApertiumResult result;
            if (request.text.empty())
                result.kind = ApertiumResult::Kind::Ok;
            else
                result = translations.Translate(
                    *request.pair, utf8 ? request.text : Windows1252ToUtf8(request.text));
            if (result.kind != ApertiumResult::Kind::Ok) {
                res.status = result.kind == ApertiumResult::Kind::PairNotInstalled ? 404 : 502;
                res.set_content(ErrorPage(result.problem), kHtmlUtf8);
                return;
            }
            if (utf8)
                res.set_content(ResultPage(service, result.text), kHtmlUtf8);
            else
                res.set_content(ResultPage(service, Utf8ToWindows1252(result.text)),
                                "text/html; charset=windows-1252");
        });
    }

    s.Get("/upload_es.php", [this](const httplib::Request& req, httplib::Response& res) {
        for (const char* key : kUploadKeys) {
            if (!req.has_param(key)) {
                res.status = 400;
                res.set_content(std::string("Result:ERROR the query lacks ") + key, kText);
                return;
            }
        }
        if (!users.Verify(req.get_param_value("user_name_data"),
                          req.get_param_value("password_data"))) {
            res.status = 403;
            res.set_content("Result:DENIED wrong user name or password", kText);
            return;
        }
        UploadRow row;
        row.user = AsUtf8(req.get_param_value("user_name_data"));
        row.sourceLanguage = req.get_param_value("from");
        row.targetLanguage = req.get_param_value("to");
        row.original = AsUtf8(req.get_param_value("texttotranslate"));
        row.translation = AsUtf8(req.get_param_value("translation"));
        if (!UploadLanguage(row.sourceLanguage) || !UploadLanguage(row.targetLanguage)) {
            res.status = 400;
            res.set_content("Result:ERROR unknown language code", kText);
            return;
        }
        if (row.original.empty() || row.translation.empty()) {
            res.status = 400;
            res.set_content("Result:ERROR the original and the translation must not be empty",
                            kText);
            return;
        }
        if (!store.Add(row)) {
            res.status = 500;
            res.set_content("Result:ERROR the pair could not be stored", kText);
            return;
        }
        res.set_content("Result:OK", kText);
    });

    s.Get("/autoupdate.html", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(UpdatePage(config.currentVersion), kHtmlUtf8);
    });

    s.Get("/", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(ErrorPage("Talvero gateway: post the translation forms to /translate_t, "
                                  "/translate_txt or /."),
                        kHtmlUtf8);
    });

    s.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (!res.body.empty()) return;
        res.set_content(ErrorPage("Error " + std::to_string(res.status)), kHtmlUtf8);
    });
    s.set_exception_handler(
        [](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
            res.status = 500;
            res.set_content(ErrorPage("Internal error"), kHtmlUtf8);
        });
}

bool GatewayServer::Start(std::string& error)
{
    storeProblem.clear();
    if (!store.Open(config.databaseFile)) {
        // A database server may come up after the gateway: translations are served meanwhile,
        // and uploads are refused until it answers.
        if (!UploadStore::IsServerAddress(config.databaseFile)) {
            error = store.Error();
            return false;
        }
        storeProblem = store.Error();
    }
    Route();
    if (config.port == 0) {
        port = server->bind_to_any_port(config.listenAddress);
    } else {
        port = server->bind_to_port(config.listenAddress, config.port) ? config.port : -1;
    }
    if (port <= 0) {
        error =
            "Could not listen on " + config.listenAddress + " port " + std::to_string(config.port);
        return false;
    }
    return true;
}

void GatewayServer::Serve()
{
    serving = true;
    server->listen_after_bind();
    serving = false;
}

bool GatewayServer::StartInBackground(std::string& error)
{
    if (!Start(error)) return false;
    serving = true;
    thread = std::thread([this] { Serve(); });
    WaitUntilRunning();
    return true;
}

void GatewayServer::WaitUntilRunning()
{
    while (serving && !server->is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void GatewayServer::Stop()
{
    // stop() before the server runs would leave listen_after_bind() waiting forever.
    WaitUntilRunning();
    server->stop();
    if (thread.joinable()) thread.join();
}
