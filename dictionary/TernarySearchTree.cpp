#include "dictionary/TernarySearchTree.h"

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

void CTernarySearchTree::Build()
{
    nodes.clear();
    root = CTSTNode::kNone;
    for (uint32_t i = 0; i < table.size(); ++i)
        Insert(i);
    entryCount = static_cast<int32_t>(table.size());
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
    // In-order walk (low, equal, own phrase, high) with an explicit stack: a chain of shared
    // characters can be as long as the longest line of a file.
    struct Frame {
        uint32_t link;
        uint8_t stage;
    };
    std::vector<Frame> stack;
    stack.push_back({start, 0});
    while (!stack.empty()) {
        Frame& top = stack.back();
        const uint32_t link = top.link;
        if (link == CTSTNode::kNone) {
            stack.pop_back();
            continue;
        }
        if (link & CTSTNode::kTailBit) {
            nearList.push_back(link & ~CTSTNode::kTailBit);
            stack.pop_back();
            continue;
        }
        const CTSTNode& node = nodes[link];
        if (top.stage == 0) {
            top.stage = 1;
            if (node.low != CTSTNode::kNone) stack.push_back({node.low, 0});
        } else if (top.stage == 1) {
            top.stage = 2;
            if (node.equal != CTSTNode::kNone) stack.push_back({node.equal, 0});
        } else {
            if (node.Entry() >= 0) nearList.push_back(static_cast<uint32_t>(node.Entry()));
            top = {node.high, 0};
        }
    }
}
