#pragma once
// A plain ternary search tree written straight from the description: one heap node per
// character, insertion in file order, a near search that visits every node below the prefix and
// tests each phrase. The optimised tree must answer exactly as this one does.
#include <memory>
#include <string>
#include <vector>

namespace talvero {

class ReferenceTree {
public:
    void Insert(const std::string& original, const std::string& translation)
    {
        if (original.empty()) return;
        std::unique_ptr<Node>* link = &root;
        size_t pos = 0;
        for (;;) {
            const signed char c = static_cast<signed char>(original[pos]);
            if (!*link) *link = std::make_unique<Node>(c);
            Node& node = **link;
            if (c < node.splitChar) {
                link = &node.low;
            } else if (c > node.splitChar) {
                link = &node.high;
            } else if (pos + 1 == original.size()) {
                node.hasEntry = true;
                node.original = original;
                node.translation = translation;
                return;
            } else {
                ++pos;
                link = &node.equal;
            }
        }
    }

    struct Found {
        bool hasEntry;
        std::string translation;
    };
    // None: `found` false.
    bool Find(const std::string& text, Found& out) const
    {
        const Node* node = FindNode(text);
        if (!node) return false;
        out = {node->hasEntry, node->translation};
        return true;
    }

    void CollectNear(const std::string& text, std::vector<std::string>& nearList) const
    {
        const Node* node = FindNode(text);
        if (node) Visit(node, text, nearList);
    }

private:
    struct Node {
        explicit Node(signed char c) : splitChar(c) {}
        signed char splitChar;
        std::unique_ptr<Node> low, high, equal;
        bool hasEntry = false;
        std::string original, translation;
    };

    const Node* FindNode(const std::string& text) const
    {
        if (text.empty()) return nullptr;
        const Node* node = root.get();
        size_t pos = 0;
        while (node) {
            const signed char c = static_cast<signed char>(text[pos]);
            if (c < node->splitChar) {
                node = node->low.get();
            } else if (c > node->splitChar) {
                node = node->high.get();
            } else {
                if (++pos == text.size()) return node;
                node = node->equal.get();
            }
        }
        return nullptr;
    }

    static void Visit(const Node* node, const std::string& text, std::vector<std::string>& out)
    {
        if (!node) return;
        Visit(node->low.get(), text, out);
        Visit(node->equal.get(), text, out);
        if (node->hasEntry && node->original.compare(0, text.size(), text) == 0) {
            out.push_back(node->original);
        }
        Visit(node->high.get(), text, out);
    }

    std::unique_ptr<Node> root;
};

}  // namespace talvero
