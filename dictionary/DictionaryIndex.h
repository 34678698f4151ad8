#pragma once
// A saved index beside a dictionary file: the file's pairs sorted in the order of near searches,
// each an original and a translation ended by line feeds, and the offset of each, in one file
// that a later load maps read-only and searches by bisection, the pages coming in as searches
// touch them. Every block of it carries a checksum that is checked when a search first reads
// from the block, so a load costs the same at any size. The dictionary file stays the only
// source of truth: an index is used only when it was written by this layout, in this code page,
// from the file as it is now; anything else is ignored and written anew, and so is an index one
// of whose blocks turns out damaged. The index keeps its own copy of the text, so a dictionary
// file that another process changes or cuts short while the index is mapped cannot pull pages
// from under a search.
//
// "The file as it is now" is checked the way build tools check their inputs, without reading
// the whole text on every load: the same inode, size, modification and change times (to the
// nanosecond where the file system keeps them) and the same bytes at 64 places spread over the
// file. A rewrite that restores the size and the modification time still moves the change
// time, which no user call can set back. What that leaves is a change made within the same
// clock tick as the last one: so an index built from a text that had changed just before it was
// read is checked against a hash of the whole content on every load until a load finds the text
// unchanged and long settled and marks the index as settled.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dictionary/EntryTable.h"
#include "dictionary/IndexBlocks.h"

namespace talvero {

class DictionaryIndex {
public:
    ~DictionaryIndex();
    DictionaryIndex(const DictionaryIndex&) = delete;
    DictionaryIndex& operator=(const DictionaryIndex&) = delete;

    // What identifies the text an index was built from.
    struct Identity {
        uint64_t size = 0;
        int64_t modifiedNs = 0;
        int64_t changedNs = 0;
        uint64_t inode = 0;
        int64_t statNs = 0;       // the clock when the file was looked at
        uint64_t sampleHash = 0;  // of the bytes at the sampled places
        uint64_t hash = 0;        // of the whole content
    };

    // The index file of a dictionary file: beside it, under its name plus ".index".
    static std::string PathFor(const std::string& textPath);

    // Files smaller than this load from their text faster than an index is checked, and get
    // none.
    static inline uint64_t minimumTextBytes = 64 * 1024;

    // How long before it is read a text must have last changed for the cheap check to be
    // trusted. Two seconds cover the coarsest timestamps of common file systems.
    static inline int64_t settledNs = 2'000'000'000;

    // The mapped index of `textPath` when it is there and matches the file as it is now;
    // nullptr otherwise.
    static std::unique_ptr<DictionaryIndex> Open(const std::string& textPath);

    // What stat tells of a plain file (the hashes are left 0).
    static bool StatText(const std::string& textPath, Identity& identity);
    // Both hashes of `text`, the whole content of the file `identity` describes.
    static void HashText(std::string_view text, Identity& identity);

    // Writes the index of `table`, whose file part is the whole content of `textPath` as
    // `identity` describes it; `sorted` is what CTernarySearchTree::SortedEntries gives for it
    // (or a tree built over it, in the order of its near searches), and serves as working room.
    // Streamed into a temporary file created beside the index and renamed over the index's own
    // name (a link there is replaced, never written through), so a reader sees the old index or
    // the new one, never half of one. One writer per text at a time: returns false when another
    // is writing, or when the index cannot be written (a read-only directory, a full disk),
    // leaving nothing behind.
    static bool Write(const std::string& textPath, const Identity& identity,
                      const EntryTable& table, std::vector<uint32_t> sorted);

    // What a writer of its own runs: reads `textPath` and writes its index, unless a sound one
    // is there or another writer is at it.
    enum class Built { Written, AlreadyThere, Busy, Failed };
    static Built WriteFor(const std::string& textPath);

    std::string_view Text() const { return text; }
    const uint32_t* Records() const { return records; }
    uint32_t EntryCount() const { return entryCount; }
    // Entries [0, SortedCount()) are sorted in the tree's order, with no two originals equal.
    uint32_t SortedCount() const { return sortedCount; }
    const IndexBlocks& Blocks() const { return blocks; }

    // Where the checksummed blocks start in the file, and how long each is (for tests).
    static constexpr uint64_t kBlocksStart = 4096;

private:
    DictionaryIndex() = default;

    void* mapping = nullptr;
    size_t mappedBytes = 0;
    std::string_view text;
    const uint32_t* records = nullptr;
    uint32_t entryCount = 0;
    uint32_t sortedCount = 0;
    IndexBlocks blocks;
};

}  // namespace talvero
