#pragma once
// Small file helpers shared by the settings, services and dictionary files.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace talvero {

// Opens a plain file for reading without ever waiting: a pipe, a device or a directory in the
// file's place gives -1, as does a file that cannot be opened. On success `size` is its size.
int OpenPlainFile(const std::string& path, long long& size);

// Reads a whole plain file. Returns false when it cannot be opened or read, or is not a plain
// file (a pipe, a device, a directory).
bool ReadWholeFile(const std::string& path, std::string& out);

// Reads what is left of an open file up to its end.
bool ReadFromDescriptor(int fd, std::string& out);

// What reading a file gave: its text, no file at all, a file that is there but cannot be read
// (no permission, a directory, pipe or device in its place, a read error), or one larger than
// `maxSize`, which is not read at all.
enum class FileRead { Read, Missing, Unreadable, TooLarge };
FileRead ReadFileIfPresent(const std::string& path, std::string& out, size_t maxSize = SIZE_MAX);

// The settings and services files are a few kilobytes; anything beyond this is not one of them,
// and reading it whole would cost the user's memory for nothing.
inline constexpr size_t kMaxKeyFileSize = 1 << 20;

// The text of a key/value-line file in the program's code page. Editors that save "Unicode"
// write UTF-16, with a byte-order mark or without one; others put a mark before UTF-8. Such a
// file is read as what it is; anything else is taken as code-page text, byte for byte.
std::string KeyFileText(std::string bytes);

// Splits text into lines ending in LF or CR LF (the terminator is dropped). A final line without
// terminator is a line; a terminator at the very end does not start another line.
std::vector<std::string_view> SplitLines(std::string_view text);

// Replaces `path` with `content` atomically: a temporary file in the same directory (created
// exclusively), written, flushed and fsynced, renamed over the target, directory fsynced. The
// target's permissions are kept (narrowed to the owner when `ownerOnly`); a new file gets
// `newFileMode`. On any failure the old file is untouched and false is returned.
bool AtomicWriteFile(const std::string& path, std::string_view content, unsigned newFileMode = 0644,
                     bool ownerOnly = false);
// The same, keeping the target's owner and group as well as its mode (a file replaced by root
// stays readable by the service that owns it); false, the old file untouched, when they cannot
// be kept.
bool AtomicWriteFileKeepingOwner(const std::string& path, std::string_view content,
                                 unsigned newFileMode = 0600);
// The same with the content in pieces, written one after the other. Without `durable` nothing is
// fsynced: for files that are rebuilt when a crash leaves them empty or torn (caches).
bool AtomicWriteParts(const std::string& path, const std::vector<std::string_view>& parts,
                      unsigned newFileMode = 0644, bool durable = true);

// Removes the temporary files that AtomicWriteFile left beside `path` when it was killed before
// its rename (they may hold a password). A temporary that a running write still holds is kept.
// Returns how many were removed. Without `followLink`, a link at `path` is not followed: the
// temporaries sought are those beside the link (a cache that replaces the link itself).
int RemoveStaleTemporaries(const std::string& path, bool followLink = true);

// Blanks, tabs, line breaks, vertical tabs and form feeds.
bool IsWhiteSpace(char c);
// `text` without white space at either end.
std::string_view TrimWhiteSpace(std::string_view text);

// Writes all of `data` to a file descriptor, retrying after interruptions.
bool WriteAll(int fd, std::string_view data);

// The platform's line end for files we write.
inline constexpr std::string_view kLineEnd = "\n";

}  // namespace talvero
