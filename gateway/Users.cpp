#include "gateway/Users.h"

#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "base/TextFile.h"

namespace talvero {

namespace {

// Two checks run at once; each may take this much memory and this many passes. libsodium's own
// "moderate" cost is the most a login here may cost; its "interactive" cost is what `passwd`
// writes.
constexpr unsigned long long kMostHashMemoryKiB = 256 * 1024;
constexpr unsigned long kMostHashPasses = 10;
constexpr unsigned long kMostHashLanes = 8;
// A users file of many thousand users is a few megabytes; anything far beyond is not one.
constexpr size_t kMostUsersFileBytes = 64 << 20;

bool SodiumReady()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

// "name:hash" lines; anything else is kept as it is when the file is rewritten.
bool SplitLine(std::string_view line, std::string& name, std::string& hash)
{
    if (line.empty() || line[0] == '#') return false;
    size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    name = line.substr(0, colon);
    hash = line.substr(colon + 1);
    return true;
}

// Reads "key=N" (and its comma) off the front of the hash's parameter field.
bool ReadParameter(std::string_view& field, char key, unsigned long long& value)
{
    if (field.size() < 3 || field[0] != key || field[1] != '=') return false;
    field.remove_prefix(2);
    value = 0;
    size_t digits = 0;
    while (digits < field.size() && field[digits] >= '0' && field[digits] <= '9' && digits < 12)
        value = value * 10 + static_cast<unsigned>(field[digits++] - '0');
    if (digits == 0) return false;
    field.remove_prefix(digits);
    if (!field.empty() && field[0] == ',') field.remove_prefix(1);
    return true;
}

// Why `hash` cannot be used: not an Argon2 string libsodium reads, or a cost past the bounds.
// Empty when it can.
std::string HashProblem(const std::string& hash)
{
    if (!SodiumReady()) return "libsodium could not start";
    if (crypto_pwhash_str_needs_rehash(hash.c_str(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                                       crypto_pwhash_MEMLIMIT_INTERACTIVE) < 0)
        return "not an Argon2 hash made by \"talvero-gateway passwd\"";
    // "$argon2id$v=19$m=65536,t=2,p=1$salt$hash": the parameters are the fourth field.
    std::string_view rest = hash;
    for (int i = 0; i < 3 && !rest.empty(); ++i)
        rest.remove_prefix(std::min(rest.size(), rest.find('$') + 1));
    std::string_view field = rest.substr(0, rest.find('$'));
    unsigned long long memory = 0, passes = 0, lanes = 0;
    if (!ReadParameter(field, 'm', memory) || !ReadParameter(field, 't', passes) ||
        !ReadParameter(field, 'p', lanes))
        return "the hash's cost cannot be read";
    if (memory > kMostHashMemoryKiB || passes > kMostHashPasses || lanes > kMostHashLanes)
        return "the hash's cost (m=" + std::to_string(memory) + ",t=" + std::to_string(passes) +
               ",p=" + std::to_string(lanes) +
               ") is past the limit of m=" + std::to_string(kMostHashMemoryKiB) +
               ",t=" + std::to_string(kMostHashPasses) + ",p=" + std::to_string(kMostHashLanes);
    return {};
}

// A hash that no password matches, checked for names that are not in the file so that they
// take as long as names that are.
const std::string& DummyHash()
{
    static const std::string hash = [] {
        unsigned char random[32];
        if (SodiumReady()) randombytes_buf(random, sizeof random);
        return HashPassword(std::string(reinterpret_cast<char*>(random), sizeof random));
    }();
    return hash;
}

}  // namespace

std::string HashPassword(const std::string& password)
{
    char hash[crypto_pwhash_STRBYTES];
    if (!SodiumReady() || crypto_pwhash_str(hash, password.data(), password.size(),
                                            crypto_pwhash_OPSLIMIT_INTERACTIVE,
                                            crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        return {};
    return hash;
}

bool SetUserPassword(const std::string& path, const std::string& name, const std::string& password,
                     std::string& error)
{
    if (name.empty() || name.find_first_of(":\r\n") != std::string::npos || name[0] == '#') {
        error = "A user name must not be empty, start with \"#\" or hold \":\" or a line break.";
        return false;
    }
    std::string old;
    // A file that is there but cannot be read must not be replaced by one holding only `name`.
    if (ReadFileIfPresent(path, old) == FileRead::Unreadable) {
        error = "Could not read " + path + " (or it is not a regular file)";
        return false;
    }
    std::string hash = HashPassword(password);
    if (hash.empty()) {
        error = "The password could not be hashed (out of memory?).";
        return false;
    }
    std::string content;
    bool replaced = false;
    for (std::string_view line : SplitLines(old)) {
        std::string lineName, lineHash;
        if (SplitLine(line, lineName, lineHash) && lineName == name) {
            if (replaced) continue;
            content += name + ":" + hash + "\n";
            replaced = true;
        } else {
            content += std::string(line) + "\n";
        }
    }
    if (!replaced) content += name + ":" + hash + "\n";
    // The file keeps its owner, group and mode: root setting a password in the file of the
    // gateway's user must not leave it readable by root alone.
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && geteuid() != 0 && st.st_uid != geteuid()) {
        error = path + " belongs to user " + std::to_string(st.st_uid) +
                ": run passwd as that user or as root, so that the file keeps its owner";
        return false;
    }
    if (!AtomicWriteFileKeepingOwner(path, content, 0600)) {
        error = "Could not write " + path +
                " keeping its owner, group and mode (a group this user is not in?)";
        return false;
    }
    return true;
}

UsersText ParseUsers(std::string_view text)
{
    UsersText users;
    std::map<std::string, size_t> firstLine;
    size_t number = 0;
    for (std::string_view line : SplitLines(text)) {
        ++number;
        std::string at = "line " + std::to_string(number) + ": ";
        if (TrimWhiteSpace(line).empty() || line[0] == '#') continue;
        std::string name, hash;
        if (!SplitLine(line, name, hash)) {
            users.problems.push_back(at + "not \"name:hash\"");
            continue;
        }
        if (auto seen = firstLine.find(name); seen != firstLine.end()) {
            users.problems.push_back(at + "a second line for a user of line " +
                                     std::to_string(seen->second) + "; the first counts");
            continue;
        }
        firstLine.emplace(name, number);
        if (std::string problem = HashProblem(hash); !problem.empty()) {
            users.problems.push_back(at + problem);
            continue;
        }
        users.hashes.emplace(std::move(name), std::move(hash));
    }
    return users;
}

UserFile::UserFile(std::string path, Limits limits, Log log)
    : path(std::move(path)), log(std::move(log)), limiter(limits, this->log)
{
    if (SodiumReady()) crypto_generichash_keygen(digestKey);
    DummyHash();  // made now, so that the first unknown name takes no longer than later ones
}

void UserFile::ReloadIfChanged()
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        hashes.clear();
        passed.clear();
        userCount = -1;
        unreadable = false;
        size = -1;
        return;
    }
    if (st.st_size == size && st.st_ino == inode && st.st_mtim.tv_sec == modified.tv_sec &&
        st.st_mtim.tv_nsec == modified.tv_nsec)
        return;
    size = st.st_size;
    inode = st.st_ino;
    modified = st.st_mtim;
    std::string text;
    FileRead read = ReadFileIfPresent(path, text, kMostUsersFileBytes);
    unreadable = read == FileRead::Unreadable || read == FileRead::TooLarge;
    if (unreadable) {
        // A file that cannot be read (a directory in its place, a mode that shuts the gateway
        // out, a file of gigabytes) takes no user away: the ones read before stay.
        if (log)
            log("users file " + path +
                (read == FileRead::TooLarge
                     ? " is larger than " + std::to_string(kMostUsersFileBytes >> 20) + " MiB"
                     : " cannot be read or is no regular file") +
                (userCount >= 0 ? "; the " + std::to_string(userCount) + " users read before stay"
                                : ""));
        return;
    }
    hashes.clear();
    passed.clear();
    if (read != FileRead::Read) {
        userCount = -1;
        return;
    }
    UsersText users = ParseUsers(text);
    // A file of junk must not flood the log: the first lines tell what is wrong.
    constexpr size_t kProblemsTold = 20;
    if (log) {
        for (size_t i = 0; i < users.problems.size() && i < kProblemsTold; ++i)
            log("users file " + path + " " + users.problems[i]);
        if (users.problems.size() > kProblemsTold)
            log("users file " + path + ": " +
                std::to_string(users.problems.size() - kProblemsTold) + " more lines left out");
    }
    hashes = std::move(users.hashes);
    userCount = static_cast<int>(hashes.size());
}

bool UserFile::Check(int& count, std::string& error)
{
    std::lock_guard lock(mutex);
    size = -1;  // read it now, whatever was read before
    ReloadIfChanged();
    count = userCount;
    if (unreadable) {
        error = "The users file " + path +
                " cannot be read, is too large (over 64 MiB) or is not a regular file";
        return false;
    }
    return true;
}

int UserFile::UserCount()
{
    std::lock_guard lock(mutex);
    ReloadIfChanged();
    return userCount;
}

std::string UserFile::Digest(const std::string& name, const std::string& password) const
{
    std::string both = name;
    both += '\0';
    both += password;
    unsigned char digest[32];
    crypto_generichash(digest, sizeof digest, reinterpret_cast<const unsigned char*>(both.data()),
                       both.size(), digestKey, sizeof digestKey);
    sodium_memzero(both.data(), both.size());
    return std::string(reinterpret_cast<char*>(digest), sizeof digest);
}

void UserFile::Reload()
{
    std::lock_guard lock(mutex);
    size = -1;
    ReloadIfChanged();
    if (log && !unreadable)
        log("users file " + path + " read again: " +
            (userCount < 0 ? std::string("missing, uploads are refused")
                           : std::to_string(userCount) + " users may upload"));
}

LoginAttempt UserFile::Begin(const std::string& name, const std::string& password,
                             const std::string& address)
{
    LoginAttempt attempt;
    attempt.name = name;
    attempt.password = password;
    attempt.address = address;
    attempt.decided = true;
    if (!SodiumReady() || name.empty() || password.empty()) return attempt;
    // Refused before any hash is checked: a guesser gets no answer and costs no work.
    if (!limiter.Begin(name, address, &attempt.retryAfter)) {
        attempt.verdict = LoginVerdict::TooManyAttempts;
        return attempt;
    }
    attempt.digest = Digest(name, password);
    {
        std::lock_guard lock(mutex);
        ReloadIfChanged();
        auto it = hashes.find(name);
        if (it != hashes.end()) {
            if (passed.count(attempt.digest)) {
                limiter.Finish(name, address, true);
                attempt.verdict = LoginVerdict::Accepted;
                return attempt;
            }
            attempt.hash = it->second;
            attempt.known = true;
        }
    }
    if (!attempt.known) attempt.hash = DummyHash();
    attempt.decided = false;
    return attempt;
}

void UserFile::Cancel(const LoginAttempt& attempt)
{
    if (!attempt.decided) limiter.Finish(attempt.name, attempt.address, false, false);
}

LoginVerdict UserFile::CheckPassword(LoginAttempt& attempt)
{
    if (attempt.decided) return attempt.verdict;
    bool ok = crypto_pwhash_str_verify(attempt.hash.c_str(), attempt.password.data(),
                                       attempt.password.size()) == 0;
    ok = ok && attempt.known;
    limiter.Finish(attempt.name, attempt.address, ok);
    attempt.decided = true;
    attempt.verdict = ok ? LoginVerdict::Accepted : LoginVerdict::Refused;
    if (!ok) return attempt.verdict;
    std::lock_guard lock(mutex);
    // Only when the file still holds the hash that was checked.
    auto it = hashes.find(attempt.name);
    if (it != hashes.end() && it->second == attempt.hash) passed.insert(attempt.digest);
    return attempt.verdict;
}

LoginVerdict UserFile::Verify(const std::string& name, const std::string& password,
                              const std::string& address)
{
    LoginAttempt attempt = Begin(name, password, address);
    return CheckPassword(attempt);
}

}  // namespace talvero
