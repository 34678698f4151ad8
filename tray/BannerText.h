#pragma once
// Breaking the banner's text into lines that fit its text rectangle: at line breaks in the
// text and between words; a word wider than the rectangle, and the last line when the text is
// taller than the rectangle, end in an ellipsis.
#include <functional>
#include <string>
#include <vector>

namespace talvero {

namespace banner {

// Width in pixels of a text in the banner's current font.
using MeasureText = std::function<int(const std::wstring&)>;

std::vector<std::wstring> BreakBannerText(const std::wstring& text, int maxWidth, int maxHeight,
                                          int lineHeight, const MeasureText& measure);

}  // namespace banner

}  // namespace talvero
