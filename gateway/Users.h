#pragma once
// Who may upload: a small text file of "name:hash" lines (blank lines and "#" comments allowed),
// each hash libsodium's Argon2id string (crypto_pwhash_str), which carries its own salt and
// cost. The file never holds a password.
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "gateway/LoginLimiter.h"

namespace talvero {

// Argon2id hash of `password` at libsodium's interactive cost.
std::string HashPassword(const std::string& password);

// Sets `name`'s password in the users file (created 0600 when missing), replacing the file
// atomically. False with `error` for a name that cannot be stored or a file that cannot be
// read or written.
bool SetUserPassword(const std::string& path, const std::string& name, const std::string& password,
                     std::string& error);

// The users file's text, read: each valid user's hash, and one line per line that was left out
// ("line 3: ..."). A hash whose cost would let one login attempt take a worker for seconds or
// gigabytes is left out, as are lines that are no "name:hash" and later lines of a name seen
// before (the first counts, as `passwd` keeps it).
struct UsersText {
    std::map<std::string, std::string> hashes;
    std::vector<std::string> problems;
};
UsersText ParseUsers(std::string_view text);

// Busy: the password could not be checked now (the checks' queue is full).
enum class LoginVerdict { Accepted, Refused, TooManyAttempts, Busy };

// One login on its way: what UserFile::Begin found, and what the hash check needs.
struct LoginAttempt {
    std::string name, password, address;
    bool decided = false;  // answered without a hash check: `verdict` holds the answer
    LoginVerdict verdict = LoginVerdict::Refused;
    std::chrono::seconds retryAfter{0};  // with TooManyAttempts
    std::string hash;
    bool known = false;
    std::string digest;
};

// The users file as the gateway checks it: read again when it changes, so that a password set
// while the gateway runs counts at once.
class UserFile {
public:
    using Limits = LoginLimits;
    using Log = std::function<void(const std::string&)>;

    UserFile(std::string path, Limits limits, Log log);
    explicit UserFile(std::string path) : UserFile(std::move(path), Limits{}, nullptr) {}

    // Whether `name` may upload with `password`, asked from `address`. Thread-safe. A hash
    // check costs tens of milliseconds and megabytes: Begin answers what needs none (the limits,
    // a pair of name and password that passed before, remembered as a keyed digest until the
    // file changes), and CheckPassword, on a worker, does the hash. An unknown name costs the same
    // as a known one, so that names cannot be told apart by the time of the answer. An attempt that
    // Begin leaves undecided must end in CheckPassword or Cancel.
    LoginAttempt Begin(const std::string& name, const std::string& password,
                       const std::string& address);
    LoginVerdict CheckPassword(LoginAttempt& attempt);
    void Cancel(const LoginAttempt& attempt);
    // Begin and CheckPassword on the caller's thread.
    LoginVerdict Verify(const std::string& name, const std::string& password,
                        const std::string& address = {});

    // Reads the file again now (SIGHUP), and says what it found. When something other than a
    // readable file stands in its place, the users read before stay.
    void Reload();

    // Number of users in the file as last read; -1 when there is no file. False with `error`
    // when something that is no readable regular file stands in its place.
    bool Check(int& userCount, std::string& error);
    int UserCount();
    const std::string& Path() const { return path; }

private:
    void ReloadIfChanged();  // with `mutex` held
    std::string Digest(const std::string& name, const std::string& password) const;

    std::string path;
    Log log;
    std::mutex mutex;
    std::map<std::string, std::string> hashes;
    int userCount = -1;
    bool unreadable = false;
    struct timespec modified {};
    off_t size = -1;
    ino_t inode = 0;
    std::set<std::string> passed;
    unsigned char digestKey[32];
    LoginLimiter limiter;
};

}  // namespace talvero
