#pragma once
// What the gateway answers, without any server: a request as the server read it in, the reply it
// gets. The server library only moves bytes; every rule about paths, forms, uploads and logins
// lives here, where it can be tested and fuzzed by itself.
#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "gateway/Apertium.h"
#include "gateway/UploadStore.h"
#include "gateway/Users.h"

namespace talvero {

struct HttpRequest {
    std::string method;  // "GET", "POST", ...
    std::string path;    // without the query
    std::string query;   // as sent, after the "?"
    std::string body;
    std::string clientAddress;
};

struct HttpReply {
    int status = 200;
    std::string contentType;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;  // beside Content-Type
};

// How storing a row ended: Busy when the writes' queue is full and it was not tried.
enum class StoreOutcome { Stored, Failed, Busy };

// The parts a request may reach. Each may take long (a hash, a database, Apertium), so each
// answers through `done`, exactly once, on any thread, perhaps before it returns; all are
// called from any thread at once.
struct RequestParts {
    std::function<void(const ApertiumPair&, const std::string& utf8Text,
                       std::function<void(ApertiumResult)> done)>
        translate;
    std::function<void(const std::string& name, const std::string& password,
                       const std::string& address,
                       std::function<void(LoginVerdict, std::chrono::seconds retryAfter)> done)>
        verify;
    // Failed with `error` when the row could not be stored.
    std::function<void(const UploadRow& row,
                       std::function<void(StoreOutcome, const std::string& error)> done)>
        store;
    // Whether the database answers.
    std::function<void(std::function<void(bool)> done)> health;
    std::function<void(const std::string& message)> log;  // for the administrator
    int currentVersion = 100000;
};

// Answers `request` through `done` (once, on whatever thread the last part answered on).
void HandleRequest(const RequestParts& parts, const HttpRequest& request,
                   std::function<void(HttpReply)> done);
// The same, waiting for the answer.
HttpReply HandleRequest(const RequestParts& parts, const HttpRequest& request);

// The reply to a request body over the size limit.
HttpReply TooLargeReply();
// The reply when the work a request needs is queued too deeply to take it now.
HttpReply BusyReply();

}  // namespace talvero
