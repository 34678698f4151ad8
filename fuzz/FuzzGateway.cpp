// The gateway's request handling as a hostile client drives it: translation form bodies, the
// upload's query, and the users file an administrator may have botched. The first byte picks
// which; the rest is the input. Apertium, the password check and the database are stand-ins, so
// that every input reaches the parsing and the replies.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "gateway/Forms.h"
#include "gateway/Handler.h"
#include "gateway/Users.h"

namespace talvero {

namespace {

const RequestParts& Parts()
{
    static const RequestParts parts = [] {
        RequestParts p;
        p.translate = [](const ApertiumPair&, const std::string& text, auto done) {
            ApertiumResult r;
            r.kind = text.size() % 3 ? ApertiumResult::Kind::Ok : ApertiumResult::Kind::Failed;
            r.text = "<" + text + "&>";
            done(r);
        };
        p.verify = [](const std::string& name, const std::string& password, const std::string&,
                      auto done) {
            if (name == "slow") return done(LoginVerdict::TooManyAttempts, std::chrono::seconds(9));
            if (name == "busy") return done(LoginVerdict::Busy, std::chrono::seconds(0));
            done(password == "pw" ? LoginVerdict::Accepted : LoginVerdict::Refused,
                 std::chrono::seconds(0));
        };
        p.store = [](const UploadRow& row, auto done) {
            if (!row.original.empty() && row.original[0] == '!')
                return done(StoreOutcome::Failed, "disk full");
            done(StoreOutcome::Stored, "");
        };
        p.log = [](const std::string&) {};
        return p;
    }();
    return parts;
}

bool Printable(std::string_view text)
{
    for (char c : text) {
        auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) return false;
    }
    return IsUtf8(text) && text.find("\xC2\x9B") == std::string_view::npos;
}

}  // namespace

}  // namespace talvero

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace talvero;
    if (size == 0) return 0;
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    HttpRequest request;
    request.clientAddress = "192.0.2.1";
    switch (data[0] % 4) {
        case 0: {
            static const char* paths[] = {"/translate_t", "/translate_txt", "/", "/other"};
            request.method = "POST";
            request.path = paths[(data[0] / 4) % 4];
            request.body = input;
            HttpReply reply = HandleRequest(Parts(), request);
            if (reply.status != 200 && reply.status != 400 && reply.status != 404 &&
                reply.status != 502)
                __builtin_trap();
            break;
        }
        case 1: {
            request.method = "GET";
            request.path = "/upload_es.php";
            request.query = input;
            HttpReply reply = HandleRequest(Parts(), request);
            if (reply.body.rfind("Result:", 0) != 0) __builtin_trap();
            if ((reply.status == 200) != (reply.body == "Result:OK")) __builtin_trap();
            break;
        }
        case 2: {
            UsersText users = ParseUsers(input);
            for (const auto& [name, hash] : users.hashes)
                if (name.empty() || name.find(':') != std::string::npos) __builtin_trap();
            break;
        }
        case 3:
            if (!Printable(PrintableText(input))) __builtin_trap();
            break;
    }
    return 0;
}
