#pragma once
// The ternary search tree that indexes the originals of an entry table. Characters compare as
// signed bytes, so bytes 0x80-0xFF order before 7-bit characters; nothing folds case.
//
// Nodes live in one arena and refer to each other and to their entries by 32-bit index. A key
// whose remaining characters are shared with no other key ends in a "tail": the node's equal link
// then names the key's entry and the rest is compared against the entry table's text, so most
// keys cost a handful of nodes instead of one per character; characters that all keys below a
// point share are kept in chain nodes of up to nine.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dictionary/EntryTable.h"
#include "dictionary/MappedArray.h"

namespace talvero {

struct CTSTNode {
    static constexpr uint32_t kNone = 0xFFFFFFFFu;
    static constexpr uint32_t kTailBit = 0x80000000u;
    // Values of the entry field from here up mark a chain node of 1 to 9 characters.
    static constexpr uint32_t kChainMark = 0xFFFFF7u;
    static constexpr uint32_t kMaxChain = 9;

    // A node stands for one character at its position: `low` and `high` lead to the smaller
    // and greater characters there, `equal` to the next position. A chain node stands for 1 to
    // 9 characters that every key through it shares: the first in `word`, the rest in place of
    // `low` and `high` (a chain has no siblings), and `equal` leads on.
    uint32_t low = kNone;
    uint32_t high = kNone;
    uint32_t equal = kNone;  // next position; with kTailBit: the one entry below, by index
    uint32_t word = 0;       // (entry + 1) << 8 | splitChar

    signed char SplitChar() const { return static_cast<signed char>(word & 0xFF); }
    int32_t Entry() const
    {
        const uint32_t v = word >> 8;
        return v >= kChainMark ? -1 : static_cast<int32_t>(v) - 1;
    }
    void SetEntry(uint32_t entry) { word = ((entry + 1) << 8) | (word & 0xFF); }
    bool HasTail() const { return equal != kNone && (equal & kTailBit); }
    uint32_t TailEntry() const { return equal & ~kTailBit; }

    bool IsChain() const { return (word >> 8) >= kChainMark; }
    uint32_t ChainLength() const { return (word >> 8) - kChainMark + 1; }
    void ChainBytes(char out[kMaxChain]) const;
    void SetChain(const char* bytes, uint32_t length);
};

using NodeArena = MappedArray<CTSTNode>;

// Where a text ends in the tree: what Find answers. A text that is only the beginning of
// stored originals has a position but no entry.
struct CTSTPosition {
    int32_t entry = -1;  // the entry whose original is exactly the text, -1 when none
    bool HasEntry() const { return entry >= 0; }

    uint32_t node = CTSTNode::kNone;  // the node of the text's last character, or the tail's
    bool inTail = false;              // the text ends inside the node's tail
    bool inChain = false;             // the text ends inside (or at the end of) a chain node
    bool inBase = false;              // found in the sorted part (see UseSorted); no node
};

// A slot of the whole-phrase hash index: (hash tag << 24) | (entry + 1), 0 when free, and where
// the original's text starts, so that a lookup reads the entry and the text at once rather than
// one after the other.
struct CTSTExactSlot {
    uint32_t tagEntry = 0;
    uint32_t offset = 0;
};

// The parts of a built tree as plain arrays: what a saved index holds, and what a tree reads
// from one. Node and entry links are indices, so the parts may lie anywhere.
struct CTSTImage {
    const CTSTNode* nodes = nullptr;
    uint32_t nodeCount = 0;
    uint32_t root = CTSTNode::kNone;
    const uint32_t* rootIndex = nullptr;  // 256 node indices, by first byte
    const CTSTExactSlot* exact = nullptr;
    uint32_t exactSlots = 0;  // a power of two, or 0 for none
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
    friend class CTernarySearchTree;
    const EntryTable* table;
    std::vector<uint32_t> entries;
};

class CTernarySearchTree {
public:
    // The tree indexes entries of `table`, which must outlive it.
    explicit CTernarySearchTree(const EntryTable& table);
    ~CTernarySearchTree();
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

    // The entry whose original is exactly `text`, or -1: the answer of Find(text)->entry,
    // from a hash index kept beside the tree for whole-phrase lookups.
    int32_t FindEntry(std::string_view text) const;

    // Appends every indexed original that begins with `text` to nearList, in the tree's order:
    // ascending by signed bytes, a phrase after the longer phrases that begin with it.
    void CollectNear(std::string_view text);

    NearList nearList;
    int32_t entryCount = 0;  // entries in the table, including those with an empty original

    size_t NodeCount() const { return nodes.size(); }

    // The tree's own parts, valid until the next Insert or Build.
    CTSTImage Image() const;
    // Every entry the own part answers for, in the order of near searches.
    std::vector<uint32_t> EntriesInOrder();
    // Answers from the table's first `count` entries, which are sorted in the tree's order with
    // no two originals equal and none empty (a saved index), by binary search. Entries inserted
    // afterwards go into the tree's own, empty part, which lookups consult first: a later pair
    // wins, as it does in a tree built whole.
    void UseSorted(uint32_t count);

    // The entries of `table` a tree built over it would answer for, in the order of near
    // searches: of equal originals the last, and no empty original. Costs about 40 bytes for
    // each entry of the largest group of originals sharing a first byte, beside the result.
    static std::vector<uint32_t> SortedEntries(const EntryTable& table);

private:
    CTSTImage Own() const;
    std::optional<CTSTPosition> FindIn(const CTSTImage& in, std::string_view text) const;
    int32_t FindEntryIn(const CTSTImage& in, std::string_view text) const;
    void CollectIn(const CTSTImage& in, std::string_view text, std::vector<uint32_t>& out);
    int32_t FindSortedEntry(std::string_view text) const;
    // The first sorted entry that does not come before the originals beginning with `text`.
    uint32_t SortedLowerBound(std::string_view text) const;
    void CollectSorted(std::string_view text, std::vector<uint32_t>& out) const;
    void AppendSubtree(const CTSTImage& in, uint32_t node, std::vector<uint32_t>& out);
    bool TailMatches(uint32_t entry, size_t from, std::string_view text) const;
    uint32_t NewNode(const CTSTNode& node);
    // Chain nodes for `bytes` leading to `next`; returns the first, or `next` when empty.
    uint32_t MakeChain(std::string_view bytes, uint32_t next);
    void IndexRootGroup();
    void IndexExact(uint32_t entry, bool replace);
    void IndexExactHashed(uint32_t entry, uint64_t hash, bool replace);
    void GrowExact();
    struct SortKey;
    void BuildNodes();
    uint32_t FirstBucket(uint32_t entry) const;
    static void SortAndMerge(std::vector<SortKey>& keys, std::vector<uint32_t>& lcp);
    // Builds the subtree of keys [0, count), which share their first character, below `parent`.
    void BuildGroups(const std::vector<SortKey>& keys, const std::vector<uint32_t>& lcp,
                     uint32_t count, uint32_t parent);
    void BuildExact();

    // Room kept after a build for nodes of pairs added at run time.
    static constexpr size_t kSpareNodes = 4096;

    const EntryTable& table;
    NodeArena nodes;
    uint32_t root = CTSTNode::kNone;
    std::vector<uint32_t> walkStack;  // kept between near searches to spare allocations
    struct Group {
        uint32_t lo, hi;  // its keys
        uint32_t depth;
        uint32_t parent;  // the node whose equal link leads here
    };
    std::vector<Group> groupStack;  // the build's work, kept across first characters
    // The node of each first character, when the root is an ordinary node: lookups skip the
    // root's binary tree.
    uint32_t rootIndex[256];
    // Open addressing over the indexed originals.
    using ExactSlot = CTSTExactSlot;
    std::vector<ExactSlot> exact;
    size_t exactCount = 0;
    std::optional<uint32_t> base;        // the sorted part's size, when there is one
    std::vector<uint32_t> mine, theirs;  // the two parts' near lists, to be merged
};

}  // namespace talvero
