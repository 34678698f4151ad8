#pragma once
// The banner's background picture and shape, as plain pixels: the skin of a banner that is
// taller by some text lines is built from the top, a repeated middle strip and the bottom of
// the skin picture; the shape is every pixel not of the transparent colour.
#include <cstdint>
#include <vector>

#include "tray/BannerAnimation.h"

namespace talvero {

namespace banner {

// 24-bit RGB, top-down, rows without padding.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // width * height * 3

    RgbImage() = default;
    RgbImage(int w, int h) : width(w), height(h), pixels(std::size_t(w) * h * 3, 0) {}
    bool IsOk() const
    {
        return width > 0 && height > 0 && pixels.size() == std::size_t(width) * height * 3;
    }
    const std::uint8_t* Pixel(int x, int y) const
    {
        return &pixels[(std::size_t(y) * width + x) * 3];
    }
    std::uint8_t* Pixel(int x, int y) { return &pixels[(std::size_t(y) * width + x) * 3]; }
};

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

// The skin pictures' layout.
constexpr int kSkinWidth = 352;
constexpr int kSkinHeight = 129;
constexpr int kLineHeight = 20;
constexpr int kTopRows = 40;         // rows 0-39
constexpr int kMiddleFirstRow = 40;  // rows 40-59, repeated once per line and once more
constexpr int kBottomFirstRow = 54;  // rows 54-128

// The size of a skin with `lines` extra text lines: 352 x (129 + 20 x lines).
int SkinHeightForLines(int lines);

// Builds that skin from `source` (a picture of at least 352 x 129). False, leaving `skin` as it
// was, when the source is smaller or `lines` is negative or absurdly large.
bool ComposeSkinForLines(const RgbImage& source, int lines, RgbImage& skin);

// The text rectangle of a skin built for lines: (10, 20, width - 20, height - 60).
Rect TextRectForSkin(int width, int height);

// The shape: every pixel whose colour is not `transparent`, as rectangles (one run of
// neighbouring opaque pixels of a row each), row by row from the top.
std::vector<Rect> ShapeRectangles(const RgbImage& skin, Rgb transparent);

}  // namespace banner

}  // namespace talvero
