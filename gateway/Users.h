#pragma once
// Who may upload: a small text file of "name:hash" lines (blank lines and "#" comments allowed),
// each hash libsodium's Argon2id string (crypto_pwhash_str), which carries its own salt and
// cost. The file never holds a password.
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <semaphore>
#include <set>
#include <string>
#include <string_view>
#include <vector>

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

// Limits on failed login attempts: more than `maxFailures` within `window` for one key (a name
// or an address) and that key is refused without a hash check until the oldest ages out.
struct AttemptLimit {
    int maxFailures;
    std::chrono::seconds window;
};

class AttemptCounter {
public:
    explicit AttemptCounter(AttemptLimit limit) : limit(limit) {}
    bool Allowed(const std::string& key);
    void Failed(const std::string& key);
    void Forget(const std::string& key);

private:
    using Clock = std::chrono::steady_clock;
    void DropExpired(Clock::time_point now);

    AttemptLimit limit;
    std::mutex mutex;
    std::map<std::string, std::vector<Clock::time_point>> failures;
};

enum class LoginVerdict { Accepted, Refused, TooManyAttempts };

// The users file as the gateway checks it: read again when it changes, so that a password set
// while the gateway runs counts at once.
class UserFile {
public:
    struct Limits {
        AttemptLimit perName{10, std::chrono::minutes(15)};
        AttemptLimit perAddress{30, std::chrono::minutes(15)};
    };
    using Log = std::function<void(const std::string&)>;

    UserFile(std::string path, Limits limits, Log log);
    explicit UserFile(std::string path) : UserFile(std::move(path), Limits{}, nullptr) {}

    // Whether `name` may upload with `password`, asked from `address`. Thread-safe. Each hash
    // check costs tens of milliseconds and megabytes, so only two run at a time, and a pair of
    // name and password that passed is remembered (as a keyed digest, not as text) until the
    // file changes. An unknown name costs the same as a known one, so that names cannot be
    // told apart by the time of the answer.
    LoginVerdict Verify(const std::string& name, const std::string& password,
                        const std::string& address = {});

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
    std::counting_semaphore<2> hashing{2};
    AttemptCounter names;
    AttemptCounter addresses;
};

}  // namespace talvero
