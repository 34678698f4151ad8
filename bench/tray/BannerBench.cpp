// What a banner costs per show: building the skin for the text's lines and its shape.
#include <benchmark/benchmark.h>

#include "tray/BannerSkin.h"

namespace talvero {

namespace {

// A skin like 132: a rounded body inside a magenta surround.
banner::RgbImage BubbleSkin()
{
    banner::RgbImage image(banner::kSkinWidth, banner::kSkinHeight);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            bool inside = x >= 6 + (y < 10 ? 10 - y : 0) && x < 346 && y >= 4 && y < 105;
            std::uint8_t* p = image.Pixel(x, y);
            p[0] = inside ? 111 : 255;
            p[1] = inside ? 132 : 0;
            p[2] = inside ? 173 : 255;
        }
    return image;
}

void BM_SkinAndShapeForLines(benchmark::State& state)
{
    banner::RgbImage source = BubbleSkin();
    int lines = int(state.range(0));
    for (auto _ : state) {
        banner::RgbImage skin;
        banner::ComposeSkinForLines(source, lines, skin);
        std::vector<banner::Rect> shape = banner::ShapeRectangles(skin, {255, 0, 255});
        benchmark::DoNotOptimize(shape.data());
    }
}
BENCHMARK(BM_SkinAndShapeForLines)->Arg(0)->Arg(2)->Arg(30)->Unit(benchmark::kMicrosecond);

}  // namespace

}  // namespace talvero
