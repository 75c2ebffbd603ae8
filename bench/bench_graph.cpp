// One full paint of a crowded plot model: 3999 trial surfaces of 200 points at 1280 x 800.
#include "graph/GraphView.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <cmath>

namespace {

PlotModel crowded() {
    PlotModel m;
    m.Regions[0].soil = 1;
    m.Regions[0].count = 4;
    m.Regions[0].points[0] = {0, 20};
    m.Regions[0].points[1] = {40, 20};
    m.Regions[0].points[2] = {120, 60};
    m.Regions[0].points[3] = {180, 60};
    m.RegionCount = 1;
    m.Boundary[0] = {0, 20, 40, 20, 1, {}, {}};
    m.BoundaryCount = 1;
    m.TrialCount = 4000;
    for (int s = 2; s <= 4000; ++s) {
        PolyLine& t = m.TrialSurface[static_cast<size_t>(s)];
        t.count = 200;
        const double r = 60 + (s % 97) * 0.5, cx = 60 + (s % 13), cy = 90;
        for (int i = 0; i < 200; ++i) {
            const double a = 3.14159 * (1.2 + 0.6 * i / 199.0);
            t.points[static_cast<size_t>(i)] = {cx + r * std::cos(a), cy + r * std::sin(a)};
        }
    }
    return m;
}

void BM_PaintCrowdedModel(benchmark::State& state) {
    int argc = 1;
    char name[] = "bench";
    char* argv[] = {name};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    PlotModel m = crowded();
    GraphView v;
    v.Switches.set(bit(Layer::AllTrialSurfaces))
        .set(bit(Layer::BoundaryLines))
        .set(bit(Layer::ColorSoilLayers));
    v.FitToView(m, 1280, 800);
    QImage image(1280, 800, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter p(&image);
        v.DrawGraph(p, m, Qt::white, image.rect());
    }
}
BENCHMARK(BM_PaintCrowdedModel)->Unit(benchmark::kMillisecond);

} // namespace
