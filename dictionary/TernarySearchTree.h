#pragma once
// The ternary search tree that indexes the originals of an entry table. Characters compare as
// signed bytes, so bytes 0x80-0xFF order before 7-bit characters; nothing folds case.
//
// Nodes live in one arena and refer to each other and to their entries by 32-bit index. A key
// whose remaining characters are shared with no other key ends in a "tail": the node's equal link
// then names the key's entry and the rest is compared against the entry table's text, so most
// keys cost a handful of nodes instead of one per character.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dictionary/EntryTable.h"

struct CTSTNode {
    static constexpr uint32_t kNone = 0xFFFFFFFFu;
    static constexpr uint32_t kTailBit = 0x80000000u;

    uint32_t low = kNone;
    uint32_t high = kNone;
    uint32_t equal = kNone;  // next position; with kTailBit: the one entry below, by index
    uint32_t word = 0;       // (entry + 1) << 8 | splitChar

    signed char SplitChar() const { return static_cast<signed char>(word & 0xFF); }
    int32_t Entry() const { return static_cast<int32_t>(word >> 8) - 1; }
    void SetEntry(uint32_t entry) { word = ((entry + 1) << 8) | (word & 0xFF); }
    bool HasTail() const { return equal != kNone && (equal & kTailBit); }
    uint32_t TailEntry() const { return equal & ~kTailBit; }
};

// Where a text ends in the tree: what Find answers. A text that is only the beginning of
// stored originals has a position but no entry.
struct CTSTPosition {
    int32_t entry = -1;  // the entry whose original is exactly the text, -1 when none
    bool HasEntry() const { return entry >= 0; }

    uint32_t node = CTSTNode::kNone;  // the node of the text's last character, or the tail's
    bool inTail = false;              // the text ends inside the node's tail
};

// Originals collected by near searches, in the order collected. Holds entry numbers; the text
// stays in the entry table, which outlives the tree.
class NearList {
public:
    explicit NearList(const EntryTable& table) : table(&table) {}
    size_t size() const { return entries.size(); }
    bool empty() const { return entries.empty(); }
    std::string_view operator[](size_t i) const { return table->Original(entries[i]); }
    uint32_t EntryAt(size_t i) const { return entries[i]; }
    void clear() { entries.clear(); }
    void push_back(uint32_t entry) { entries.push_back(entry); }
    std::vector<std::string> Strings() const;

private:
    const EntryTable* table;
    std::vector<uint32_t> entries;
};

class CTernarySearchTree {
public:
    // The tree indexes entries of `table`, which must outlive it.
    explicit CTernarySearchTree(const EntryTable& table);
    virtual ~CTernarySearchTree();
    CTernarySearchTree(const CTernarySearchTree&) = delete;
    CTernarySearchTree& operator=(const CTernarySearchTree&) = delete;

    // Indexes entry `entry` of the table under its original; a later entry with the same
    // original replaces an earlier one. An empty original is not indexed.
    void Insert(uint32_t entry);

    // Indexes every entry of the table, replacing the tree's content; later entries win over
    // earlier ones with the same original. Faster than inserting one by one, and the shape no
    // longer depends on the order of the entries.
    void Build();

    // The position at which `text` ends, or none (also for an empty text).
    std::optional<CTSTPosition> Find(std::string_view text) const;

    // Appends every indexed original that begins with `text` to nearList, in the tree's order:
    // ascending by signed bytes, a phrase after the longer phrases that begin with it.
    void CollectNear(std::string_view text);

    NearList nearList;
    int32_t entryCount = 0;  // entries in the table, including those with an empty original

    size_t NodeCount() const { return nodes.size(); }

private:
    void AppendSubtree(uint32_t node);
    bool TailMatches(uint32_t entry, size_t from, std::string_view text) const;

    // Room kept after a build for nodes of pairs added at run time.
    static constexpr size_t kSpareNodes = 4096;

    const EntryTable& table;
    std::vector<CTSTNode> nodes;
    uint32_t root = CTSTNode::kNone;
    std::vector<uint32_t> walkStack;  // kept between near searches to spare allocations
};
