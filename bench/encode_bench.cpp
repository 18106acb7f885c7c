// One benchmark per stage of the save pipeline (palette, remap, GIF writing)
// and the whole encode, on 450 x 200 gradient frames made in memory; and LZW
// alone on large few-colour frames.
#include "core/animation/rubber_clouds_renderer.h"
#include "core/imaging/color_histogram.h"
#include "core/imaging/frame_encoder.h"
#include "core/imaging/gif_writer.h"
#include "core/imaging/lzw_encoder.h"
#include "core/imaging/palette.h"
#include "core/imaging/remapper.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>
#include <libimagequant.h>
#include <unordered_map>

namespace {

constexpr int kW = 450, kH = 200;

QImage GradientFrame(int t) {
    QImage image(kW, kH, QImage::Format_RGB32);
    const double pi = 3.14159265358979;
    for (int y = 0; y < kH; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < kW; ++x) {
            const double u = double(x) / kW, v = double(y) / kH, p = t * 2 * pi / 100.0;
            row[x] = qRgb(int(127.5 + 127.5 * std::sin(2 * pi * u + p)),
                          int(127.5 + 127.5 * std::sin(2 * pi * (0.7 * v + 0.3 * u) - p + 2.0)),
                          int(127.5 + 127.5 * std::sin(3 * pi * u * v + 2 * p + 4.0)));
        }
    }
    return image;
}

const std::vector<QImage>& Frames() {
    static const std::vector<QImage> frames = [] {
        std::vector<QImage> f;
        for (int t = 0; t < 20; ++t)
            f.push_back(GradientFrame(t * 5));
        return f;
    }();
    return frames;
}

PaletteColors FramesPalette() {
    ColorHistogram h;
    for (const QImage& f : Frames())
        h.AddFrame(f);
    PaletteColors palette;
    ChoosePalette(h, 256, false, 0, &palette);
    return palette;
}

void BM_Histogram(benchmark::State& state) {
    for (auto _ : state) {
        ColorHistogram h;
        for (const QImage& f : Frames())
            h.AddFrame(f);
        benchmark::DoNotOptimize(h.ColorCount());
    }
    state.SetItemsProcessed(state.iterations() * Frames().size() * kW * kH);
}
BENCHMARK(BM_Histogram)->Unit(benchmark::kMillisecond);

void BM_ChoosePalette(benchmark::State& state) {
    ColorHistogram h;
    for (const QImage& f : Frames())
        h.AddFrame(f);
    for (auto _ : state) {
        PaletteColors palette;
        ChoosePalette(h, 256, false, 0, &palette);
        benchmark::DoNotOptimize(palette.data());
    }
}
BENCHMARK(BM_ChoosePalette)->Unit(benchmark::kMillisecond);

void BM_Remap(benchmark::State& state) {
    const bool dither = state.range(0) != 0;
    const PaletteColors palette = FramesPalette();
    Remapper remapper(palette);
    std::vector<std::uint8_t> out(std::size_t(kW) * kH);
    std::size_t i = 0;
    for (auto _ : state) {
        remapper.Remap(Frames()[i++ % Frames().size()], dither, out.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_Remap)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// libimagequant's own remapping, for comparison with ours.
void BM_LiqRemap(benchmark::State& state) {
    const bool dither = state.range(0) != 0;
    liq_attr* attr = liq_attr_create();
    liq_set_speed(attr, 7);
    std::vector<QImage> rgba;
    for (const QImage& f : Frames())
        rgba.push_back(f.convertToFormat(QImage::Format_RGBA8888));
    liq_image* first = liq_image_create_rgba(attr, rgba[0].constBits(), kW, kH, 0);
    liq_result* result = nullptr;
    if (liq_image_quantize(first, attr, &result) != LIQ_OK) {
        state.SkipWithError("quantisation failed");
        return;
    }
    liq_set_dithering_level(result, dither ? 1.0f : 0.0f);
    std::vector<std::uint8_t> out(std::size_t(kW) * kH);
    std::size_t i = 0;
    for (auto _ : state) {
        liq_image* image =
            liq_image_create_rgba(attr, rgba[i++ % rgba.size()].constBits(), kW, kH, 0);
        liq_write_remapped_image(result, image, out.data(), out.size());
        liq_image_destroy(image);
    }
    state.SetItemsProcessed(state.iterations() * kW * kH);
    liq_result_destroy(result);
    liq_image_destroy(first);
    liq_attr_destroy(attr);
}
BENCHMARK(BM_LiqRemap)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_GifWrite(benchmark::State& state) {
    const PaletteColors palette = FramesPalette();
    Remapper remapper(palette);
    std::vector<IndexedImage> indexed;
    for (const QImage& f : Frames()) {
        IndexedImage im(kW, kH);
        remapper.Remap(f, true, im.pixels.data());
        indexed.push_back(std::move(im));
    }
    QTemporaryDir dir;
    for (auto _ : state) {
        GifWriter writer;
        writer.Open(dir.filePath(QStringLiteral("w.gif")), kW, kH, palette, GifFileOptions());
        for (const IndexedImage& im : indexed)
            writer.WriteFrame(im);
        writer.Finish();
    }
    state.SetItemsProcessed(state.iterations() * indexed.size() * kW * kH);
}
BENCHMARK(BM_GifWrite)->Unit(benchmark::kMillisecond);

// LZW on the indices of four 1200 x 800 Rubber Clouds frames (30 colours,
// exact, so that the code size is 5 as in the save).
const std::vector<std::vector<std::uint8_t>>& RubberIndices() {
    static const std::vector<std::vector<std::uint8_t>> frames = [] {
        RubberCloudsRenderer r;
        r.SetFrameWidth(1200);
        r.SetFrameHeight(800);
        r.SetFixedSeed(1u);
        r.PrepareSave();
        std::vector<std::vector<std::uint8_t>> all;
        std::unordered_map<QRgb, std::uint8_t> index;
        for (int i = 0; i < 4; ++i) {
            QImage frame(r.OutputSize(), QImage::Format_RGB32);
            r.DrawFrame(i * 7 % r.FrameCount(), &frame);
            std::vector<std::uint8_t> pixels;
            for (int y = 0; y < frame.height(); ++y)
                for (int x = 0; x < frame.width(); ++x) {
                    const QRgb c = frame.pixel(x, y);
                    auto found = index.find(c);
                    if (found == index.end())
                        found = index.emplace(c, std::uint8_t(index.size() & 31)).first;
                    pixels.push_back(found->second);
                }
            all.push_back(std::move(pixels));
        }
        return all;
    }();
    return frames;
}

void BM_LzwRubberClouds(benchmark::State& state) {
    const auto& frames = RubberIndices();
    for (auto _ : state)
        for (const auto& f : frames)
            benchmark::DoNotOptimize(LzwEncode(f.data(), f.size(), 5));
    state.SetItemsProcessed(state.iterations() * frames.size() * frames[0].size());
}
BENCHMARK(BM_LzwRubberClouds)->Unit(benchmark::kMillisecond);

class MemorySource : public FrameSource {
public:
    int FrameCount() const override { return int(Frames().size()); }
    QSize FrameSize() const override { return QSize(kW, kH); }
    int FrameDelay(int) const override { return 10; }
    Status DrawFrame(int index, QImage* frame) override {
        *frame = Frames()[index];
        return Status::Ok();
    }
};

void BM_EncodeAnimation(benchmark::State& state) {
    QTemporaryDir dir;
    MemorySource source;
    EncodeOptions options;
    options.threads = int(state.range(0));
    for (auto _ : state)
        EncodeAnimatedGif(source, dir.filePath(QStringLiteral("e.gif")), options);
    state.SetItemsProcessed(state.iterations() * Frames().size() * kW * kH);
}
BENCHMARK(BM_EncodeAnimation)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
