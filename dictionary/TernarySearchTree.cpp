#include "dictionary/TernarySearchTree.h"

#include <algorithm>
#include <cstring>

std::vector<std::string> NearList::Strings() const
{
    std::vector<std::string> out;
    out.reserve(entries.size());
    for (uint32_t e : entries)
        out.emplace_back(table->Original(e));
    return out;
}

CTernarySearchTree::CTernarySearchTree(const EntryTable& table) : nearList(table), table(table) {}

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
    auto newNode = [&](char c) {
        CTSTNode n;
        n.word = static_cast<unsigned char>(c);
        nodes.push_back(n);
        return static_cast<uint32_t>(nodes.size() - 1);
    };

    const size_t last = key.size() - 1;
    size_t d = 0;
    for (;;) {
        uint32_t cur = link();
        if (cur == CTSTNode::kNone) {
            uint32_t idx = newNode(key[d]);
            link() = idx;
            if (d == last) {
                nodes[idx].SetEntry(entry);
            } else {
                nodes[idx].equal = CTSTNode::kTailBit | entry;
            }
            return;
        }
        const signed char c = static_cast<signed char>(key[d]);
        const signed char split = nodes[cur].SplitChar();
        parent = cur;
        if (c < split) {
            which = kLow;
            continue;
        }
        if (c > split) {
            which = kHigh;
            continue;
        }
        if (d == last) {
            nodes[cur].SetEntry(entry);
            return;
        }
        if (nodes[cur].equal == CTSTNode::kNone) {
            nodes[cur].equal = CTSTNode::kTailBit | entry;
            return;
        }
        if (nodes[cur].HasTail()) {
            const uint32_t other = nodes[cur].TailEntry();
            const std::string_view otherKey = table.Original(other);
            if (otherKey == key) {
                nodes[cur].equal = CTSTNode::kTailBit | entry;
                return;
            }
            // Push the other key's tail one position down and go on from there.
            uint32_t idx = newNode(otherKey[d + 1]);
            if (otherKey.size() == d + 2) {
                nodes[idx].SetEntry(other);
            } else {
                nodes[idx].equal = CTSTNode::kTailBit | other;
            }
            nodes[cur].equal = idx;
        }
        which = kEqual;
        ++d;
    }
}

namespace {

// A key to sort: its first sixteen bytes, made to order as the tree does, then the whole key.
// The copy of the first bytes keeps the sort, the common prefixes and the top of the tree out
// of the text, whose keys lie in file order, not in sorted order.
constexpr size_t kPrefixBytes = 16;
struct SortKey {
    uint64_t prefix[2];
    const char* data;
    uint32_t size;
    uint32_t entry;
};

uint64_t LoadBigEndian(const char* p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    return __builtin_bswap64(v);
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
        if (x != y) return k + static_cast<size_t>(__builtin_ctzll(x ^ y) / 8);
        k += 8;
    }
    while (k < n && a[k] == b[k])
        ++k;
    return k;
}

}  // namespace

void CTernarySearchTree::Build()
{
    std::vector<CTSTNode>().swap(nodes);
    root = CTSTNode::kNone;
    entryCount = static_cast<int32_t>(table.size());

    std::vector<SortKey> keys;
    keys.reserve(table.size());
    for (uint32_t i = 0; i < table.size(); ++i) {
        const std::string_view key = table.Original(i);
        if (!key.empty()) {
            keys.push_back({{ChunkOf(key, 0), ChunkOf(key, 8)},
                            key.data(),
                            static_cast<uint32_t>(key.size()),
                            i});
        }
    }
    // Keys agreeing in their first sixteen bytes are few; only they are compared in the text.
    // The padding of short keys can agree with real bytes, so the sizes settle what is left.
    auto commonPrefix = [](const SortKey& a, const SortKey& b) -> size_t {
        const size_t n = std::min(a.size, b.size);
        for (size_t c = 0; c < 2; ++c) {
            if (a.prefix[c] != b.prefix[c]) {
                const size_t k =
                    8 * c + static_cast<size_t>(__builtin_clzll(a.prefix[c] ^ b.prefix[c]) / 8);
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
    std::vector<uint32_t> lcp;
    lcp.reserve(keys.size() + 1);
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
    if (keys.empty()) return;

    // The number of nodes: a key owns the nodes from where it parts from its predecessor down to
    // where no other key shares its way (below that its tail stands in for the rest).
    size_t count = 0;
    for (size_t i = 0; i < keys.size(); ++i) {
        size_t shared = 0;
        if (i > 0) shared = std::min<size_t>(lcp[i], keys[i - 1].size - 1);
        if (i + 1 < keys.size()) {
            shared = std::max<size_t>(shared, std::min<size_t>(lcp[i + 1], keys[i + 1].size - 1));
        }
        const size_t deepest = std::min<size_t>(keys[i].size - 1, shared);
        if (deepest + 1 > lcp[i]) count += deepest + 1 - lcp[i];
    }
    nodes.reserve(count + kSpareNodes);

    // Each sibling group becomes a binary tree over its characters, rooted at the character
    // that splits the group's keys in half, so that frequent beginnings sit near the top. Its
    // nodes lie together (in preorder), so the steps within a group stay in a cache line or
    // two. A work stack of groups rather than recursion: shared prefixes can be as deep as the
    // longest line.
    struct Group {
        uint32_t lo, hi;  // its keys
        uint32_t depth;
        uint32_t parent;  // the node whose equal link leads here, or kNone for the root
    };
    std::vector<Group> groups;
    groups.push_back({0, static_cast<uint32_t>(keys.size()), 0, CTSTNode::kNone});
    uint32_t runStart[257];  // at most one run per byte value, plus the end
    while (!groups.empty()) {
        const Group group = groups.back();
        groups.pop_back();
        const uint32_t d = group.depth;
        // Every key of a group is longer than d, so neighbours sharing exactly d bytes differ
        // in the character at d: a run of one character ends there.
        uint32_t runCount = 0;
        runStart[runCount++] = group.lo;
        for (uint32_t i = group.lo + 1; i < group.hi; ++i) {
            if (lcp[i] == d) {
                runStart[runCount++] = i;
                if (d >= kPrefixBytes) __builtin_prefetch(keys[i].data + d);
            }
        }
        runStart[runCount] = group.hi;

        const uint32_t base = static_cast<uint32_t>(nodes.size());
        nodes.resize(base + runCount);
        uint32_t heaviest = 0;
        size_t heaviestAt = groups.size();
        if (group.parent == CTSTNode::kNone) {
            root = base;
        } else {
            nodes[group.parent].equal = base;
        }
        // Places runs [a, b) as a binary tree at `pos` and returns the next free position.
        auto place = [&](auto&& self, uint32_t a, uint32_t b, uint32_t pos) -> uint32_t {
            const uint32_t middleKey = runStart[a] + (runStart[b] - runStart[a]) / 2;
            const uint32_t m = static_cast<uint32_t>(
                std::upper_bound(runStart + a, runStart + b, middleKey) - runStart - 1);
            const uint32_t begin = runStart[m];
            uint32_t end = runStart[m + 1];
            const uint32_t idx = base + pos;
            CTSTNode node;
            node.word = d < kPrefixBytes
                            ? static_cast<unsigned char>(
                                  (keys[begin].prefix[d / 8] >> (56 - 8 * (d % 8))) ^ 0x80)
                            : static_cast<unsigned char>(keys[begin].data[d]);
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
            uint32_t next = pos + 1;
            if (a < m) {
                node.low = base + next;
                next = self(self, a, m, next);
            }
            if (m + 1 < b) {
                node.high = base + next;
                next = self(self, m + 1, b, next);
            }
            nodes[idx] = node;
            return next;
        };
        place(place, 0, runCount, 0);
        if (heaviestAt + 1 < groups.size()) std::swap(groups[heaviestAt], groups.back());
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
    if (text.empty()) return std::nullopt;
    const size_t n = text.size();
    uint32_t cur = root;
    size_t d = 0;
    while (cur != CTSTNode::kNone) {
        const CTSTNode& node = nodes[cur];
        const signed char c = static_cast<signed char>(text[d]);
        const signed char split = node.SplitChar();
        if (c < split) {
            cur = node.low;
        } else if (c > split) {
            cur = node.high;
        } else {
            if (d + 1 == n) return CTSTPosition{node.Entry(), cur, false};
            if (node.HasTail()) {
                const uint32_t tail = node.TailEntry();
                if (!TailMatches(tail, d + 1, text)) return std::nullopt;
                const bool whole = table.Original(tail).size() == n;
                return CTSTPosition{whole ? static_cast<int32_t>(tail) : -1, cur, true};
            }
            cur = node.equal;
            ++d;
        }
    }
    return std::nullopt;
}

void CTernarySearchTree::CollectNear(std::string_view text)
{
    const std::optional<CTSTPosition> pos = Find(text);
    if (!pos) return;
    const CTSTNode& node = nodes[pos->node];
    if (pos->inTail) {
        // Only the tail's key continues past the node; the node's own phrase is shorter.
        nearList.push_back(node.TailEntry());
        return;
    }
    // The node's low and high subtrees hold phrases that differ in the text's last character:
    // they never begin with the text, so only the equal subtree is walked.
    AppendSubtree(node.equal);
    if (node.Entry() >= 0) nearList.push_back(static_cast<uint32_t>(node.Entry()));
}

void CTernarySearchTree::AppendSubtree(uint32_t start)
{
    // In-order walk (low, equal, own phrase, high) with an explicit stack, since a chain of
    // shared characters can be as long as the longest line of a file. A stacked node is marked
    // once its equal subtree is under way; children are prefetched as they are stacked.
    constexpr uint32_t kEqualDone = CTSTNode::kTailBit;
    std::vector<uint32_t>& stack = walkStack;
    stack.clear();
    auto descend = [&](uint32_t link) {
        if (link == CTSTNode::kNone) return;
        if (link & CTSTNode::kTailBit) {
            nearList.push_back(link & ~CTSTNode::kTailBit);
            return;
        }
        for (uint32_t x = link; x != CTSTNode::kNone; x = nodes[x].low) {
            stack.push_back(x);
            const CTSTNode& n = nodes[x];
            if (n.equal != CTSTNode::kNone && !(n.equal & CTSTNode::kTailBit)) {
                __builtin_prefetch(&nodes[n.equal]);
            }
            if (n.high != CTSTNode::kNone) __builtin_prefetch(&nodes[n.high]);
        }
    };
    descend(start);
    while (!stack.empty()) {
        uint32_t& top = stack.back();
        if (!(top & kEqualDone)) {
            top |= kEqualDone;
            descend(nodes[top & ~kEqualDone].equal);
            continue;
        }
        const CTSTNode& node = nodes[top & ~kEqualDone];
        stack.pop_back();
        if (node.Entry() >= 0) nearList.push_back(static_cast<uint32_t>(node.Entry()));
        descend(node.high);
    }
}
