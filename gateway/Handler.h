#pragma once
// What the gateway answers, without any server: a request as the server read it in, the reply it
// gets. The server library only moves bytes; every rule about paths, forms, uploads and logins
// lives here, where it can be tested and fuzzed by itself.
#include <functional>
#include <string>

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
};

// The parts a request may reach. Each is called from any worker thread at once.
struct RequestParts {
    std::function<ApertiumResult(const ApertiumPair&, const std::string& utf8Text)> translate;
    std::function<LoginVerdict(const std::string& name, const std::string& password,
                               const std::string& address)>
        verify;
    // False with `error` when the row could not be stored.
    std::function<bool(const UploadRow& row, std::string& error)> store;
    std::function<void(const std::string& message)> log;  // for the administrator
    int currentVersion = 100000;
};

HttpReply HandleRequest(const RequestParts& parts, const HttpRequest& request);

// The reply to a request body over the size limit.
HttpReply TooLargeReply();

}  // namespace talvero
