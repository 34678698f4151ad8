// The whole-process yardstick for `talvero-cli local`: the same job done the plain way. Reads
// the dictionary files whole and indexes their lines with a std::unordered_map of string views
// (later pairs win), looks TEXT up, lists the originals that begin with it in the tree's order,
// and prints both as talvero-cli does.
// Usage: map_anchor LOCAL_FILE PERSONAL_FILE TEXT
#include <algorithm>
#include <cstdio>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace talvero {

namespace {

using Map = std::unordered_map<std::string_view, std::string_view>;

void LoadInto(const char* path, std::list<std::string>& texts, Map& map)
{
    std::string& text = texts.emplace_back();
    std::FILE* f = std::fopen(path, "rb");
    if (f) {
        std::fseek(f, 0, SEEK_END);
        text.resize(static_cast<size_t>(std::max(0L, std::ftell(f))));
        std::fseek(f, 0, SEEK_SET);
        text.resize(std::fread(text.data(), 1, text.size(), f));
        std::fclose(f);
    } else {
        std::fprintf(stderr, "map_anchor: could not open %s\n", path);
        return;
    }
    map.reserve(map.size() + static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) / 2 +
                1);
    size_t pos = 0;
    auto next = [&](std::string_view& line) {
        size_t nl = text.find('\n', pos);
        size_t end = nl == std::string::npos ? text.size() : nl;
        size_t len = end - pos;
        if (nl != std::string::npos && len > 0 && text[end - 1] == '\r') --len;
        line = std::string_view(text).substr(pos, len);
        pos = nl == std::string::npos ? text.size() : nl + 1;
    };
    while (pos < text.size()) {
        std::string_view original, translation;
        next(original);
        if (pos < text.size()) next(translation);
        if (!original.empty()) map.insert_or_assign(original, translation);
    }
}

bool TreeOrderLess(std::string_view a, std::string_view b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t k = 0; k < n; ++k) {
        const auto x = static_cast<signed char>(a[k]), y = static_cast<signed char>(b[k]);
        if (x != y) return x < y;
    }
    return a.size() > b.size();
}

}  // namespace

}  // namespace talvero

int main(int argc, char** argv)
{
    using namespace talvero;
    if (argc != 4) {
        std::fputs("usage: map_anchor LOCAL_FILE PERSONAL_FILE TEXT\n", stderr);
        return 2;
    }
    std::list<std::string> texts;
    Map map;
    LoadInto(argv[1], texts, map);
    LoadInto(argv[2], texts, map);
    const std::string_view text = argv[3];
    std::vector<std::string_view> near;
    for (const auto& kv : map) {
        if (kv.first.substr(0, text.size()) == text) near.push_back(kv.first);
    }
    std::sort(near.begin(), near.end(), TreeOrderLess);
    const auto hit = map.find(text);
    std::string out(hit == map.end() ? std::string_view() : hit->second);
    out += '\n';
    for (std::string_view phrase : near) {
        out.append(phrase);
        out += '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return hit == map.end() ? 1 : 0;
}
