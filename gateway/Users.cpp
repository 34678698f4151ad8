#include "gateway/Users.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

bool SodiumReady()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

// "name:hash" lines; anything else is kept as it is when the file is rewritten.
bool SplitLine(const std::string& line, std::string& name, std::string& hash)
{
    if (line.empty() || line[0] == '#') return false;
    size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    name = line.substr(0, colon);
    hash = line.substr(colon + 1);
    return true;
}

std::vector<std::string> ReadLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool WriteAtomically(const std::string& path, const std::string& content, std::string& error)
{
    std::string temporary = path + ".XXXXXX";
    int fd = mkstemp(temporary.data());
    if (fd < 0) {
        error = "Could not write beside " + path;
        return false;
    }
    fchmod(fd, 0600);
    bool ok = write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size()) &&
              fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        error = "Could not write " + path;
        return false;
    }
    return true;
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
    std::string hash = HashPassword(password);
    if (hash.empty()) {
        error = "The password could not be hashed (out of memory?).";
        return false;
    }
    std::string content;
    bool replaced = false;
    for (const std::string& line : ReadLines(path)) {
        std::string lineName, lineHash;
        if (SplitLine(line, lineName, lineHash) && lineName == name) {
            if (replaced) continue;
            content += name + ":" + hash + "\n";
            replaced = true;
        } else {
            content += line + "\n";
        }
    }
    if (!replaced) content += name + ":" + hash + "\n";
    return WriteAtomically(path, content, error);
}

UserFile::UserFile(std::string path) : path(std::move(path))
{
    if (SodiumReady()) crypto_generichash_keygen(digestKey);
}

void UserFile::ReloadIfChanged()
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        hashes.clear();
        passed.clear();
        userCount = -1;
        size = -1;
        return;
    }
    if (st.st_size == size && st.st_ino == inode && st.st_mtim.tv_sec == modified.tv_sec &&
        st.st_mtim.tv_nsec == modified.tv_nsec)
        return;
    size = st.st_size;
    inode = st.st_ino;
    modified = st.st_mtim;
    hashes.clear();
    passed.clear();
    for (const std::string& line : ReadLines(path)) {
        std::string name, hash;
        if (SplitLine(line, name, hash)) hashes[name] = hash;
    }
    userCount = static_cast<int>(hashes.size());
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

bool UserFile::Verify(const std::string& name, const std::string& password)
{
    if (!SodiumReady() || name.empty() || password.empty()) return false;
    std::string hash;
    std::string digest = Digest(name, password);
    {
        std::lock_guard lock(mutex);
        ReloadIfChanged();
        auto it = hashes.find(name);
        if (it == hashes.end()) return false;
        if (passed.count(digest)) return true;
        hash = it->second;
    }
    hashing.acquire();
    bool ok = crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
    hashing.release();
    if (ok) {
        std::lock_guard lock(mutex);
        // Only when the file still holds the hash that was checked.
        auto it = hashes.find(name);
        if (it != hashes.end() && it->second == hash) passed.insert(digest);
    }
    return ok;
}
