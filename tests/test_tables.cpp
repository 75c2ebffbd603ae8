// Typed tables, the column stream and the problem's table set.
#include "QtPrinters.h"
#include "base/Errors.h"
#include "model/ProgramData.h"
#include "tables/ColStream.h"
#include "tables/ColumnTypes.h"
#include "tables/TableDefinitions.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <gtest/gtest.h>

#include <cmath>

namespace {

struct FakeWindow : TableWindow {
    int refreshes = 0;
    std::vector<std::pair<int, int>> changed;
    void refresh() override { ++refreshes; }
    void cellChanged(int column, int row) override { changed.emplace_back(column, row); }
    void titleChanged() override {}
    bool isModal() const override { return false; }
    void closeWindow() override {}
};

std::unique_ptr<TGridTable> tableFrom(TableRegistry& registry, const QString& col) {
    auto t = std::make_unique<TGridTable>(registry);
    ColReader reader(decodeColText(col));
    t->ReadDefinition(reader);
    return t;
}

QString messageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EDiziOvi& e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}

// ---- the problem's table set ----

struct ExpectedTable {
    const char* name;
    int identifier;
    const char* caption;
    int minRows, maxRows;
    const char* comments;
    const char* topLeft;
    // One entry per column: headers joined by '|' and kind-specific text.
    std::vector<const char*> columns;
};

QString describe(const TColumn* c) {
    QString s = c->Headers.join('|') + ' ';
    if (auto* f = dynamic_cast<const TFloatColumn*>(c))
        s += "real " + f->UnitCategory;
    else if (auto* i = dynamic_cast<const TIntColumn*>(c))
        s += QStringLiteral("integer %1/%2/%3").arg(i->Default).arg(i->MinValue).arg(i->MaxValue);
    else if (auto* t = dynamic_cast<const TTableColumn*>(c))
        s += QStringLiteral("table %1").arg(t->ResolveTemplate(0) ? t->ResolveTemplate(0)->Identifier() : -1);
    else
        s += "other";
    return s;
}

TEST(TableSet, MatchesTheProblemLayout) {
    const ExpectedTable expected[] = {
        {"BoundCood",
         9,
         "Coordinates of Boundary Lines",
         1,
         100,
         "100 boundary lines maximum",
         "",
         {"Left X real L2", "Left Y real L2", "Right X real L2", "Right Y real L2",
          "Soil Number integer 1/1/20"}},
        {"SoilData",
         1,
         "Soil Properties",
         1,
         50,
         "50 soil types maximum",
         "Layer",
         {"Moist Unit|Weight real F/L2^3", "Saturated Unit|Weight real F/L2^3",
          "Isotropic Cohesion|Intercept real F/L2^2", "Isotropic Strength|Friction Angle real DEG.",
          "Pore Pressure|Coefficient real ", "Pore Pressure|Constant real F/L^2",
          "Piezometric|Surface Number integer 0/0/20", "Anisotropic Parameters|(optional) table 3"}},
        {"Anisotropy",
         3,
         "Anisotropic Strength Data",
         1,
         20,
         "20 rows maximum",
         "Layer",
         {"Counterclockwise|Direction Limit real DEG.", "Strength|Intercept real F/L2^2",
          "Strength|Friction Angle real DEG."}},
        {"WaterSurfaceSet", 6, "Set of Piezometric Surfaces", 1, 30, "", "", {"Surface # table 11"}},
        {"Piezometric",
         11,
         "Piezometric Surfaces",
         1,
         10,
         "10 piezometric lines maximum",
         "Point",
         {"X real L2", "Y real L2"}},
        {"PiezoData",
         4,
         "Piezometric data for each surface",
         1,
         20,
         "20 points per surface maximum",
         "Point",
         {"X real L2", "Y real L2"}},
        {"SurchargeLoad",
         8,
         "Surcharge Loads",
         1,
         10,
         "",
         "",
         {"Left X Coord.|(XLi) real L2", "Right X Coord.|(XRi) real L2", "Intensity| real F/L2^2",
          "CCW inclination| real DEG."}},
        {"limit",
         0,
         "Specify Trial Surface Limits",
         1,
         50,
         "50 limit lines maximum",
         "Point",
         {"Left point|X Coord. real L2", "Left point|Y Coord. real L2", "Right point|X Coord. real L2",
          "Right point|Y Coord. real L2"}},
        {"TiebackCoord",
         10,
         "User-Specified Tieback Data",
         1,
         15,
         "15 tiebacks maximum",
         "Point",
         {"Boundary|Surface # integer 0/0/2147483647", "X Coord.| real L2", "Y Coord.| real L2",
          "Load| real F", "Spacing| real L2", "Inclination| real DEG.", "Free Length| real L2"}},
        {"ReinEarthLayerSet",
         13,
         "Reinforce Earth Layer",
         1,
         50,
         "",
         "Layer",
         {"Reinforce Earth Layer table 5", "Index integer 1/1/1"}},
        {"ReinEarthData",
         5,
         "Reinforce earth Layer data",
         2,
         30,
         "30 reinforcement layers maximum",
         "Layer #",
         {"X Coord.| real L2", "Y Coord.| real L2", "Force| real F", "Inclination|Factor real "}},
        {"FailSurface",
         2,
         "Specify Failure Surface",
         2,
         50,
         "50 points maximum",
         "Point",
         {"X Coord. real L2", "Y Coord. real L2"}},
        {"BoxCoord",
         7,
         "Box Data",
         2,
         17,
         "",
         "Box #",
         {"Left End X real L2", "Left End Y real L2", "Right End X real L2", "Right End Y real L2",
          "Vertical Side|Length real L2"}},
    };
    ProblemSession session;
    const TableSet& set = session.tables();
    ASSERT_EQ(set.all().size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const ExpectedTable& e = expected[i];
        SCOPED_TRACE(e.name);
        const TGridTable* t = set.all()[i];
        EXPECT_EQ(set.nameOf(t), e.name);
        EXPECT_EQ(t->Identifier(), e.identifier);
        EXPECT_EQ(t->Caption, e.caption);
        EXPECT_EQ(t->MinRows(), e.minRows);
        EXPECT_EQ(t->MaxRows, e.maxRows);
        EXPECT_EQ(t->Comments, e.comments);
        EXPECT_EQ(t->TopLeft, e.topLeft);
        EXPECT_EQ(t->RowGroup(), 1);
        EXPECT_TRUE(t->HardwiredButton);
        ASSERT_EQ(t->ColumnCount(), static_cast<int>(e.columns.size()));
        for (int c = 0; c < t->ColumnCount(); ++c) {
            EXPECT_EQ(describe(t->Column(c)), e.columns[static_cast<size_t>(c)]);
            EXPECT_TRUE(t->Column(c)->Visible);
            EXPECT_FALSE(t->Column(c)->Grouped);
            if (auto* f = dynamic_cast<const TFloatColumn*>(t->Column(c))) {
                EXPECT_FALSE(f->TopDepth);
                EXPECT_EQ(f->Default, 0.0L);
            }
        }
    }
    const TGridTableChart* chart = set.BoundCood;
    EXPECT_TRUE(chart->GetDataFromFile);
    EXPECT_FALSE(chart->OKCancelButtons || chart->InvertedXAxis || chart->InvertedYAxis);
    EXPECT_TRUE(chart->ShowGraph && chart->DrawSegments);
    EXPECT_EQ(std::vector<int>({chart->XColumn, chart->YColumn, chart->X2Column, chart->Y2Column}),
              std::vector<int>({0, 1, 2, 3}));
}

TEST(TableSet, DefinitionsWriteBackToTheSameText) {
    ProblemSession session;
    TableSet& set = session.tables();
    std::vector<std::unique_ptr<TGridTable>> copies;
    for (const TGridTable* t : set.all()) {
        const QString text = WriteTableDefinition(set.nameOf(t), *t);
        auto defs = ParseTableDefinitions(text);
        ASSERT_EQ(defs.size(), 1u);
        // Built beside the originals so that template identifiers resolve.
        copies.push_back(BuildTable(defs.front(), set.gridRegistry(), set.chartRegistry()));
        EXPECT_EQ(WriteTableDefinition(set.nameOf(t), *copies.back()).toStdString(), text.toStdString());
    }
}

TEST(TableSet, MalformedDefinitionsAreReportedWithTheirLine) {
    EXPECT_EQ(messageOf([] { TableSet("object X: TGridTable\n  Caption = 5\nend\n"); }),
              "Table definitions, line 1: Caption takes a string");
    EXPECT_EQ(
        messageOf([] { TableSet("object X: TGridTable\n  Col = 1 7 () True False\nend\n"); }),
        "Table definitions, line 1: X: Error occured when creating column 0: Error Column Class not defined");
    EXPECT_EQ(messageOf([] { TableSet("garbage\n"); }),
              "Table definitions, line 1: 'object Name: Class' expected");
    EXPECT_TRUE(messageOf([] {
                    TableSet("object X: TGridTable\n  Col = 0\nend\n");
                }).contains("BoundCood is missing"));
}

TEST(Document, NewDocumentHasDefaultsAndMinimumRows) {
    ProblemSession session;
    TableSet& set = session.tables();
    set.SoilData->SetRowCount(7);
    set.SoilData->Cell(7, 0).Table()->SetRowCount(5);
    set.SoilData->Cell(0, 0).SetFloat(120);
    session.adopt(TProgramData::Create(session));
    const TProgramData& doc = session.document();
    EXPECT_EQ(doc.FileName, "NewSlope.sl4d");
    EXPECT_EQ(doc.Title, "New Slope");
    EXPECT_EQ(doc.UnitSystem, 1);
    EXPECT_EQ(doc.CwLimit, -45.0L);
    EXPECT_EQ(doc.PiezoSpecified, 1);
    EXPECT_EQ(doc.SearchMethod, 0);
    for (const TGridTable* t : set.all())
        EXPECT_EQ(t->RowCount(), t->MinRows()) << set.nameOf(t).toStdString();
    EXPECT_EQ(set.FailSurface->RowCount(), 2);
    EXPECT_EQ(set.BoxCoord->RowCount(), 2);
    EXPECT_EQ(set.SoilData->Cell(0, 0).GetFloat(), 0.0L);
    EXPECT_EQ(set.SoilData->Cell(7, 0).Table()->RowCount(), 1) << "a fresh nested anisotropy table";
    EXPECT_EQ(set.ReinEarthLayerSet->Cell(0, 0).Table()->RowCount(), 2);
    EXPECT_EQ(set.ReinEarthLayerSet->Cell(1, 0).GetInteger(), 1);
    EXPECT_EQ(set.BoundCood->Cell(4, 0).GetInteger(), 1);
    EXPECT_EQ(set.WaterSurfaceSet->Cell(0, 0).Table()->Caption, "Piezometric Surfaces");
    EXPECT_EQ(set.SoilData->Cell(7, 0).Table()->WindowTitle(), "Anisotropic Strength Data  1");
    EXPECT_EQ(set.SoilData->WindowTitle(), "Soil Properties ");
    EXPECT_FALSE(session.IsModified());
}

TEST(Document, HeadersCarryUnitLabels) {
    ProblemSession session;
    TableSet& set = session.tables();
    const struct {
        int system;
        const char* weight;
        const char* constant;
        const char* x;
        const char* intensity;
    } cases[] = {{1, "Weight (lbs/ft^3)  ", "Constant (lbs/in^2)  ", "Left X (ft)  ", " (lbs/ft^2)  "},
                 {2, "Weight (kN/m^3)  ", "Constant (kN/m^2)  ", "Left X (m)  ", " (kN/m^2)  "},
                 {3, "Weight (F/L^3)  ", "Constant (F/L^2)  ", "Left X (L)  ", " (F/L^2)  "}};
    for (const auto& c : cases) {
        session.document().SetUnitSystem(c.system);
        EXPECT_EQ(set.SoilData->Column(0)->HeaderLine(0), "Moist Unit");
        EXPECT_EQ(set.SoilData->Column(0)->HeaderLine(1), c.weight);
        EXPECT_EQ(set.SoilData->Column(5)->HeaderLine(1), c.constant);
        EXPECT_EQ(set.SoilData->Column(4)->HeaderLine(1), "Coefficient") << "no category, no label";
        EXPECT_EQ(set.SoilData->Column(3)->HeaderLine(1), "Friction Angle (DEG.)  ");
        EXPECT_EQ(set.BoundCood->Column(0)->HeaderLine(0), c.x);
        EXPECT_EQ(set.SurchargeLoad->Column(2)->HeaderLine(1), c.intensity);
        EXPECT_EQ(set.SoilData->Cell(7, 0).Table()->Units(), c.system) << "nested tables follow";
    }
}

TEST(Document, UnitSwitchConvertsFieldsAndEveryTable) {
    ProblemSession session;
    TProgramData& doc = session.document();
    TableSet& set = session.tables();
    doc.InitLeftX = 100;
    doc.BlockSegmentLength = 10;
    doc.CavitationPressure = 2116.8L;
    doc.WaterUnitWeight = 62.4L;
    doc.CwLimit = -45;
    doc.CcwLimit = 30;
    set.SoilData->Cell(0, 0).SetFloat(120);
    set.SoilData->Cell(2, 0).SetFloat(200);
    set.SoilData->Cell(5, 0).SetFloat(10);
    set.SoilData->Cell(3, 0).SetFloat(30);
    set.SoilData->Cell(7, 0).Table()->Cell(1, 0).SetFloat(500);
    set.WaterSurfaceSet->Cell(0, 0).Table()->Cell(1, 0).SetFloat(50);
    set.BoundCood->Cell(2, 0).SetFloat(100);

    doc.SetUnitSystem(2);
    // The tables' factor for feet, 3.280839895, is 0.3048's reciprocal to ten digits.
    EXPECT_NEAR(static_cast<double>(doc.InitLeftX), 30.48, 1e-9);
    EXPECT_NEAR(static_cast<double>(doc.WaterUnitWeight), 9.8022, 1e-3);
    EXPECT_NEAR(static_cast<double>(doc.CavitationPressure), 101.35, 1e-2);
    EXPECT_NEAR(static_cast<double>(set.SoilData->Cell(0, 0).GetFloat()), 120 / 6.36588, 1e-4);
    EXPECT_NEAR(static_cast<double>(set.SoilData->Cell(2, 0).GetFloat()), 200 / 20.8854, 1e-4);
    EXPECT_NEAR(static_cast<double>(set.SoilData->Cell(5, 0).GetFloat()), 10 / 0.145038, 1e-3);
    EXPECT_EQ(set.SoilData->Cell(3, 0).GetFloat(), 30.0L);
    EXPECT_NEAR(static_cast<double>(set.SoilData->Cell(7, 0).Table()->Cell(1, 0).GetFloat()), 500 / 20.8854,
                1e-3);
    EXPECT_NEAR(static_cast<double>(set.WaterSurfaceSet->Cell(0, 0).Table()->Cell(1, 0).GetFloat()), 15.24,
                1e-9);
    EXPECT_NEAR(static_cast<double>(set.BoundCood->Cell(2, 0).GetFloat()), 30.48, 1e-9);
    EXPECT_EQ(doc.CwLimit, -45.0L);
    EXPECT_EQ(doc.CcwLimit, 30.0L);

    doc.SetUnitSystem(1);
    // The document's fields and the tables convert by the same factors: back where they were.
    EXPECT_EQ(doc.InitLeftX, 100.0L);
    EXPECT_EQ(doc.BlockSegmentLength, 10.0L);
    EXPECT_EQ(set.SoilData->Cell(0, 0).GetFloat(), 120.0L);
    EXPECT_EQ(set.BoundCood->Cell(2, 0).GetFloat(), 100.0L);
    EXPECT_EQ(doc.CwLimit, -45.0L);

    // Through system 3 nothing converts; only the labels change.
    const long double before = set.SoilData->Cell(0, 0).GetFloat();
    const long double x = doc.InitLeftX;
    doc.SetUnitSystem(3);
    doc.SetUnitSystem(2);
    EXPECT_EQ(set.SoilData->Cell(0, 0).GetFloat(), before);
    EXPECT_EQ(doc.InitLeftX, x);
    EXPECT_EQ(doc.UnitSystem, 2);
    doc.SetUnitSystem(0);
    EXPECT_EQ(doc.UnitSystem, 1) << "0 acts as 1";
    doc.SetUnitSystem(7);
    EXPECT_EQ(doc.UnitSystem, 3) << "7 acts as 3";
}

TEST(Document, ChangeInNestedTableMarksTheDocument) {
    ProblemSession session;
    EXPECT_FALSE(session.IsModified());
    session.tables().SoilData->Cell(7, 0).Table()->SetChanged(true);
    EXPECT_TRUE(session.IsModified());
    session.SetModified(false);
    EXPECT_FALSE(session.IsModified());
    session.SetModified(true);
    EXPECT_TRUE(session.IsModified());
    session.SetModified(false);
    session.tables().BoundCood->SetChanged(true);
    EXPECT_TRUE(session.IsModified());
}

TEST(Document, CreateClosesChildWindowsWhileTheOldDocumentIsCurrent) {
    struct Hooks : DocumentHooks {
        ProblemSession* session = nullptr;
        QString titleSeen;
        void closeChildWindows() override { titleSeen = session->document().Title; }
    } hooks;
    ProblemSession session;
    hooks.session = &session;
    session.setHooks(&hooks);
    session.document().Title = "Outgoing";
    session.adopt(TProgramData::Create(session));
    EXPECT_EQ(hooks.titleSeen, "Outgoing");
    EXPECT_EQ(session.document().Title, "New Slope");
    session.setHooks(nullptr);
}

// ---- cells and rows ----

TEST(Table, RowCountsAndNewRowValues) {
    TableRegistry registry;
    auto t = tableFrom(registry, "3 0 ('Kind') True False ('a', 'b') "
                                 "1 ('N') True False 1 0 20 "
                                 "2 ('X') True False False 'FLOATCOLUMN2' 'L2' 2.5");
    t->SetRowCount(-3);
    EXPECT_EQ(t->RowCount(), 0);
    t->MaxRows = 2;
    t->SetRowCount(5);
    EXPECT_EQ(t->RowCount(), 5) << "no clamping to MaxRows";
    EXPECT_EQ(t->Cell(0, 4).GetInteger(), 1);
    EXPECT_EQ(t->Cell(1, 4).GetInteger(), 1);
    EXPECT_EQ(t->Cell(2, 4).GetFloat(), 2.5L);
    t->Cell(1, 1).SetInteger(9);
    TData& accessor = t->Cell(1, 1);
    t->InsertRowGroup(0);
    EXPECT_EQ(accessor.Row(), 2) << "accessors follow inserted rows";
    EXPECT_EQ(accessor.GetInteger(), 9);
    t->DeleteRowGroup(0);
    EXPECT_EQ(accessor.Row(), 1);
    t->AddRowGroup();
    EXPECT_EQ(t->RowCount(), 6);
    EXPECT_THROW(t->Column(0)->GetFloat(0), ETableError);
    EXPECT_EQ(messageOf([&] { t->Column(2)->GetInteger(0); }), "Data of wrong type");
    EXPECT_EQ(messageOf([&] { t->SetMinRows(0); }), "Value must be greater than 0");
    t->SetMinRows(0, true);
    EXPECT_EQ(t->MinRows(), 1);
    EXPECT_FALSE(t->IsValidCell(3, 0));
    EXPECT_FALSE(t->IsValidCell(0, 6));
    EXPECT_EQ(messageOf([&] { t->VisibleColumn(3); }), "Index out of bounds");
}

TEST(Table, SetTextRulesAndMessages) {
    TableRegistry registry;
    auto t = tableFrom(registry, "3 1 ('N') True False 0 0 20 "
                                 "2 ('X') True False False 'FLOATCOLUMN2' 'L2' 0 "
                                 "0 ('Kind') True False ('a', 'b')");
    t->SetRowCount(1);
    TData& n = t->Cell(0, 0);
    // Without a window the integer text is only rounded.
    n.SetText("25");
    EXPECT_EQ(n.GetInteger(), 25);
    n.SetText("2.5");
    EXPECT_EQ(n.GetInteger(), 2) << "round half to even";
    EXPECT_EQ(messageOf([&] { n.SetText("1E12"); }), "Entry must be between 0 and 20.");

    FakeWindow window;
    t->AttachWindow(&window);
    const struct {
        const char* text;
        const char* message;
        int stored;
    } cases[] = {
        {"2.5", "Entry must be an integer.", 2},
        {"25", "Entry must be between 0 and 20.", 2},
        {"-0.5", "Entry must be between 0 and 20.", 2},
        {"3*4", "<no error>", 12},
        {"20", "<no error>", 20},
        {"", "Entry could not be evaluated:\rentry cannot be blank", 20},
        {"x", "Entry could not be evaluated:\rinvalid character(s) in expression", 20},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(messageOf([&] { n.SetText(c.text); }), c.message) << c.text;
        EXPECT_EQ(n.GetInteger(), c.stored) << "the old value stays: " << c.text;
    }
    EXPECT_THROW(t->Cell(1, 0).SetText("1/0"), EMathError);
    t->Cell(1, 0).SetText("1/3");
    EXPECT_EQ(t->Cell(1, 0).Text(), "0.33333333");
    EXPECT_EQ(messageOf([&] { t->Cell(2, 0).SetText("1.5"); }), "Value must be an integer.");
    t->Cell(2, 0).SetText("7");
    EXPECT_EQ(t->Cell(2, 0).GetInteger(), 7) << "the item count is not checked";
    EXPECT_FALSE(window.changed.empty());
    t->DetachWindow();
}

TEST(Table, EnumerationChoiceRebuildsOnlyThatRowsNestedTable) {
    TableRegistry registry;
    auto first = tableFrom(registry, "1 2 ('A') True False False 'FLOATCOLUMN2' '' 0");
    first->Caption = "First";
    first->SetIdentifier(101);
    auto second = tableFrom(registry, "1 2 ('B') True False False 'FLOATCOLUMN2' '' 0");
    second->Caption = "Second";
    second->SetMinRows(3);
    second->SetIdentifier(102);
    auto t = tableFrom(registry, "2 0 ('Kind') True False ('first', 'second') "
                                 "3 ('Data') True False 'FLEXCOLUMN2' (101, 102)");
    t->SetRowCount(2);
    TGridTable* keep = t->Cell(1, 1).Table();
    EXPECT_EQ(t->Cell(1, 0).Table()->Caption, "First");
    t->Cell(0, 0).SetInteger(2);
    EXPECT_EQ(t->Cell(1, 0).Table()->Caption, "Second");
    EXPECT_EQ(t->Cell(1, 0).Table()->RowCount(), 3);
    EXPECT_EQ(t->Cell(1, 1).Table(), keep);
    auto* column = static_cast<TTableColumn*>(t->Column(1));
    EXPECT_EQ(column->ButtonCaption(0), "1: Second");
    // Changing the choices pads or cuts the template lists.
    static_cast<TEnumColumn*>(t->Column(0))->SetItems({"only"});
    EXPECT_EQ(column->Templates.size(), 1u);
}

TEST(Table, NestedTablesAreNumberedAndReportChanges) {
    ProblemSession session;
    TGridTable* soils = session.tables().SoilData;
    soils->SetRowCount(3);
    EXPECT_EQ(soils->Cell(7, 2).Table()->Number(), 3);
    TGridTable* third = soils->Cell(7, 2).Table();
    soils->DeleteRowGroup(0);
    EXPECT_EQ(third->Number(), 2) << "renumbered after a deletion";
    EXPECT_EQ(third->WindowTitle(), "Anisotropic Strength Data  2");
    third->SetChanged(true);
    EXPECT_TRUE(soils->IsChanged());
    soils->SetChanged(false);
    EXPECT_FALSE(third->IsChanged());
}

TEST(Table, IdentifiersSwapAndResolve) {
    TableRegistry registry;
    TGridTable a(registry), b(registry), c(registry);
    EXPECT_EQ(a.Identifier(), 0);
    EXPECT_EQ(c.Identifier(), 2);
    a.SetIdentifier(2);
    EXPECT_EQ(a.Identifier(), 2);
    EXPECT_EQ(c.Identifier(), 0) << "the holder of 2 receives the old identifier";
    a.SetIdentifier(-5);
    EXPECT_EQ(a.Identifier(), 2);
    EXPECT_EQ(registry.FindTableByIdentifier(0), &c);
    EXPECT_EQ(registry.TableAt(1), &b);
    EXPECT_EQ(registry.TableAt(3), nullptr);
    EXPECT_EQ(registry.FindTableByIdentifier(99), nullptr);
}

TEST(Table, TopDepthLinksNeighbouringRows) {
    TableRegistry registry;
    auto t = tableFrom(registry, "2 2 ('Top') True False True 'FLOATCOLUMN2' 'L2' 0 "
                                 "2 ('Bottom') True False False 'FLOATCOLUMN2' 'L2' 0");
    t->SetRowCount(3);
    t->Cell(1, 0).SetFloat(5); // bottom of row 0 is the top of row 1
    EXPECT_EQ(t->Cell(0, 1).GetFloat(), 5.0L);
    t->Cell(0, 2).SetFloat(9); // top of row 2 is the bottom of row 1
    EXPECT_EQ(t->Cell(1, 1).GetFloat(), 9.0L);
    EXPECT_EQ(messageOf([&] {
                  auto bad = tableFrom(registry, "1 2 ('Top') True False True 'FLOATCOLUMN2' 'L2' 0");
                  bad->SetRowCount(1);
              }),
              "If column if a topdepth then the next column must be a float column");
}

TEST(Table, GroupedColumnsWriteTheWholeGroup) {
    TableRegistry registry;
    auto t = tableFrom(registry, "2 1 ('G') True True 0 0 9 4 ('S') True False 'x' 1.0");
    t->SetRowGroup(2);
    t->SetRowCount(4);
    t->Cell(0, 3).SetInteger(7);
    EXPECT_EQ(t->Cell(0, 2).GetInteger(), 7);
    EXPECT_EQ(t->Cell(0, 1).GetInteger(), 0);
    EXPECT_EQ(t->Cell(1, 0).Text(), "x");
    t->InsertRowGroup(3);
    EXPECT_EQ(t->RowCount(), 6);
    EXPECT_EQ(t->Cell(0, 2).GetInteger(), 0) << "a group is inserted at the start of row 3's group";
    EXPECT_EQ(t->Cell(0, 4).GetInteger(), 7);
    t->DeleteRowGroup(5);
    EXPECT_EQ(t->RowCount(), 4);
    EXPECT_EQ(t->Cell(0, 3).GetInteger(), 0);
}

TEST(Table, EditorAllocationChecks) {
    struct Host : EditorHost {
        std::unique_ptr<CellEditor> createEditor(TColumn&, int) override {
            return std::make_unique<CellEditor>();
        }
    } host, other;
    TableRegistry registry;
    auto t = tableFrom(registry, "1 0 ('Kind') True False ('a', 'b')");
    t->SetRowCount(3);
    TColumn* c = t->Column(0);
    EXPECT_EQ(messageOf([&] { c->AllocateEditors(nullptr, 0, 1); }), "null parent");
    EXPECT_EQ(messageOf([&] { c->AllocateEditors(&host, 3, 1); }), "ATopRow 3");
    EXPECT_EQ(messageOf([&] { c->AllocateEditors(&host, 1, 3); }), "ACount 3");
    c->AllocateEditors(&host, 1, 2);
    EXPECT_TRUE(c->HasEditors());
    EXPECT_EQ(messageOf([&] { c->AllocateEditors(&other, 0, 1); }),
              "Error attempt to change parent with controls already allocated");
    c->ReleaseEditors();
    EXPECT_FALSE(c->HasEditors());
}

TEST(Table, DisplayWidths) {
    int argc = 0;
    QGuiApplication app(argc, nullptr);
    QFontMetrics metrics{QFont()};
    ProblemSession session;
    const TableSet& set = session.tables();
    EXPECT_GE(set.SoilData->Column(0)->DisplayWidth(metrics, 96), 48);
    EXPECT_GE(set.SoilData->Column(7)->DisplayWidth(metrics, 96), 192);
    EXPECT_GT(set.SoilData->Column(2)->DisplayWidth(metrics, 96),
              metrics.horizontalAdvance("Isotropic Cohesion"));
}

// ---- the column stream ----

TEST(ColStream, EveryKindRoundTripsInBothForms) {
    TableRegistry registry;
    TGridTable tmpl(registry);
    tmpl.SetIdentifier(42);
    TGridTable t(registry);
    const long double third = 1.0L / 3;
    {
        auto e = std::make_unique<TEnumColumn>(&t);
        e->Headers = QStringList{"Kind", "it's"};
        e->SetItems({"one", "two"});
        t.AddColumn(std::move(e));
        auto i = std::make_unique<TIntColumn>(&t);
        i->Headers = QStringList{"N"};
        i->Default = -300;
        i->MinValue = -70000;
        i->MaxValue = 2147483647;
        i->Visible = false;
        i->Grouped = true;
        t.AddColumn(std::move(i));
        auto f = std::make_unique<TFloatColumn>(&t);
        f->Headers = QStringList{"A", "B"};
        f->TopDepth = true;
        f->UnitCategory = "F/L2^3";
        f->Default = third;
        t.AddColumn(std::move(f));
        auto f2 = std::make_unique<TFloatColumn>(&t);
        t.AddColumn(std::move(f2));
        auto tc = std::make_unique<TTableColumn>(&t);
        tc->Templates = {{42, true}, {-1, false}};
        t.AddColumn(std::move(tc));
        auto s = std::make_unique<TStringColumn>(&t);
        s->DefaultText = QString(300, 'x');
        s->MinWidth = 1.25L;
        t.AddColumn(std::move(s));
    }
    ColWriter writer;
    t.WriteDefinition(writer);
    for (bool binary : {true, false}) {
        SCOPED_TRACE(binary ? "binary" : "text");
        std::vector<ColValue> values = binary ? decodeColBinary(encodeColBinary(writer.values()))
                                              : decodeColText(encodeColText(writer.values()));
        TGridTable back(registry);
        ColReader reader(values);
        back.ReadDefinition(reader);
        EXPECT_TRUE(reader.atEnd());
        ASSERT_EQ(back.ColumnCount(), 6);
        auto* e = static_cast<TEnumColumn*>(back.Column(0));
        EXPECT_EQ(e->Headers, QStringList({"Kind", "it's"}));
        EXPECT_EQ(e->Items(), QStringList({"one", "two"}));
        auto* i = static_cast<TIntColumn*>(back.Column(1));
        EXPECT_EQ(i->Default, -300);
        EXPECT_EQ(i->MinValue, -70000);
        EXPECT_EQ(i->MaxValue, 2147483647);
        EXPECT_FALSE(i->Visible);
        EXPECT_TRUE(i->Grouped);
        auto* f = static_cast<TFloatColumn*>(back.Column(2));
        EXPECT_TRUE(f->TopDepth);
        EXPECT_EQ(f->UnitCategory, "F/L2^3");
        EXPECT_EQ(f->Default, third) << "the same 80-bit value";
        auto* tc = static_cast<TTableColumn*>(back.Column(4));
        ASSERT_EQ(tc->Templates.size(), 2u) << "padded to the two choices";
        EXPECT_EQ(tc->ResolveTemplate(0), &tmpl);
        EXPECT_EQ(tc->ResolveTemplate(1), nullptr) << "-1 reads back as an empty entry";
        auto* s = static_cast<TStringColumn*>(back.Column(5));
        EXPECT_EQ(s->DefaultText, QString(300, 'x'));
        EXPECT_EQ(s->MinWidth, 1.25L);
        ColWriter again;
        back.WriteDefinition(again);
        EXPECT_EQ(encodeColBinary(again.values()), encodeColBinary(writer.values()));
    }
}

TEST(ColStream, BinaryEncodingUsesTheSmallestInteger) {
    ColWriter w;
    w.writeInteger(5);
    w.writeInteger(-200);
    w.writeInteger(70000);
    w.writeBoolean(true);
    w.writeString("ab");
    const QByteArray bytes = encodeColBinary(w.values());
    EXPECT_EQ(bytes, QByteArray("\x03"
                                "Col"
                                "\x02\x05"
                                "\x03\x38\xff"
                                "\x04\x70\x11\x01\x00"
                                "\x09"
                                "\x06\x02"
                                "ab",
                                19));
    EXPECT_THROW(decodeColBinary(bytes.left(7)), ETableError);

    // Text beyond Latin-1 survives text form -> binary -> text form; Latin-1 keeps the short form.
    const QString text = QStringLiteral("('Kohäsion', 'σ′ (kN/m²)', '\u4e2d', #233)");
    const std::vector<ColValue> values = decodeColText(text);
    EXPECT_EQ(encodeColText(decodeColBinary(encodeColBinary(values))), encodeColText(values));
    EXPECT_EQ(decodeColBinary(encodeColBinary(values))[2].string, QStringLiteral("σ′ (kN/m²)"));
    EXPECT_TRUE(encodeColBinary(values).contains(QByteArray("\x06\x08Koh\xe4sion", 10)));
    EXPECT_THROW(decodeColBinary(QByteArray("\x03"
                                            "Col"
                                            "\x14\xff\xff\xff\x7f",
                                            9)),
                 ETableError)
        << "a length beyond the data";
    EXPECT_THROW(decodeColBinary(QByteArray("\x03"
                                            "Col"
                                            "\x07",
                                            5)),
                 ETableError);
}

// A definition whose table column names its own table (found by the fuzzer: the copies recursed
// until the stack ran out) gets empty cells; cycles through other templates stop at a few levels.
TEST(ColStream, TablesThatWouldHoldThemselves) {
    TableRegistry registry;
    auto self = tableFrom(registry, "1 3 ('Surface #') True False 'FLEXCOLUMN' 0");
    self->SetRowCount(3);
    EXPECT_EQ(self->Cell(0, 2).Table(), nullptr);
    TableRegistry other;
    TGridTable a(other), b(other);
    a.SetIdentifier(50);
    b.SetIdentifier(51);
    ColReader ra(decodeColText("1 3 ('B') True False 'FLEXCOLUMN2' (51)"));
    a.ReadDefinition(ra);
    ColReader rb(decodeColText("1 3 ('A') True False 'FLEXCOLUMN2' (50)"));
    b.ReadDefinition(rb);
    a.SetRowCount(1);
    int depth = 0;
    for (TGridTable* t = &a; t && t->RowCount() > 0; t = t->Cell(0, 0).Table()) ++depth;
    EXPECT_LE(depth, TTableColumn::kMaxNesting + 1);
}

TEST(ColStream, OlderColumnForms) {
    TableRegistry registry;
    TGridTable first(registry);  // registry position 0
    TGridTable second(registry); // position 1
    second.SetIdentifier(2);
    auto t = tableFrom(registry, "3 2 ('X') True False False 'L2' "
                                 "0 ('Kind') True False ('a', 'b') "
                                 "3 ('T') True False 'OLD' 0");
    auto* f = static_cast<TFloatColumn*>(t->Column(0));
    EXPECT_EQ(f->UnitCategory, "L2");
    EXPECT_EQ(f->Default, 0.0L);
    // Column 0 is no enumeration here, so the table column gets position 0.
    EXPECT_EQ(static_cast<TTableColumn*>(t->Column(2))->ResolveTemplate(0), &first);
    ColWriter w;
    t->WriteDefinition(w);
    EXPECT_TRUE(encodeColText(w.values()).contains("'FLOATCOLUMN2' 'L2' 0.0"));

    auto byChoice = tableFrom(registry, "2 0 ('Kind') True False ('a', 'b') 3 ('T') True False 'OLD' 1");
    auto* tc = static_cast<TTableColumn*>(byChoice->Column(1));
    EXPECT_EQ(tc->ResolveTemplate(1), &second) << "entry i refers to identifier i";
    auto hard = std::make_unique<TGridTable>(registry);
    hard->HardwiredButton = true;
    ColReader reader(decodeColText("2 0 ('Kind') True False ('a', 'b') 3 ('T') True False 1"));
    hard->ReadDefinition(reader);
    auto* hc = static_cast<TTableColumn*>(hard->Column(1));
    EXPECT_EQ(hc->ResolveTemplate(0), &second);
    EXPECT_EQ(hc->ResolveTemplate(1), &second);
}

TEST(ColStream, LoadingErrors) {
    TableRegistry registry;
    auto load = [&](const QString& text) { return messageOf([&] { tableFrom(registry, text); }); };
    EXPECT_EQ(load("'x'"), "Error reading column count");
    EXPECT_EQ(load("1 9"), "Error occured when creating column 0: Error Column Class not defined");
    EXPECT_EQ(load("2 1 ('N') True False 0 0 5 2 ('X') True"),
              "Error occured when creating column 1: Unexpected end of column definitions");
    auto chart = std::make_unique<TGridTableChart>(registry);
    ColReader reader(decodeColText("0 True"));
    EXPECT_EQ(messageOf([&] { chart->ReadDefinition(reader); }), "Error reading graphic parameters");
    TGridTable empty(registry);
    ColReader none(decodeColText("0"));
    empty.ReadDefinition(none);
    EXPECT_EQ(empty.ColumnCount(), 0);
    ColumnKindRegistry kinds = ColumnKindRegistry::withStandardKinds();
    kinds.registerKind(9, [](TGridTable* t) { return std::make_unique<TIntColumn>(t); });
    EXPECT_EQ(messageOf([&] { kinds.finalize(); }), "Column Type list not empty");
}

} // namespace
