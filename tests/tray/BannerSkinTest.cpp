#include "tray/BannerSkin.h"

#include <gtest/gtest.h>

#include "tray/BannerText.h"

namespace talvero {

using banner::Rect;
using banner::RgbImage;

namespace {

// A skin picture whose every row has its own colour: (row, 255 - row, 7).
RgbImage RowCodedSkin(int width = banner::kSkinWidth, int height = banner::kSkinHeight)
{
    RgbImage image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = image.Pixel(x, y);
            p[0] = std::uint8_t(y);
            p[1] = std::uint8_t(255 - y);
            p[2] = 7;
        }
    return image;
}

int SourceRowOf(const RgbImage& image, int y)
{
    return image.Pixel(0, y)[0];
}

class SkinForLinesTest : public ::testing::TestWithParam<int> {};

TEST_P(SkinForLinesTest, TopRepeatedMiddleAndBottom)
{
    int lines = GetParam();
    RgbImage skin;
    ASSERT_TRUE(banner::ComposeSkinForLines(RowCodedSkin(), lines, skin));
    EXPECT_EQ(skin.width, 352);
    EXPECT_EQ(skin.height, 129 + 20 * lines);
    for (int y = 0; y < skin.height; ++y) {
        int expected;
        if (y < 40)
            expected = y;
        else if (y < 54 + 20 * lines)
            expected = 40 + (y - 40) % 20;
        else
            expected = y - 20 * lines;
        ASSERT_EQ(SourceRowOf(skin, y), expected) << "row " << y << " lines " << lines;
        // Whole rows: the last column too.
        ASSERT_EQ(skin.Pixel(351, y)[0], skin.Pixel(0, y)[0]);
    }
    Rect text = banner::TextRectForSkin(skin.width, skin.height);
    EXPECT_EQ(text, (Rect{10, 20, 332, skin.height - 60}));
}

INSTANTIATE_TEST_SUITE_P(Lines, SkinForLinesTest, ::testing::Values(0, 1, 2, 7));

TEST(SkinForLines, TwoLinesGiveTheDocumentedSizeAndTextRectangle)
{
    RgbImage skin;
    ASSERT_TRUE(banner::ComposeSkinForLines(RowCodedSkin(), 2, skin));
    EXPECT_EQ(skin.width, 352);
    EXPECT_EQ(skin.height, 169);
    EXPECT_EQ(banner::TextRectForSkin(skin.width, skin.height), (Rect{10, 20, 332, 109}));
}

TEST(SkinForLines, RefusesWhatCannotBeBuiltAndKeepsTheOldSkin)
{
    RgbImage skin = RowCodedSkin();
    RgbImage before = skin;
    EXPECT_FALSE(banner::ComposeSkinForLines(RgbImage(), 0, skin));
    EXPECT_FALSE(banner::ComposeSkinForLines(RowCodedSkin(351, 129), 0, skin));
    EXPECT_FALSE(banner::ComposeSkinForLines(RowCodedSkin(352, 128), 0, skin));
    EXPECT_FALSE(banner::ComposeSkinForLines(RowCodedSkin(), -1, skin));
    EXPECT_FALSE(banner::ComposeSkinForLines(RowCodedSkin(), 1 << 24, skin));
    EXPECT_EQ(skin.pixels, before.pixels);
    // A larger picture is cut to the skin's width.
    ASSERT_TRUE(banner::ComposeSkinForLines(RowCodedSkin(400, 140), 0, skin));
    EXPECT_EQ(skin.width, 352);
    EXPECT_EQ(skin.height, 129);
}

TEST(SkinShape, CutsOutExactlyTheTransparentPixels)
{
    // 6 x 3: row 0 transparent at both ends, row 1 a hole in the middle, row 2 all transparent.
    RgbImage image(6, 3);
    auto paint = [&](int x, int y, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        std::uint8_t* p = image.Pixel(x, y);
        p[0] = r;
        p[1] = g;
        p[2] = b;
    };
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x)
            paint(x, y, 250, 250, 250);
    paint(0, 0, 255, 0, 255);
    paint(5, 0, 255, 0, 255);
    paint(2, 1, 255, 0, 255);
    paint(3, 1, 255, 0, 254);  // almost the colour: part of the shape
    for (int x = 0; x < 6; ++x)
        paint(x, 2, 255, 0, 255);
    std::vector<Rect> rects = banner::ShapeRectangles(image, {255, 0, 255});
    std::vector<Rect> expected{{1, 0, 5, 1}, {0, 1, 2, 2}, {3, 1, 6, 2}};
    EXPECT_EQ(rects, expected);
}

// Text breaking with a font of 10 pixels a character.
int TenPerChar(const std::wstring& s)
{
    return int(s.size()) * 10;
}

struct BreakCase {
    const char* name;
    std::wstring text;
    int width;
    int height;
    std::vector<std::wstring> lines;
};

class BannerTextTest : public ::testing::TestWithParam<BreakCase> {};

TEST_P(BannerTextTest, Breaks)
{
    const BreakCase& c = GetParam();
    EXPECT_EQ(banner::BreakBannerText(c.text, c.width, c.height, 15, TenPerChar), c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, BannerTextTest,
    ::testing::Values(
        BreakCase{"fits", L"hola mundo", 200, 60, {L"hola mundo"}},
        BreakCase{"words", L"one two three four", 90, 60, {L"one two", L"three", L"four"}},
        BreakCase{"lineBreak", L"hola:\nhello world", 200, 60, {L"hola:", L"hello world"}},
        BreakCase{"crlf", L"a\r\nb", 200, 60, {L"a", L"b"}},
        BreakCase{"emptyFirstLine", L"\nx", 200, 60, {L"", L"x"}},
        BreakCase{"longWord", L"abcdefghijkl", 60, 60, {L"abcde\u2026"}},
        BreakCase{"tooTall", L"aa bb cc dd", 20, 30, {L"aa", L"b\u2026"}},
        BreakCase{"spaces", L"  a   b  ", 200, 60, {L"a b"}}, BreakCase{"empty", L"", 200, 60, {}}),
    [](const ::testing::TestParamInfo<BreakCase>& info) { return info.param.name; });

}  // namespace

}  // namespace talvero
