// talvero-gateway: the local translation service, and its two small administrative commands.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "base/TextFile.h"
#include "gateway/Forms.h"
#include "gateway/GatewayServer.h"
#include "gateway/Languages.h"

namespace talvero {

namespace {

constexpr const char* kUsage =
    "usage: talvero-gateway [serve] [OPTIONS]    serve the translation forms, the upload and\n"
    "                                            the update page\n"
    "       talvero-gateway list [--database FILE|URL] print the uploaded pairs\n"
    "       talvero-gateway passwd NAME [--users FILE] set NAME's upload password (read from\n"
    "                                                  standard input, one line)\n"
    "options:\n"
    "  --listen ADDRESS      address to listen on (default 127.0.0.1: this machine only)\n"
    "  --port N              port (default 8730; 0 picks a free one)\n"
    "  --port-file FILE      write the port into FILE once listening\n"
    "  --apertium URL        Apertium translation service, APy's API (default\n"
    "                        http://127.0.0.1:2737); repeated, requests are spread over them\n"
    "  --database FILE|URL   the uploads: an SQLite file (default talvero-uploads.sqlite) or a\n"
    "                        PostgreSQL database, postgresql://USER@HOST/DATABASE (the\n"
    "                        password from ~/.pgpass or PGPASSWORD keeps it off the command\n"
    "                        line)\n"
    "  --users FILE          users and password hashes (default talvero-users.txt)\n"
    "  --max-body BYTES      largest request body taken (default 65536)\n"
    "  --current-version N   version the update page announces (default 100000)\n"
    "  --threads N           requests worked on at once (default 16)\n"
    "  --tls-cert FILE       serve HTTPS with this PEM certificate (chain); needs --tls-key\n"
    "  --tls-key FILE        the certificate's PEM private key\n"
    "  --max-connections N   connections open at once (default 4000)\n"
    "  --max-per-address N   connections open at once from one address (default 64)\n"
    "  --request-deadline S  a request not read and answered within S seconds is dropped,\n"
    "                        however steadily it trickles (default 30)\n"
    "  --apertium-deadline S a translation not back from Apertium within S seconds fails\n"
    "                        (default 20)\n"
    "  --warm CODE           translate one word of the pair CODE (e.g. es|en) at start, so\n"
    "                        that the service has its pipeline ready; may repeat; \"all\":\n"
    "                        then every pair the service has, in the background\n";

int Misuse(const std::string& message)
{
    std::fprintf(stderr, "talvero-gateway: %s\n%s", message.c_str(), kUsage);
    return 2;
}

bool ParseNumber(const std::string& text, long low, long high, long& value)
{
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && errno == 0 && value >= low && value <= high;
}

// Writes the port so that a starter script can read it; it appears whole or not at all.
bool WritePortFile(const std::string& path, int port)
{
    return AtomicWriteFile(path, std::to_string(port) + "\n");
}

int List(const std::string& database)
{
    if (!UploadStore::IsServerAddress(database) && access(database.c_str(), R_OK) != 0) {
        std::fprintf(stderr, "talvero-gateway: no database %s\n", database.c_str());
        return 1;
    }
    UploadStore store;
    if (!store.Open(database)) {
        std::fprintf(stderr, "talvero-gateway: %s\n", store.Error().c_str());
        return 1;
    }
    bool ok = store.ForEach([](const UploadRow& row) {
        // Uploaders choose these bytes; none of them may reach the terminal as a control.
        std::cout << PrintableText(row.uploadedAt) << '\t' << PrintableText(row.user) << '\t'
                  << PrintableText(row.sourceLanguage) << '\t' << PrintableText(row.targetLanguage)
                  << '\t' << PrintableText(row.original) << '\t' << PrintableText(row.translation)
                  << '\n';
    });
    if (!ok) {
        std::fprintf(stderr, "talvero-gateway: %s\n", store.Error().c_str());
        return 1;
    }
    return 0;
}

int Passwd(const std::string& usersFile, const std::string& name)
{
    std::string password;
    if (!std::getline(std::cin, password) || password.empty()) {
        std::fprintf(stderr, "talvero-gateway: give the password on standard input\n");
        return 2;
    }
    if (!password.empty() && password.back() == '\r') password.pop_back();
    std::string error;
    if (!SetUserPassword(usersFile, name, password, error)) {
        std::fprintf(stderr, "talvero-gateway: %s\n", error.c_str());
        return 1;
    }
    std::fprintf(stderr, "talvero-gateway: password of %s set in %s\n", name.c_str(),
                 usersFile.c_str());
    return 0;
}

int Serve(const GatewayConfig& config, const std::string& portFile,
          const std::vector<ApertiumPair>& warm, bool warmAll)
{
    // Signals are taken by a thread of their own, so that the server stops cleanly.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    GatewayServer server(config);
    std::string error;
    // Problems of the users file are told while it is read, line by line, before this.
    if (!server.Start(error)) {
        std::fprintf(stderr, "talvero-gateway: %s\n", error.c_str());
        return 1;
    }
    if (!portFile.empty() && !WritePortFile(portFile, server.Port())) {
        std::fprintf(stderr, "talvero-gateway: could not write %s\n", portFile.c_str());
        return 1;
    }
    int userCount = server.UserCount();
    std::fprintf(stderr, "talvero-gateway: serving on %s; Apertium at %s; uploads into %s; %s\n",
                 server.BaseAddress().c_str(), config.apertiumAddress.c_str(),
                 UploadStore::Shown(config.databaseFile).c_str(),
                 userCount < 0
                     ? ("no users file " + config.usersFile + ": uploads are refused").c_str()
                     : (std::to_string(userCount) + " users may upload").c_str());

    if (!server.StoreProblem().empty())
        std::fprintf(stderr, "talvero-gateway: %s; uploads are refused until it answers\n",
                     server.StoreProblem().c_str());

    std::thread([warm, warmAll, address = config.apertiumAddress,
                 deadline = config.apertiumDeadlineSeconds] {
        auto start = std::chrono::steady_clock::now();
        ApertiumClient client(address, deadline);
        client.Warm(warm, warmAll, [](const std::string& problem) {
            std::fprintf(stderr, "talvero-gateway: %s\n", problem.c_str());
        });
        // Said once, so that a starter (or a benchmark) knows when the pipelines are ready.
        if (!warm.empty() || warmAll)
            std::fprintf(
                stderr, "talvero-gateway: warming done after %lld ms\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - start)
                                           .count()));
    }).detach();

    std::thread([&server, stopSignals] {
        int signalNumber = 0;
        sigwait(&stopSignals, &signalNumber);
        server.Stop();
    }).detach();
    server.Serve();
    return 0;
}

}  // namespace

}  // namespace talvero

int main(int argc, char** argv)
{
    using namespace talvero;
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string command = "serve";
    if (!args.empty() && (args[0] == "serve" || args[0] == "list" || args[0] == "passwd")) {
        command = args[0];
        args.erase(args.begin());
    }
    std::string name;
    if (command == "passwd") {
        if (args.empty() || args[0].rfind("--", 0) == 0) return Misuse("passwd needs a user name");
        name = args[0];
        args.erase(args.begin());
    }

    GatewayConfig config;
    std::string portFile;
    std::vector<ApertiumPair> warm;
    bool warmAll = false;
    bool apertiumGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "--help" || option == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (i + 1 >= args.size()) return Misuse("unknown option or missing value: " + option);
        const std::string& value = args[++i];
        long number = 0;
        if (option == "--listen") {
            config.listenAddress = value;
        } else if (option == "--port") {
            if (!ParseNumber(value, 0, 65535, number)) return Misuse("not a port: " + value);
            config.port = static_cast<int>(number);
        } else if (option == "--port-file") {
            portFile = value;
        } else if (option == "--apertium") {
            // Repeated: several services, each with every pair, share the translations.
            config.apertiumAddress = (apertiumGiven ? config.apertiumAddress + " " : "") + value;
            apertiumGiven = true;
        } else if (option == "--database") {
            config.databaseFile = value;
        } else if (option == "--users") {
            config.usersFile = value;
        } else if (option == "--max-body") {
            if (!ParseNumber(value, 1, 1L << 30, number)) return Misuse("not a size: " + value);
            config.maxBodyBytes = static_cast<size_t>(number);
        } else if (option == "--current-version") {
            if (!ParseNumber(value, 0, 999999, number))
                return Misuse("the version has at most six digits: " + value);
            config.currentVersion = static_cast<int>(number);
        } else if (option == "--threads") {
            if (!ParseNumber(value, 1, 256, number)) return Misuse("not a thread count: " + value);
            config.threads = static_cast<int>(number);
        } else if (option == "--warm" && value == "all") {
            warmAll = true;
        } else if (option == "--tls-cert") {
            config.tlsCertFile = value;
        } else if (option == "--tls-key") {
            config.tlsKeyFile = value;
        } else if (option == "--max-connections") {
            if (!ParseNumber(value, 1, 1000000, number)) return Misuse("not a count: " + value);
            config.maxConnections = static_cast<int>(number);
        } else if (option == "--max-per-address") {
            if (!ParseNumber(value, 1, 1000000, number)) return Misuse("not a count: " + value);
            config.maxConnectionsPerAddress = static_cast<int>(number);
        } else if (option == "--request-deadline") {
            if (!ParseNumber(value, 1, 3600, number)) return Misuse("not seconds: " + value);
            config.requestDeadlineSeconds = static_cast<int>(number);
        } else if (option == "--apertium-deadline") {
            if (!ParseNumber(value, 1, 3600, number)) return Misuse("not seconds: " + value);
            config.apertiumDeadlineSeconds = static_cast<int>(number);
        } else if (option == "--warm") {
            auto pair = PairFromGoogleCode(value);
            if (!pair) return Misuse("not a pair code like es|en: " + value);
            warm.push_back(*pair);
        } else {
            return Misuse("unknown option: " + option);
        }
    }

    if (command == "list") return List(config.databaseFile);
    if (command == "passwd") return Passwd(config.usersFile, name);
    return Serve(config, portFile, warm, warmAll);
}
