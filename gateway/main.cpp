// talvero-gateway: the local translation service, and its small administrative commands.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "base/TextFile.h"
#include "gateway/Forms.h"
#include "gateway/GatewayServer.h"
#include "gateway/Languages.h"

namespace talvero {

namespace {

// Every option, once: --help is made from this table, and a test holds the manual page to it.
struct OptionSpec {
    const char* name;  // without "--"
    const char* value;
    bool repeats;
    const char* help;
};
constexpr OptionSpec kOptions[] = {
    {"config", "FILE", false,
     "read options from FILE first, one \"name value\" line each\n"
     "(e.g. /etc/talvero/gateway.conf); the command line overrides it"},
    {"listen", "ADDRESS", false, "address to listen on (default 127.0.0.1: this machine only)"},
    {"port", "N", false, "port (default 8730; 0 picks a free one)"},
    {"port-file", "FILE", false, "write the port into FILE once listening"},
    {"apertium", "URL", true,
     "Apertium translation service, APy's API (default\n"
     "http://127.0.0.1:2737); repeated, requests are spread over them"},
    {"database", "FILE|URL", false,
     "the uploads: an SQLite file (default talvero-uploads.sqlite) or a\n"
     "PostgreSQL database, postgresql://USER@HOST/DATABASE (the password\n"
     "from ~/.pgpass or PGPASSWORD keeps it off the command line)"},
    {"users", "FILE", false, "users and password hashes (default talvero-users.txt)"},
    {"max-body", "BYTES", false, "largest request body taken (default 65536)"},
    {"current-version", "N", false, "version the update page announces (default 100000)"},
    {"threads", "N", false, "threads serving connections (default 16)"},
    {"tls-cert", "FILE", false, "serve HTTPS with this PEM certificate (chain); needs --tls-key"},
    {"tls-key", "FILE", false, "the certificate's PEM private key"},
    {"max-connections", "N", false, "connections open at once (default 4000)"},
    {"max-per-address", "N", false,
     "connections (behind a trusted proxy: requests) at once from one client\n"
     "address (default 64)"},
    {"request-deadline", "S", false,
     "a request not read and answered within S seconds is dropped, however\n"
     "steadily it trickles (default 30)"},
    {"apertium-deadline", "S", false,
     "a translation not back from Apertium within S seconds fails (default 20)"},
    {"warm", "CODE", true,
     "translate one word of the pair CODE (e.g. es|en) at start, so that the\n"
     "service has its pipeline ready; may repeat; \"all\": every pair the services\n"
     "have, asked until they answer, in the background"},
    {"trusted-proxy", "ADDR[/BITS]", true,
     "a load balancer in front: from it the client's address is taken from\n"
     "X-Forwarded-For (the last address not itself trusted); may repeat"},
};

std::string Usage()
{
    std::string usage =
        "usage: talvero-gateway [serve] [OPTIONS]       serve the translation forms, the upload\n"
        "                                               and the update page\n"
        "       talvero-gateway list --database FILE|URL  print the uploaded pairs (never writes)\n"
        "       talvero-gateway passwd NAME --users FILE  set NAME's upload password (read from\n"
        "                                               standard input, one line)\n"
        "       talvero-gateway backup --database FILE OUT  copy a running SQLite database\n"
        "       talvero-gateway init --database FILE|URL  make or update the tables, then end\n"
        "options:\n";
    for (const OptionSpec& option : kOptions) {
        std::string head = std::string("  --") + option.name + " " + option.value;
        std::string help = option.help;
        std::string indent(24, ' ');
        for (size_t at = 0; (at = help.find('\n', at)) != std::string::npos; at += indent.size())
            help.insert(at + 1, indent);
        usage += head.size() < 24 ? head + std::string(24 - head.size(), ' ') + help + "\n"
                                  : head + "\n" + indent + help + "\n";
    }
    usage += "  --help                print this and end\n";
    return usage;
}

int Misuse(const std::string& message)
{
    std::fprintf(stderr, "talvero-gateway: %s\n%s", message.c_str(), Usage().c_str());
    return 2;
}

const OptionSpec* FindOption(const std::string& name)
{
    for (const OptionSpec& option : kOptions)
        if (name == option.name) return &option;
    return nullptr;
}

bool ParseNumber(const std::string& text, long low, long high, long& value)
{
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && errno == 0 && value >= low && value <= high;
}

// The options as given: each name with its values in order.
using Given = std::map<std::string, std::vector<std::string>>;

// Adds "--name value" pairs from `args`; positional words go to `positional`. Empty when all
// is well, else what is wrong.
std::string ReadArguments(const std::vector<std::string>& args, Given& given,
                          std::vector<std::string>& positional, bool& help)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            help = true;
            continue;
        }
        if (arg.rfind("--", 0) != 0) {
            positional.push_back(arg);
            continue;
        }
        const OptionSpec* option = FindOption(arg.substr(2));
        if (!option) return "unknown option: " + arg;
        if (i + 1 >= args.size()) return "missing value: " + arg;
        auto& values = given[option->name];
        if (!option->repeats && !values.empty())
            return arg + " given twice (" + values.front() + ", " + args[i + 1] +
                   "): it takes one value";
        values.push_back(args[++i]);
    }
    return {};
}

// The configuration file: "name value" lines (the option's name without "--"), "#" comments
// and blank lines. Empty when all is well, else what is wrong, with the line.
std::string ReadConfigFile(const std::string& path, Given& given)
{
    std::string text;
    switch (ReadFileIfPresent(path, text, 256 * 1024)) {
        case FileRead::Read:
            break;
        case FileRead::Missing:
            return "no configuration file " + path;
        case FileRead::TooLarge:
            return path + " is larger than 256 KiB: not a configuration file";
        case FileRead::Unreadable:
            return "could not read " + path + " (or it is not a regular file)";
    }
    size_t number = 0;
    for (std::string_view line : SplitLines(text)) {
        ++number;
        std::string at = path + " line " + std::to_string(number) + ": ";
        std::string_view trimmed = TrimWhiteSpace(line);
        if (trimmed.empty() || trimmed[0] == '#') continue;
        size_t blank = trimmed.find_first_of(" \t");
        std::string name(trimmed.substr(0, blank));
        std::string value(blank == std::string_view::npos ? std::string_view()
                                                          : TrimWhiteSpace(trimmed.substr(blank)));
        const OptionSpec* option = FindOption(name);
        if (!option || name == "config" || name == "port-file")
            return at + "unknown setting \"" + PrintableText(name.substr(0, 64)) + "\"";
        if (value.empty()) return at + name + " needs a value";
        auto& values = given[name];
        if (!option->repeats && !values.empty()) return at + name + " given twice";
        values.push_back(value);
    }
    return {};
}

// Writes the port so that a starter script can read it; it appears whole or not at all.
bool WritePortFile(const std::string& path, int port)
{
    return AtomicWriteFile(path, std::to_string(port) + "\n");
}

int List(const std::string& database)
{
    auto store = UploadStore::For(database);
    if (!store->OpenReadOnly()) {
        std::fprintf(stderr, "talvero-gateway: %s\n", store->Error().c_str());
        return 1;
    }
    bool ok = store->ForEach([](const UploadRow& row) {
        // Uploaders choose these bytes; none of them may reach the terminal as a control.
        std::cout << PrintableText(row.uploadedAt) << '\t' << PrintableText(row.user) << '\t'
                  << PrintableText(row.sourceLanguage) << '\t' << PrintableText(row.targetLanguage)
                  << '\t' << PrintableText(row.original) << '\t' << PrintableText(row.translation)
                  << '\n';
    });
    if (!ok) {
        std::fprintf(stderr, "talvero-gateway: %s\n", store->Error().c_str());
        return 1;
    }
    return 0;
}

int Init(const std::string& database)
{
    auto store = UploadStore::For(database);
    if (!store->Open()) {
        std::fprintf(stderr, "talvero-gateway: %s\n", store->Error().c_str());
        return 1;
    }
    std::fprintf(stderr, "talvero-gateway: %s: %s\n", UploadStore::Shown(database).c_str(),
                 store->Status().c_str());
    return 0;
}

int Backup(const std::string& database, const std::string& target)
{
    if (UploadStore::IsServerAddress(database)) {
        std::fprintf(stderr, "talvero-gateway: back up a PostgreSQL database with pg_dump\n");
        return 2;
    }
    std::string error;
    if (!BackupSqlite(database, target, error)) {
        std::fprintf(stderr, "talvero-gateway: %s\n", error.c_str());
        return 1;
    }
    std::fprintf(stderr, "talvero-gateway: %s copied to %s\n", database.c_str(), target.c_str());
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

void Say(const std::string& message)
{
    std::fprintf(stderr, "talvero-gateway: %s\n", message.c_str());
}

int Serve(const GatewayConfig& config, const std::string& portFile,
          const std::vector<ApertiumPair>& warm, bool warmAll)
{
    // Signals are taken by a thread of their own: INT and TERM stop the server cleanly, HUP
    // reads the users file and the certificate again.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    GatewayServer server(config);
    std::string error;
    // Problems of the users file are told while it is read, line by line, before this.
    if (!server.Start(error)) {
        Say(error);
        return 1;
    }
    if (!portFile.empty() && !WritePortFile(portFile, server.Port())) {
        Say("could not write " + portFile);
        return 1;
    }
    int userCount = server.UserCount();
    Say("serving on " + server.BaseAddress() + "; Apertium at " + config.apertiumAddress + "; " +
        (userCount < 0 ? "no users file " + config.usersFile + ": uploads are refused"
                       : std::to_string(userCount) + " users may upload"));
    if (server.StoreProblem().empty())
        Say("uploads into " + UploadStore::Shown(config.databaseFile) + ": " +
            server.StoreStatus());
    else
        Say(server.StoreProblem() + "; uploads are refused until it answers");

    std::atomic<bool> quit{false};
    std::thread warming([&quit, warm, warmAll, address = config.apertiumAddress,
                         deadline = config.apertiumDeadlineSeconds] {
        auto start = std::chrono::steady_clock::now();
        ApertiumClient client(address, deadline);
        client.Warm(warm, warmAll, Say, &quit);
        // Said once, so that a starter (or a benchmark) knows when the pipelines are ready.
        if ((!warm.empty() || warmAll) && !quit)
            Say("warming done after " +
                std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now() - start)
                                   .count()) +
                " ms");
    });

    std::thread watcher([&server, signals] {
        for (;;) {
            int signalNumber = 0;
            if (sigwait(&signals, &signalNumber) != 0) continue;
            if (signalNumber == SIGHUP) {
                server.Reload();
                continue;
            }
            server.Stop();
            return;
        }
    });
    server.Serve();
    quit = true;
    warming.join();
    watcher.join();
    return 0;
}

}  // namespace

}  // namespace talvero

int main(int argc, char** argv)
{
    using namespace talvero;
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string command = "serve";
    for (const char* known : {"serve", "list", "passwd", "backup", "init"})
        if (!args.empty() && args[0] == known) {
            command = args[0];
            args.erase(args.begin());
        }

    Given given;
    std::vector<std::string> positional;
    bool help = false;
    if (std::string problem = ReadArguments(args, given, positional, help); !problem.empty())
        return Misuse(problem);
    if (help) {
        std::fputs(Usage().c_str(), stdout);
        return 0;
    }
    std::string name, target;
    if (command == "passwd") {
        if (positional.size() != 1) return Misuse("passwd needs one user name");
        name = positional[0];
    } else if (command == "backup") {
        if (positional.size() != 1) return Misuse("backup needs the file to copy into");
        target = positional[0];
    } else if (!positional.empty()) {
        return Misuse("unknown argument: " + positional[0]);
    }
    if (given.count("config")) {
        // The file first; what the command line gives replaces the file's values.
        Given fromFile;
        if (std::string problem = ReadConfigFile(given["config"].front(), fromFile);
            !problem.empty()) {
            std::fprintf(stderr, "talvero-gateway: %s\n", problem.c_str());
            return 2;
        }
        for (auto& [key, values] : fromFile)
            given.emplace(key, values);
    }

    GatewayConfig config;
    std::string portFile;
    std::vector<ApertiumPair> warm;
    bool warmAll = false;
    for (const auto& [option, values] : given) {
        const std::string& value = values.front();
        long number = 0;
        if (option == "config") {
        } else if (option == "listen") {
            config.listenAddress = value;
        } else if (option == "port") {
            if (!ParseNumber(value, 0, 65535, number)) return Misuse("not a port: " + value);
            config.port = static_cast<int>(number);
        } else if (option == "port-file") {
            portFile = value;
        } else if (option == "apertium") {
            // Several services, each with every pair, share the translations.
            config.apertiumAddress.clear();
            for (const std::string& address : values)
                config.apertiumAddress += (config.apertiumAddress.empty() ? "" : " ") + address;
        } else if (option == "database") {
            config.databaseFile = value;
        } else if (option == "users") {
            config.usersFile = value;
        } else if (option == "max-body") {
            if (!ParseNumber(value, 1, 1L << 30, number)) return Misuse("not a size: " + value);
            config.maxBodyBytes = static_cast<size_t>(number);
        } else if (option == "current-version") {
            if (!ParseNumber(value, 0, 999999, number))
                return Misuse("the version has at most six digits: " + value);
            config.currentVersion = static_cast<int>(number);
        } else if (option == "threads") {
            if (!ParseNumber(value, 1, 256, number)) return Misuse("not a thread count: " + value);
            config.threads = static_cast<int>(number);
        } else if (option == "tls-cert") {
            config.tlsCertFile = value;
        } else if (option == "tls-key") {
            config.tlsKeyFile = value;
        } else if (option == "max-connections") {
            if (!ParseNumber(value, 1, 1000000, number)) return Misuse("not a count: " + value);
            config.maxConnections = static_cast<int>(number);
        } else if (option == "max-per-address") {
            if (!ParseNumber(value, 1, 1000000, number)) return Misuse("not a count: " + value);
            config.maxConnectionsPerAddress = static_cast<int>(number);
        } else if (option == "request-deadline") {
            if (!ParseNumber(value, 1, 3600, number)) return Misuse("not seconds: " + value);
            config.requestDeadlineSeconds = static_cast<int>(number);
        } else if (option == "apertium-deadline") {
            if (!ParseNumber(value, 1, 3600, number)) return Misuse("not seconds: " + value);
            config.apertiumDeadlineSeconds = static_cast<int>(number);
        } else if (option == "warm") {
            for (const std::string& code : values) {
                if (code == "all") {
                    warmAll = true;
                    continue;
                }
                auto pair = PairFromGoogleCode(code);
                if (!pair) return Misuse("not a pair code like es|en: " + code);
                warm.push_back(*pair);
            }
        } else if (option == "trusted-proxy") {
            std::string bad;
            if (!TrustedNetworks::Parse(values, &bad))
                return Misuse("not an address or ADDRESS/BITS: " + bad);
            config.trustedProxies = values;
        }
    }

    if (command == "list") return List(config.databaseFile);
    if (command == "init") return Init(config.databaseFile);
    if (command == "backup") return Backup(config.databaseFile, target);
    if (command == "passwd") return Passwd(config.usersFile, name);
    return Serve(config, portFile, warm, warmAll);
}
