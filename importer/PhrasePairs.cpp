#include "importer/PhrasePairs.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "base/CodePage.h"
#include "base/TextFile.h"

namespace talvero {

// ---- Output

void MergeSenses(std::vector<PhrasePair>& pairs, const std::vector<uint64_t>& ranks)
{
    // Pair indices of each original, numbered by first appearance, in source order.
    std::unordered_map<std::string_view, uint32_t> groupOf;
    groupOf.reserve(pairs.size());
    std::vector<std::vector<uint32_t>> groups;
    for (size_t i = 0; i < pairs.size(); ++i) {
        auto [it, added] =
            groupOf.try_emplace(pairs[i].original, static_cast<uint32_t>(groups.size()));
        if (added) groups.emplace_back();
        groups[it->second].push_back(static_cast<uint32_t>(i));
    }
    const bool ranked = ranks.size() == pairs.size();

    std::vector<PhrasePair> out;
    out.reserve(groups.size());
    std::unordered_set<std::string_view> seen;
    for (std::vector<uint32_t>& group : groups) {
        // The main sense first (a lookup shows it at the start), the others in source order.
        if (ranked) {
            auto main =
                std::min_element(group.begin(), group.end(),
                                 [&ranks](uint32_t a, uint32_t b) { return ranks[a] < ranks[b]; });
            std::rotate(group.begin(), main, main + 1);
        }
        seen.clear();
        PhrasePair merged{std::move(pairs[group.front()].original), {}};
        for (uint32_t i : group) {
            const std::string& t = pairs[i].translation;
            if (t.empty() || !seen.insert(t).second) continue;
            if (!merged.translation.empty()) merged.translation += kSenseSeparator;
            merged.translation += t;
        }
        out.push_back(std::move(merged));
    }
    pairs = std::move(out);
}

std::string FormatPhrasePairs(const std::vector<PhrasePair>& pairs)
{
    std::string text;
    size_t size = 0;
    for (const PhrasePair& p : pairs)
        size += p.original.size() + p.translation.size() + 2;
    text.reserve(size);
    auto append = [&text](const std::string& value) {
        for (char c : value)
            text += (c == '\n' || c == '\r') ? ' ' : c;
    };
    for (const PhrasePair& p : pairs) {
        if (p.original.empty() || p.translation.empty()) continue;
        if (!text.empty()) text += kLineEnd;
        append(p.original);
        text += kLineEnd;
        append(p.translation);
    }
    if (!CodePageIsUtf8()) text = Utf8ToCodePage(text);
    return text;
}

bool WritePhrasePairs(const std::string& path, const std::vector<PhrasePair>& pairs,
                      std::string& error)
{
    if (!AtomicWriteFile(path, FormatPhrasePairs(pairs))) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace talvero
