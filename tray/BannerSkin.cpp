#include "tray/BannerSkin.h"

#include <algorithm>
#include <cstring>

namespace talvero {

namespace banner {

namespace {

// Far more lines than any screen can show; keeps the picture's size sane for any text.
constexpr int kMaxLines = 1000;

void CopyRows(const RgbImage& from, int firstRow, int rows, RgbImage& to, int toRow)
{
    for (int r = 0; r < rows; ++r) {
        int dst = toRow + r;
        if (dst < 0 || dst >= to.height) continue;
        std::memcpy(to.Pixel(0, dst), from.Pixel(0, firstRow + r), std::size_t(kSkinWidth) * 3);
    }
}

}  // namespace

int SkinHeightForLines(int lines)
{
    return kSkinHeight + kLineHeight * lines;
}

bool ComposeSkinForLines(const RgbImage& source, int lines, RgbImage& skin)
{
    if (!source.IsOk() || source.width < kSkinWidth || source.height < kSkinHeight) return false;
    if (lines < 0 || lines > kMaxLines) return false;
    RgbImage out(kSkinWidth, SkinHeightForLines(lines));
    // Rows of the source are copied whole but only 352 pixels wide.
    RgbImage narrow = source;
    if (source.width != kSkinWidth) {
        narrow = RgbImage(kSkinWidth, source.height);
        for (int y = 0; y < source.height; ++y)
            std::memcpy(narrow.Pixel(0, y), source.Pixel(0, y), std::size_t(kSkinWidth) * 3);
    }
    CopyRows(narrow, 0, kTopRows, out, 0);
    for (int k = 0; k <= lines; ++k)
        CopyRows(narrow, kMiddleFirstRow, kLineHeight, out, kMiddleFirstRow + kLineHeight * k);
    CopyRows(narrow, kBottomFirstRow, kSkinHeight - kBottomFirstRow, out,
             kBottomFirstRow + kLineHeight * lines);
    skin = std::move(out);
    return true;
}

Rect TextRectForSkin(int width, int height)
{
    return {10, 20, width - 20, height - 60};
}

std::vector<Rect> ShapeRectangles(const RgbImage& skin, Rgb transparent)
{
    std::vector<Rect> rects;
    if (!skin.IsOk()) return rects;
    for (int y = 0; y < skin.height; ++y) {
        int x = 0;
        while (x < skin.width) {
            auto isHole = [&](int px) {
                const std::uint8_t* p = skin.Pixel(px, y);
                return p[0] == transparent.red && p[1] == transparent.green &&
                       p[2] == transparent.blue;
            };
            while (x < skin.width && isHole(x))
                ++x;
            int begin = x;
            while (x < skin.width && !isHole(x))
                ++x;
            if (x > begin) rects.push_back({begin, y, x, y + 1});
        }
    }
    return rects;
}

}  // namespace banner

}  // namespace talvero
