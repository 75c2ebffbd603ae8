// The program's reader and the engine's reader take the same problem files the same way: each
// accepts or refuses a file alike, except for the few differences listed here on purpose.
#include "QtPrinters.h"
#include "engine/ProblemInput.h"
#include "graph/PlotModel.h"
#include "model/ProgramData.h"
#include "model/TableSet.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <functional>
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QStringList lines(const QByteArray& text) {
    return QString::fromLatin1(text).split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
}

bool hasLine(const QByteArray& text, const QString& line) {
    // Only the line that ends the engine's reading counts.
    for (const QString& l : lines(text))
        if (l.trimmed() == line) return true;
    return false;
}

// Without the characters up to code 32 at either end, as the engine compares keywords.
QString lowTrimmed(const QString& line) {
    qsizetype b = 0, e = line.size();
    while (b < e && line[b].unicode() <= 32) ++b;
    while (e > b && line[e - 1].unicode() <= 32) --e;
    return line.mid(b, e - b);
}

bool keywordLike(const QString& line) {
    static const QRegularExpression keyword(QStringLiteral("^[A-Z][A-Z0-9]{2,7}$"));
    return keyword.match(lowTrimmed(line)).hasMatch();
}

// The differences kept on purpose, each with the reason. A difference is explained when the file,
// changed by `mend` so that the reason no longer applies, is taken alike by both readers (or, for
// the order of sections, when the order is one the program does not read).
struct Difference {
    const char* why;
    QByteArray (*mend)(const QByteArray& text); // the text unchanged: the reason does not apply
};
// The line the engine refuses as no section keyword, removed.
QByteArray withoutRefusedLine(const QByteArray& t) {
    std::string why;
    if (velda::readProblem(t.toStdString(), why)) return t;
    static const QRegularExpression refused(QStringLiteral("^Line (\\d+): .* is not a section keyword"));
    const QRegularExpressionMatch m = refused.match(QString::fromStdString(why));
    if (!m.hasMatch()) return t;
    QStringList all = lines(t);
    const qsizetype n = m.captured(1).toLongLong() - 1;
    if (n < 0 || n >= all.size() || keywordLike(all[n])) return t;
    all.removeAt(n);
    return all.join(QStringLiteral("\r\n")).toLatin1();
}

const Difference kIntended[] = {
    {"The engine needs the closing EXECUT; the program reads what the sections hold.",
     [](const QByteArray& t) { return hasLine(t, "EXECUT") ? t : t + "\r\nEXECUT\r\n"; }},
    {"The engine trims blanks around keywords and skips empty lines between sections; the program compares "
     "keyword lines whole.",
     [](const QByteArray& t) {
         QStringList kept;
         for (const QString& line : lines(t))
             if (!lowTrimmed(line).isEmpty()) kept << (keywordLike(line) ? lowTrimmed(line) : line);
         return kept.join(QStringLiteral("\r\n")).toLatin1();
     }},
    {"Where a head section (PROFIL, SOIL, ANISO) is missing, the program takes the line it tested for its "
     "keyword as read, whatever it holds; the engine refuses a line that is no keyword.",
     withoutRefusedLine},
};

// The program reads PROFIL, SOIL and ANISO only at the start and in that order, and its scan ends
// at a search section; the engine takes sections in any order until EXECUT.
bool sectionsOutOfTheProgramsOrder(const QByteArray& text) {
    QStringList keywords;
    for (const QString& line : lines(text))
        if (keywordLike(line)) keywords << lowTrimmed(line);
    static const QRegularExpression search(
        QStringLiteral("^(CIRCLE|CIRCL2|SPENCR|RANDOM|BLOCK|SURFAC|SURBIS)$"));
    const qsizetype at = keywords.indexOf(search);
    const qsizetype execute = keywords.indexOf(QStringLiteral("EXECUT"));
    const qsizetype allowed = at < 0 ? -1 : at + (keywords[at] == QLatin1String("SPENCR") ? 2 : 1);
    // The head sections, each once, before the others.
    const qsizetype soil = keywords.indexOf(QStringLiteral("SOIL")),
                    aniso = keywords.indexOf(QStringLiteral("ANISO"));
    return (at >= 0 && execute > allowed) || soil > 1 || aniso > 2 ||
           keywords.count(QStringLiteral("SOIL")) > 1 || keywords.count(QStringLiteral("ANISO")) > 1 ||
           keywords.count(QStringLiteral("PROFIL")) > 1;
}

struct Decision {
    bool program = false, engine = false;
    QString programWhy;
    std::string engineWhy;
};

class Readers : public ::testing::Test {
protected:
    QTemporaryDir dir;
    ProblemSession session;

    Decision decide(const QByteArray& text) {
        const QString name = dir.filePath("p.sl4d");
        QFile f(name);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();
        Decision d;
        session.adopt(TProgramData::CreateFromFile(session, name, true, nullptr, &d.programWhy));
        d.program = d.programWhy.isEmpty();
        d.engine = velda::readProblem(text.toStdString(), d.engineWhy).has_value();
        return d;
    }
};

TEST_F(Readers, AgreeOnExamplesFixturesAndCorpora) {
    QStringList folders = {QStringLiteral(DIZIROVI_SOURCE_DIR "/resources/examples"),
                           QStringLiteral(DIZIROVI_SOURCE_DIR "/tests/data/fuzz/engine-reader"),
                           QStringLiteral(DIZIROVI_SOURCE_DIR "/tests/data/fuzz/problem-reader")};
    int files = 0, agreed = 0;
    std::map<const char*, int> explained;
    for (const QString& folder : folders)
        for (const QFileInfo& info : QDir(folder).entryInfoList(QDir::Files)) {
            QFile f(info.filePath());
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            const QByteArray text = f.readAll();
            ++files;
            const Decision d = decide(text);
            if (d.program == d.engine) {
                ++agreed;
                continue;
            }
            const char* why = nullptr;
            for (const Difference& k : kIntended) {
                const QByteArray mended = k.mend(text);
                if (mended == text) continue;
                const Decision m = decide(mended);
                if (m.program == m.engine) {
                    why = k.why;
                    break;
                }
            }
            if (!why && sectionsOutOfTheProgramsOrder(text))
                why = "The program reads sections only in its own order; the engine in any.";
            EXPECT_TRUE(why) << info.filePath().toStdString() << ": program " << d.program << " ("
                             << d.programWhy.toStdString() << "), engine " << d.engine << " (" << d.engineWhy
                             << ")";
            if (why) ++explained[why];
        }
    EXPECT_GT(files, 100);
    for (const auto& [why, n] : explained) std::printf("%d files differ: %s\n", n, why);
    EXPECT_GT(agreed, files / 2);
}

// Each listed difference is real, and the disagreements once found are gone.
TEST_F(Readers, ListedDifferencesAndMendedOnes) {
    const QByteArray head = "PROFIL\r\nT\r\n1 1 1\r\n0. 0. 10. 0. 1\r\nSOIL\r\n1\r\n1 2 3 4 0 0 0\r\n";
    const struct {
        QByteArray text;
        bool differ;
    } cases[] = {
        {head + "\r\n", true}, // no EXECUT
        {head + "SURFAC\r\n2\r\n0 0\r\n1 0\r\nLOADS\r\n1\r\n1 2 3 4\r\nEXECUT\r\n",
         false}, // SURFAC ends nothing
        {head + "CIRCLE\r\n1 1\r\n0 1 2 3\r\n4 5 6 -7\r\nLOADS\r\n1\r\n1 2 3 4\r\nEXECUT\r\n", true},
        {head + "LOADS \r\n1\r\n1 2 3 4\r\nEXECUT\r\n", true},    // a blank after a keyword
        {head + "\r\nLOADS\r\n1\r\n1 2 3 4\r\nEXECUT\r\n", true}, // an empty line between sections
        // Once read differently, now alike: a control character inside an item, stray numbers after a
        // section, a misspelt head keyword, a line that should have been CIRCL2.
        {"PROFIL\r\nT\r\n1 1 1\r\n0. 0. 10.\x18 0. 1\r\nSOIL\r\n1\r\n1 2 3 4 0 0 0\r\nEXECUT\r\n", false},
        {head + "1 2\r\nEXECUT\r\n", false},
        {"PROFIL\r\nT\r\n1 1 1\r\n0. 0. 10. 0. 1\r\nSOLI\r\n1\r\n1 2 3 4 0 0 0\r\nEXECUT\r\n", false},
        {head + "SPENCR\r\n10.\r\nCIRCLE\r\n1 1\r\n0 1 2 3 4 5 6 -7\r\nEXECUT\r\n", false},
        {head + "EXECUT\r\nnotes after the end\r\n", false},
    };
    for (const auto& c : cases) {
        const Decision d = decide(c.text);
        EXPECT_EQ(d.program != d.engine, c.differ)
            << c.text.toStdString() << "\nprogram: " << d.programWhy.toStdString()
            << "\nengine: " << d.engineWhy;
    }
}

// Numbers beyond what a double holds, a byte-order mark, a unit system that does not exist and a
// block search without boxes: both readers take each file the same way.
TEST_F(Readers, AgreeOnNumbersMarksUnitsAndEmptyBlocks) {
    const QByteArray soil = "SOIL\r\n1\r\n1 2 3 4 0 0 0\r\n";
    auto problem = [&soil](const QByteArray& value, const QByteArray& units = "1") {
        return "PROFIL\r\nT\r\n1 1 " + units + "\r\n0. 0. 10. " + value + " 1\r\n" + soil + "EXECUT\r\n";
    };
    const struct {
        QByteArray text;
        bool accepted;
    } cases[] = {
        {problem("0."), true},
        {problem("1e400"), false},
        {problem("1e309"), false},
        {problem("-1e309"), false},
        {problem("1.1E4932"), false},
        {problem("1" + QByteArray(400, '0')), false},
        {problem("1.7E308"), true},
        {problem("1e-400"), true}, // underflows to zero in both
        {"\xEF\xBB\xBF" + problem("0."), true},
        {problem("0.", "9"), false},
        {problem("0.", "-1"), false},
        {problem("0.", "0"), false},
        {problem("0.", "3"), true},
        {"PROFIL\r\nT\r\n1 1 1\r\n0. 0. 10. 0. 1\r\n" + soil + "BLOCK\r\n10 0 5.\r\nEXECUT\r\n", true},
        {"PROFIL\r\nT\r\n1 1 1\r\n0. 0. 10. 0. 1\r\n" + soil + "BLOCK\r\n10 1 5.\r\n1 2 3 4 5\r\nEXECUT\r\n",
         true},
    };
    for (const auto& c : cases) {
        const Decision d = decide(c.text);
        EXPECT_EQ(d.program, c.accepted)
            << c.text.toStdString() << "\nprogram: " << d.programWhy.toStdString();
        EXPECT_EQ(d.engine, c.accepted) << c.text.toStdString() << "\nengine: " << d.engineWhy;
    }
}

// ---- inputs of growing size ----

// The resident memory of this process now, in bytes.
long residentBytes() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * ::sysconf(_SC_PAGESIZE);
}

// Runs `read` in a child process and returns how far its memory grew beyond what it started with
// (or -1 when the child failed); prints the time it took. Times are only printed: a reader that
// copies the rest of a line for every item would take hours on 16 MiB and run into the test's time
// limit instead.
long grownBy(const char* what, size_t size, const std::function<bool()>& read) {
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child == 0) {
        const long before = residentBytes();
        const auto start = std::chrono::steady_clock::now();
        const bool ok = read();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        struct rusage usage {};
        ::getrusage(RUSAGE_SELF, &usage);
        const long grown = usage.ru_maxrss * 1024L - before;
        std::printf("%s, %zu MiB: %.3f s, memory grew by %ld MiB\n", what, size >> 20, seconds, grown >> 20);
        std::fflush(stdout);
        // The growth in MiB is the exit code; 255 says the reading went wrong.
        ::_exit(ok ? static_cast<int>(std::min(254L, grown >> 20)) : 255);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 255) return -1;
    return static_cast<long>(WEXITSTATUS(status)) << 20;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMemoryMeasured = false; // the sanitizer's own bookkeeping would be measured
#else
constexpr bool kMemoryMeasured = true;
#endif

// One line of numbers as long as the file allows, through the program's reader, the engine's
// reader and the boundary-line import; a hostile plot file of one bad field per line.
TEST(ReaderSizes, GrowLinearly) {
    QTemporaryDir dir;
    for (const size_t mib : {1u, 4u, 16u}) {
        const size_t size = mib << 20;
        QByteArray problem = "PROFIL\r\nT\r\n1 1 1 0. 0. 10. 0. 1";
        const QByteArray tail = "\r\nSOIL\r\n1\r\n1 2 3 4 0 0 0\r\nEXECUT\r\n";
        problem +=
            QByteArray(" 7").repeated(static_cast<qsizetype>((size - 64 - problem.size() - tail.size()) / 2));
        problem += tail;
        const QString name = dir.filePath("long.sl4d");
        QFile f(name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(problem);
        f.close();
        // Memory may grow by the file itself, the growth of its buffer while reading and the fixed
        // arrays of the graph's model: a small multiple of the file, not a record per line, an item
        // or a message per field.
        const long bound = kMemoryMeasured ? static_cast<long>(4 * size + (48L << 20)) : LONG_MAX;
        const long program = grownBy("program's reader", size, [&] {
            ProblemSession session;
            QString error;
            session.adopt(TProgramData::CreateFromFile(session, name, true, nullptr, &error));
            return error.isEmpty();
        });
        EXPECT_GE(program, 0);
        EXPECT_LT(program, bound) << mib << " MiB";
        const long engine = grownBy("engine's reader", size, [&] {
            std::string why;
            return velda::readProblem(problem.toStdString(), why).has_value();
        });
        EXPECT_GE(engine, 0);
        EXPECT_LT(engine, bound) << mib << " MiB";

        QByteArray plot = QByteArray("1\n").repeated(15) + "LDS\n2000000000\n";
        plot += QByteArray("x\n").repeated(static_cast<qsizetype>((size - plot.size()) / 2));
        const QString plotName = dir.filePath("hostile.sl4p");
        QFile p(plotName);
        ASSERT_TRUE(p.open(QIODevice::WriteOnly | QIODevice::Truncate));
        p.write(plot);
        p.close();
        const long grown = grownBy("plot reader, a bad field per line", size, [&] {
            ProblemSession session;
            PlotModel model;
            const PlotReadResult r = ReadPlotFile(plotName, *session.tables().BoundCood, model);
            return r.messages.size() <= 21 && r.messages.last() == plotmsg::kMoreErrors;
        });
        EXPECT_GE(grown, 0);
        EXPECT_LT(grown, bound) << mib << " MiB";
    }
}

} // namespace
