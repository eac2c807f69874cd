// Frame painting of the notch overlay, collapsed and expanded, into an image of the panel's size (offscreen).

#include "core/Score.h"
#include "ui/look/Font.h"
#include "ui/notch/NotchContentView.h"

#include <QApplication>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <cstdlib>

namespace {

Stats sampleStats()
{
    Stats s;
    s.todayLinesAdded = 12345;
    s.linesAdded = 753000;
    s.cost = 3012.5;
    s.streakCurrent = 12;
    s.streakLongest = 132;
    s.tokensOut = 170.8e6;
    s.badges = Score::badgesFor(753000, 132, s.byHour, 3012.5, 170.8e6, 4, 1849);
    return s;
}

void paintFrames(benchmark::State& state, bool expanded)
{
    NotchContentView view;
    view.resize(expanded ? 482 : 180, expanded ? 330 : 32);
    NotchState shown = NotchState::of(sampleStats(), false, OverlayLook::current(), view.state());
    shown.expanded = expanded;
    view.setState(std::move(shown));
    QImage frame(view.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        view.tick();
        QPainter p(&frame);
        view.paintContent(p);
        benchmark::DoNotOptimize(frame.bits());
    }
}

void BM_CollapsedFrame(benchmark::State& state)
{
    paintFrames(state, false);
}
void BM_ExpandedFrame(benchmark::State& state)
{
    paintFrames(state, true);
}

} // namespace

BENCHMARK(BM_CollapsedFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ExpandedFrame)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    Font::registerFont();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
