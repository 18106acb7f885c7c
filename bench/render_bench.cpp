// Drawing one frame of each stripe animation, apart from the rest of the
// save.
#include "core/animation/moving_stripes_renderer.h"
#include "core/animation/rotating_stripes_renderer.h"

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

} // namespace
