#pragma once
// The entry table of the loaded pair: entry i is the pair (originals[i], translations[i]). The
// text of the dictionary files is kept as read, in one buffer, and an entry is two {offset,
// length} spans into it, so a million pairs cost one allocation for the text and 16 bytes each.
// Pairs added at run time live in a second buffer. Entries are only ever appended; their index
// and their text never change while the table lives, which is what the tree relies on.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dictionary/IndexBlocks.h"
#include "dictionary/MappedArray.h"

namespace talvero {

class EntryTable {
public:
    // The largest number of entries and of text bytes a table holds (32-bit spans).
    static constexpr uint32_t kMaxEntries = 0xFFFFF6;  // the tree keeps entry + 1 in 24 bits
    static constexpr uint64_t kMaxTextBytes = 0xFFFFFFFFull;

    size_t size() const { return fileEntries + added.size(); }
    bool empty() const { return size() == 0; }

    std::string_view Original(uint32_t i) const
    {
        return IsRecord(i) ? RecordLine(Record(i)) : View(At(i).original, i);
    }
    // Where entry i's original starts, as an offset into the text that TextOf(i) returns: an
    // index can keep it to reach the text without reading the entry first.
    uint32_t OriginalOffset(uint32_t i) const
    {
        return IsRecord(i) ? Record(i) : At(i).original.offset;
    }
    uint32_t OriginalSize(uint32_t i) const
    {
        return IsRecord(i) ? static_cast<uint32_t>(Original(i).size()) : At(i).original.length;
    }
    const char* TextOf(uint32_t i) const { return i < fileEntries ? fileBase : addedText.data(); }
    std::string_view Translation(uint32_t i) const
    {
        if (!IsRecord(i)) return View(At(i).translation, i);
        const std::string_view original = Original(i);
        return RecordLine(static_cast<uint32_t>(original.data() + original.size() + 1 - fileBase));
    }

    void Clear();

    // Room for this many bytes of file text, so that a second file does not double the buffer.
    void ReserveFileText(size_t bytes)
    {
        fileText.reserve(bytes);
        if (!viewed) OwnFileParts();
    }

    // Appends the pairs of a dictionary file's content: lines end in LF or CR LF, line 1 is an
    // original, line 2 its translation, and so on; an odd last line gets an empty translation.
    // The table keeps the content. Files come before any pair added with Append. Returns false
    // (and appends nothing) when the table would outgrow its limits, or after an Append.
    bool AppendFileText(std::string_view content);

    // Reads a file and appends its pairs, as AppendFileText. Returns false when it cannot be
    // opened or read, or the table would outgrow its limits; `tooLarge` tells the second apart.
    bool AppendFile(const std::string& path, bool& tooLarge);

    // Appends one pair; returns its index, or -1 when the table is full.
    int64_t Append(std::string_view original, std::string_view translation);

    // Appends the pairs of a dictionary file's content one by one, as Append (the personal
    // file beside a mapped index). Returns false when the table is full; the pairs before stay.
    bool AppendPairs(std::string_view content);

    struct Span {
        uint32_t offset = 0;
        uint32_t length = 0;
    };
    struct Entry {
        Span original;
        Span translation;
    };

    // The file part of the table: its text and its entries, as a saved index needs them.
    std::string_view FileText() const { return std::string_view(fileBase, fileBytes); }
    const Entry* FileEntries() const { return fileEntryBase; }
    uint32_t FileEntryCount() const { return fileEntries; }

    // Empties the table and makes `entries` over `text` its file part, without copying: both
    // stay where they are (a mapped index) for as long as the table uses them. Every span must
    // lie within `text`.
    void UseFileView(std::string_view text, const Entry* entries, uint32_t count);

    // The same over a saved index's records: entry i is the original and the translation, each
    // ended by a line feed, at offset records[i] of `text`. Every read goes through `blocks`,
    // so it may throw DamagedIndex.
    void UseRecordView(std::string_view text, const uint32_t* records, uint32_t count,
                       const IndexBlocks& blocks);

private:
    const Entry& At(uint32_t i) const
    {
        return i < fileEntries ? fileEntryBase[i] : added[i - fileEntries];
    }
    std::string_view View(Span s, uint32_t i) const
    {
        return std::string_view(TextOf(i) + s.offset, s.length);
    }
    bool IndexLines(size_t from);
    bool IsRecord(uint32_t i) const { return fileRecords && i < fileEntries; }
    uint32_t Record(uint32_t i) const
    {
        blocks->Touch(&fileRecords[i], sizeof(uint32_t));
        const uint32_t at = fileRecords[i];
        if (at >= fileBytes) throw DamagedIndex();
        return at;
    }
    std::string_view RecordLine(uint32_t at) const
    {
        if (at >= fileBytes) throw DamagedIndex();
        return blocks->Line(fileBase + at, fileBase + fileBytes);
    }

    std::string fileText;         // the dictionary files, as read
    MappedArray<char> addedText;  // pairs added at run time
    std::vector<Entry> entries;   // the files' pairs
    // Pairs added at run time, apart, so that the first addition does not copy every entry.
    MappedArray<Entry> added;
    uint32_t fileEntries = 0;  // entries [0, fileEntries) point into the file text
    // The file part as read: fileText and entries, or a view of a mapped index.
    const char* fileBase = nullptr;
    size_t fileBytes = 0;
    const Entry* fileEntryBase = nullptr;
    bool viewed = false;  // the file part is a view (UseFileView), not fileText and entries
    const uint32_t* fileRecords = nullptr;  // the file part as an index's records
    const IndexBlocks* blocks = nullptr;
    void OwnFileParts()
    {
        fileBase = fileText.data();
        fileBytes = fileText.size();
        fileEntryBase = entries.data();
    }
};

}  // namespace talvero
