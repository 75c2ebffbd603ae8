// The model view: the document drawn to scale while it is entered, what a click on it opens, and the
// command line's drawing of a model that has no results yet.
#include "FakeServices.h"
#include "MainWindowFixture.h"
#include "RecordingMessages.h"
#include "graph/ModelWindow.h"
#include "graph/SurfaceWindow.h"
#include "model/ProgramData.h"
#include "model/TableSet.h"
#include "tables/TableFormController.h"

#include <QClipboard>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QProcess>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <numeric>

namespace {

// Two soils under three surface lines and a layer boundary; water that ponds at the toe; a load on the
// crest; an earthquake; a tieback; a limit line low down; a circle search with its ranges.
const char kPlanted[] = "PROFIL\r\nPlanted model\r\n4 3 2\r\n"
                        "0. 10. 20. 10. 1\r\n20. 10. 40. 20. 1\r\n40. 20. 60. 20. 1\r\n0. 5. 60. 5. 2\r\n"
                        "SOIL\r\n2\r\n18. 20. 5. 30. 0. 0. 1\r\n19. 21. 10. 25. 0. 0. 1\r\n"
                        "WATER\r\n1 9.81\r\n4\r\n0. 12.\r\n15. 12.\r\n40. 15.\r\n60. 15.\r\n"
                        "LOADS\r\n1\r\n45. 55. 50. 0.\r\n"
                        "EQUAKE\r\n0.15 0.00 0.00\r\n"
                        "LIMITS\r\n1 1\r\n0. 1. 60. 1.\r\n"
                        "TIES\r\n1\r\n2 30. 15. 100. 2. 15. 8.\r\n"
                        "CIRCL2\r\n10 20\r\n2. 15. 42. 58.\r\n0. 1. 0. -45.\r\nEXECUT\r\n";

class ModelView : public ::testing::Test {
protected:
    QTemporaryDir dir;
    ProblemSession session;
    RecordingMessages messages;
    ScriptedFiles files;

    void read(const QByteArray& text = kPlanted) {
        const QString path = dir.filePath("planted.sl4d");
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();
        QString error;
        session.adopt(TProgramData::CreateFromFile(session, path, true, nullptr, &error));
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }
    ModelScene scene(const PlotModel* results = nullptr) {
        return BuildModelScene(session.document(), session.tables(), results);
    }
};

QImage draw(const ModelScene& s, GraphView& view, int w = 900, int h = 600, double exaggeration = 1) {
    QImage image(w, h, QImage::Format_RGB32);
    QPainter p(&image);
    ModelPicture::Fit(view, s, w, h, exaggeration);
    ModelPicture::Draw(p, s, view, image.rect());
    return image;
}

int count(const QImage& image, const QRect& box, const std::function<bool(const QColor&)>& like) {
    int n = 0;
    const QRect r = box.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) n += like(image.pixelColor(x, y)) ? 1 : 0;
    return n;
}

bool near(const QColor& a, const QColor& b, int tolerance = 40) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) <=
           tolerance;
}

QRect around(const GraphView& v, double x, double y, int half) {
    const QPoint c = v.W.map(x, y);
    return QRect(c.x() - half, c.y() - half, 2 * half + 1, 2 * half + 1);
}

} // namespace

TEST_F(ModelView, TheSceneHoldsWhatTheTablesHold) {
    read();
    const ModelScene s = scene();
    EXPECT_EQ(s.plot.BoundaryCount, 4);
    ASSERT_EQ(s.ground.size(), 4u); // three surface lines, joined
    EXPECT_EQ(s.groundY(30).value(), 15);
    EXPECT_EQ(s.groundY(-5).value(), 10); // the nearest end beyond the ground
    ASSERT_EQ(s.soils.size(), 2u);
    EXPECT_TRUE(s.soils[0].used && s.soils[1].used);
    EXPECT_EQ(s.soils[1].cohesion, 10);
    ASSERT_EQ(s.water.size(), 1u);
    EXPECT_EQ(s.water[0].points.size(), 4u);
    ASSERT_EQ(s.loads.size(), 1u);
    EXPECT_EQ(s.loads[0].intensity, 50);
    EXPECT_TRUE(s.earthquake);
    EXPECT_EQ(s.kh, 0.15);
    EXPECT_EQ(s.plot.LimitCount, 1);
    ASSERT_EQ(s.plot.TieBackCount, 1);
    // The tieback leaves its head downward at its inclination.
    const auto& tie = s.plot.TieBacks[0];
    EXPECT_NEAR(tie[1].x - tie[0].x, 8 * std::cos(15 * M_PI / 180), 1e-9);
    EXPECT_NEAR(tie[1].y - tie[0].y, -8 * std::sin(15 * M_PI / 180), 1e-9);
    ASSERT_TRUE(s.initiation && s.termination);
    EXPECT_EQ(s.initiation->left, 2);
    EXPECT_EQ(s.termination->right, 58);
    EXPECT_FALSE(s.hasResult);
    EXPECT_EQ(s.stressUnit, "kN/m^2");
}

// An inclined load is drawn the way the engine applies it: down and toward +x for a positive
// inclination, so its arrows' tails stand up and to the left of where they meet the ground.
TEST_F(ModelView, AnInclinedLoadPointsTheWayTheEngineAppliesIt) {
    for (const double inclination : {40.0, -40.0}) {
        SCOPED_TRACE(inclination);
        QByteArray text(kPlanted);
        text.replace("45. 55. 50. 0.", QByteArray("45. 55. 50. ") + QByteArray::number(inclination, 'f', 1));
        read(text);
        GraphView v;
        const QImage image = draw(scene(), v);
        auto load = [](const QColor& c) { return near(c, kModelLoadColour, 60); };
        // Beside the loaded stretch (x 45 to 55), just above the crest (y 20).
        const int before = count(image, around(v, 43.8, 21.2, 10), load);
        const int after = count(image, around(v, 56.2, 21.2, 10), load);
        if (inclination > 0) {
            EXPECT_GT(before, 5);
            EXPECT_EQ(after, 0);
        } else {
            EXPECT_EQ(before, 0);
            EXPECT_GT(after, 5);
        }
    }
}

TEST_F(ModelView, EveryLayerOnAFixedImage) {
    read();
    const ModelScene s = scene();
    GraphView v;
    const QImage image = draw(s, v);
    const QColor soil1 = SoilColour(1), soil2 = SoilColour(2);
    auto is = [](const QColor& c) { return [c](const QColor& p) { return near(p, c); }; };
    auto paleBlue = [](const QColor& c) {
        return c.blue() > 235 && c.red() > 140 && c.red() < 210 && c.green() < 235;
    };
    auto blue = [](const QColor& c) { return c.blue() > 200 && c.red() < 90 && c.green() < 160; };
    struct Probe {
        const char* what;
        QRect box;
        std::function<bool(const QColor&)> like;
        int atLeast; // pixels in the box that look so; 0: none may
    };
    const QPoint loadLeft = v.W.map(45, 20), loadRight = v.W.map(55, 20);
    const Probe probes[] = {
        {"soil 1 under the crest", around(v, 50, 12, 3), is(soil1), 49},
        {"soil 2 under its boundary", around(v, 30, 3, 3), is(soil2), 49},
        {"ponded water at the toe", around(v, 1, 11.2, 3), paleBlue, 49},
        {"the water line inside the slope", around(v, 50, 15, 3), blue, 3},
        {"no water in the sky", around(v, 30, 28, 3), paleBlue, 0},
        {"the load's arrows over the crest", QRect(loadLeft - QPoint(0, 30), loadRight),
         is(QColor(200, 60, 0)), 30},
        {"the earthquake's arrow", QRect(v.Area.Left + 35, v.Area.Top + 30, 50, 12), is(Qt::black), 10},
        {"both soils in the legend", QRect(v.Area.Right + 1, v.Area.Top, 900, 200), is(soil2), 50},
        {"no critical surface without a run", QRect(0, 0, 900, 600), is(Qt::red), 0},
    };
    for (const Probe& p : probes) {
        const int n = count(image, p.box, p.like);
        if (p.atLeast == 0)
            EXPECT_EQ(n, 0) << p.what;
        else
            EXPECT_GE(n, p.atLeast) << p.what;
    }
    // The legend stands right of the plot area, with both soils' numbers in words.
    EXPECT_GT(v.Area.Right, 450);
    EXPECT_LT(v.Area.Right, 900 - 100);
}

TEST_F(ModelView, TheLastRunsSurfaceAndExaggeration) {
    read();
    PlotModel results;
    results.Loaded = true;
    results.CriticalSurfaces[0].count = 3;
    results.CriticalSurfaces[0].points[0] = {18, 10};
    results.CriticalSurfaces[0].points[1] = {35, 8};
    results.CriticalSurfaces[0].points[2] = {45, 20};
    results.FactorOfSafety = 1.234;
    const ModelScene s = scene(&results);
    ASSERT_TRUE(s.hasResult);
    GraphView v;
    const QImage image = draw(s, v);
    EXPECT_GT(count(image, QRect(0, 0, 900, 600), [](const QColor& c) { return near(c, Qt::red); }), 50);
    // Twice the vertical scale: the same width, the same model, twice as tall a metre.
    GraphView flat, tall;
    draw(s, flat, 900, 600, 1);
    draw(s, tall, 900, 600, 2);
    EXPECT_DOUBLE_EQ(-flat.W.ScaleY, flat.W.Scale);
    EXPECT_DOUBLE_EQ(-tall.W.ScaleY, 2 * tall.W.Scale);
    // Everything still inside the plot area.
    for (const PlotPoint& g : s.ground) {
        const QPoint p = tall.W.map(g.x, g.y);
        EXPECT_TRUE(p.x() >= tall.Area.Left && p.x() <= tall.Area.Right && p.y() >= tall.Area.Top &&
                    p.y() <= tall.Area.Bottom)
            << g.x << "," << g.y;
    }
}

TEST_F(ModelView, ClicksFindWhatIsEnteredThere) {
    read();
    const ModelScene s = scene();
    GraphView v;
    draw(s, v);
    struct Click {
        double x, y;
        int dy; // pixels above the point
        const char* section;
        int item;
    };
    const Click clicks[] = {
        {25, 12.5, 0, "lines", 2}, {10, 5, 0, "lines", 4},   {50, 20, 0, "lines", 3},
        {50, 12, 0, "soils", 1},   {30, 3, 0, "soils", 2},   {50, 15, 0, "water", 1},
        {5, 11, 0, "water", 1},    {50, 20, 18, "loads", 1}, {33.86, 13.96, 0, "tiebacks", 1},
        {30, 1, 0, "limits", 1},   {30, 28, 0, nullptr, 0},
    };
    for (const Click& c : clicks) {
        const auto place = ModelPicture::HitTest(s, v, v.W.map(c.x, c.y) - QPoint(0, c.dy));
        if (!c.section) {
            EXPECT_FALSE(place) << c.x << "," << c.y << " found " << place->what.toStdString();
            continue;
        }
        ASSERT_TRUE(place) << c.x << "," << c.y;
        EXPECT_EQ(place->section, c.section) << c.x << "," << c.y;
        EXPECT_EQ(place->item, c.item) << c.x << "," << c.y;
    }
    // A soil's row in the legend opens that soil.
    const auto legend = ModelPicture::HitTest(s, v, QPoint(v.Area.Right + 40, v.Area.Top + 30));
    ASSERT_TRUE(legend);
    EXPECT_EQ(legend->section, "soils");
    EXPECT_EQ(legend->item, 1);
}

// Every example draws, and what its search draws (boxes, the given surface, ranges) is found by a click.
TEST_F(ModelView, TheExamplesSearchesAreDrawnAndFound) {
    struct Example {
        const char* file;
        const char* section; // what a click on the search's own drawing finds
        int item;
    };
    for (const Example& e : {Example{"Block", "search", 2}, Example{"UserSurface", "surface", 0},
                             Example{"Bishop", nullptr, 0}, Example{"Irregular", nullptr, 0}}) {
        QFile f(QStringLiteral(DIZIROVI_SOURCE_DIR "/resources/examples/%1.sl4d").arg(QLatin1String(e.file)));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        read(f.readAll());
        const ModelScene s = scene();
        GraphView v;
        const QImage image = draw(s, v);
        EXPECT_GT(count(image, QRect(0, 0, 900, 600), [](const QColor& c) { return near(c, SoilColour(1)); }),
                  1000)
            << e.file;
        if (!e.section) {
            EXPECT_TRUE(s.initiation && s.termination) << e.file;
            continue;
        }
        const QPointF at =
            QString(QLatin1String(e.section)) == QLatin1String("search")
                ? QPointF(s.boxes.at(1).left.x, s.boxes.at(1).left.y - s.boxes.at(1).height / 2)
                : QPointF(s.givenSurface.at(3).x, s.givenSurface.at(3).y);
        const auto place = ModelPicture::HitTest(s, v, v.W.map(at.x(), at.y()));
        ASSERT_TRUE(place) << e.file;
        EXPECT_EQ(place->section, e.section) << e.file << " found " << place->what.toStdString();
        EXPECT_EQ(place->item, e.item) << e.file;
    }
}

TEST_F(ModelView, TheWindowFollowsEveryCommittedEntry) {
    read();
    std::vector<ModelPlace> opened;
    TModelWindow window(session, messages, files, [&](const ModelPlace& p) { opened.push_back(p); });
    window.resize(900, 600);
    window.show();
    QCoreApplication::processEvents();
    EXPECT_FALSE(window.Follow()); // nothing changed since it opened
    session.tables().BoundCood->Cell(cols::boundary::kRightY, 1).SetFloat(18);
    EXPECT_TRUE(window.Follow());
    EXPECT_EQ(window.scene().plot.Boundary[1].y2, 18);
    EXPECT_FALSE(window.Follow());
    session.document().SeismicKh = 0.3;
    EXPECT_TRUE(window.Follow());
    EXPECT_EQ(window.scene().kh, 0.3);

    // A click without a drag opens what is under it; a drag pans and opens nothing.
    const QPoint line = window.view().W.map(10, 5);
    QTest::mouseClick(window.canvas(), Qt::LeftButton, {}, line);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].section, "lines");
    EXPECT_EQ(opened[0].item, 4);
    const int before = window.view().W.OriginX;
    window.CanvasPress(line, Qt::LeftButton);
    window.CanvasMove(line + QPoint(30, 0));
    window.CanvasRelease(line + QPoint(30, 0), Qt::LeftButton);
    EXPECT_EQ(window.view().W.OriginX, before + 30);
    EXPECT_EQ(opened.size(), 1u);
    // A zoomed view stays as the user left it through an edit; Zoom All fits again.
    window.ZoomInClick();
    const double zoomed = window.view().W.Scale;
    session.tables().SoilData->Cell(2, 0).SetFloat(7);
    EXPECT_TRUE(window.Follow());
    EXPECT_EQ(window.view().W.Scale, zoomed);
    window.ZoomAllClick();
    EXPECT_LT(window.view().W.Scale, zoomed);
    window.exaggerationBox()->setValue(3);
    EXPECT_DOUBLE_EQ(-window.view().W.ScaleY, 3 * window.view().W.Scale);
}

TEST_F(ModelView, AnEmptyOrUnwritableDocumentDrawsWithoutFailing) {
    // A new document: nothing to draw but the axes, and no click finds anything.
    {
        const ModelScene s = scene();
        GraphView v;
        draw(s, v);
        EXPECT_FALSE(ModelPicture::HitTest(s, v, QPoint(300, 300)));
    }
    read();
    TModelWindow window(session, messages, files, nullptr);
    session.tables().BoundCood->Cell(0, 0).SetFloat(std::numeric_limits<long double>::infinity());
    EXPECT_TRUE(window.Follow());
    QImage image(400, 300, QImage::Format_RGB32);
    window.canvas()->render(&image);
    EXPECT_TRUE(messages.shown.isEmpty());
}

// ---- in the main window ----

class ModelInMainWindow : public MainWindowFixture {};

TEST_F(ModelInMainWindow, OpensWithTheDocumentAndAClickGoesToTheRow) {
    const QString path = dir.filePath("planted.sl4d");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(kPlanted);
    f.close();
    start({path});
    TModelWindow* model = form->modelWindow();
    ASSERT_TRUE(model);
    EXPECT_EQ(model->scene().plot.BoundaryCount, 4);
    // Opened again (File > Open closes every window first), the model is drawn again at once.
    files.opens.push_back(FileChooser::Choice{path, 1});
    form->FileOpenClick();
    model = form->modelWindow();
    ASSERT_TRUE(model);
    EXPECT_FALSE(model->isHidden());
    EXPECT_TRUE(
        form->mdiArea()->subWindowList().contains(qobject_cast<QMdiSubWindow*>(model->parentWidget())));
    // A click on boundary line 3 opens the coordinate table with row 3 current.
    model->resize(900, 600);
    QCoreApplication::processEvents();
    const QPoint at = model->view().W.map(50, 20);
    ASSERT_TRUE(ModelPicture::HitTest(model->scene(), model->view(), at))
        << at.x() << "," << at.y() << " area " << model->view().Area.Left << " " << model->view().Area.Right
        << " canvas " << model->canvas()->width();
    model->CanvasPress(at, Qt::LeftButton);
    model->CanvasRelease(at, Qt::LeftButton);
    TTableForm* table = nullptr;
    for (TTableForm* t : form->findChildren<TTableForm*>())
        if (t->table() == session->tables().BoundCood) table = t;
    ASSERT_TRUE(table);
    EXPECT_EQ(table->currentRow(), 2);
    // The soil under the crest opens the soil table at soil 1's row; the second soil at its own.
    form->OpenPlace(QStringLiteral("soils"), 2);
    TTableForm* soils = nullptr;
    for (TTableForm* t : form->findChildren<TTableForm*>())
        if (t->table() == session->tables().SoilData) soils = t;
    ASSERT_TRUE(soils);
    EXPECT_EQ(soils->currentRow(), 1);
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST(ModelCommandLine, RendersAModelWithoutResults) {
    QTemporaryDir dir;
    const QString problem = dir.filePath("planted.sl4d");
    QFile f(problem);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(kPlanted);
    f.close();
    const QString png = dir.filePath("model.png");
    QProcess cli;
    cli.start(QStringLiteral(DIZIROVI_BIN_DIR "/dizirovi-cli"),
              {QStringLiteral("render"), problem, png, QStringLiteral("--width"), QStringLiteral("900"),
               QStringLiteral("--height"), QStringLiteral("600")});
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    QImage image(png);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(900, 600));
    const int soil2 = count(image, image.rect(), [](const QColor& c) { return near(c, SoilColour(2)); });
    EXPECT_GT(soil2, 1000);
}

// ---- a surface picked in a drawing ----

namespace {

QByteArray golden(const char* name) {
    QFile f(QStringLiteral(DIZIROVI_SOURCE_DIR "/tests/data/golden/") + QLatin1String(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(ResultSurfacesReading, SurfacesSlicesAndDamage) {
    const auto r = parseResultSurfaces(golden("Spencer.sl4r"), QStringLiteral("Spencer.sl4r"));
    ASSERT_TRUE(r);
    ASSERT_EQ(r->surfaces.size(), 10);
    const ResultSurface& first = *r->byRank(1);
    EXPECT_EQ(first.count, 42);
    ASSERT_EQ(first.base.size(), 43u);
    EXPECT_EQ(first.base.front(), QPointF(40, 20));
    EXPECT_EQ(first.sliceAt(41), 0);
    EXPECT_EQ(first.sliceAt(first.xRight.back()), 41);
    EXPECT_EQ(first.sliceAt(0), -1);
    ASSERT_EQ(first.methods.size(), 6);
    EXPECT_TRUE(first.methods[4].detail.contains("lambda 0.301")) << first.methods[4].detail.toStdString();

    // Spencer's table carries the side forces; the ordinary method's does not.
    const auto spencer = sliceTable(*r, first, QStringLiteral("Spencer"));
    ASSERT_TRUE(spencer);
    EXPECT_EQ(spencer->columns.size(), 18);
    EXPECT_EQ(spencer->rows.size(), 42u);
    EXPECT_EQ(spencer->rows[0][1], 40.0);
    EXPECT_FALSE(spencer->rows.back().back()) << "no thrust on the last slice's right face";
    const QString tsv = spencer->delimited(QLatin1Char('\t'));
    EXPECT_TRUE(tsv.startsWith("slice\tx left\tx right\t")) << tsv.left(60).toStdString();
    EXPECT_EQ(tsv.count(QLatin1Char('\n')), 43);
    EXPECT_TRUE(spencer->title.startsWith("Surface 1 of 10, Spencer: factor of safety 1.993"));
    EXPECT_EQ(sliceTable(*r, first, QStringLiteral("Ordinary"))->columns.size(), 15);
    QString why;
    EXPECT_FALSE(sliceTable(*r, first, QStringLiteral("No such method"), &why));
    EXPECT_TRUE(why.contains("gives no factor")) << why.toStdString();

    // Damage is refused with the surface and the column named; a run that computed nothing has none.
    const QByteArray text = golden("Spencer.sl4r");
    struct Case {
        QByteArray from, to;
        const char* says;
    };
    const Case cases[] = {
        {"\"xRight\": [42.4146415014", "\"xRight\": [\"x\"", "is no number"},
        {"\"yBaseLeft\": [", "\"yBaseLeft\": [1, ", "does not hold one value per slice"},
        {"\"rank\": 1,", "\"rank\": \"one\",", "without its rank"},
        {"{", "[", "the result file is damaged"},
    };
    for (const Case& c : cases) {
        QByteArray damaged = text;
        // In the slices' records, not the surfaces' summary before them.
        damaged.replace(damaged.indexOf(c.from, damaged.indexOf("\"slices\"")), c.from.size(), c.to);
        QString error;
        EXPECT_FALSE(parseResultSurfaces(damaged, QStringLiteral("x.sl4r"), &error)) << c.says;
        EXPECT_TRUE(error.contains(QLatin1String(c.says))) << error.toStdString();
    }
    QString error;
    EXPECT_FALSE(parseResultSurfaces("[1, 2]", QStringLiteral("x.sl4r"), &error));
    EXPECT_TRUE(error.contains("no result")) << error.toStdString();
    const auto none = parseResultSurfaces("{\"status\": \"not computed\"}", QStringLiteral("x.sl4r"));
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->surfaces.isEmpty());
}

TEST(SurfacePicking, NearestDrawnSurfaceWithinAFewPixels) {
    const auto r = parseResultSurfaces(golden("Spencer.sl4r"), QStringLiteral("Spencer.sl4r"));
    ASSERT_TRUE(r);
    WorldToScreen W;
    W.Scale = 5;
    W.ScaleY = -5;
    W.OriginX = 10;
    W.OriginY = 500;
    const ResultSurface& first = *r->byRank(1);
    const QPointF mid = first.base[first.base.size() / 2];
    const QPoint on = W.map(mid.x(), mid.y());
    EXPECT_EQ(PickSurface(*r, W, on, 1), 1);
    EXPECT_EQ(PickSurface(*r, W, on + QPoint(0, 4), 1), 1);
    EXPECT_FALSE(PickSurface(*r, W, on + QPoint(0, 40), 1));
    EXPECT_FALSE(PickSurface(*r, W, on, 0)) << "no surface drawn, none picked";
    // Where only a lower-ranked surface runs, it is picked once the ten are drawn.
    const ResultSurface& last = *r->byRank(10);
    for (const QPointF& p : last.base) {
        const QPoint at = W.map(p.x(), p.y());
        if (PickSurface(*r, W, at, 1)) continue;
        EXPECT_GT(PickSurface(*r, W, at, 10).value_or(0), 1);
        return;
    }
    GTEST_SKIP() << "the tenth surface runs along the first everywhere";
}

class SurfaceQuery : public ::testing::Test {
protected:
    QTemporaryDir dir;
    RecordingMessages messages;
    ScriptedFiles files;
    SurfaceSelection selection;

    void SetUp() override {
        QFile f(dir.filePath("Spencer.sl4r"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(golden("Spencer.sl4r"));
        f.close();
        selection.load(dir.filePath("Spencer.sl4r"));
    }
};

TEST_F(SurfaceQuery, TheWindowShowsTheSlicesAndFollowsTheMarkedSlice) {
    TSurfaceWindow window(selection, messages, files);
    window.problemFile = dir.filePath("Spencer.sl4d");
    EXPECT_EQ(window.heading()->text(), surfacemsg::kNone);
    selection.select(1);
    EXPECT_TRUE(window.heading()->text().contains("Surface 1 of 10"))
        << window.heading()->text().toStdString();
    ASSERT_EQ(window.table()->rowCount(), 42);
    // The surfaces were ranked by Spencer's method: its forces first.
    EXPECT_TRUE(window.methodBox()->currentText().startsWith("Spencer (1.993)"))
        << window.methodBox()->currentText().toStdString();
    EXPECT_EQ(window.table()->columnCount(), 18);
    // The slice under the mouse in a drawing is the table's row, and a row chosen marks its slice.
    selection.mark(5);
    EXPECT_EQ(window.table()->currentRow(), 5);
    window.table()->setCurrentCell(7, 2);
    EXPECT_EQ(selection.slice(), 7);
    selection.mark(99);
    EXPECT_EQ(selection.slice(), -1);

    window.CopyClick();
    const QString copied = QGuiApplication::clipboard()->text();
    EXPECT_TRUE(copied.startsWith("slice\tx left")) << copied.left(40).toStdString();
    EXPECT_EQ(copied, window.shown()->delimited(QLatin1Char('\t')));
    const QString csv = dir.filePath("slices.csv");
    files.saves.push_back(csv);
    window.ExportClick();
    QFile exported(csv);
    ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
    EXPECT_EQ(exported.readAll(), window.shown()->delimited(QLatin1Char(',')).toUtf8());

    // Another method's forces; the ordinary method has no side forces.
    for (int i = 0; i < window.methodBox()->count(); ++i)
        if (window.methodBox()->itemText(i).startsWith("Ordinary")) window.methodBox()->setCurrentIndex(i);
    EXPECT_EQ(window.table()->columnCount(), 15);
    // A new run's file: nothing is selected any more.
    selection.load(dir.filePath("Spencer.sl4r"));
    EXPECT_EQ(window.heading()->text(), surfacemsg::kNone);
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(ModelInMainWindow, AClickOnTheCriticalSurfaceShowsItsSlices) {
    for (const auto& [from, to] : {std::pair{"/resources/examples/Bishop.sl4d", "Bishop.sl4d"},
                                   {"/tests/data/golden/Bishop.sl4r", "Bishop.sl4r"},
                                   {"/tests/data/plots/bishop.sl4p", "Bishop.sl4p"}})
        ASSERT_TRUE(QFile::copy(QStringLiteral(DIZIROVI_SOURCE_DIR) + QLatin1String(from), dir.filePath(to)));
    start({dir.filePath("Bishop.sl4d")});
    TModelWindow* model = form->modelWindow();
    ASSERT_TRUE(model);
    model->resize(900, 600);
    QCoreApplication::processEvents();
    ASSERT_TRUE(model->scene().hasResult);
    const ResultSurface* critical = form->surfaceSelection().results().byRank(1);
    ASSERT_TRUE(critical);
    const QPointF p = critical->base[critical->base.size() / 2];
    const QPoint at = model->view().W.map(p.x(), p.y());
    model->CanvasPress(at, Qt::LeftButton);
    model->CanvasRelease(at, Qt::LeftButton);
    ASSERT_TRUE(form->surfaceWindow());
    EXPECT_EQ(form->surfaceSelection().rank(), 1);
    EXPECT_EQ(form->surfaceWindow()->table()->rowCount(), critical->count);
    // The slice under the mouse is marked and is the table's current row.
    model->CanvasMove(at);
    EXPECT_EQ(form->surfaceSelection().slice(), critical->sliceAt(p.x()));
    EXPECT_EQ(form->surfaceWindow()->table()->currentRow(), critical->sliceAt(p.x()));
    // Closing the slices lets the surface go in the drawings too.
    form->surfaceWindow()->parentWidget()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(form->surfaceSelection().rank(), 0);
    model->CanvasPress(at, Qt::LeftButton);
    model->CanvasRelease(at, Qt::LeftButton);
    ASSERT_EQ(form->surfaceSelection().rank(), 1);
    // A click beside it lets the surface go, and opens nothing.
    const int tables = static_cast<int>(form->findChildren<TTableForm*>().size());
    model->CanvasPress(at + QPoint(0, -60), Qt::LeftButton);
    model->CanvasRelease(at + QPoint(0, -60), Qt::LeftButton);
    EXPECT_EQ(form->surfaceSelection().rank(), 0);
    EXPECT_EQ(static_cast<int>(form->findChildren<TTableForm*>().size()), tables);
    EXPECT_TRUE(messages.shown.isEmpty());
}
