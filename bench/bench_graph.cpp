// One full paint of a crowded plot model: 3999 trial surfaces of 200 points at 1280 x 800; and the
// model view of the largest model the tables hold: the check for a change, the scene and the drawing
// (together under 50 ms).
#include "graph/GraphView.h"
#include "graph/ModelScene.h"
#include "model/ProgramData.h"
#include "model/TableSet.h"

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

void ensureApplication() {
    static int argc = 1;
    static char name[] = "bench";
    static char* argv[] = {name};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(argc, argv);
}

void BM_PaintCrowdedModel(benchmark::State& state) {
    ensureApplication();
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

// Every table at its largest: 100 boundary lines over 50 soils, 30 water surfaces of 10 points, 10
// loads, 50 limit lines, 15 tiebacks.
void fillLargest(ProblemSession& session) {
    TableSet& t = session.tables();
    TProgramData& d = session.document();
    auto set = [](TGridTable* table, int column, int row, double v) {
        table->Cell(column, row).SetFloat(static_cast<long double>(v));
    };
    t.BoundCood->SetRowCount(100);
    d.SurfaceLineCount = 20;
    for (int r = 0; r < 100; ++r) {
        const int layer = r / 20, k = r % 20;
        const double x0 = 10.0 * k, x1 = x0 + 10, top = 100 - 15.0 * layer;
        const double y0 = top + (k < 10 ? 0 : -3.0 * (k - 10)), y1 = top + (k < 10 ? 0 : -3.0 * (k - 9));
        set(t.BoundCood, 0, r, x0);
        set(t.BoundCood, 1, r, y0);
        set(t.BoundCood, 2, r, x1);
        set(t.BoundCood, 3, r, y1);
        t.BoundCood->Cell(4, r).SetInteger(1 + r % 50);
    }
    t.SoilData->SetRowCount(50);
    for (int r = 0; r < 50; ++r) {
        set(t.SoilData, 0, r, 18 + r % 3);
        set(t.SoilData, 1, r, 20);
        set(t.SoilData, 2, r, 5 + r);
        set(t.SoilData, 3, r, 25 + r % 10);
    }
    d.WaterOn = true;
    t.WaterSurfaceSet->SetRowCount(30);
    for (int w = 0; w < 30; ++w) {
        TGridTable* pts = t.WaterSurfaceSet->Cell(cols::kNested, w).Table();
        pts->SetRowCount(10);
        for (int i = 0; i < 10; ++i) {
            set(pts, 0, i, 20.0 * i + (i == 9 ? 20 : 0));
            set(pts, 1, i, 95 - w - 2.0 * i);
        }
    }
    d.LoadsOn = true;
    t.SurchargeLoad->SetRowCount(10);
    for (int r = 0; r < 10; ++r) {
        set(t.SurchargeLoad, 0, r, 2 + 9.0 * r);
        set(t.SurchargeLoad, 1, r, 8 + 9.0 * r);
        set(t.SurchargeLoad, 2, r, 10);
    }
    d.LimitsOn = true;
    t.limit->SetRowCount(50);
    for (int r = 0; r < 50; ++r) {
        set(t.limit, 0, r, 4.0 * r);
        set(t.limit, 1, r, 20);
        set(t.limit, 2, r, 4.0 * r + 4);
        set(t.limit, 3, r, 20);
    }
    d.TiesOn = true;
    t.TiebackCoord->SetRowCount(15);
    for (int r = 0; r < 15; ++r) {
        t.TiebackCoord->Cell(0, r).SetInteger(12);
        set(t.TiebackCoord, 1, r, 120 + r);
        set(t.TiebackCoord, 2, r, 94 - r);
        set(t.TiebackCoord, 3, r, 100);
        set(t.TiebackCoord, 4, r, 2);
        set(t.TiebackCoord, 5, r, 15);
        set(t.TiebackCoord, 6, r, 10);
    }
    d.EquakeOn = true;
    d.SeismicKh = 0.1L;
}

// What the view does every quarter second: the document's text, compared with the last drawn.
void BM_ModelViewChangeCheck(benchmark::State& state) {
    ensureApplication();
    ProblemSession session;
    fillLargest(session);
    for (auto _ : state) benchmark::DoNotOptimize(session.document().ProblemText());
}
BENCHMARK(BM_ModelViewChangeCheck)->Unit(benchmark::kMillisecond);

// What it does after a change: the scene and a full drawing at 1280 x 800.
void BM_ModelViewRedraw(benchmark::State& state) {
    ensureApplication();
    ProblemSession session;
    fillLargest(session);
    QImage image(1280, 800, QImage::Format_RGB32);
    for (auto _ : state) {
        const ModelScene scene = BuildModelScene(session.document(), session.tables());
        GraphView v;
        ModelPicture::Fit(v, scene, image.width(), image.height(), 1);
        QPainter p(&image);
        ModelPicture::Draw(p, scene, v, image.rect());
    }
}
BENCHMARK(BM_ModelViewRedraw)->Unit(benchmark::kMillisecond);

} // namespace
