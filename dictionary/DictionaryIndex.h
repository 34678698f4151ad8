#pragma once
// A saved index beside a dictionary file: the file's text, its entry table and its built tree in
// one file that a later load maps read-only and answers from at once, the pages coming in as
// searches touch them. The dictionary file stays the only source of truth: an index is used only
// when it was written by this layout, in this code page, from the file as it is now, and only
// when its own checksum holds; anything else is ignored and written anew. The index keeps its
// own copy of the text, so a dictionary file that another process changes or cuts short while
// the index is mapped cannot pull pages from under a search.
//
// "The file as it is now" is checked the way build tools check their inputs, without reading
// the whole text on every load: the same inode, size, modification and change times (to the
// nanosecond where the file system keeps them) and the same bytes at 64 places spread over the
// file. A rewrite that restores the size and the modification time still moves the change
// time, which no user call can set back. What that leaves is a change made within the same
// clock tick as the last one: so an index built from a text that had changed just before it was
// read is checked against a hash of the whole content on every load, as all were before, until
// a load finds the text unchanged and long settled and marks the index as settled.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "dictionary/EntryTable.h"
#include "dictionary/TernarySearchTree.h"

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
    // `identity` describes it, and of `tree`, built over that part alone. Written to a
    // temporary file and renamed, so a reader sees the old index or the new one, never half of
    // one; returns false, leaving nothing behind, when it cannot be written (a read-only
    // directory, a full disk).
    static bool Write(const std::string& textPath, const Identity& identity,
                      const EntryTable& table, CTernarySearchTree& tree);

    std::string_view Text() const { return text; }
    const EntryTable::Entry* Entries() const { return entries; }
    uint32_t EntryCount() const { return entryCount; }
    const CTSTImage& Tree() const { return tree; }

private:
    DictionaryIndex() = default;

    void* mapping = nullptr;
    size_t mappedBytes = 0;
    std::string_view text;
    const EntryTable::Entry* entries = nullptr;
    uint32_t entryCount = 0;
    CTSTImage tree;
};

}  // namespace talvero
