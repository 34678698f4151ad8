#include "dictionary/TernarySearchTree.h"

#include <algorithm>
#include <cstring>

#include "dictionary/Bits.h"

namespace talvero {

std::vector<std::string> NearList::Strings() const
{
    std::vector<std::string> out;
    out.reserve(entries.size());
    for (uint32_t e : entries)
        out.emplace_back(table->Original(e));
    return out;
}

static_assert(EntryTable::kMaxEntries < CTSTNode::kChainMark,
              "entry numbers must not look like chains");

void CTSTNode::ChainBytes(char out[kMaxChain]) const
{
    out[0] = static_cast<char>(word & 0xFF);
    std::memcpy(out + 1, &low, 4);
    std::memcpy(out + 5, &high, 4);
}

void CTSTNode::SetChain(const char* bytes, uint32_t length)
{
    char buf[kMaxChain] = {};
    std::memcpy(buf, bytes, length);
    word = ((kChainMark + length - 1) << 8) | static_cast<unsigned char>(buf[0]);
    std::memcpy(&low, buf + 1, 4);
    std::memcpy(&high, buf + 5, 4);
}

CTernarySearchTree::CTernarySearchTree(const EntryTable& table) : nearList(table), table(table)
{
    std::fill(std::begin(rootIndex), std::end(rootIndex), CTSTNode::kNone);
}

namespace {

uint64_t HashText(std::string_view s)
{
    uint64_t h = 0x9E3779B97F4A7C15ull ^ s.size();
    size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        uint64_t v;
        std::memcpy(&v, s.data() + i, 8);
        h = (h ^ v) * 0xBF58476D1CE4E5B9ull;
        h ^= h >> 31;
    }
    uint64_t v = 0;
    std::memcpy(&v, s.data() + i, s.size() - i);
    h = (h ^ v) * 0x94D049BB133111EBull;
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    return h ^ (h >> 32);
}

constexpr uint32_t kTagShift = 24;
constexpr uint32_t kEntryMask = (1u << kTagShift) - 1;

}  // namespace

void CTernarySearchTree::IndexExact(uint32_t entry, bool replace)
{
    IndexExactHashed(entry, HashText(table.Original(entry)), replace);
}

void CTernarySearchTree::IndexExactHashed(uint32_t entry, uint64_t h, bool replace)
{
    if ((exactCount + 1) * 4 > exact.size() * 3) GrowExact();
    const std::string_view key = table.Original(entry);
    const uint32_t tag = static_cast<uint32_t>(h >> 56);
    const ExactSlot fresh{(tag << kTagShift) | (entry + 1), table.OriginalOffset(entry)};
    const size_t mask = exact.size() - 1;
    for (size_t i = h & mask;; i = (i + 1) & mask) {
        const uint32_t slot = exact[i].tagEntry;
        if (slot == 0) {
            exact[i] = fresh;
            ++exactCount;
            return;
        }
        if (replace && (slot >> kTagShift) == tag &&
            table.Original((slot & kEntryMask) - 1) == key) {
            exact[i] = fresh;
            return;
        }
    }
}

void CTernarySearchTree::GrowExact()
{
    std::vector<ExactSlot> old;
    old.swap(exact);
    exact.assign(std::max<size_t>(64, old.size() * 2), ExactSlot{});
    exactCount = 0;
    for (const ExactSlot& slot : old) {
        if (slot.tagEntry != 0) IndexExact((slot.tagEntry & kEntryMask) - 1, false);
    }
}

int32_t CTernarySearchTree::FindEntry(std::string_view text) const
{
    // The own part holds the later entries: its answer wins.
    const int32_t own = FindEntryIn(Own(), text);
    if (own >= 0 || !base) return own;
    return FindSortedEntry(text);
}

int32_t CTernarySearchTree::FindEntryIn(const CTSTImage& in, std::string_view text) const
{
    if (in.exactSlots == 0 || text.empty()) return -1;
    const uint64_t h = HashText(text);
    const uint32_t tag = static_cast<uint32_t>(h >> 56);
    const size_t mask = in.exactSlots - 1;
    for (size_t i = h & mask;; i = (i + 1) & mask) {
        const ExactSlot slot = in.exact[i];
        if (slot.tagEntry == 0) return -1;
        if ((slot.tagEntry >> kTagShift) == tag) {
            const uint32_t entry = (slot.tagEntry & kEntryMask) - 1;
            // Both reads depend only on the slot, so they are under way together.
            const char* stored = table.TextOf(entry) + slot.offset;
            if (table.OriginalSize(entry) == text.size() &&
                std::memcmp(stored, text.data(), text.size()) == 0) {
                return static_cast<int32_t>(entry);
            }
        }
    }
}

CTSTImage CTernarySearchTree::Own() const
{
    return CTSTImage{nodes.data(), static_cast<uint32_t>(nodes.size()), root, rootIndex,
                     exact.data(), static_cast<uint32_t>(exact.size())};
}

CTSTImage CTernarySearchTree::Image() const
{
    return Own();
}

std::vector<uint32_t> CTernarySearchTree::EntriesInOrder()
{
    std::vector<uint32_t> out;
    if (root != CTSTNode::kNone) AppendSubtree(Own(), root, out);
    return out;
}

void CTernarySearchTree::UseSorted(uint32_t count)
{
    nodes.Clear();
    root = CTSTNode::kNone;
    std::fill(std::begin(rootIndex), std::end(rootIndex), CTSTNode::kNone);
    std::vector<ExactSlot>().swap(exact);
    exactCount = 0;
    base = count;
    entryCount = static_cast<int32_t>(table.size());
}

uint32_t CTernarySearchTree::NewNode(const CTSTNode& node)
{
    return static_cast<uint32_t>(nodes.PushBack(node));
}

uint32_t CTernarySearchTree::MakeChain(std::string_view bytes, uint32_t next)
{
    // Built from the end, as each piece links to the next.
    while (!bytes.empty()) {
        const size_t piece = bytes.size() % CTSTNode::kMaxChain == 0
                                 ? CTSTNode::kMaxChain
                                 : bytes.size() % CTSTNode::kMaxChain;
        CTSTNode n;
        n.SetChain(bytes.data() + bytes.size() - piece, static_cast<uint32_t>(piece));
        n.equal = next;
        next = NewNode(n);
        bytes.remove_suffix(piece);
    }
    return next;
}

void CTernarySearchTree::IndexRootGroup()
{
    std::fill(std::begin(rootIndex), std::end(rootIndex), CTSTNode::kNone);
    if (root == CTSTNode::kNone || nodes[root].IsChain()) return;
    std::vector<uint32_t> pending{root};
    while (!pending.empty()) {
        const uint32_t x = pending.back();
        pending.pop_back();
        rootIndex[nodes[x].word & 0xFF] = x;
        if (nodes[x].low != CTSTNode::kNone) pending.push_back(nodes[x].low);
        if (nodes[x].high != CTSTNode::kNone) pending.push_back(nodes[x].high);
    }
}

CTernarySearchTree::~CTernarySearchTree() = default;

void CTernarySearchTree::Insert(uint32_t entry)
{
    const std::string_view key = table.Original(entry);
    if (key.empty()) return;

    // The link being followed: the root, or one of a node's three links. Held as indices, as
    // creating a node may move the arena.
    enum Which { kRoot, kLow, kHigh, kEqual };
    uint32_t parent = CTSTNode::kNone;
    Which which = kRoot;
    auto link = [&]() -> uint32_t& {
        if (which == kRoot) return root;
        CTSTNode& p = nodes[parent];
        return which == kLow ? p.low : which == kHigh ? p.high : p.equal;
    };
    auto charNode = [](char c) {
        CTSTNode n;
        n.word = static_cast<unsigned char>(c);
        return n;
    };
    bool rootGroupChanged = false;

    const size_t last = key.size() - 1;
    size_t d = 0;
    for (;;) {
        const uint32_t cur = link();
        if (cur == CTSTNode::kNone) {
            CTSTNode n = charNode(key[d]);
            if (d == last) {
                n.SetEntry(entry);
            } else {
                n.equal = CTSTNode::kTailBit | entry;
            }
            const uint32_t idx = NewNode(n);
            link() = idx;
            rootGroupChanged |= d == 0;
            break;
        }
        if (nodes[cur].IsChain()) {
            char bytes[CTSTNode::kMaxChain];
            nodes[cur].ChainBytes(bytes);
            const size_t length = nodes[cur].ChainLength();
            size_t k = 0;
            while (k < length && d + k < key.size() && key[d + k] == bytes[k])
                ++k;
            if (k == length && key.size() > d + length) {
                parent = cur;
                which = kEqual;
                d += length;
                continue;
            }
            // The key parts from the chain or ends inside it: the character where that happens
            // becomes an ordinary node between what is left of the chain before and after it.
            const size_t split = (k < length && d + k < key.size()) ? k : k - 1;
            const uint32_t after = MakeChain(
                std::string_view(bytes + split + 1, length - split - 1), nodes[cur].equal);
            CTSTNode middle = charNode(bytes[split]);
            middle.equal = after;
            if (split == 0) {
                nodes[cur] = middle;
                rootGroupChanged |= d == 0;
            } else {
                const uint32_t m = NewNode(middle);
                CTSTNode before;
                before.SetChain(bytes, static_cast<uint32_t>(split));
                before.equal = m;
                nodes[cur] = before;
            }
            continue;  // again at the same link, now shorter or an ordinary node
        }
        const signed char c = static_cast<signed char>(key[d]);
        const signed char split = nodes[cur].SplitChar();
        if (c != split) {
            parent = cur;
            which = c < split ? kLow : kHigh;
            continue;
        }
        if (d == last) {
            nodes[cur].SetEntry(entry);
            break;
        }
        if (nodes[cur].equal == CTSTNode::kNone) {
            nodes[cur].equal = CTSTNode::kTailBit | entry;
            break;
        }
        if (nodes[cur].HasTail()) {
            const uint32_t other = nodes[cur].TailEntry();
            const std::string_view otherKey = table.Original(other);
            if (otherKey == key) {
                nodes[cur].equal = CTSTNode::kTailBit | entry;
                break;
            }
            // Give the other key nodes down to where the two part or one of them ends: the
            // shared characters as a chain, then an ordinary node that holds the other key's
            // entry or tail. The new key then finds its way as through any other node.
            size_t stop = d + 1;
            while (stop < otherKey.size() - 1 && stop < last && otherKey[stop] == key[stop])
                ++stop;
            CTSTNode end = charNode(otherKey[stop]);
            if (stop == otherKey.size() - 1) {
                end.SetEntry(other);
            } else {
                end.equal = CTSTNode::kTailBit | other;
            }
            const uint32_t endIdx = NewNode(end);
            nodes[cur].equal = MakeChain(otherKey.substr(d + 1, stop - d - 1), endIdx);
        }
        parent = cur;
        which = kEqual;
        ++d;
    }
    if (rootGroupChanged) IndexRootGroup();
    IndexExact(entry, true);
}

namespace {

constexpr size_t kPrefixBytes = 16;

uint64_t LoadBigEndian(const char* p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    return FromBigEndian(v);
}

// Bytes flipped so that unsigned order is signed-byte order; missing bytes padded with the
// greatest value, so that a shorter key never orders before a longer one that begins with it
// (ties are settled by the full comparison).
uint64_t ChunkOf(std::string_view key, size_t from)
{
    if (key.size() >= from + 8) return LoadBigEndian(key.data() + from) ^ 0x8080808080808080ull;
    uint64_t p = 0;
    for (size_t k = from; k < from + 8; ++k) {
        const uint64_t byte = k < key.size() ? (static_cast<unsigned char>(key[k]) ^ 0x80u) : 0xFFu;
        p = (p << 8) | byte;
    }
    return p;
}

size_t CommonPrefix(const char* a, const char* b, size_t n)
{
    size_t k = 0;
    while (k + 8 <= n) {
        uint64_t x, y;
        std::memcpy(&x, a + k, 8);
        std::memcpy(&y, b + k, 8);
        if (x != y) return k + static_cast<size_t>(LowZeroBits(x ^ y) / 8);
        k += 8;
    }
    while (k < n && a[k] == b[k])
        ++k;
    return k;
}

}  // namespace

// A key to sort: its first sixteen bytes, made to order as the tree does, then the whole key.
// The copy of the first bytes keeps the sort, the common prefixes and the top of the tree out
// of the text, whose keys lie in file order, not in sorted order.
struct CTernarySearchTree::SortKey {
    uint64_t prefix[2];
    const char* data;
    uint32_t size;
    uint32_t entry;
};

void CTernarySearchTree::Build()
{
    base.reset();
    nodes.Clear();
    root = CTSTNode::kNone;
    std::fill(std::begin(rootIndex), std::end(rootIndex), CTSTNode::kNone);
    std::vector<ExactSlot>().swap(exact);
    exactCount = 0;
    entryCount = static_cast<int32_t>(table.size());
    BuildNodes();
    // Address room for as many nodes again, so that additions never have to move the arena;
    // pages are only backed by memory once a node is written to them.
    nodes.Reserve(2 * nodes.size() + kSpareNodes);
    IndexRootGroup();
    BuildExact();
}

namespace {

// Lays runs [a, b) out as a binary tree in preorder from nodes[base + pos], rooted at the run
// that holds the middle key, so that frequent characters sit near the top. make(run, index)
// gives a run's node without its low and high links. Returns the next free position.
template <typename Make>
uint32_t PlaceRuns(NodeArena& nodes, const uint32_t* runStart, uint32_t a, uint32_t b,
                   uint32_t base, uint32_t pos, Make& make)
{
    const uint32_t middleKey = runStart[a] + (runStart[b] - runStart[a]) / 2;
    const uint32_t m = static_cast<uint32_t>(
        std::upper_bound(runStart + a, runStart + b, middleKey) - runStart - 1);
    const uint32_t idx = base + pos;
    CTSTNode node = make(m, idx);
    uint32_t next = pos + 1;
    if (a < m) {
        node.low = base + next;
        next = PlaceRuns(nodes, runStart, a, m, base, next, make);
    }
    if (m + 1 < b) {
        node.high = base + next;
        next = PlaceRuns(nodes, runStart, m + 1, b, base, next, make);
    }
    nodes[idx] = node;
    return next;
}

}  // namespace

void CTernarySearchTree::BuildNodes()
{
    // The keys are sorted and built one first character at a time: only that character's sort
    // keys are alive at once, which keeps the build's peak memory near what the loaded
    // dictionary needs. Buckets are numbered in the tree's order (signed bytes).
    const uint32_t n = static_cast<uint32_t>(table.size());
    uint32_t bucketStart[257] = {};
    for (uint32_t i = 0; i < n; ++i) {
        if (table.OriginalSize(i) != 0) ++bucketStart[FirstBucket(i) + 1];
    }
    uint32_t largest = 0;
    for (int b = 0; b < 256; ++b) {
        largest = std::max(largest, bucketStart[b + 1]);
        bucketStart[b + 1] += bucketStart[b];
    }
    if (bucketStart[256] == 0) return;
    std::vector<uint32_t> order(bucketStart[256]);
    {
        uint32_t fill[256];
        std::copy(bucketStart, bucketStart + 256, fill);
        for (uint32_t i = 0; i < n; ++i) {
            if (table.OriginalSize(i) != 0) order[fill[FirstBucket(i)]++] = i;
        }
    }

    // The root group: a node for each first character.
    uint32_t runStart[257];  // at most one run per byte value, plus the end
    uint32_t runBucket[256];
    uint32_t runCount = 0;
    for (uint32_t b = 0; b < 256; ++b) {
        if (bucketStart[b + 1] == bucketStart[b]) continue;
        runStart[runCount] = bucketStart[b];
        runBucket[runCount++] = b;
    }
    runStart[runCount] = bucketStart[256];
    uint32_t bucketNode[256];
    nodes.Resize(runCount);
    root = 0;
    auto rootNode = [&](uint32_t run, uint32_t idx) {
        bucketNode[runBucket[run]] = idx;
        CTSTNode node;
        node.word = runBucket[run] ^ 0x80u;
        return node;
    };
    PlaceRuns(nodes, runStart, 0, runCount, 0, 0, rootNode);

    std::vector<SortKey> keys;
    std::vector<uint32_t> lcp;
    keys.reserve(largest);
    lcp.reserve(largest + 1);
    for (uint32_t r = 0; r < runCount; ++r) {
        const uint32_t b = runBucket[r];
        keys.clear();
        for (uint32_t k = bucketStart[b]; k < bucketStart[b + 1]; ++k) {
            const uint32_t i = order[k];
            const std::string_view key = table.Original(i);
            keys.push_back({{ChunkOf(key, 0), ChunkOf(key, 8)},
                            key.data(),
                            static_cast<uint32_t>(key.size()),
                            i});
        }
        SortAndMerge(keys, lcp);
        const uint32_t top = bucketNode[b];
        uint32_t end = static_cast<uint32_t>(keys.size());
        // The key of the character alone comes last.
        if (keys[end - 1].size == 1) nodes[top].SetEntry(keys[--end].entry);
        if (end == 1) nodes[top].equal = CTSTNode::kTailBit | keys[0].entry;
        if (end > 1) BuildGroups(keys, lcp, end, top);
    }
}

std::vector<uint32_t> CTernarySearchTree::SortedEntries(const EntryTable& table)
{
    // As the build sorts: one first byte at a time, so that only that byte's keys are alive.
    const uint32_t n = static_cast<uint32_t>(table.size());
    auto bucketOf = [&](uint32_t i) {
        return static_cast<unsigned char>(table.Original(i)[0]) ^ 0x80u;
    };
    uint32_t bucketStart[257] = {};
    for (uint32_t i = 0; i < n; ++i) {
        if (table.OriginalSize(i) != 0) ++bucketStart[bucketOf(i) + 1];
    }
    for (int b = 0; b < 256; ++b)
        bucketStart[b + 1] += bucketStart[b];
    std::vector<uint32_t> order(bucketStart[256]);
    {
        uint32_t fill[256];
        std::copy(bucketStart, bucketStart + 256, fill);
        for (uint32_t i = 0; i < n; ++i) {
            if (table.OriginalSize(i) != 0) order[fill[bucketOf(i)]++] = i;
        }
    }
    std::vector<SortKey> keys;
    std::vector<uint32_t> lcp;
    size_t kept = 0;
    for (uint32_t b = 0; b < 256; ++b) {
        keys.clear();
        for (uint32_t k = bucketStart[b]; k < bucketStart[b + 1]; ++k) {
            // A bucket's keys lie all over the text: each is asked for a little ahead.
            if (k + 16 < bucketStart[b + 1]) Prefetch(table.Original(order[k + 16]).data());
            const std::string_view key = table.Original(order[k]);
            keys.push_back({{ChunkOf(key, 0), ChunkOf(key, 8)},
                            key.data(),
                            static_cast<uint32_t>(key.size()),
                            order[k]});
        }
        SortAndMerge(keys, lcp);
        // The bucket's keys are sorted in place of the bucket's own start or later.
        for (const SortKey& key : keys)
            order[kept++] = key.entry;
    }
    order.resize(kept);
    return order;
}

uint32_t CTernarySearchTree::FirstBucket(uint32_t entry) const
{
    return static_cast<unsigned char>(table.TextOf(entry)[table.OriginalOffset(entry)]) ^ 0x80u;
}

void CTernarySearchTree::SortAndMerge(std::vector<SortKey>& keys, std::vector<uint32_t>& lcp)
{
    // Keys agreeing in their first sixteen bytes are few; only they are compared in the text.
    // The padding of short keys can agree with real bytes, so the sizes settle what is left.
    auto commonPrefix = [](const SortKey& a, const SortKey& b) -> size_t {
        const size_t n = std::min(a.size, b.size);
        for (size_t c = 0; c < 2; ++c) {
            if (a.prefix[c] != b.prefix[c]) {
                const size_t k =
                    8 * c + static_cast<size_t>(HighZeroBits(a.prefix[c] ^ b.prefix[c]) / 8);
                return std::min(n, k);
            }
        }
        if (n <= kPrefixBytes) return n;
        return kPrefixBytes +
               CommonPrefix(a.data + kPrefixBytes, b.data + kPrefixBytes, n - kPrefixBytes);
    };
    std::sort(keys.begin(), keys.end(), [&](const SortKey& a, const SortKey& b) {
        if (a.prefix[0] != b.prefix[0]) return a.prefix[0] < b.prefix[0];
        if (a.prefix[1] != b.prefix[1]) return a.prefix[1] < b.prefix[1];
        const size_t n = std::min(a.size, b.size);
        const size_t k = n <= kPrefixBytes
                             ? n
                             : kPrefixBytes + CommonPrefix(a.data + kPrefixBytes,
                                                           b.data + kPrefixBytes, n - kPrefixBytes);
        if (k < n) return static_cast<signed char>(a.data[k]) < static_cast<signed char>(b.data[k]);
        if (a.size != b.size) return a.size > b.size;
        return a.entry < b.entry;
    });

    // Of equal originals the last entry wins. lcp[i]: bytes key i shares with key i - 1.
    lcp.clear();
    size_t kept = 0;
    for (size_t i = 0; i < keys.size(); ++i) {
        if (kept > 0) {
            const SortKey& prev = keys[kept - 1];
            const size_t common = commonPrefix(prev, keys[i]);
            if (common == prev.size && prev.size == keys[i].size) {
                keys[kept - 1] = keys[i];
                continue;
            }
            lcp.push_back(static_cast<uint32_t>(common));
        } else {
            lcp.push_back(0);
        }
        keys[kept++] = keys[i];
    }
    keys.resize(kept);
    lcp.push_back(0);
}

void CTernarySearchTree::BuildGroups(const std::vector<SortKey>& keys,
                                     const std::vector<uint32_t>& lcp, uint32_t count,
                                     uint32_t parent)
{
    // Each sibling group becomes a binary tree over its characters, rooted at the character
    // that splits the group's keys in half, so that frequent beginnings sit near the top. Its
    // nodes lie together (in preorder), so the steps within a group stay in a cache line or
    // two. A work stack of groups rather than recursion: shared prefixes can be as deep as the
    // longest line.
    std::vector<Group>& groups = groupStack;
    groups.push_back({0, count, 1, parent});
    uint32_t runStart[257];  // at most one run per byte value, plus the end
    while (!groups.empty()) {
        const Group group = groups.back();
        groups.pop_back();
        const uint32_t d = group.depth;
        // Every key of a group is longer than d, so neighbours sharing exactly d bytes differ
        // in the character at d: a run of one character ends there.
        uint32_t runCount = 0;
        uint32_t shared = 0xFFFFFFFFu;  // bytes every key of the group shares
        runStart[runCount++] = group.lo;
        for (uint32_t i = group.lo + 1; i < group.hi; ++i) {
            shared = std::min(shared, lcp[i]);
            if (lcp[i] == d) {
                runStart[runCount++] = i;
                if (d >= kPrefixBytes) Prefetch(keys[i].data + d);
            }
        }
        runStart[runCount] = group.hi;
        auto charOf = [&](uint32_t k, uint32_t at) {
            return at < kPrefixBytes
                       ? static_cast<char>((keys[k].prefix[at / 8] >> (56 - 8 * (at % 8))) ^ 0x80)
                       : keys[k].data[at];
        };
        auto linkGroup = [&](uint32_t idx) { nodes[group.parent].equal = idx; };

        // One character that no key ends at: the characters down to where the keys part or
        // one ends become chain nodes, laid out in a row.
        const uint32_t shortest = keys[group.hi - 1].size;  // a key ending here comes last
        if (runCount == 1 && shortest != d + 1 && group.hi - group.lo > 1) {
            const uint32_t stop = std::min(shared, shortest - 1);
            const uint32_t count = (stop - d + CTSTNode::kMaxChain - 1) / CTSTNode::kMaxChain;
            const uint32_t first = static_cast<uint32_t>(nodes.size());
            nodes.Resize(first + count);
            linkGroup(first);
            char bytes[CTSTNode::kMaxChain];
            for (uint32_t c = 0, at = d; c < count; ++c) {
                const uint32_t length = std::min<uint32_t>(CTSTNode::kMaxChain, stop - at);
                for (uint32_t k = 0; k < length; ++k)
                    bytes[k] = charOf(group.lo, at + k);
                nodes[first + c].SetChain(bytes, length);
                nodes[first + c].equal = first + c + 1;
                at += length;
            }
            groups.push_back({group.lo, group.hi, stop, first + count - 1});
            continue;
        }

        const uint32_t base = static_cast<uint32_t>(nodes.size());
        nodes.Resize(base + runCount);
        uint32_t heaviest = 0;
        size_t heaviestAt = groups.size();
        linkGroup(base);
        auto make = [&](uint32_t m, uint32_t idx) {
            const uint32_t begin = runStart[m];
            uint32_t end = runStart[m + 1];
            CTSTNode node;
            node.word = static_cast<unsigned char>(charOf(begin, d));
            // The key that ends here comes last among the keys with this character.
            if (keys[end - 1].size == d + 1) {
                node.SetEntry(keys[end - 1].entry);
                --end;
            }
            if (end - begin == 1) node.equal = CTSTNode::kTailBit | keys[begin].entry;
            if (end - begin > 1) {
                groups.push_back({begin, end, d + 1, idx});
                // The largest subgroup is laid out right after this group: a lookup most often
                // goes on there.
                if (end - begin > heaviest) {
                    heaviest = end - begin;
                    heaviestAt = groups.size() - 1;
                }
            }
            return node;
        };
        PlaceRuns(nodes, runStart, 0, runCount, base, 0, make);
        if (heaviestAt + 1 < groups.size()) std::swap(groups[heaviestAt], groups.back());
    }
}

void CTernarySearchTree::BuildExact()
{
    // The whole-phrase index, filled in file order (the text is read in sequence); a later
    // entry replaces an earlier one with the same original.
    size_t slots = 64;
    while (slots * 3 < table.size() * 4)
        slots *= 2;
    exact.assign(slots, ExactSlot{});
    {
        // Hashes run a few entries ahead of the insertions, with their slots prefetched, so
        // that the slots' cache misses overlap.
        constexpr uint32_t kAhead = 16;
        uint64_t ahead[kAhead];
        const uint32_t n = static_cast<uint32_t>(table.size());
        const size_t mask = slots - 1;
        for (uint32_t i = 0; i < n + kAhead; ++i) {
            if (i >= kAhead && !table.Original(i - kAhead).empty()) {
                IndexExactHashed(i - kAhead, ahead[i % kAhead], true);
            }
            if (i < n) {
                ahead[i % kAhead] = HashText(table.Original(i));
                Prefetch(&exact[ahead[i % kAhead] & mask]);
            }
        }
    }
}

bool CTernarySearchTree::TailMatches(uint32_t entry, size_t from, std::string_view text) const
{
    const std::string_view key = table.Original(entry);
    const size_t rest = text.size() - from;
    return key.size() >= text.size() &&
           std::memcmp(key.data() + from, text.data() + from, rest) == 0;
}

std::optional<CTSTPosition> CTernarySearchTree::Find(std::string_view text) const
{
    std::optional<CTSTPosition> own = FindIn(Own(), text);
    if (!base || (own && own->HasEntry())) return own;
    if (text.empty()) return own;
    CTSTPosition mapped;
    mapped.inBase = true;
    mapped.entry = FindSortedEntry(text);
    if (mapped.HasEntry()) return mapped;
    const uint32_t first = SortedLowerBound(text);
    if (first < *base && table.Original(first).starts_with(text)) return mapped;
    return own;
}

std::optional<CTSTPosition> CTernarySearchTree::FindIn(const CTSTImage& in,
                                                       std::string_view text) const
{
    if (text.empty()) return std::nullopt;
    const size_t n = text.size();
    uint32_t cur = in.root;
    size_t d = 0;
    // The first character's node straight from the table, as if matched there.
    if (const uint32_t first = in.rootIndex[static_cast<unsigned char>(text[0])];
        first != CTSTNode::kNone) {
        const CTSTNode& node = in.nodes[first];
        if (n == 1) return CTSTPosition{node.Entry(), first, false, false};
        if (node.HasTail()) {
            if (!TailMatches(node.TailEntry(), 1, text)) return std::nullopt;
            const bool whole = table.Original(node.TailEntry()).size() == n;
            return CTSTPosition{whole ? static_cast<int32_t>(node.TailEntry()) : -1, first, true,
                                false};
        }
        cur = node.equal;
        d = 1;
    }
    while (cur != CTSTNode::kNone) {
        const CTSTNode& node = in.nodes[cur];
        const signed char c = static_cast<signed char>(text[d]);
        const signed char split = node.SplitChar();
        if (node.IsChain()) {
            if (c != split) return std::nullopt;
            char bytes[CTSTNode::kMaxChain];
            node.ChainBytes(bytes);
            const size_t length = node.ChainLength();
            const size_t rest = n - d;
            if (std::memcmp(text.data() + d, bytes, std::min(length, rest)) != 0) {
                return std::nullopt;
            }
            if (rest <= length) return CTSTPosition{-1, cur, false, true};
            d += length;
            cur = node.equal;
        } else if (c < split) {
            cur = node.low;
        } else if (c > split) {
            cur = node.high;
        } else {
            if (d + 1 == n) return CTSTPosition{node.Entry(), cur, false, false};
            if (node.HasTail()) {
                const uint32_t tail = node.TailEntry();
                if (!TailMatches(tail, d + 1, text)) return std::nullopt;
                const bool whole = table.Original(tail).size() == n;
                return CTSTPosition{whole ? static_cast<int32_t>(tail) : -1, cur, true, false};
            }
            cur = node.equal;
            ++d;
        }
    }
    return std::nullopt;
}

namespace {

// The tree's order: ascending by signed bytes, a phrase after the longer ones it begins.
int TreeOrder(std::string_view a, std::string_view b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t k = 0; k < n; ++k) {
        if (a[k] != b[k])
            return static_cast<signed char>(a[k]) < static_cast<signed char>(b[k]) ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() > b.size() ? -1 : 1;
}

// Where `key` lies against the originals that begin with `text`, in the tree's order: before
// them, among them, or after them.
int PrefixOrder(std::string_view key, std::string_view text)
{
    const size_t n = std::min(key.size(), text.size());
    for (size_t k = 0; k < n; ++k) {
        if (key[k] != text[k])
            return static_cast<signed char>(key[k]) < static_cast<signed char>(text[k]) ? -1 : 1;
    }
    // A shorter key that begins the text comes after every longer phrase that begins with it.
    return key.size() >= text.size() ? 0 : 1;
}

}  // namespace

int32_t CTernarySearchTree::FindSortedEntry(std::string_view text) const
{
    if (text.empty()) return -1;
    uint32_t lo = 0, hi = *base;
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        const int order = TreeOrder(table.Original(mid), text);
        if (order == 0) return static_cast<int32_t>(mid);
        if (order < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return -1;
}

uint32_t CTernarySearchTree::SortedLowerBound(std::string_view text) const
{
    uint32_t lo = 0, hi = *base;
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        if (PrefixOrder(table.Original(mid), text) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

void CTernarySearchTree::CollectSorted(std::string_view text, std::vector<uint32_t>& out) const
{
    if (text.empty()) return;
    for (uint32_t k = SortedLowerBound(text); k < *base && table.Original(k).starts_with(text); ++k)
        out.push_back(k);
}

void CTernarySearchTree::CollectNear(std::string_view text)
{
    if (!base) {
        CollectIn(Own(), text, nearList.entries);
        return;
    }
    // Both parts answer in the tree's order; merged, an original in both is the own part's.
    mine.clear();
    theirs.clear();
    CollectIn(Own(), text, mine);
    CollectSorted(text, theirs);
    std::vector<uint32_t>& out = nearList.entries;
    size_t i = 0, j = 0;
    while (i < mine.size() && j < theirs.size()) {
        const int order = TreeOrder(table.Original(mine[i]), table.Original(theirs[j]));
        if (order <= 0) out.push_back(mine[i++]);
        if (order >= 0) {
            if (order > 0) out.push_back(theirs[j]);
            ++j;
        }
    }
    out.insert(out.end(), mine.begin() + static_cast<ptrdiff_t>(i), mine.end());
    out.insert(out.end(), theirs.begin() + static_cast<ptrdiff_t>(j), theirs.end());
}

void CTernarySearchTree::CollectIn(const CTSTImage& in, std::string_view text,
                                   std::vector<uint32_t>& out)
{
    const std::optional<CTSTPosition> pos = FindIn(in, text);
    if (!pos) return;
    const CTSTNode& node = in.nodes[pos->node];
    if (pos->inTail) {
        // Only the tail's key continues past the node; the node's own phrase is shorter.
        out.push_back(node.TailEntry());
        return;
    }
    // The node's low and high subtrees hold phrases that differ in the text's last character:
    // they never begin with the text, so only the equal subtree is walked. A chain holds no
    // phrase of its own.
    AppendSubtree(in, node.equal, out);
    if (!pos->inChain && node.Entry() >= 0) {
        out.push_back(static_cast<uint32_t>(node.Entry()));
    }
}

void CTernarySearchTree::AppendSubtree(const CTSTImage& in, uint32_t start,
                                       std::vector<uint32_t>& out)
{
    // In-order walk (low, equal, own phrase, high) with an explicit stack, since a chain of
    // shared characters can be as long as the longest line of a file. A stacked node is marked
    // once its equal subtree is under way; children are prefetched as they are stacked.
    constexpr uint32_t kEqualDone = CTSTNode::kTailBit;
    std::vector<uint32_t>& stack = walkStack;
    stack.clear();
    auto descend = [&](uint32_t link) {
        // A chain holds no phrase and has no siblings: only what follows it counts.
        while (link != CTSTNode::kNone && !(link & CTSTNode::kTailBit) &&
               in.nodes[link].IsChain()) {
            link = in.nodes[link].equal;
        }
        if (link == CTSTNode::kNone) return;
        if (link & CTSTNode::kTailBit) {
            out.push_back(link & ~CTSTNode::kTailBit);
            return;
        }
        for (uint32_t x = link; x != CTSTNode::kNone; x = in.nodes[x].low) {
            stack.push_back(x);
            const CTSTNode& n = in.nodes[x];
            if (n.equal != CTSTNode::kNone && !(n.equal & CTSTNode::kTailBit)) {
                Prefetch(&in.nodes[n.equal]);
            }
            if (n.high != CTSTNode::kNone) Prefetch(&in.nodes[n.high]);
        }
    };
    descend(start);
    while (!stack.empty()) {
        uint32_t& top = stack.back();
        if (!(top & kEqualDone)) {
            top |= kEqualDone;
            descend(in.nodes[top & ~kEqualDone].equal);
            continue;
        }
        const CTSTNode& node = in.nodes[top & ~kEqualDone];
        stack.pop_back();
        if (node.Entry() >= 0) out.push_back(static_cast<uint32_t>(node.Entry()));
        descend(node.high);
    }
}

}  // namespace talvero
