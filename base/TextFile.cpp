#include "base/TextFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "base/CodePage.h"

namespace talvero {

int OpenPlainFile(const std::string& path, long long& size)
{
    // Not blocking on the open, and plain files only: a pipe would never end a read, and a
    // device such as /dev/zero would fill memory before it did.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    size = st.st_size;
    return fd;
}

bool ReadFromDescriptor(int fd, std::string& out)
{
    out.clear();
    char buf[1 << 16];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            out.clear();
            return false;
        }
        if (n == 0) return true;
        out.append(buf, static_cast<size_t>(n));
    }
}

bool ReadWholeFile(const std::string& path, std::string& out)
{
    out.clear();
    long long size = 0;
    int fd = OpenPlainFile(path, size);
    if (fd < 0) return false;
    if (size > 0) out.reserve(static_cast<size_t>(size));
    bool ok = ReadFromDescriptor(fd, out);
    ::close(fd);
    return ok;
}

FileRead ReadFileIfPresent(const std::string& path, std::string& out, size_t maxSize)
{
    out.clear();
    long long size = 0;
    const int fd = OpenPlainFile(path, size);
    if (fd >= 0) {
        if (static_cast<unsigned long long>(size) > maxSize) {
            ::close(fd);
            return FileRead::TooLarge;
        }
        out.reserve(static_cast<size_t>(size));
        const bool ok = ReadFromDescriptor(fd, out);
        ::close(fd);
        // Grown past the limit while it was read: the same answer as before it grew.
        if (ok && out.size() > maxSize) {
            out.clear();
            out.shrink_to_fit();
            return FileRead::TooLarge;
        }
        if (ok) return FileRead::Read;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR))
        return FileRead::Missing;
    return FileRead::Unreadable;
}

bool IsWhiteSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view TrimWhiteSpace(std::string_view text)
{
    while (!text.empty() && IsWhiteSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsWhiteSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> SplitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        size_t end = nl == std::string_view::npos ? text.size() : nl;
        size_t len = end - start;
        if (nl != std::string_view::npos && len > 0 && text[end - 1] == '\r') --len;
        lines.push_back(text.substr(start, len));
        if (nl == std::string_view::npos) break;
        start = nl + 1;
    }
    return lines;
}

namespace {

std::string DirectoryOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

constexpr std::string_view kTempMark = ".tmp";
constexpr size_t kTempDigits = 8;

bool IsTemporaryOf(std::string_view name, std::string_view base)
{
    if (name.size() != base.size() + kTempMark.size() + kTempDigits) return false;
    if (name.substr(0, base.size()) != base) return false;
    if (name.substr(base.size(), kTempMark.size()) != kTempMark) return false;
    for (char c : name.substr(base.size() + kTempMark.size()))
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

}  // namespace

bool WriteAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

namespace {
bool AtomicWrite(const std::string& linkOrPath, const std::vector<std::string_view>& parts,
                 unsigned newFileMode, bool ownerOnly, bool durable, bool keepOwner = false)
{
    // Replace the file a symbolic link points to, not the link: renaming over the link would
    // leave the real file (a synced copy, say) stale and detach later writes from it.
    std::string path = linkOrPath;
    struct stat lst {};
    if (::lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
        char* real = ::realpath(path.c_str(), nullptr);
        if (!real) return false;
        path = real;
        std::free(real);
    }
    mode_t mode = static_cast<mode_t>(newFileMode);
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists) {
        if (!S_ISREG(st.st_mode)) return false;
        mode = st.st_mode & 07777;
    }
    if (ownerOnly) mode &= 0700;

    std::random_device rd;
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, "%s%08x", kTempMark.data(),
                      static_cast<unsigned>(rd()));
        temp = path + suffix;
        // The mode at creation is the narrower of the two, so a password never lies readable.
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode & 0600);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    // Held until the rename: it tells a start-up clean-up that this temporary is still in use.
    ::flock(fd, LOCK_EX | LOCK_NB);

    bool ok = true;
    for (std::string_view part : parts)
        ok = ok && WriteAll(fd, part);
    // Owner and group before the mode: a change of owner clears the set-id bits.
    if (keepOwner && exists) ok = ok && ::fchown(fd, st.st_uid, st.st_gid) == 0;
    ok = ok && ::fchmod(fd, mode) == 0 && (!durable || ::fsync(fd) == 0);
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    if (!durable) return true;
    int dfd = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}
}  // namespace

bool AtomicWriteFile(const std::string& path, std::string_view content, unsigned newFileMode,
                     bool ownerOnly)
{
    return AtomicWrite(path, {content}, newFileMode, ownerOnly, true);
}

bool AtomicWriteFileKeepingOwner(const std::string& path, std::string_view content,
                                 unsigned newFileMode)
{
    return AtomicWrite(path, {content}, newFileMode, false, true, true);
}

bool AtomicWriteParts(const std::string& path, const std::vector<std::string_view>& parts,
                      unsigned newFileMode, bool durable)
{
    return AtomicWrite(path, parts, newFileMode, false, durable);
}

int RemoveStaleTemporaries(const std::string& linkOrPath, bool followLink)
{
    std::string path = linkOrPath;
    if (char* real = followLink ? ::realpath(linkOrPath.c_str(), nullptr) : nullptr) {
        path = real;
        std::free(real);
    }
    const std::string dir = DirectoryOf(path);
    const std::string base = BaseNameOf(path);
    DIR* d = ::opendir(dir.c_str());
    if (!d) return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(d)) {
        if (!IsTemporaryOf(entry->d_name, base)) continue;
        const std::string temp = dir + "/" + entry->d_name;
        int fd = ::open(temp.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
        if (fd < 0) continue;
        struct stat st {};
        // A writer that is alive holds its lock; a killed one has lost it.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::unlink(temp.c_str()) == 0)
            ++removed;
        ::close(fd);
    }
    ::closedir(d);
    return removed;
}

namespace {

// Which byte of each UTF-16 unit is zero in ASCII text: a file of key lines saved as UTF-16
// without a mark shows one of the two patterns in nearly every unit.
enum class Utf16Guess { No, LittleEndian, BigEndian };

Utf16Guess GuessUtf16(std::string_view bytes)
{
    if (bytes.size() < 4 || bytes.size() % 2 != 0) return Utf16Guess::No;
    size_t little = 0, big = 0;
    const size_t units = bytes.size() / 2;
    for (size_t i = 0; i < units; ++i) {
        const bool lowZero = bytes[2 * i] == '\0', highZero = bytes[2 * i + 1] == '\0';
        if (!lowZero && highZero) ++little;
        if (lowZero && !highZero) ++big;
    }
    // Three in four units: room for non-Latin characters in the values, none for a binary file.
    if (little * 4 >= units * 3) return Utf16Guess::LittleEndian;
    if (big * 4 >= units * 3) return Utf16Guess::BigEndian;
    return Utf16Guess::No;
}

}  // namespace

std::string KeyFileText(std::string bytes)
{
    std::string_view view(bytes);
    if (view.substr(0, 2) == "\xFF\xFE") return Utf16ToCodePage(view.substr(2), false);
    if (view.substr(0, 2) == "\xFE\xFF") return Utf16ToCodePage(view.substr(2), true);
    if (view.substr(0, 3) == "\xEF\xBB\xBF") return Utf8ToCodePage(view.substr(3));
    switch (GuessUtf16(view)) {
        case Utf16Guess::LittleEndian:
            return Utf16ToCodePage(view, false);
        case Utf16Guess::BigEndian:
            return Utf16ToCodePage(view, true);
        case Utf16Guess::No:
            break;
    }
    return bytes;
}

}  // namespace talvero
