#pragma once
// Who may upload: a small text file of "name:hash" lines (blank lines and "#" comments allowed),
// each hash libsodium's Argon2id string (crypto_pwhash_str), which carries its own salt and
// cost. The file never holds a password.
#include <sys/types.h>
#include <map>
#include <mutex>
#include <semaphore>
#include <set>
#include <string>

// Argon2id hash of `password` at libsodium's interactive cost.
std::string HashPassword(const std::string& password);

// Sets `name`'s password in the users file (created 0600 when missing), replacing the file
// atomically. False with `error` for a name that cannot be stored or a file that cannot be
// written.
bool SetUserPassword(const std::string& path, const std::string& name, const std::string& password,
                     std::string& error);

// The users file as the gateway checks it: read again when it changes, so that a password set
// while the gateway runs counts at once.
class UserFile {
public:
    explicit UserFile(std::string path);

    // True when `name` is in the file and `password` matches its hash. Thread-safe. Each hash
    // check costs tens of milliseconds and megabytes, so only two run at a time, and a pair of
    // name and password that passed is remembered (as a keyed digest, not as text) until the
    // file changes.
    bool Verify(const std::string& name, const std::string& password);

    // Number of users in the file as last read; -1 when it could not be read.
    int UserCount();
    const std::string& Path() const { return path; }

private:
    void ReloadIfChanged();  // with `mutex` held
    std::string Digest(const std::string& name, const std::string& password) const;

    std::string path;
    std::mutex mutex;
    std::map<std::string, std::string> hashes;
    int userCount = -1;
    struct timespec modified {};
    off_t size = -1;
    ino_t inode = 0;
    std::set<std::string> passed;
    unsigned char digestKey[32];
    std::counting_semaphore<2> hashing{2};
};
