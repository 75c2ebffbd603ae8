// Problem files: the reader, the writer and their agreement.
#include "DocumentDump.h"
#include "QtPrinters.h"
#include "RecordingMessages.h"
#include "base/Errors.h"
#include "base/FileAccess.h"
#include "base/Units.h"
#include "base/WordRead.h"
#include "format/NumberFormat.h"
#include "model/ProgramData.h"
#include "tables/ColumnTypes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <limits>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>

using testing_support::dumpDocument;
using testing_support::firstDifference;

namespace {

class ProblemFiles : public ::testing::Test {
protected:
    QTemporaryDir dir;
    ProblemSession session;
    RecordingMessages messages;

    QString write(const QString& name, const QByteArray& text) {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return path;
    }
    // Reads `text` as a problem file; returns the message shown, if any.
    QString read(const QByteArray& text, bool current = true) {
        messages.shown.clear();
        session.adopt(TProgramData::CreateFromFile(session, write("p.sl4d", text), current, &messages));
        return messages.shown.isEmpty() ? QString() : messages.shown.join('\n');
    }
    // The message a failure of reading p.sl4d is shown as.
    QString warned(const QString& failure) const {
        return QStringLiteral("warning: ") + readmsg::shown(dir.filePath("p.sl4d"), failure);
    }
    TProgramData& doc() { return session.document(); }
    TableSet& tables() { return session.tables(); }
    QByteArray text() { return doc().ProblemText(); }
};

QByteArray crlf(const char* text) {
    return QByteArray(text).replace("\n", "\r\n");
}

TEST_F(ProblemFiles, NewDocumentText) {
    EXPECT_EQ(text(),
              crlf("PROFIL\nNew Slope\n1 0 1\n0. 0. 0. 0. 1\nSOIL\n1\n0. 0. 0. 0. 0. 0. 0\nEXECUT\n"));
}

TEST_F(ProblemFiles, WriterNumberFormatsAndSectionConditions) {
    tables().BoundCood->Cell(0, 0).SetFloat(1234.5L);
    tables().BoundCood->Cell(1, 0).SetFloat(3);
    tables().BoundCood->Cell(2, 0).SetFloat(1e-5L);
    tables().BoundCood->Cell(3, 0).SetFloat(1e8L);
    tables().BoundCood->Cell(4, 0).SetInteger(3);
    doc().SearchMethod = search::UserSurface; // without UserSurfaceOn: no section
    doc().EquakeOn = true;
    doc().CavitationPressure = 0.125L;
    doc().LimitsOn = true;
    tables().limit->SetRowCount(3);
    const QByteArray t = text();
    EXPECT_TRUE(t.contains("\r\n1234.5 3. 1.0E-5 1.0E8 3\r\n"));
    EXPECT_TRUE(t.contains("EQUAKE\r\n0.00 0.00 0.13\r\n"));
    EXPECT_TRUE(t.contains("LIMITS\r\n3 3\r\n"));
    EXPECT_FALSE(t.contains("SURFAC"));
    EXPECT_TRUE(t.endsWith("LIMITS\r\n3 3\r\n0. 0. 0. 0.\r\n0. 0. 0. 0.\r\n0. 0. 0. 0.\r\nEXECUT\r\n"));
    read(t);
    EXPECT_EQ(doc().CavitationPressure, 0.13L) << "stored with two decimals";
    EXPECT_EQ(tables().BoundCood->Cell(2, 0).GetFloat(), 1e-5L);
}

TEST_F(ProblemFiles, ExampleOfASmallBishopFile) {
    const QByteArray file =
        crlf("PROFIL\nExample slope\n2 1 1\n0. 20. 50. 20. 1\n50. 20. 100. 40. 1\nSOIL\n1\n"
             "120. 125. 200. 30. 0. 0. 0\nCIRCL2\n10 10\n10. 40. 60. 110.\n0. 5. 0. -45.\n"
             "EXECUT\n");
    EXPECT_EQ(read(file), QString());
    EXPECT_EQ(doc().SearchMethod, search::BishopCircle);
    EXPECT_TRUE(doc().BishopOn);
    EXPECT_EQ(doc().TermRightX, 110.0L);
    EXPECT_EQ(doc().CwLimit, -45.0L);
    EXPECT_EQ(tables().BoundCood->RowCount(), 2);
    EXPECT_FALSE(session.IsModified());
    EXPECT_EQ(text(), file);
}

TEST_F(ProblemFiles, SectionsInAnyOrderUntilTheFirstNonKeyword) {
    read(crlf(
        "PROFIL\nT\n1 1 1\n0 0 1 0 1\nSOIL\n1\n1 1 1 1 0 0 0\nLOADS\n1\n1 2 3 4\nWATER\n1 62.4\n2\n0 1\n5 1\n"
        "EXECUT\n"));
    EXPECT_TRUE(doc().LoadsOn);
    EXPECT_TRUE(doc().WaterOn) << "LOADS before WATER takes a second pass";
    EXPECT_EQ(tables().WaterSurfaceSet->Cell(0, 0).Table()->RowCount(), 2);
    EXPECT_EQ(tables().SurchargeLoad->Cell(2, 0).GetFloat(), 3.0L);

    EXPECT_EQ(read(crlf("PROFILE\nT\n1 1 1\n0 0 1 0 1\nSOIL\n1\n1 1 1 1 0 0 0\nCIRCLE\n1 2\n1 2 3 4\n5 6 7 "
                        "-8\nLOADS\n1\n1 2 3 4\nEXECUT\n")),
              warned(readmsg::unreadSection(12, "LOADS")));
    EXPECT_EQ(doc().Title, "T") << "PROFILE reads like PROFIL";
    EXPECT_EQ(doc().SearchMethod, search::JanbuCircle);
    EXPECT_EQ(doc().CwLimit, -8.0L);
    EXPECT_FALSE(doc().LoadsOn) << "nothing after CIRCLE is read";
}

TEST_F(ProblemFiles, OlderLayout) {
    const QByteArray file =
        crlf("PROFIL\nOld\n1 1 1\n0 0 1 0 1\nSOIL\n1\n1 2 3 4 0 0 0\nWATER\n1 7 62.4\n1\n0 5\n"
             "TIES\n1\n1 5 6 7 8 9\nRANDOM\n1 4\n10 20\n1 2 3 4 5 6 7 -8\nLOADS\n1\n1 2 3 4\n");
    // A section after the search is left unread, and the reader says so.
    EXPECT_EQ(read(file, false), warned(readmsg::unreadSection(19, "LOADS")));
    EXPECT_EQ(doc().UnitSystem, 1);
    EXPECT_EQ(doc().WaterUnitWeight, 62.4L) << "the older water item is skipped";
    EXPECT_EQ(tables().TiebackCoord->Cell(1, 0).GetFloat(), 0.0L) << "no tieback x in the older layout";
    EXPECT_EQ(tables().TiebackCoord->Cell(2, 0).GetFloat(), 5.0L);
    EXPECT_EQ(doc().InitiationPoints, 10) << "the Janbu items come first";
    EXPECT_EQ(doc().SearchMethod, search::Irregular);
    EXPECT_FALSE(doc().LoadsOn) << "a search section ends the older layout";
    EXPECT_TRUE(text().contains("TIES\r\n1\r\n1 0. 5. 6. 7. 8. 9.\r\n"));

    // The current layout read as older takes the unit item as the first left x.
    read(crlf("PROFIL\nT\n1 1 2\n10 20 30 40 1\nSOIL\n1\n1 2 3 4 0 0 0\nEXECUT\n"), false);
    EXPECT_EQ(tables().BoundCood->Cell(0, 0).GetFloat(), 2.0L);
    EXPECT_EQ(tables().BoundCood->Cell(1, 0).GetFloat(), 10.0L);
    EXPECT_EQ(tables().BoundCood->Cell(4, 0).GetInteger(), 40);
}

TEST_F(ProblemFiles, ErrorsKeepWhatWasRead) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"PROFIL\nT\n2 1 1\n0 0 1 0 1\n1 0 2 0 1\nSOIL\n2\n1 2 3 4 0 0 0\n5 6",
         "This file either invalid or incomplete."},
        {"PROFIL\nT\n1 1 1\n0 0 1 0 x\n", "Error on Line 4 Item 5\rAn integer was expected but not found."},
        {"PROFIL\nT\n1 1 1\n0 0 1 0 1\nSOIL\n1\n1 2 3 4 0 0 0\nANISO\n1\n2 1\n0 0 0\nEXECUT\n",
         "Error on Line 10 Item 1\rThe soil number must be between 1 and 1."},
        {"PROFIL\nT\n1 1 1\n0 0 1 0 1\nSOIL\n1\n\n\n1 2 3 4 0 0 0\n",
         "Error on Line 7 Item 1\rThe line is empty where a number was expected."},
        {"PROFIL\nT\n9999 1 1\n0 0 1 0 1\n", "This file either invalid or incomplete."},
        {"PROFIL\nT\n1 1 1\n0 0 1 0 1\nSOIL\n1\n1 2 3 4 0 0 0", "This file either invalid or incomplete."},
        {"PROFIL\nT\n1 1 1\n0 0 1 0 1\nSOIL\n1\n1 2 3 4 0 0 0\nLOADS\n1\n1 2 3 nan\n",
         "Error on Line 10 Item 4\rA floating point number was expected but not found."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(read(crlf(c.text)), warned(c.message));
        for (const TGridTable* t : tables().all()) EXPECT_GE(t->RowCount(), t->MinRows());
        EXPECT_FALSE(session.IsModified());
    }
    // The first case kept its boundary lines and the soil read before the end.
    read(crlf(cases[0].text));
    EXPECT_EQ(tables().BoundCood->RowCount(), 2);
    EXPECT_EQ(tables().SoilData->RowCount(), 2);
    EXPECT_EQ(tables().SoilData->Cell(3, 0).GetFloat(), 4.0L);
    EXPECT_EQ(tables().SoilData->Cell(0, 1).GetFloat(), 5.0L);

    messages.shown.clear();
    session.adopt(TProgramData::CreateFromFile(session, dir.filePath("missing.sl4d"), true, &messages));
    EXPECT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(doc().FileName, dir.filePath("missing.sl4d"));
}

TEST_F(ProblemFiles, AnisotropicSoilsCountAndBlocksAgree) {
    read(crlf("PROFIL\nT\n1 1 1\n0 0 1 0 1\nSOIL\n3\n1 1 1 1 0 0 0\n2 2 2 2 0 0 0\n3 3 3 3 0 0 0\n"
              "ANISO\n2\n3 2\n10 100 20\n90 200 30\n1 2\n45 50 5\n80 60 6\nEXECUT\n"));
    EXPECT_EQ(tables().SoilData->Cell(7, 0).Table()->Cell(1, 1).GetFloat(), 60.0L);
    EXPECT_EQ(tables().SoilData->Cell(7, 2).Table()->Cell(2, 0).GetFloat(), 20.0L);
    EXPECT_EQ(tables().SoilData->Cell(7, 1).Table()->RowCount(), 1);
    // A single row with a positive intercept gets a block of its own.
    tables().SoilData->Cell(7, 1).Table()->Cell(1, 0).SetFloat(5);
    const QByteArray t = text();
    EXPECT_TRUE(t.contains("ANISO\r\n3\r\n1 2\r\n45. 50. 5.\r\n80. 60. 6.\r\n2 1\r\n0. 5. 0.\r\n3 2\r\n"));
    const QString before = dumpDocument(session);
    read(t);
    EXPECT_EQ(dumpDocument(session), before);
}

TEST_F(ProblemFiles, EmptyNestedTablesKeepTheirCountLine) {
    read(crlf("PROFIL\nT\n1 1 1\n0 0 1 0 1\nSOIL\n1\n1 1 1 1 1 0 0\nWATER\n2 62.4\n0\n1\n3 4\nREINF\n1\n0\n"
              "SURBIS\n2\n0 0\n1 1\nEXECUT\n"));
    EXPECT_EQ(tables().WaterSurfaceSet->Cell(0, 0).Table()->RowCount(), 0);
    EXPECT_EQ(tables().WaterSurfaceSet->Cell(0, 1).Table()->RowCount(), 1);
    EXPECT_EQ(doc().ReinfLayersOn, 1);
    const QByteArray t = text();
    EXPECT_TRUE(t.contains("WATER\r\n2 62.4\r\n0\r\n1\r\n3. 4.\r\n"));
    EXPECT_TRUE(t.contains("REINF\r\n1\r\n0\r\nSURBIS\r\n"));
    const QString before = dumpDocument(session);
    read(t);
    EXPECT_EQ(dumpDocument(session), before);
}

// ---- the property: every file the writer produces reads back into the same document ----

class DocumentGenerator {
public:
    explicit DocumentGenerator(unsigned seed) : m_rng(seed) {}

    // A value as the file can hold it: whatever 8 significant digits say.
    long double value() {
        const int kind = pick(0, 9);
        if (kind == 0) return 0;
        if (kind == 1) return 1e-5L;
        if (kind == 2) return -1e8L;
        const long double m = std::uniform_real_distribution<double>(-10, 10)(m_rng);
        const long double v = m * std::pow(10.0L, static_cast<long double>(pick(-6, 9)));
        return *numfmt::parseDecimal(numfmt::generalPoint(v));
    }
    long double twoDecimals() { return static_cast<long double>(pick(-100000, 100000)) / 100; }
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }
    bool coin() { return pick(0, 1) == 1; }

    // Fills every column the file holds (the reinforcement sets' index column is not written).
    void fill(TGridTable& t, int rows, bool integers = true) {
        t.SetRowCount(rows);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < t.ColumnCount(); ++c) {
                TColumn* col = t.Column(c);
                if (col->Kind() == ColumnKind::Float)
                    col->SetFloat(r, value());
                else if (col->Kind() == ColumnKind::Integer && integers)
                    col->SetInteger(r, pick(-5, 60));
            }
    }

    void generate(ProblemSession& session) {
        TProgramData& d = session.document();
        TableSet& t = session.tables();
        d.SetUnitSystem(pick(1, 3));
        static const char* const titles[] = {"Dam",
                                             "  leading and trailing  ",
                                             "",
                                             "Slope No. 7 (revised)",
                                             "EXECUT",
                                             "\xc3\x9c"
                                             "berh\xc3\xb6hung"};
        d.Title = QString::fromUtf8(titles[pick(0, 5)]);
        d.SurfaceLineCount = pick(0, 100);
        fill(*t.BoundCood, pick(1, 100));
        fill(*t.SoilData, pick(1, 50));
        for (int s = 0; s < t.SoilData->RowCount(); ++s)
            if (pick(0, 3) == 0) fill(*t.SoilData->Cell(7, s).Table(), pick(0, 20));
        if ((d.WaterOn = coin())) {
            d.WaterUnitWeight = value();
            fill(*t.WaterSurfaceSet, pick(1, 30));
            for (int i = 0; i < t.WaterSurfaceSet->RowCount(); ++i)
                fill(*t.WaterSurfaceSet->Cell(0, i).Table(), pick(0, 20));
        }
        if ((d.LoadsOn = coin())) fill(*t.SurchargeLoad, pick(1, 10));
        if ((d.EquakeOn = coin())) {
            d.SeismicKh = twoDecimals();
            d.SeismicKv = twoDecimals();
            d.CavitationPressure = twoDecimals();
        }
        if ((d.LimitsOn = coin())) fill(*t.limit, pick(1, 50));
        if ((d.TiesOn = coin())) fill(*t.TiebackCoord, pick(1, 15));
        if ((d.ReinfOn = coin())) {
            d.ReinfLayersOn = 1;
            fill(*t.ReinEarthLayerSet, pick(1, 50), false);
            for (int i = 0; i < t.ReinEarthLayerSet->RowCount(); ++i)
                fill(*t.ReinEarthLayerSet->Cell(0, i).Table(), pick(0, 30));
        }
        d.SearchMethod = pick(0, 6);
        switch (d.SearchMethod) {
        case search::UserSurface:
            d.UserSurfaceOn = true;
            fill(*t.FailSurface, pick(2, 50));
            break;
        case search::Block:
            d.BlockOn = true;
            d.SurfacesPerPoint = pick(0, 2147483647);
            d.BlockSegmentLength = value();
            fill(*t.BoxCoord, pick(2, 17));
            break;
        case search::None: break;
        default:
            d.JanbuOn = d.SearchMethod == search::JanbuCircle;
            d.BishopOn = d.SearchMethod == search::BishopCircle;
            d.IrregularOn = d.SearchMethod == search::Irregular;
            d.SpencerOn = d.SearchMethod == search::Spencer;
            if (d.SpencerOn) d.InterSliceAngle = value();
            d.InitiationPoints = pick(-100, 2147483647);
            d.SurfacesPerPoint = pick(0, 1000);
            for (long double* v : {&d.InitLeftX, &d.InitRightX, &d.TermLeftX, &d.TermRightX, &d.MinElevation,
                                   &d.SegmentLength, &d.CcwLimit, &d.CwLimit})
                *v = value();
        }
    }

private:
    std::mt19937 m_rng;
};

TEST_F(ProblemFiles, EveryWrittenFileReadsBackIdentically) {
    for (unsigned seed = 1; seed <= 150; ++seed) {
        SCOPED_TRACE(seed);
        session.adopt(TProgramData::Create(session));
        DocumentGenerator(seed).generate(session);
        doc().FileName = dir.filePath("gen.sl4d");
        const QString before = dumpDocument(session);
        const QByteArray written = text();
        doc().SaveToFile();
        messages.shown.clear();
        session.adopt(TProgramData::CreateFromFile(session, dir.filePath("gen.sl4d"), true, &messages));
        EXPECT_TRUE(messages.shown.isEmpty()) << messages.shown.join('\n').toStdString();
        if (const std::string d = firstDifference(before, dumpDocument(session)); !d.empty()) {
            ADD_FAILURE() << "document differs after reading back; first difference: " << d;
            break;
        }
        EXPECT_EQ(text(), written);
    }
}

// Six switches back and forth leave every value of the document and its tables exactly as typed,
// whichever system it was typed in.
TEST_F(ProblemFiles, UnitSwitchesBackAndForthAreExact) {
    for (unsigned seed = 1; seed <= 60; ++seed) {
        SCOPED_TRACE(seed);
        session.adopt(TProgramData::Create(session));
        DocumentGenerator(seed).generate(session);
        const int typed = doc().UnitSystem;
        const int other = typed == units::kSI ? units::kEnglish : units::kSI;
        const QString before = dumpDocument(session);
        for (int round = 0; round < 6; ++round) {
            doc().SetUnitSystem(other);
            doc().SetUnitSystem(typed);
        }
        EXPECT_EQ(firstDifference(before, dumpDocument(session)), "");
    }
    // The typed values the drift was first seen on, through the document's fields and a table.
    session.adopt(TProgramData::Create(session));
    doc().WaterUnitWeight = 62.4L;
    doc().InitLeftX = 175;
    doc().CavitationPressure = 2116.8L;
    tables().SoilData->Cell(0, 0).SetFloat(175);
    doc().SetUnitSystem(units::kSI);
    EXPECT_NEAR(static_cast<double>(doc().InitLeftX), 175 * 0.3048, 175 * 0.3048 * 1e-7)
        << "one switch as before";
    doc().SetUnitSystem(units::kEnglish);
    EXPECT_EQ(doc().WaterUnitWeight, 62.4L);
    EXPECT_EQ(doc().InitLeftX, 175.0L);
    EXPECT_EQ(doc().CavitationPressure, 2116.8L);
    EXPECT_EQ(tables().SoilData->Cell(0, 0).GetFloat(), 175.0L);
}

TEST_F(ProblemFiles, BundledExamplesAreInTheWritersLayout) {
    const QDir examples(QStringLiteral(DIZIROVI_SOURCE_DIR "/resources/examples"));
    const QStringList files = examples.entryList({"*.sl4d"});
    EXPECT_GE(files.size(), 6);
    QList<int> methods;
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        QFile f(examples.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray original = f.readAll();
        EXPECT_EQ(read(original), QString());
        EXPECT_EQ(text(), original);
        methods << doc().SearchMethod;
    }
    for (int m = 1; m <= 6; ++m) EXPECT_TRUE(methods.contains(m)) << "an example for search method " << m;
}

TEST_F(ProblemFiles, FailedSaveKeepsThePreviousFileAndTheChangedState) {
    doc().FileName = dir.filePath("keep.sl4d");
    doc().SaveToFile();
    QFile f(doc().FileName);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray previous = f.readAll();
    f.close();

    tables().BoundCood->SetRowCount(100); // a file larger than the limit below
    session.SetModified(true);
    struct rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 512;
    setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_THROW(doc().SaveToFile(), EInOutError);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), previous);
    EXPECT_TRUE(session.IsModified());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1) << "no temporary file is left behind";

    doc().FileName = dir.filePath("no/such/folder/x.sl4d");
    EXPECT_THROW(doc().SaveToFile(), EInOutError);
}

// Only files are written over: a pipe or a folder keeps its place and the save says why; a link to a
// file saves into that file.
TEST_F(ProblemFiles, SavesWriteOnlyOverFiles) {
    const QString pipe = dir.filePath("pipe.sl4d");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString folder = dir.filePath("folder.sl4d");
    ASSERT_TRUE(QDir().mkdir(folder));
    for (const QString& target : {pipe, folder}) {
        doc().FileName = target;
        session.SetModified(true);
        try {
            doc().SaveToFile();
            ADD_FAILURE() << "saved over " << target.toStdString();
        } catch (const EInOutError& e) {
            EXPECT_EQ(e.message(), fileaccess::notAFile(target));
        }
        EXPECT_TRUE(session.IsModified());
    }
    EXPECT_TRUE(QFileInfo(pipe).exists() && !QFileInfo(pipe).isFile());
    EXPECT_TRUE(QFileInfo(folder).isDir());

    const QString real = write("real.sl4d", "older");
    ASSERT_TRUE(QFile::link(real, dir.filePath("link.sl4d")));
    doc().FileName = dir.filePath("link.sl4d");
    doc().SaveToFile();
    EXPECT_TRUE(QFileInfo(dir.filePath("link.sl4d")).isSymLink());
    QFile f(real);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), doc().ProblemText());

    // Reading a pipe does not wait for a writer.
    messages.shown.clear();
    session.adopt(TProgramData::CreateFromFile(session, pipe, true, &messages));
    EXPECT_EQ(messages.shown, QStringList{"warning: " + fileaccess::notAFileRead(pipe)});
    EXPECT_TRUE(doc().Incomplete);
}

// What the reader could not take in is never dropped silently, and such a document is incomplete.
TEST_F(ProblemFiles, UnreadSectionsAndTextsThatAreNoProblem) {
    const char* head = "PROFIL\nT\n1 1 1\n0 0 1 0 1\nSOIL\n1\n1 1 1 1 0 0 0\n";
    EXPECT_EQ(read(crlf((std::string(head) + "LAODS\n1\n1 2 3 4\nWATER\n1 62.4\n1\n0 1\nEXECUT\n").c_str())),
              warned(readmsg::unreadSection(8, "LAODS")));
    EXPECT_TRUE(doc().Incomplete);
    EXPECT_FALSE(doc().WaterOn) << "the reading itself is as before";
    // A complete file, and one with text after EXECUT, are complete.
    EXPECT_EQ(read(crlf((std::string(head) + "EXECUT\nnotes of the author\n").c_str())), QString());
    EXPECT_FALSE(doc().Incomplete);
    // Three lines of a letter are no slope problem.
    const QString letter = read("Dear engineer,\r\nplease check the dam.\r\nRegards\r\n");
    EXPECT_EQ(letter, warned(readmsg::noSection(doc().FileName)));
    EXPECT_TRUE(doc().Incomplete);
    // A count no table can hold is a damaged file, not a request for two billion rows.
    EXPECT_EQ(read(crlf("PROFIL\nT\n2000000000 1 1\n")), warned(readmsg::tooManyRows(3, 1, 2000000000)));
}

// What the engine would refuse is refused when read, and said; a block search without boxes is read
// whole.
TEST_F(ProblemFiles, ValuesTheEngineRefusesAndEmptyBlocks) {
    EXPECT_EQ(read(crlf("PROFIL\nT\n1 1 9\n0 0 1 0 1\nSOIL\n1\n1 1 1 1 0 0 0\nEXECUT\n")),
              warned(wordmsg::lineItem(3, 3) + readmsg::unitSystem(9)));
    EXPECT_EQ(doc().UnitSystem, 3);
    EXPECT_TRUE(doc().Incomplete);
    EXPECT_EQ(read(crlf("PROFIL\nT\n1 1 1\n0 0 1e400 0 1\nSOIL\n1\n1 1 1 1 0 0 0\nEXECUT\n")),
              warned(wordmsg::lineItem(4, 3) + wordmsg::kRealExpected));
    EXPECT_TRUE(doc().Incomplete);
    EXPECT_EQ(read("\xEF\xBB\xBF" + crlf("PROFIL\nT\n1 1 1\n0 0 1 0 1\nSOIL\n1\n1 1 1 1 0 0 0\nEXECUT\n")),
              QString());
    EXPECT_EQ(read(crlf("PROFIL\nT\n1 1 1\n0 0 1 0 1\nSOIL\n1\n1 1 1 1 0 0 0\nBLOCK\n10 0 5.\nEXECUT\n")),
              QString());
    EXPECT_FALSE(doc().Incomplete);
    EXPECT_TRUE(doc().BlockOn);
    EXPECT_EQ(doc().SurfacesPerPoint, 10);
    EXPECT_EQ(doc().BlockSegmentLength, 5.0L);
}

// Only what the sections need is read; a file beyond the size limit is refused unread.
TEST_F(ProblemFiles, TrailingTextAndTheSizeLimit) {
    QByteArray padded = crlf("PROFIL\nT\n1 1 1\n0 0 1 0 1\nSOIL\n1\n1 1 1 1 0 0 0\nEXECUT\n");
    const QByteArray numbers("1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16\r\n");
    padded += numbers.repeated(8 * 1024 * 1024 / numbers.size());
    EXPECT_EQ(read(padded), QString());
    EXPECT_EQ(tables().SoilData->Cell(0, 0).GetFloat(), 1.0L);
    padded += QByteArray(9 * 1024 * 1024, ' ');
    EXPECT_EQ(read(padded), warned(wordmsg::tooLarge(dir.filePath("p.sl4d"))));
}

// A value that overflowed a unit conversion is never written as a number that cannot be read back.
TEST_F(ProblemFiles, NonFiniteValuesAreNeverWritten) {
    ASSERT_EQ(read(crlf("PROFIL\nT\n1 1 1\n0 0 1 0 1\nSOIL\n2\n1 1 1 1 0 0 0\n1 1 1 1 0 1E308 0\nEXECUT\n")),
              QString());
    doc().FileName = write("keep.sl4d", "previous");
    doc().SetUnitSystem(2); // lbs/in^2 to kPa multiplies by 6.9: beyond the largest double
    try {
        doc().SaveToFile();
        ADD_FAILURE() << "saved";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.message(), writemsg::notFinite("value in row 2, column \"Pore Pressure Constant\" of the "
                                                   "table \"Soil Properties\""));
    }
    QFile kept(doc().FileName);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "previous");
    tables().SoilData->Cell(5, 1).SetFloat(0);
    doc().WaterOn = true;
    doc().WaterUnitWeight = std::numeric_limits<long double>::infinity();
    EXPECT_THROW(doc().ProblemText(), EInOutError);
}

} // namespace
