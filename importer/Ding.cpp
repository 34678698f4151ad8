#include "importer/Ding.h"

#include <algorithm>

#include "base/TextFile.h"
#include "importer/ImportText.h"

namespace talvero {

using namespace importer;

std::string DingPairCode(const std::string& path, bool reverse, std::string_view pairCode,
                         std::string& error)
{
    std::string name = FileBaseName(path);
    if (EndsWith(name, ".txt")) name.resize(name.size() - 4);
    auto [from, to] = LanguagesOfName(name);
    if (reverse) std::swap(from, to);
    std::string code;
    return ResolvePairCode(from, to, pairCode, code, error) ? code : std::string();
}

// ---- ding

std::string CleanDingPhrase(std::string_view text)
{
    std::string s = RemoveMarkupGroups(Normalize(text));
    s = RemoveSlashGroups(s);
    // "~Prozesskostenhilfe": a cross-reference up to the next synonym.
    if (s.find('~') != std::string::npos) {
        std::string kept;
        bool skipping = false;
        for (char c : s) {
            if (c == '~') skipping = true;
            if (c == ';') skipping = false;
            if (!skipping) kept += c;
        }
        s = std::move(kept);
    }
    return CleanList(Normalize(s), ';', "; ");
}

namespace {

size_t CountSynonyms(std::string_view side)
{
    return side.empty() ? 0 : 1 + static_cast<size_t>(std::count(side.begin(), side.end(), ';'));
}

// Ranks say how much a pair is the main sense of its original, lowest first: the line's headword
// (the first synonym of its first alternative), then the other synonyms of the first
// alternative, then the first synonym of a later alternative (a plural, a phrase), then the
// rest. The file is sorted by its left side, whose main senses come first; its right side is in
// no useful order, so reversed pairs also rank by how plain they are: the shorter first word
// ("dog" is "Hund" before "Schlepphaken": a German compound is mostly the special case), then
// fewer synonyms on either side.
bool AppendDingLinePairs(std::string_view line, bool reverse, bool splitSynonyms,
                         std::vector<PhrasePair>& pairs, std::vector<uint64_t>& ranks,
                         OutputBudget& budget)
{
    if (line.empty() || line.front() == '#') return true;
    size_t sep = line.find(" :: ");
    if (sep == std::string_view::npos) return true;
    std::vector<std::string_view> left = SplitOn(line.substr(0, sep), " | ");
    std::vector<std::string_view> right = SplitOn(line.substr(sep + 4), " | ");
    size_t n = std::min(left.size(), right.size());
    for (size_t i = 0; i < n; ++i) {
        PhrasePair p{CleanDingPhrase(left[i]), CleanDingPhrase(right[i])};
        if (reverse) std::swap(p.original, p.translation);
        if (p.original.empty() || p.translation.empty()) continue;
        uint64_t rank = uint64_t{i == 0 ? 0u : 2u} << 48;
        if (reverse) {
            size_t firstSize = std::min(p.translation.find(';'), p.translation.size());
            rank |= std::min<uint64_t>(firstSize, 0xFFFF) << 32 |
                    std::min<uint64_t>(CountSynonyms(p.translation), 0xFFFF) << 16 |
                    std::min<uint64_t>(CountSynonyms(p.original), 0xFFFF);
        }
        if (!splitSynonyms) {
            pairs.push_back(std::move(p));
            ranks.push_back(rank);
            if (!budget.Take(pairs.back())) return false;
            continue;
        }
        for (std::string_view synonym : SplitOn(p.original, "; ")) {
            pairs.push_back({std::string(synonym), p.translation});
            ranks.push_back(rank);
            rank |= uint64_t{1} << 48;
            if (!budget.Take(pairs.back())) return false;
        }
    }
    return true;
}

}  // namespace

std::vector<PhrasePair> DingLinePairs(std::string_view line, bool reverse, bool splitSynonyms)
{
    std::vector<PhrasePair> pairs;
    std::vector<uint64_t> ranks;
    OutputBudget budget;
    AppendDingLinePairs(line, reverse, splitSynonyms, pairs, ranks, budget);
    return pairs;
}

ImportOutcome ImportDingText(std::string_view text, bool reverse, bool splitSynonyms,
                             const ImportLimits& limits)
{
    ImportOutcome outcome;
    std::vector<uint64_t> ranks;
    OutputBudget budget{limits};
    for (std::string_view line : SplitLines(text)) {
        if (line.empty() || line.front() == '#') continue;
        ++outcome.entriesRead;
        if (!AppendDingLinePairs(line, reverse, splitSynonyms, outcome.pairs, ranks, budget)) {
            outcome.error = budget.Error();
            outcome.pairs.clear();
            return outcome;
        }
    }
    MergeSenses(outcome.pairs, ranks);
    if (outcome.pairs.empty()) {
        outcome.error = "no 'German :: English' lines found";
        return outcome;
    }
    outcome.ok = true;
    return outcome;
}

ImportOutcome ImportDing(const std::string& path, bool reverse, bool splitSynonyms,
                         std::string_view pairCode)
{
    ImportOutcome outcome;
    std::string code = DingPairCode(path, reverse, pairCode, outcome.error);
    if (code.empty()) return outcome;
    std::string text;
    switch (ReadFileIfPresent(path, text, kMaxImportDataSize)) {
        case FileRead::Read:
            break;
        case FileRead::TooLarge:
            outcome.error = path + " is larger than " + std::to_string(kMaxImportDataMegabytes) +
                            " MB, more than an import takes";
            return outcome;
        default:
            outcome.error = "cannot read " + path;
            return outcome;
    }
    outcome = ImportDingText(text, reverse, splitSynonyms);
    outcome.dictionaryCode = code;
    if (!outcome.ok) outcome.error = path + ": " + outcome.error;
    return outcome;
}

}  // namespace talvero
