// The plot-file reader, scaling and drawing, and the graph window driven offscreen.
#include "FakeServices.h"
#include "QtPrinters.h"
#include "RecordingMessages.h"
#include "app/MainForm.h"
#include "graph/FrmGraph.h"
#include "tables/ColumnTypes.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPaintEngine>
#include <QPainter>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <climits>

namespace {

const char* const kHeader = "0\n100\n0\n50\n10\n5\n0\n0\n0\n1\n1\n0\n0\n0\n0\n";

QByteArray plot(const char* body, const char* header = kHeader) {
    return QByteArray(header) + body;
}

class Reader : public ::testing::Test {
protected:
    ProblemSession session;
    PlotModel model;
    PlotReadResult read(const QByteArray& text) {
        return ReadPlotText(text, *session.tables().BoundCood, model);
    }
    void boundary(std::initializer_list<std::array<double, 5>> rows) {
        TGridTable& b = *session.tables().BoundCood;
        b.SetRowCount(static_cast<int>(rows.size()));
        int r = 0;
        for (const auto& row : rows) {
            for (int c = 0; c < 4; ++c) b.Cell(c, r).SetFloat(row[static_cast<size_t>(c)]);
            b.Cell(4, r).SetInteger(static_cast<int>(row[4]));
            ++r;
        }
    }
};

TEST_F(Reader, EmptyAndNoDataFiles) {
    PlotReadResult r = read("END\n");
    EXPECT_EQ(r.messages, QStringList{plotmsg::kNoData});
    EXPECT_TRUE(r.enabled.none());
    r = read(plot("END\n"));
    EXPECT_TRUE(r.messages.isEmpty());
    EXPECT_TRUE(r.enabled.none()) << "no result switch and no boundary switch";
    r = read("");
    EXPECT_TRUE(r.messages.isEmpty());
}

TEST_F(Reader, TrialSurfacesCriticalSurfacesAndScaling) {
    const PlotReadResult r = read(plot("SRF\n2 1.5\n0 0\n10 10\nSRF\n2 1.4\n1 1\n2 2\nSRF\n1 1.3\n5 5\n"
                                       "TEN\n2\n1.2 0 0 9\n10 20\n30 40\n"
                                       "0\n0 0 0 0\n0\n0 0 0 0\n0\n0 0 0 0\n0\n0 0 0 0\n"
                                       "0\n0 0 0 0\n0\n0 0 0 0\n0\n0 0 0 0\n0\n0 0 0 0\n0\n0 0 0 0\n"
                                       "NPL\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n2\n0\n0\n0\n0\n"
                                       "SRF\n1 1.1\n3 4\nINF\n1\n1 7 100 2 50 0 0 0 0 0\nEND\n",
                                       "0\n100\n0\n50\n10\n5\n0\n0\n0\n1\n1\n0\n0\n0\n0\n"));
    EXPECT_EQ(model.TrialCount, 5);
    EXPECT_EQ(model.TrialSurface[1].count, 0) << "surface 1 stays empty";
    EXPECT_EQ(model.TrialSurface[2].count, 2);
    EXPECT_EQ(model.TrialSurface[3].points[1].x, 2);
    EXPECT_EQ(model.TrialSurface[5].points[0].x, 6) << "NPL's factor 2 applies to the records after it";
    EXPECT_EQ(model.TrialSurface[5].points[0].y, 8);
    EXPECT_EQ(model.FactorOfSafety, 1.1) << "the last SRF sets it";
    EXPECT_EQ(model.CentreX, 20) << "a zero centre falls back to the middle of the end points";
    EXPECT_EQ(model.CentreY, 30);
    EXPECT_EQ(model.Radius, 9);
    EXPECT_EQ(model.SliceCount, 1);
    EXPECT_EQ(model.Slices[0].x, 7) << "slice records are not scaled";
    EXPECT_TRUE(r.enabled.test(bit(Layer::AllTrialSurfaces)) &&
                r.enabled.test(bit(Layer::CriticalSlipSurface)) && r.enabled.test(bit(Layer::TotalStresses)));
    EXPECT_FALSE(r.enabled.test(bit(Layer::PiezometricLine)));
}

TEST_F(Reader, HeaderScaleFactorAppliesToScaledRecordsOnly) {
    boundary({{0, 10, 50, 10, 1}});
    read(plot("BND\n0 10 2 2\n0 10\n50 10\nTEN\n1\n1.5 3 4 5\n1 1\n"
              "0\n0 0 0 0\n0\n0 0 0 0\n0\n0 0 0 0\n0\n0 0 0 0\n"
              "0\n0 0 0 0\n0\n0 0 0 0\n0\n0 0 0 0\n0\n0 0 0 0\n0\n0 0 0 0\n"
              "LDS\n1\n0 0\n1 0\n1 1\n0 1\nLMT\n1\n1 2\n3 4\nRNF\n1\n2\n1 1\n2 2\nTIE\n1\n1 1\n2 2\n3 3\n"
              "WTR\n1\n2\n0 5\n10 6\nEND\n",
              "0\n100\n0\n50\n10\n5\n0\n0\n0\n1\n2\n0\n0\n0\n0\n"));
    EXPECT_EQ(model.ScaleFactor, 2);
    EXPECT_EQ(model.CriticalSurfaces[0].points[0].x, 2);
    EXPECT_EQ(model.CentreX, 3) << "centre and radius are not scaled";
    EXPECT_EQ(model.ZonePoints[2].y, 2);
    EXPECT_EQ(model.SearchLimits[0].second.y, 8);
    EXPECT_EQ(model.ReinfLines[0].points[1].x, 4);
    EXPECT_EQ(model.TieBacks[0][2].x, 6);
    EXPECT_EQ(model.PiezoLines[0].points[1].y, 12);
    EXPECT_EQ(model.Boundary[0].x2, 50) << "the boundary table is copied unscaled";
}

TEST_F(Reader, SoilRegionsJoinOnlyInIncreasingTableOrder) {
    boundary({{0, 10, 5, 10, 1}, {5, 10, 9, 12, 1}, {0, 5, 9, 6, 0}});
    read(plot("BND\n0 0 0 0\nEND\n"));
    ASSERT_EQ(model.RegionCount, 1) << "soil type 0 makes no region";
    EXPECT_EQ(model.Regions[0].count, 3);
    EXPECT_EQ(model.Regions[0].points[2].x, 9);

    boundary({{5, 10, 9, 12, 1}, {0, 10, 5, 10, 1}});
    read(plot("BND\n0 0 0 0\nEND\n"));
    EXPECT_EQ(model.RegionCount, 2) << "a row before its neighbour starts a region of its own";
}

TEST_F(Reader, GuardedErrorsAndHostileFiles) {
    PlotReadResult r = read(plot("LDS\nx\n0 0\nSRF\nx 1\n1 1\nLDS\n1\n0 0\n1 y\n1 1\n0 1\nEND\n"));
    EXPECT_EQ(r.messages,
              QStringList({plotmsg::kZoneCount, plotmsg::surfaceCount(2), plotmsg::zonePoint(2)}));
    r = read("0\n1\nx\n");
    EXPECT_EQ(r.messages, QStringList{plotmsg::kHeaderCorrupt});
    r = read(plot("SRF\n2000000000 1\n1 1\n2 2\n"));
    EXPECT_EQ(model.TrialSurface[2].count, 200) << "counts above the capacity are cut";
    r = read(plot("SRF\n300 1\n") + QByteArray().repeated(0));
    r = read(plot("WTR\n9\n2\n0 0\n1 1\n2\n0 0\n1 1\n2\n0 0\n1 1\n2\n0 0\n1 1\n2\n0 0\n1 1\nEND\n"));
    EXPECT_EQ(model.PiezoCount, 4);
    r = read(plot("INF\n1\n1 2 x 4 5 6 7 8 9 10\nSRF\n1 1\n1 1\n"));
    EXPECT_EQ(r.messages.size(), 1) << "a bad field reads as 0 and is reported once";
    EXPECT_EQ(model.Slices[0].totalForce, 0);
    EXPECT_EQ(model.TrialCount, 2) << "reading went on after it, to the end of a file without END";
    EXPECT_FALSE(ReadPlotFile("/no/such/file.sl4p", *session.tables().BoundCood, model).failure.isEmpty());
    {
        // A file far beyond any the engine writes is refused unread, not held in memory whole.
        QTemporaryDir dir;
        QFile huge(dir.filePath("huge.sl4p"));
        ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(plotformat::kMaxFileBytes + 1));
        huge.close();
        const QString failure = ReadPlotFile(huge.fileName(), *session.tables().BoundCood, model).failure;
        EXPECT_TRUE(failure.contains(QLatin1String("larger than 64 MiB"))) << failure.toStdString();
    }
    // A badly damaged record gives a bounded number of boxes, not one per bad line.
    r = read(plot("LDS\n10\n" + QByteArray("x y\n").repeated(40) + "END\n"));
    ASSERT_EQ(r.messages.size(), 21);
    EXPECT_EQ(r.messages.last(), plotmsg::kMoreErrors);
    // Counts whose multiples overflow 32 bits consume what is there and stop at the end.
    for (const char* record : {"BLK\n498164552\n", "BND\n0 0 0 1327703962\n", "LDS\n1552279817\n"}) {
        r = read(plot(QByteArray(record) + "1 1\n2 2\n"));
        EXPECT_TRUE(r.failure.isEmpty()) << record;
    }
}

TEST_F(Reader, FuzzCorpusReplays) {
    QDir corpus(QStringLiteral(DIZIROVI_SOURCE_DIR "/tests/data/fuzz/plot-reader"));
    const QStringList files = corpus.entryList(QDir::Files);
    for (const QString& name : files) {
        QFile f(corpus.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        read(f.readAll());
        EXPECT_LE(model.SliceCount, plotformat::kSlices);
        EXPECT_LE(model.RegionCount, plotformat::kRegions);
    }
    EXPECT_GT(files.size(), 3);
}

// ---- scaling and drawing ----

TEST(Scaling, NiceTickSteps) {
    const struct {
        double n, a, b, step, first;
    } cases[] = {{17, 0, 100, 10, 0},    {17, -33, 67, 10, -40},    {11, 0, 1, 0.1, 0},
                 {8.5, 0, 1000, 200, 0}, {17, 1234, 1300, 5, 1230}, {5.5, -0.5, 0.5, 0.2, -0.6}};
    for (const auto& c : cases) {
        const TickStep t = NiceTickStep(c.n, c.a, c.b);
        EXPECT_NEAR(t.step, c.step, 1e-12) << c.a << ".." << c.b;
        EXPECT_NEAR(t.first, c.first, 1e-9) << c.a << ".." << c.b;
    }
}

TEST(Scaling, SoilColours) {
    EXPECT_EQ(SoilColour(1), QColor(0, 128, 0));
    EXPECT_EQ(SoilColour(11), QColor(0, 128, 0));
    EXPECT_EQ(SoilColour(6), QColor(192, 192, 192));
    EXPECT_EQ(SoilColour(21), QColor(192, 192, 192));
    EXPECT_EQ(SoilColour(20), QColor(0, 0, 128));
    EXPECT_EQ(SoilColour(2), QColor(255, 255, 0));
}

PlotModel regionModel(std::initializer_list<PlotPoint> pts) {
    PlotModel m;
    m.Regions[0].soil = 1;
    m.Regions[0].count = static_cast<int>(pts.size());
    int i = 0;
    for (const PlotPoint& p : pts) m.Regions[0].points[static_cast<size_t>(i++)] = p;
    m.RegionCount = 1;
    return m;
}

bool inside(const PlotArea& a, QPoint p) {
    return p.x() >= a.Left && p.x() <= a.Right && p.y() >= a.Top && p.y() <= a.Bottom;
}

TEST(Scaling, FitToView) {
    GraphView v;
    PlotModel line = regionModel({{0, 50}, {100, 50}});
    v.FitToView(line, 500, 300);
    EXPECT_EQ(v.W.Scale, (v.Area.Right - v.Area.Left - 1) / 100.0);
    EXPECT_EQ(v.W.ScaleY, -v.W.Scale);
    // Half-way down the plot area.
    EXPECT_EQ(v.W.map(0, 50), QPoint(1, 150));

    PlotModel tall = regionModel({{0, 0}, {10, 100}});
    v.FitToView(tall, 500, 300);
    EXPECT_NEAR(v.W.Scale, (297.0 - 1 - 1) / 100, 1e-12);
    const QPoint bottom = v.W.map(0, 0), top = v.W.map(10, 100);
    EXPECT_NEAR((bottom.x() + top.x()) / 2.0, 250, 2) << "centred horizontally";

    PlotModel empty;
    v.FitToView(empty, 500, 300);
    EXPECT_TRUE(std::isfinite(v.W.Scale));
    EXPECT_GT(v.W.Scale, 0);

    v.Switches.set(bit(Layer::Scale));
    v.FitToView(line, 500, 400);
    EXPECT_EQ(v.MarginUnitX, 50);
    EXPECT_EQ(v.MarginUnitY, 50);
    EXPECT_GE(v.Area.Left, 37) << "at least the margins of the scale; wider when its texts need it";
    EXPECT_GE(v.Area.Top, 18);
}

// The whole model lies inside the plot area, whatever the shapes of the model and the canvas (the
// lowest line was drawn on the canvas' edge, below the area, and a wide low canvas cut a model off).
TEST(Scaling, TheWholeModelFitsTheArea) {
    const std::vector<PlotModel> models = {regionModel({{0, 0}, {100, 0}, {100, 90}, {0, 90}}),
                                           regionModel({{0, 20}, {40, 20}, {120, 60}, {180, 60}}),
                                           regionModel({{0, 0}, {10, 100}}), regionModel({{5, 5}, {5, 5}})};
    const QSize canvases[] = {{500, 300}, {800, 200}, {200, 800}, {300, 300}, {1280, 800}};
    for (bool scale : {false, true})
        for (const PlotModel& m : models)
            for (const QSize& c : canvases) {
                SCOPED_TRACE(::testing::Message() << c.width() << "x" << c.height() << " scale " << scale);
                GraphView v;
                v.Switches.set(bit(Layer::Scale), scale);
                v.FitToView(m, c.width(), c.height());
                const auto& r = m.Regions[0];
                for (int i = 0; i < r.count; ++i) {
                    const QPoint p =
                        v.W.map(r.points[static_cast<size_t>(i)].x, r.points[static_cast<size_t>(i)].y);
                    EXPECT_TRUE(inside(v.Area, p)) << p.x() << "," << p.y();
                }
            }
}

QImage render(PlotModel& m, GraphView& v, int w = 400, int h = 300) {
    QImage image(w, h, QImage::Format_RGB32);
    QPainter p(&image);
    v.DrawGraph(p, m, Qt::white, image.rect());
    return image;
}

int countColour(const QImage& image, const QColor& c, const QRect& box = QRect()) {
    const QRect r = box.isNull() ? image.rect() : box;
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (image.pixelColor(x, y) == c) ++n;
    return n;
}

TEST(Drawing, LayersOnAFixedImage) {
    ProblemSession session;
    TGridTable& b = *session.tables().BoundCood;
    b.SetRowCount(1);
    b.Cell(0, 0).SetFloat(0);
    b.Cell(1, 0).SetFloat(50);
    b.Cell(2, 0).SetFloat(100);
    b.Cell(3, 0).SetFloat(50);
    b.Cell(4, 0).SetInteger(1);
    PlotModel m;
    ReadPlotText(
        plot(
            "BND\n0 50 2 2\n0 50\n100 50\nTEN\n3\n1.234 50 80 40\n20 50\n50 30\n80 50\n"
            "0\n0 0 0 0\n0\n0 0 0 0\n0\n0 0 0 0\n0\n0 0 0 0\n0\n0 0 0 0\n0\n0 0 0 0\n0\n0 0 0 0\n0\n0 0 0 0\n"
            "0\n0 0 0 0\nINF\n2\n1 35 624 1 0 0 0 0 0 0\n2 500 624 1 0 0 0 0 0 0\nEND\n"),
        b, m);
    GraphView v;
    v.Switches.set(bit(Layer::ColorSoilLayers)).set(bit(Layer::BoundaryLines));
    v.FitToView(m, 400, 300);
    QImage image = render(m, v);
    EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::white)) << "background at the corner";
    const QPoint below = v.W.map(50, 40);
    EXPECT_EQ(image.pixelColor(below), QColor(0, 128, 0)) << "soil 1 below its line is green";
    EXPECT_EQ(image.pixelColor(v.W.map(50, 60)), QColor(Qt::white)) << "air above";
    EXPECT_EQ(image.pixelColor(v.W.map(50, 50)), QColor(Qt::black)) << "the boundary line";

    v.Switches.reset();
    v.Switches.set(bit(Layer::CriticalSlipSurface));
    image = render(m, v);
    EXPECT_GT(countColour(image, QColor(255, 0, 0)), 20) << "the red critical surface";

    // The solution text of layer 15 only while layer 12 is off.
    v.Switches.reset();
    v.Switches.set(bit(Layer::SolutionInformation));
    const QRect textBox(v.Area.Left + 10, v.Area.Top + 72, 150, 16);
    EXPECT_GT(countColour(render(m, v), Qt::black, textBox), 10);
    v.Switches.set(bit(Layer::CriticalSlipSurface));
    v.Switches.reset(bit(Layer::SolutionInformation));
    const int withCritical = countColour(render(m, v), Qt::black, textBox);
    v.Switches.set(bit(Layer::SolutionInformation));
    EXPECT_EQ(countColour(render(m, v), Qt::black, textBox), withCritical)
        << "layer 15 adds nothing over layer 12";

    // Stress bars: force 624 on a base of 1 is 10 long; the slice at x = 500 lies off the surface.
    v.Switches.reset();
    v.Switches.set(bit(Layer::TotalStresses));
    image = render(m, v);
    const auto bars = StressBars(m, true);
    ASSERT_EQ(bars.size(), 2u);
    const double ys = 50 + (30 - 50) * (35.0 - 20) / 30;
    ASSERT_TRUE(bars[0]);
    EXPECT_DOUBLE_EQ(bars[0]->surfaceY, ys);
    EXPECT_DOUBLE_EQ(bars[0]->tipY, ys - 10);
    EXPECT_FALSE(bars[1]) << "no bar for a slice outside the critical surface";
    EXPECT_GT(countColour(image, QColor(128, 128, 128)), 5);

    // A line whose ends map beyond 32767 pixels is not drawn at all.
    v.Switches.reset();
    v.Switches.set(bit(Layer::BoundaryLines));
    v.W.Scale = 1e6;
    v.W.ScaleY = -1e6;
    EXPECT_EQ(countColour(render(m, v), Qt::black), 0);
}

// Dense surfaces are drawn with the points that matter: every point of a 200-point line or arc
// still has a drawn pixel within one pixel of it, and a straight line paints about as many pixels
// as its two ends' line.
TEST(Drawing, DenseLinesLoseNoPixels) {
    const QColor silver(192, 192, 192);
    auto draw = [](const std::vector<PlotPoint>& pts, GraphView& v) {
        PlotModel m = regionModel({{0, 0}, {100, 60}});
        m.TrialCount = 2;
        m.TrialSurface[2].count = static_cast<int>(pts.size());
        std::copy(pts.begin(), pts.end(), m.TrialSurface[2].points.begin());
        v.Switches.set(bit(Layer::AllTrialSurfaces));
        v.FitToView(m, 500, 300);
        return render(m, v, 500, 300);
    };
    std::vector<PlotPoint> line, arc;
    for (int i = 0; i < 200; ++i) {
        line.push_back({i / 2.0, 10 + i * 0.2});
        const double a = 3.6 + 1.9 * i / 199.0;
        arc.push_back({50 + 45 * std::cos(a), 60 + 45 * std::sin(a)});
    }
    for (const auto* pts : {&line, &arc}) {
        GraphView v;
        const QImage image = draw(*pts, v);
        for (const PlotPoint& q : *pts) {
            const QPoint c = v.W.map(q.x, q.y);
            bool found = false;
            for (int dy = -1; dy <= 1 && !found; ++dy)
                for (int dx = -1; dx <= 1 && !found; ++dx)
                    found = image.pixelColor(c.x() + dx, c.y() + dy) == silver;
            EXPECT_TRUE(found) << q.x << ", " << q.y;
        }
    }
    GraphView v1, v2;
    const int dense = countColour(draw(line, v1), silver),
              ends = countColour(draw({line.front(), line.back()}, v2), silver);
    EXPECT_NEAR(dense, ends, ends / 20);
}

TEST(Drawing, AxesAndPage) {
    PlotModel m = regionModel({{0, 0}, {100, 50}});
    GraphView v;
    v.Switches.set(bit(Layer::Scale)).set(bit(Layer::BoundaryLines));
    v.FitToView(m, 600, 400);
    const QImage image = render(m, v, 600, 400);
    EXPECT_GT(countColour(image, Qt::black, QRect(0, v.Area.Bottom + 2, 600, 400 - v.Area.Bottom - 2)), 30)
        << "tick labels and the caption below the frame";
    QImage page(3300, 2550, QImage::Format_RGB32);
    QPainter p(&page);
    GraphView::DrawPage(p, m, v, page.width(), page.height());
    p.end();
    EXPECT_EQ(page.pixelColor(5, 5), QColor(Qt::white));
    EXPECT_GT(countColour(page, Qt::black, QRect(400, 400, 2500, 1700)), 100);
    EXPECT_EQ(ResolutionClass(330), 300);

    // A printed page of 300 dots per inch reads like the screen, and nothing of the drawing leaves
    // the frame: a critical surface whose centre lies far beyond the view draws its radii toward it.
    // The page is drawn with a margin of 200 dots around it, as a printer's or PDF page has.
    m.CriticalSurfaces[0].count = 2;
    m.CriticalSurfaces[0].points[0] = {20, 10};
    m.CriticalSurfaces[0].points[1] = {80, 40};
    m.FactorOfSafety = 1.234;
    m.CentreX = 500;
    m.CentreY = -900;
    v.Switches.set(bit(Layer::CriticalSlipSurface));
    QImage sheet(3700, 2950, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    sheet.setDotsPerMeterX(11811);
    sheet.setDotsPerMeterY(11811);
    QPainter q(&sheet);
    q.translate(200, 200);
    GraphView::DrawPage(q, m, v, 3300, 2550);
    q.end();
    for (const QRect& margin : {QRect(0, 0, 3700, 200), QRect(0, 0, 200, 2950), QRect(3500, 0, 200, 2950),
                                QRect(0, 2750, 3700, 200)})
        EXPECT_EQ(countColour(sheet, Qt::black, margin), 0) << "beyond the page";
    // The solution text at the frame's top-left (frame: left 450, top 300 on the page) is 10 points
    // high: about 40 dots, where 13 pixels would be 13.
    const QRect text(200 + 460, 200 + 372, 1500, 80);
    int top = text.bottom(), bottom = text.top();
    for (int y = text.top(); y <= text.bottom(); ++y)
        for (int x = text.left(); x <= text.right(); x += 2)
            if (sheet.pixelColor(x, y) == QColor(Qt::black))
                top = std::min(top, y), bottom = std::max(bottom, y);
    EXPECT_GT(bottom - top, 20) << "text height in dots";
    EXPECT_EQ(LineWidthForClass(300), 3);
    EXPECT_EQ(ResolutionClass(60), 75);
}

// ---- the window ----

class GraphWindow : public ::testing::Test {
protected:
    QTemporaryDir dir;
    ProblemSession session;
    RecordingMessages messages;
    ScriptedFiles files;
    GraphState state;
    std::unique_ptr<TfrmGraph> form;

    void open(bool withPlot = true) {
        const QString problem = dir.filePath("Bishop.sl4d");
        QFile::copy(QStringLiteral(DIZIROVI_SOURCE_DIR "/resources/examples/Bishop.sl4d"), problem);
        session.adopt(TProgramData::CreateFromFile(session, problem, true, &messages));
        if (withPlot) {
            QFile::copy(QStringLiteral(DIZIROVI_SOURCE_DIR "/tests/data/plots/bishop.sl4p"),
                        dir.filePath("Bishop.sl4p"));
            session.document().PlotFileName = dir.filePath("Bishop.sl4p");
        }
        form = std::make_unique<TfrmGraph>(state, session.document(), messages, files);
        form->printerAvailable = [] { return false; };
        form->show();
        form->FormActivate();
    }
    QPoint centre() const {
        return QPoint(static_cast<int>(std::lround(form->paintBox()->width() / 2.0)),
                      static_cast<int>(std::lround(form->paintBox()->height() / 2.0)));
    }
};

TEST_F(GraphWindow, OpensFitsAndEnablesSwitches) {
    open();
    EXPECT_TRUE(form->loaded());
    EXPECT_EQ(form->windowTitle(), "DizirOvi Graphics");
    EXPECT_TRUE(form->checkBox(Layer::BoundaryLines)->isChecked());
    EXPECT_TRUE(form->checkBox(Layer::CriticalSlipSurface)->isEnabled());
    EXPECT_FALSE(form->checkBox(Layer::TieBacks)->isEnabled());
    EXPECT_TRUE(form->checkBox(Layer::Scale)->isEnabled());
    EXPECT_EQ(form->checkBox(Layer::ReinfLines)->toolTip(), "Display sloope reinforcement lines");
    // The window opens with the whole model inside the plot area: no boundary line cut at an edge.
    for (int r = 0; r < state.model.RegionCount; ++r)
        for (int i = 0; i < state.model.Regions[static_cast<size_t>(r)].count; ++i) {
            const PlotPoint& p = state.model.Regions[static_cast<size_t>(r)].points[static_cast<size_t>(i)];
            EXPECT_TRUE(inside(state.view.Area, state.view.W.map(p.x, p.y))) << p.x << "," << p.y;
        }
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(GraphWindow, ZoomInThenOutRestoresScaleAndCentre) {
    open();
    const double scale = state.view.W.Scale;
    const PlotPoint before = state.view.W.inverse(centre().x(), centre().y());
    form->ZoomInClick();
    EXPECT_NEAR(state.view.W.Scale, scale * 1.25, 1e-12);
    form->ZoomOutClick();
    EXPECT_NEAR(state.view.W.Scale, scale, 1e-12);
    const PlotPoint after = state.view.W.inverse(centre().x(), centre().y());
    EXPECT_NEAR(after.x, before.x, 2 / scale);
    EXPECT_NEAR(after.y, before.y, 2 / scale);
    form->ZoomAllClick();
    EXPECT_NEAR(state.view.W.Scale, scale, 1e-12);
}

TEST_F(GraphWindow, PanButtonsByMouseButton) {
    open();
    const int x = state.view.W.OriginX, y = state.view.W.OriginY;
    QTest::mousePress(form->panButton("Left"), Qt::LeftButton);
    EXPECT_EQ(state.view.W.OriginX, x - 40);
    QTest::mousePress(form->panButton("Right"), Qt::RightButton);
    EXPECT_EQ(state.view.W.OriginX, x - 39);
    QTest::mousePress(form->panButton("Down"), Qt::LeftButton);
    EXPECT_EQ(state.view.W.OriginY, y + 40);
    QTest::mousePress(form->panButton("Up"), Qt::MiddleButton);
    EXPECT_EQ(state.view.W.OriginY, y + 39);
    form->panButton("Left")->click();
    EXPECT_EQ(state.view.W.OriginX, x - 39) << "a click without a press (keyboard) does nothing";
    // Activation keeps the user's view: the pan, the zoom, and with the scale on its margins.
    form->ZoomInClick();
    form->checkBox(Layer::Scale)->click();
    const WorldToScreen view = state.view.W;
    const PlotArea area = state.view.Area;
    ASSERT_GT(area.Left, 1);
    form->FormActivate();
    EXPECT_EQ(state.view.W.OriginX, view.OriginX);
    EXPECT_EQ(state.view.W.OriginY, view.OriginY);
    EXPECT_EQ(state.view.W.Scale, view.Scale);
    EXPECT_EQ(state.view.Area.Left, area.Left);
    EXPECT_EQ(state.view.Area.Bottom, area.Bottom);
}

TEST_F(GraphWindow, ResizeRefitsAndDragsZoomAndPan) {
    open();
    form->resize(1000, 800);
    EXPECT_EQ(form->paintBox()->width(), 800);
    EXPECT_EQ(form->paintBox()->height(), 738);
    const double fitted = state.view.W.Scale;
    GraphView expected = state.view;
    expected.FitToView(state.model, 800, 738);
    EXPECT_EQ(fitted, expected.W.Scale);

    const int h = form->paintBox()->height();
    form->PaintBoxPress(QPoint(100, 400), Qt::RightButton);
    form->PaintBoxMove(QPoint(100, 400 - h / 2));
    EXPECT_NEAR(state.view.W.Scale, fitted * 1.5, 1e-12);
    EXPECT_EQ(form->windowTitle(), "Orvane Graphics Utility for DIZIROvi");
    form->PaintBoxRelease(QPoint(100, 400 + h / 2));
    EXPECT_NEAR(state.view.W.Scale, fitted * 0.75, 1e-12);

    const int ox = state.view.W.OriginX;
    form->PaintBoxPress(QPoint(10, 10), Qt::LeftButton);
    form->PaintBoxMove(QPoint(30, 15));
    EXPECT_EQ(state.view.W.OriginX, ox + 20);
    form->PaintBoxRelease(QPoint(30, 15));
    form->PaintBoxMove(QPoint(0, 0));
    EXPECT_TRUE(form->windowTitle().startsWith("Orvane Graphics Utility for DIZIROvi,     x = "));
}

// A paint device that records every text drawn on it and where, in device pixels.
class TextRecorder : public QPaintDevice {
public:
    struct Text {
        QString text;
        QRectF box;
    };
    TextRecorder(int w, int h, int dpi = 96) : m_w(w), m_h(h), m_dpi(dpi), m_engine(*this) {}
    QPaintEngine* paintEngine() const override { return &m_engine; }
    std::vector<Text> texts;
    std::vector<Text> containing(const QString& part) const {
        std::vector<Text> found;
        for (const Text& t : texts)
            if (t.text.contains(part)) found.push_back(t);
        return found;
    }

protected:
    int metric(PaintDeviceMetric m) const override {
        switch (m) {
        case PdmWidth: return m_w;
        case PdmHeight: return m_h;
        case PdmWidthMM: return m_w * 254 / (10 * m_dpi);
        case PdmHeightMM: return m_h * 254 / (10 * m_dpi);
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY: return m_dpi;
        case PdmDepth: return 32;
        case PdmNumColors: return INT_MAX;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return static_cast<int>(devicePixelRatioFScale());
        }
        return 0;
    }

private:
    class Engine : public QPaintEngine {
    public:
        explicit Engine(TextRecorder& owner) : QPaintEngine(AllFeatures), m_owner(owner) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        // Only texts are recorded; the rest is drawn nowhere (the defaults call one another).
        void drawPath(const QPainterPath&) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawPolygon(const QPoint*, int, PolygonDrawMode) override {}
        void drawLines(const QLineF*, int) override {}
        void drawLines(const QLine*, int) override {}
        void drawRects(const QRectF*, int) override {}
        void drawRects(const QRect*, int) override {}
        void drawPoints(const QPointF*, int) override {}
        void drawEllipse(const QRectF&) override {}
        void drawImage(const QRectF&, const QImage&, const QRectF&, Qt::ImageConversionFlags) override {}
        void drawTextItem(const QPointF& p, const QTextItem& item) override {
            const QRectF box(p.x(), p.y() - item.ascent(), item.width(), item.ascent() + item.descent());
            m_owner.texts.push_back({item.text(), painter()->transform().mapRect(box)});
        }
        Type type() const override { return User; }

    private:
        TextRecorder& m_owner;
    };
    int m_w, m_h, m_dpi;
    mutable Engine m_engine;
};

bool within(const QRectF& box, const QRectF& frame) {
    return box.adjusted(1, 1, -1, -1).intersected(frame) == box.adjusted(1, 1, -1, -1);
}

// The axes' texts always fit the picture, the boundary coordinates and the solution stay inside the
// plot area, and the factor of safety is written once, on the screen and on the printed page.
TEST(Drawing, TextsFitAndTheFactorIsWrittenOnce) {
    ProblemSession session;
    const QString problem = QStringLiteral(DIZIROVI_SOURCE_DIR "/resources/examples/Bishop.sl4d");
    session.adopt(TProgramData::CreateFromFile(session, problem, true, nullptr));
    PlotModel m;
    QFile f(QStringLiteral(DIZIROVI_SOURCE_DIR "/tests/data/plots/bishop.sl4p"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    ReadPlotText(f.readAll(), *session.tables().BoundCood, m);
    ASSERT_GT(m.FactorOfSafety, 0);
    GraphView v;
    for (Layer l : {Layer::ColorSoilLayers, Layer::BoundaryLines, Layer::CriticalSlipSurface,
                    Layer::SolutionInformation, Layer::BoundaryCoords, Layer::Scale})
        v.Switches.set(bit(l));
    for (const QSize size : {QSize(1280, 800), QSize(622, 569), QSize(400, 300), QSize(300, 200)}) {
        SCOPED_TRACE(::testing::Message() << size.width() << "x" << size.height());
        v.FitToView(m, size.width(), size.height());
        TextRecorder screen(size.width(), size.height());
        {
            QPainter p(&screen);
            v.DrawGraph(p, m, Qt::white, QRect(QPoint(), size));
        }
        const QRectF canvas(QPointF(0, 0), QSizeF(size));
        const QRectF area(QPointF(v.Area.Left, v.Area.Top), QPointF(v.Area.Right + 1, v.Area.Bottom + 1));
        for (const char* caption : {"Horizontal Coordinate", "Vertical Coordinate"}) {
            const auto found = screen.containing(caption);
            ASSERT_EQ(found.size(), 1u) << caption;
            EXPECT_TRUE(within(found[0].box, canvas)) << caption;
        }
        for (const auto& t : screen.texts) EXPECT_TRUE(within(t.box, canvas)) << t.text.toStdString();
        for (const auto& t : screen.containing("("))
            EXPECT_TRUE(within(t.box, area)) << t.text.toStdString() << " is cut at the frame";
        const auto factor = screen.containing("Factor of Safety");
        ASSERT_EQ(factor.size(), 1u);
        EXPECT_TRUE(within(factor[0].box, area));
        for (const auto& t : screen.containing(" = "))
            EXPECT_TRUE(within(t.box, area)) << t.text.toStdString();
    }

    for (bool critical : {true, false}) {
        SCOPED_TRACE(critical);
        v.Switches.set(bit(Layer::CriticalSlipSurface), critical)
            .set(bit(Layer::SolutionInformation), critical);
        TextRecorder page(1100, 850, 100);
        {
            QPainter p(&page);
            GraphView::DrawPage(p, m, v, 1100, 850);
        }
        EXPECT_EQ(page.containing("Factor of Safety").size() + page.containing("F.S. =").size(), 1u)
            << "the factor once: in the drawing, or in the heading when the drawing has none";
        for (const auto& t : page.texts)
            EXPECT_TRUE(within(t.box, QRectF(0, 0, 1100, 850))) << t.text.toStdString();
    }
}

// The solution text says when a rigorous method lies more than 10 % from the drawn factor, and
// only then; a file without the methods' record draws as before, and one with a centre map too.
TEST(Drawing, TheSolutionSaysWhenTheMethodsDisagree) {
    ProblemSession session;
    session.adopt(TProgramData::CreateFromFile(
        session, QStringLiteral(DIZIROVI_SOURCE_DIR "/resources/examples/Bishop.sl4d"), true, nullptr));
    QFile f(QStringLiteral(DIZIROVI_SOURCE_DIR "/tests/data/plots/bishop.sl4p"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray text = f.readAll();
    const struct {
        const char* record; // before END; empty: none
        const char* expected;
    } cases[] = {
        {"", nullptr},
        {"MTH\n2\n5 FS*1.05\n6 FS*0.95\n", nullptr},
        {"MTH\n2\n5 FS*1.2\n6 FS*1.02\n", "methods disagree: Spencer "},
        {"MTH\n2\n5 0\n6 FS*0.8\n", "methods disagree: Morgenstern-Price "},
    };
    // A centre map is no concern of the drawing yet: it reads past it.
    {
        QByteArray withMap = text;
        withMap.insert(withMap.lastIndexOf("END"), "MAP\n2 2\n0 1 0 1\n0 1.5\n2.5 0\n");
        PlotModel a, b;
        const PlotReadResult r = ReadPlotText(withMap, *session.tables().BoundCood, a);
        EXPECT_TRUE(r.messages.isEmpty()) << r.messages.join('\n').toStdString();
        ReadPlotText(text, *session.tables().BoundCood, b);
        EXPECT_EQ(a.FactorOfSafety, b.FactorOfSafety);
        EXPECT_EQ(a.SliceCount, b.SliceCount);
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.record);
        PlotModel probe;
        ReadPlotText(text, *session.tables().BoundCood, probe);
        QByteArray record(c.record);
        // Factors relative to the file's own.
        for (const char* factor : {"1.05", "0.95", "1.2", "1.02", "0.8"})
            record.replace(QByteArray("FS*") + factor,
                           QByteArray::number(probe.FactorOfSafety * std::atof(factor), 'g', 12));
        QByteArray withRecord = text;
        withRecord.insert(withRecord.lastIndexOf("END"), record);
        PlotModel m;
        const PlotReadResult r = ReadPlotText(withRecord, *session.tables().BoundCood, m);
        EXPECT_TRUE(r.messages.isEmpty()) << r.messages.join('\n').toStdString();
        EXPECT_EQ(m.HasMethodFactors, *c.record != '\0');
        GraphView v;
        v.Switches.set(bit(Layer::CriticalSlipSurface)).set(bit(Layer::SolutionInformation));
        v.FitToView(m, 1280, 800);
        TextRecorder screen(1280, 800);
        {
            QPainter p(&screen);
            v.DrawGraph(p, m, Qt::white, QRect(0, 0, 1280, 800));
        }
        QString all;
        for (const auto& t : screen.texts) all += t.text + QStringLiteral(",  ");
        if (c.expected)
            EXPECT_TRUE(all.contains(QLatin1String(c.expected))) << all.toStdString();
        else
            EXPECT_FALSE(all.contains(QLatin1String("disagree"))) << all.toStdString();
    }
}

TEST_F(GraphWindow, PrintingGoesToPdfAndLeavesTheView) {
    open();
    form->ZoomInClick();
    const WorldToScreen before = state.view.W;
    const PlotArea area = state.view.Area;
    form->PrintClick();
    ASSERT_FALSE(form->lastPrintFile().isEmpty()) << "without a printer the page goes to a PDF";
    EXPECT_TRUE(QFile::exists(dir.filePath("Bishop.pdf")));
    EXPECT_GT(QFileInfo(dir.filePath("Bishop.pdf")).size(), 1000);
    EXPECT_TRUE(messages.shown.last().contains("Bishop.pdf"));
    EXPECT_EQ(state.view.W.Scale, before.Scale);
    EXPECT_EQ(state.view.W.OriginX, before.OriginX);
    EXPECT_EQ(state.view.Area.Right, area.Right);

    files.saves.push_back(dir.filePath("view.png"));
    form->ExportClick();
    QImage exported(dir.filePath("view.png"));
    EXPECT_EQ(exported.size(), form->paintBox()->size());
}

// A click without a drag picks a drawn surface; a drag pans and picks nothing.
TEST_F(GraphWindow, AClickPicksADrawnSurface) {
    open();
    ASSERT_TRUE(QFile::copy(QStringLiteral(DIZIROVI_SOURCE_DIR "/tests/data/golden/Bishop.sl4r"),
                            dir.filePath("Bishop.sl4r")));
    SurfaceSelection selection;
    selection.load(dir.filePath("Bishop.sl4r"));
    form->setSelection(&selection);
    const ResultSurface* critical = selection.results().byRank(1);
    ASSERT_TRUE(critical);
    const QPointF p = critical->base[critical->base.size() / 2];
    auto click = [&](QPoint at, QPoint to) {
        form->PaintBoxPress(at, Qt::LeftButton);
        form->PaintBoxMove(to);
        form->PaintBoxRelease(to, Qt::LeftButton);
    };
    const QPoint at = state.view.W.map(p.x(), p.y());
    click(at, at);
    EXPECT_EQ(selection.rank(), 0) << "the critical surface is not drawn yet";
    form->checkBox(Layer::CriticalSlipSurface)->click();
    click(at, at);
    EXPECT_EQ(selection.rank(), 1);
    // The slice under the mouse is marked.
    form->PaintBoxMove(at);
    EXPECT_EQ(selection.slice(), critical->sliceAt(p.x()));
    const int origin = state.view.W.OriginX;
    click(at + QPoint(0, -80), at + QPoint(40, -80));
    EXPECT_EQ(state.view.W.OriginX, origin + 40);
    EXPECT_EQ(selection.rank(), 1) << "a drag keeps the pick";
    click(at + QPoint(40, -80), at + QPoint(40, -80));
    EXPECT_EQ(selection.rank(), 0) << "a click beside it lets it go";
}

TEST_F(GraphWindow, NoPlotFileName) {
    open(false);
    EXPECT_EQ(messages.shown, QStringList{"error: " + graphmsg::kNoPlotName});
    EXPECT_FALSE(form->checkBox(Layer::BoundaryLines)->isChecked());
    form->PrintClick();
    EXPECT_EQ(messages.shown.last(), "message: No data available for printing");
}

TEST(ViewMenu, GraphicsEnablingAndCheckMark) {
    QTemporaryDir dir;
    QSettings settings(dir.filePath("s.ini"), QSettings::IniFormat);
    RecordingMessages messages;
    ScriptedFiles files;
    RecordingLauncher launcher;
    ProblemSession session;
    TMainForm form(session, {messages, files, launcher, settings}, {});
    form.FormShow();
    form.ViewMenuClick();
    EXPECT_FALSE(form.action("ViewGraphics")->isEnabled());
    const QString problem = dir.filePath("Bishop.sl4d");
    QFile::copy(QStringLiteral(DIZIROVI_SOURCE_DIR "/resources/examples/Bishop.sl4d"), problem);
    QFile::copy(QStringLiteral(DIZIROVI_SOURCE_DIR "/tests/data/plots/bishop.sl4p"),
                dir.filePath("Bishop.sl4p"));
    form.OpenFileName(problem);
    form.ViewMenuClick();
    EXPECT_TRUE(form.action("ViewGraphics")->isEnabled());
    EXPECT_FALSE(form.action("ViewGraphics")->isChecked());
    form.ViewGraphicsClick();
    EXPECT_TRUE(form.GraphOpen);
    ASSERT_NE(form.graphWindow(), nullptr);
    TfrmGraph* first = form.graphWindow();
    form.ViewGraphicsClick();
    EXPECT_EQ(form.graphWindow(), first) << "one graph window at a time";
    form.ViewMenuClick();
    EXPECT_TRUE(form.action("ViewGraphics")->isChecked());
    form.CloseChildWindows();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(form.GraphOpen);
    QDir::setCurrent(QDir::tempPath());
}

} // namespace

#include "engine/Engine.h"

namespace {

// The engine's plot file, with every kind of record, read by the graph's reader without a word.
TEST(EngineToGraph, EveryRecordReadsBack) {
    QTemporaryDir dir;
    const QString problem = dir.filePath("all.sl4d");
    QFile f(problem);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(
        "PROFIL\r\nEvery section\r\n4 3 2\r\n20. 25. 30. 25. 1\r\n30. 25. 50. 35. 1\r\n50. 35. 70. 35. 1\r\n"
        "20. 22. 70. 27. 2\r\nSOIL\r\n2\r\n20. 21. 3. 19.6 0. 0. 1\r\n19. 20. 10. 25. 0. 0. 1\r\n"
        "WATER\r\n1 9.81\r\n3\r\n20. 24.\r\n50. 28.\r\n70. 29.\r\nLOADS\r\n1\r\n55. 65. 10. 0.\r\n"
        "EQUAKE\r\n0.10 0.00 0.00\r\nLIMITS\r\n1 1\r\n20. 18. 70. 18.\r\nTIES\r\n1\r\n1 40. 30. 50. 2. 15. "
        "15.\r\n"
        "REINF\r\n1\r\n2\r\n30. 26. 20. 0.\r\n35. 28. 20. 1.\r\nSURFAC\r\n5\r\n29.9 25.5\r\n34. 22.\r\n42. "
        "22.5\r\n"
        "48. 27.\r\n52.5 35.5\r\nEXECUT\r\n");
    f.close();
    QFile names(dir.filePath("names.dat"));
    ASSERT_TRUE(names.open(QIODevice::WriteOnly));
    names.write(("2015.4.2\r\n" + problem + "\r\n" + dir.filePath("all.sl4o") + "\r\n" +
                 dir.filePath("all.sl4p") + "\r\n" + dir.filePath("all.sl4r") + "\r\n")
                    .toLocal8Bit());
    names.close();
    ASSERT_EQ(velda::runFromDirectory(dir.path().toStdString()), 0);

    ProblemSession session;
    session.adopt(TProgramData::CreateFromFile(session, problem, true, nullptr));
    PlotModel model;
    const PlotReadResult r = ReadPlotFile(dir.filePath("all.sl4p"), *session.tables().BoundCood, model);
    EXPECT_TRUE(r.failure.isEmpty());
    EXPECT_TRUE(r.messages.isEmpty()) << r.messages.join('\n').toStdString();
    for (Layer l : {Layer::BoundaryLines, Layer::SearchLimits, Layer::PiezometricLine, Layer::TieBacks,
                    Layer::ReinfLines, Layer::SurfacePressures, Layer::TotalStresses,
                    Layer::CriticalSlipSurface, Layer::AllTrialSurfaces})
        EXPECT_TRUE(r.enabled.test(bit(l))) << layerCaption(l).toStdString();
    EXPECT_EQ(model.RegionCount, 2);
    EXPECT_EQ(model.TieBackCount, 1);
    EXPECT_EQ(model.ReinfCount, 2);
    EXPECT_EQ(model.ZoneCount, 1);
    EXPECT_EQ(model.LimitCount, 1);
    EXPECT_EQ(model.PiezoCount, 1);
    EXPECT_GE(model.SliceCount, 30);
    EXPECT_GT(model.FactorOfSafety, 0.3);
    EXPECT_LT(model.FactorOfSafety, 3);
    EXPECT_EQ(model.CriticalSurfaces[0].points[0].x, model.TrialSurface[2].points[0].x);
    ASSERT_TRUE(model.HasMethodFactors);
    EXPECT_GT(model.MethodFactors[plotformat::method::kBishop - 1], 0.3);
}

} // namespace
