// Drawing one frame of the stripe animations and of Rubber Clouds (whose
// ring painting is most of its save), apart from the rest of the save.
#include "core/animation/moving_stripes_renderer.h"
#include "core/animation/rotating_stripes_renderer.h"
#include "core/animation/rubber_clouds_renderer.h"

#include <benchmark/benchmark.h>

namespace {

void BM_DrawMovingStripes(benchmark::State& state) {
    MovingStripesRenderer r;
    r.SetFrameWidth(450);
    r.SetFrameHeight(200);
    r.SetNumberOfColors(5);
    r.SetBackgroundStripes(true);
    r.PrepareSave();
    QImage frame(450, 200, QImage::Format_RGB32);
    int i = 0;
    for (auto _ : state)
        r.DrawFrame(i++ % r.FrameCount(), &frame);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DrawMovingStripes)->Unit(benchmark::kMicrosecond);

void BM_DrawRotatingStripes(benchmark::State& state) {
    RotatingStripesRenderer r;
    r.SetFrameWidth(int(state.range(0)));
    r.SetFrameHeight(int(state.range(1)));
    r.PrepareSave();
    QImage frame(r.OutputSize(), QImage::Format_RGB32);
    int i = 0;
    for (auto _ : state)
        r.DrawFrame(i++ % r.FrameCount(), &frame);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DrawRotatingStripes)
    ->Args({120, 120})
    ->Args({450, 200})
    ->Unit(benchmark::kMicrosecond);

void BM_DrawFitToCell(benchmark::State& state) {
    RotatingStripesRenderer r;
    r.PrepareFitToCell();
    QImage frame(r.OutputSize(), QImage::Format_RGB32);
    int i = 0;
    for (auto _ : state)
        r.DrawFrame(i++ % r.FrameCount(), &frame);
}
BENCHMARK(BM_DrawFitToCell)->Unit(benchmark::kMicrosecond);

// Items are pixels, so the rate reads as pixels a second.
void BM_DrawRubberClouds(benchmark::State& state) {
    RubberCloudsRenderer r;
    r.SetFrameWidth(int(state.range(0)));
    r.SetFrameHeight(int(state.range(1)));
    r.SetFixedSeed(1u);
    r.PrepareSave();
    QImage frame(r.OutputSize(), QImage::Format_RGB32);
    int i = 0;
    for (auto _ : state)
        r.DrawFrame(i++ % r.FrameCount(), &frame);
    state.SetItemsProcessed(state.iterations() * frame.width() * frame.height());
}
BENCHMARK(BM_DrawRubberClouds)
    ->Args({600, 400})
    ->Args({1200, 800})
    ->Unit(benchmark::kMillisecond);

} // namespace
