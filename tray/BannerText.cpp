#include "tray/BannerText.h"

#include <algorithm>

namespace talvero {

namespace banner {

namespace {

const std::wstring kEllipsis = L"\u2026";

// The longest start of `text` that fits together with the ellipsis.
std::wstring Ellipsize(const std::wstring& text, int maxWidth, const MeasureText& measure)
{
    if (measure(text + kEllipsis) <= maxWidth) return text + kEllipsis;
    size_t lo = 0, hi = text.size();  // text[0, lo) + ellipsis fits; [0, hi) does not
    while (hi - lo > 1) {
        size_t mid = (lo + hi) / 2;
        if (measure(text.substr(0, mid) + kEllipsis) <= maxWidth)
            lo = mid;
        else
            hi = mid;
    }
    return text.substr(0, lo) + kEllipsis;
}

void BreakParagraph(const std::wstring& paragraph, int maxWidth, const MeasureText& measure,
                    std::vector<std::wstring>& lines)
{
    std::wstring line;
    size_t i = 0;
    bool any = false;
    while (i < paragraph.size()) {
        while (i < paragraph.size() && (paragraph[i] == L' ' || paragraph[i] == L'\t'))
            ++i;
        if (i >= paragraph.size()) break;
        size_t end = i;
        while (end < paragraph.size() && paragraph[end] != L' ' && paragraph[end] != L'\t')
            ++end;
        std::wstring word = paragraph.substr(i, end - i);
        i = end;
        std::wstring candidate = line.empty() ? word : line + L" " + word;
        if (measure(candidate) <= maxWidth) {
            line = candidate;
            continue;
        }
        if (!line.empty()) {
            lines.push_back(line);
            any = true;
        }
        line = measure(word) <= maxWidth ? word : Ellipsize(word, maxWidth, measure);
    }
    if (!line.empty() || !any) lines.push_back(line);
}

}  // namespace

std::vector<std::wstring> BreakBannerText(const std::wstring& text, int maxWidth, int maxHeight,
                                          int lineHeight, const MeasureText& measure)
{
    std::vector<std::wstring> lines;
    if (text.empty()) return lines;
    size_t start = 0;
    for (;;) {
        size_t nl = text.find(L'\n', start);
        std::wstring paragraph = text.substr(start, nl == std::wstring::npos ? nl : nl - start);
        if (!paragraph.empty() && paragraph.back() == L'\r') paragraph.pop_back();
        BreakParagraph(paragraph, maxWidth, measure, lines);
        if (nl == std::wstring::npos) break;
        start = nl + 1;
    }
    size_t fit = lineHeight > 0 ? size_t(std::max(1, maxHeight / lineHeight)) : lines.size();
    if (lines.size() > fit) {
        lines.resize(fit);
        lines.back() = Ellipsize(lines.back(), maxWidth, measure);
    }
    return lines;
}

}  // namespace banner

}  // namespace talvero
