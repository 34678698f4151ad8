#include "dictionary/EntryTable.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/TextFile.h"

namespace talvero {

void EntryTable::Clear()
{
    std::string().swap(fileText);
    addedText.Clear();
    std::vector<Entry>().swap(entries);
    added.Clear();
    fileEntries = 0;
    viewed = false;
    fileRecords = nullptr;
    blocks = nullptr;
    OwnFileParts();
}

void EntryTable::UseRecordView(std::string_view text, const uint32_t* records, uint32_t count,
                               const IndexBlocks& checks)
{
    UseFileView(text, nullptr, count);
    fileRecords = records;
    blocks = &checks;
}

void EntryTable::UseFileView(std::string_view text, const Entry* view, uint32_t count)
{
    Clear();
    fileBase = text.data();
    fileBytes = text.size();
    fileEntryBase = view;
    fileEntries = count;
    viewed = true;
}

bool EntryTable::AppendPairs(std::string_view content)
{
    // Split as IndexLines does: LF or CR LF, an odd last line gets an empty translation.
    auto nextLine = [&content]() {
        const size_t nl = content.find('\n');
        std::string_view line = content.substr(0, nl);
        content.remove_prefix(nl == std::string_view::npos ? content.size() : nl + 1);
        if (nl != std::string_view::npos && !line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        return line;
    };
    while (!content.empty()) {
        const std::string_view original = nextLine();
        const std::string_view translation = content.empty() ? std::string_view() : nextLine();
        if (Append(original, translation) < 0) return false;
    }
    return true;
}

bool EntryTable::AppendFileText(std::string_view content)
{
    if (!added.empty() || viewed) return false;
    if (fileText.size() + content.size() > kMaxTextBytes) return false;
    size_t from = fileText.size();
    fileText.append(content);
    if (!IndexLines(from)) {
        fileText.resize(from);
        OwnFileParts();
        return false;
    }
    return true;
}

bool EntryTable::AppendFile(const std::string& path, bool& tooLarge)
{
    tooLarge = false;
    long long size = 0;
    int fd = OpenPlainFile(path, size);
    if (fd < 0) return false;
    if (!added.empty() || viewed) {
        ::close(fd);
        return false;
    }

    size_t from = fileText.size();
    size_t expected = size > 0 ? static_cast<size_t>(size) : 0;
    if (from + expected > kMaxTextBytes) {
        ::close(fd);
        tooLarge = true;
        return false;
    }
    // Read straight into the buffer; the size is a hint (the file may change while read), so
    // the buffer grows only when the file turns out longer, keeping it exact in the usual case.
    fileText.reserve(from + expected);
    // Searches and the index writer reach into the text all over: large pages spare them most
    // of the address translations. Asked for before the pages are first touched.
    const uintptr_t huge = 2 << 20;
    const uintptr_t start = (reinterpret_cast<uintptr_t>(fileText.data()) + huge - 1) & ~(huge - 1);
    const uintptr_t end =
        (reinterpret_cast<uintptr_t>(fileText.data()) + fileText.capacity()) & ~(huge - 1);
    if (end > start) ::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
    fileText.resize(from + expected);
    size_t have = from;
    bool ok = true;
    for (;;) {
        char probe[1 << 12];
        const bool full = have == fileText.size();
        char* dest = full ? probe : fileText.data() + have;
        const size_t room = full ? sizeof probe : fileText.size() - have;
        ssize_t n = ::read(fd, dest, room);
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        if (n == 0) break;
        if (full) {
            fileText.append(probe, static_cast<size_t>(n));
        }
        have += static_cast<size_t>(n);
        if (have > kMaxTextBytes) {
            ok = false;
            tooLarge = true;
            break;
        }
    }
    ::close(fd);
    fileText.resize(ok ? have : from);
    OwnFileParts();
    if (!ok) return false;
    if (!IndexLines(from)) {
        fileText.resize(from);
        OwnFileParts();
        tooLarge = true;
        return false;
    }
    return true;
}

bool EntryTable::IndexLines(size_t from)
{
    const char* base = fileText.data();
    const char* p = base + from;
    const char* end = base + fileText.size();
    OwnFileParts();
    if (p == end) return true;

    size_t lines = 0;
    for (const char* q = p; (q = static_cast<const char*>(std::memchr(q, '\n', end - q)));) {
        ++lines;
        ++q;
    }
    if (end[-1] != '\n') ++lines;
    size_t pairs = (lines + 1) / 2;
    if (entries.size() + pairs > kMaxEntries) return false;
    entries.reserve(entries.size() + pairs);

    auto nextLine = [&](Span& span) {
        const char* nl = static_cast<const char*>(std::memchr(p, '\n', end - p));
        const char* stop = nl ? nl : end;
        const char* lineEnd = (nl && stop > p && stop[-1] == '\r') ? stop - 1 : stop;
        span.offset = static_cast<uint32_t>(p - base);
        span.length = static_cast<uint32_t>(lineEnd - p);
        p = nl ? nl + 1 : end;
    };
    while (p < end) {
        Entry e;
        nextLine(e.original);
        if (p < end) {
            nextLine(e.translation);
        } else {
            e.translation.offset = static_cast<uint32_t>(end - base);
        }
        entries.push_back(e);
    }
    fileEntries = static_cast<uint32_t>(entries.size());
    OwnFileParts();
    return true;
}

int64_t EntryTable::Append(std::string_view original, std::string_view translation)
{
    if (size() >= kMaxEntries ||
        addedText.size() + original.size() + translation.size() > kMaxTextBytes) {
        return -1;
    }
    Entry e;
    e.original = {static_cast<uint32_t>(addedText.size()), static_cast<uint32_t>(original.size())};
    addedText.Append(original.data(), original.size());
    e.translation = {static_cast<uint32_t>(addedText.size()),
                     static_cast<uint32_t>(translation.size())};
    addedText.Append(translation.data(), translation.size());
    added.PushBack(e);
    return static_cast<int64_t>(size() - 1);
}

}  // namespace talvero
