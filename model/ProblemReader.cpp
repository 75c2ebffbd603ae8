// Reading a problem file into a new document. The layout is free-format for numbers (a list may
// run over any number of lines) and line-oriented for keywords and the title.
#include "ProgramData.h"
#include "base/Errors.h"
#include "base/Units.h"
#include "base/UserInteraction.h"
#include "base/WordRead.h"
#include "format/NumberFormat.h"
#include "format/ProblemFormat.h"
#include "tables/ColumnTypes.h"

#include <algorithm>

namespace kw = problemformat::keyword;

QString readmsg::unreadSection(int line, const QString& text) {
    return QStringLiteral("Line %1 holds \"%2\", which is no section keyword in its place: reading stopped "
                          "there, and the rest of the file was not read.")
               .arg(line)
               .arg(text) +
           kSavedAs;
}

QString readmsg::shown(const QString& fileName, const QString& failure) {
    // The file is named (a file given on the command line reports before anything else shows it),
    // unless the reason names it already.
    if (failure.contains(fileName)) return failure;
    return QStringLiteral("%1 was not read completely:\r\r%2").arg(fileName, failure);
}

QString readmsg::noSection(const QString& fileName) {
    return QStringLiteral("No section of a slope problem was found in %1; a problem file begins with the "
                          "keyword PROFIL.")
               .arg(fileName) +
           kSavedAs;
}

QString readmsg::unitSystem(int32_t system) {
    return QStringLiteral("The unit system must be 1 (English), 2 (SI) or 3 (other units); %1 is none of "
                          "them, and the values were taken as in system %2.")
        .arg(system)
        .arg(units::clampSystem(system));
}

QString readmsg::tooManyRows(int line, int item, int32_t count) {
    return wordmsg::lineItem(line, item) +
           QStringLiteral("The count %1 is far more than any table holds (at most %2 rows are read).")
               .arg(count)
               .arg(kMaxRowsRead);
}

namespace {

class ProblemReader {
public:
    ProblemReader(TProgramData& doc, TWordReader& words, bool currentFormat)
        : m_doc(doc), m_tables(doc.session().tables()), m_words(words), m_current(currentFormat) {}

    void read() {
        readHead();
        scanSections();
    }

    bool foundSection() const { return m_found; }

    // The first line after the scan other than "EXECUT" (and empty lines): a misspelt or misplaced
    // section, or stray data. Empty when everything up to "EXECUT" was read.
    std::optional<std::pair<int, QString>> firstUnreadSection() {
        if (m_skipped) return m_skipped;
        std::optional<std::pair<int, QString>> found;
        // A line counts unless it is empty; "EXECUT" ends the search.
        auto check = [&found](int number, const QString& text) {
            if (text.trimmed().isEmpty()) return false;
            if (text == QLatin1String(kw::kExecute)) return true;
            found = std::pair{number, text.trimmed()};
            return true;
        };
        if (m_keywordMadeUp) {
            if (!m_words.AtEnd()) m_words.ReadLine(); // the rest of the search block's last line
        } else if (!m_keywordIsBlockLine && check(m_keywordLine, m_keyword)) {
            return found;
        }
        while (!m_words.AtEnd()) {
            const int number = m_words.lineNumber();
            if (check(number, m_words.ReadLine())) return found;
        }
        return std::nullopt;
    }

private:
    int32_t integer() { return m_words.ReadInteger(); }
    long double real() { return m_words.ReadReal(); }
    QString line() { return m_words.ReadLine(); }
    // Takes the next line as the keyword line of the scan.
    void takeKeyword() {
        m_keywordLine = m_words.lineNumber();
        m_keyword = line();
    }
    // "finish the line, take a line"
    void nextKeyword() {
        line();
        takeKeyword();
    }

    // Sets the rows of `table` to n. A count far beyond what the rest of the file can fill (a
    // damaged file) only gets the rows the file can begin, so no memory is spent on rows that
    // can never be read; reading then stops at the end of the file as usual.
    void setRows(TGridTable& table, int32_t n, int itemsPerRow) {
        if (n > readmsg::kMaxRowsRead)
            throw EInOutError(readmsg::tooManyRows(m_words.lastLine(), m_words.lastItem(), n));
        const qsizetype reachable = m_words.itemsLeftAtMost() / itemsPerRow + 1;
        table.SetRowCount(
            static_cast<int32_t>(std::min<qsizetype>(n, std::max(reachable, qsizetype(table.MaxRows)))));
    }

    // Reals into the columns first ... last of the row.
    void reals(TGridTable& table, int row, int first, int last) {
        for (int c = first; c <= last; ++c) table.Cell(c, row).SetFloat(real());
    }

    bool is(const char* keyword) const { return m_keyword == QLatin1String(keyword); }

    // ---- the head: profile, soils and anisotropy, in this order ----

    // A line taken to test for a keyword that holds no number was a section left unread.
    void noteSkipped(const QString& line, int number) {
        if (m_skipped) return;
        const QStringList items = TWordReader::splitItems(line);
        if (items.isEmpty()) return;
        const QByteArray first = items.first().toLatin1();
        if (!numfmt::parseDecimal(std::string_view(first.constData(), first.size())))
            m_skipped = std::pair{number, line.trimmed()};
    }

    void readHead() {
        int number = m_words.lineNumber();
        QString keyword = line();
        if (keyword == QLatin1String(kw::kProfile) || keyword == QLatin1String(kw::kProfileLong)) {
            m_found = true;
            readProfile();
        } else {
            noteSkipped(keyword, number);
        }
        number = m_words.lineNumber();
        keyword = line();
        if (keyword == QLatin1String(kw::kSoil)) {
            m_found = true;
            readSoils();
        } else {
            noteSkipped(keyword, number);
        }
        takeKeyword();
        if (is(kw::kAnisotropy)) {
            m_found = true;
            readAnisotropy();
            nextKeyword();
        }
    }

    void readProfile() {
        m_doc.Title = line();
        const int32_t n = integer();
        setRows(*m_tables.BoundCood, n, 5);
        m_doc.SurfaceLineCount = integer();
        if (m_current) {
            const int32_t system = integer();
            m_doc.SetUnitSystem(system);
            // Taken as the nearest system, but said: the engine refuses such a file.
            if (system != units::clampSystem(system))
                throw EInOutError(wordmsg::lineItem(m_words.lastLine(), m_words.lastItem()) +
                                  readmsg::unitSystem(system));
        }
        for (int i = 0; i < n; ++i) {
            reals(*m_tables.BoundCood, i, cols::boundary::kLeftX, cols::boundary::kRightY);
            m_tables.BoundCood->Cell(cols::boundary::kSoil, i).SetInteger(integer());
        }
        line();
    }

    void readSoils() {
        const int32_t n = integer();
        setRows(*m_tables.SoilData, n, 7);
        for (int i = 0; i < n; ++i) {
            reals(*m_tables.SoilData, i, cols::soil::kMoistWeight, cols::soil::kPoreConstant);
            m_tables.SoilData->Cell(cols::soil::kPiezometricSurface, i).SetInteger(integer());
        }
        line();
    }

    void readAnisotropy() {
        const int32_t k = integer();
        for (int i = 0; i < k; ++i) {
            const int32_t soil = integer();
            const int soils = m_tables.SoilData->RowCount();
            if (soil < 1 || soil > soils)
                throw EInOutError(wordmsg::lineItem(m_words.lastLine(), m_words.lastItem()) +
                                  QStringLiteral("The soil number must be between 1 and %1.").arg(soils));
            TGridTable& nested = *m_tables.SoilData->Cell(cols::soil::kAnisotropy, soil - 1).Table();
            const int32_t m = integer();
            setRows(nested, m, 3);
            for (int r = 0; r < m; ++r)
                reals(nested, r, cols::anisotropy::kDirectionLimit, cols::anisotropy::kFrictionAngle);
        }
    }

    // ---- the sections of the scan, each ending by taking the next keyword line ----

    struct Section {
        const char* keyword;
        const char* alternative;
        void (ProblemReader::*read)();
    };

    // In effect the scan ends at the first line that is no keyword; twenty passes let sections come
    // in any order. Within a pass the keywords are compared in the table's order, and a section read
    // makes its last line the keyword line that the following entries are compared with.
    void scanSections() {
        static constexpr Section kSections[] = {
            {kw::kWater, nullptr, &ProblemReader::readWater},
            {kw::kLoads, nullptr, &ProblemReader::readLoads},
            {kw::kEarthquake, nullptr, &ProblemReader::readEarthquake},
            {kw::kLimits, nullptr, &ProblemReader::readLimits},
            {kw::kTiebacks, nullptr, &ProblemReader::readTiebacks},
            {kw::kReinforcement, nullptr, &ProblemReader::readReinforcement},
            {kw::kSurface, kw::kSurfaceReinforced, &ProblemReader::readSurface},
            {kw::kJanbuCircle, nullptr, &ProblemReader::readJanbuCircle},
            {kw::kBishopCircle, nullptr, &ProblemReader::readBishopCircle},
            {kw::kSpencer, nullptr, &ProblemReader::readSpencer},
            {kw::kIrregular, nullptr, &ProblemReader::readIrregular},
            {kw::kBlock, nullptr, &ProblemReader::readBlock},
        };
        for (int pass = 0; pass < 20; ++pass)
            for (const Section& s : kSections)
                if (is(s.keyword) || (s.alternative && is(s.alternative))) {
                    m_found = true;
                    (this->*s.read)();
                }
    }

    void readWater() {
        m_doc.WaterOn = true;
        const int32_t n = integer();
        setRows(*m_tables.WaterSurfaceSet, n, 1);
        if (!m_current) integer();
        m_doc.WaterUnitWeight = real();
        for (int i = 0; i < n; ++i) {
            TGridTable& points = *m_tables.WaterSurfaceSet->Cell(cols::kNested, i).Table();
            const int32_t m = integer();
            setRows(points, m, 2);
            for (int r = 0; r < m; ++r) reals(points, r, cols::point::kX, cols::point::kY);
        }
        nextKeyword();
    }

    void readLoads() {
        m_doc.LoadsOn = true;
        const int32_t n = integer();
        setRows(*m_tables.SurchargeLoad, n, 4);
        for (int i = 0; i < n; ++i)
            reals(*m_tables.SurchargeLoad, i, cols::surcharge::kLeftX, cols::surcharge::kInclination);
        nextKeyword();
    }

    void readEarthquake() {
        m_doc.EquakeOn = true;
        m_doc.SeismicKh = real();
        m_doc.SeismicKv = real();
        m_doc.CavitationPressure = real();
        nextKeyword();
    }

    void readLimits() {
        m_doc.LimitsOn = true;
        const int32_t n = integer();
        integer();
        setRows(*m_tables.limit, n, 4);
        for (int i = 0; i < n; ++i) reals(*m_tables.limit, i, cols::limit::kLeftX, cols::limit::kRightY);
        nextKeyword();
    }

    void readTiebacks() {
        m_doc.TiesOn = true;
        const int32_t n = integer();
        setRows(*m_tables.TiebackCoord, n, m_current ? 7 : 6);
        for (int i = 0; i < n; ++i) {
            m_tables.TiebackCoord->Cell(cols::tieback::kSurface, i).SetInteger(integer());
            if (m_current) m_tables.TiebackCoord->Cell(cols::tieback::kX, i).SetFloat(real());
            reals(*m_tables.TiebackCoord, i, cols::tieback::kY, cols::tieback::kFreeLength);
        }
        nextKeyword();
    }

    void readReinforcement() {
        m_doc.ReinfLayersOn = 1;
        m_doc.ReinfOn = true;
        const int32_t n = integer();
        setRows(*m_tables.ReinEarthLayerSet, n, 1);
        for (int i = 0; i < n; ++i) {
            TGridTable& layers = *m_tables.ReinEarthLayerSet->Cell(cols::kNested, i).Table();
            const int32_t m = integer();
            setRows(layers, m, 4);
            for (int r = 0; r < m; ++r) reals(layers, r, cols::layer::kX, cols::layer::kInclinationFactor);
        }
        nextKeyword();
    }

    // ---- search sections ----

    void searchBlock() {
        m_doc.InitiationPoints = integer();
        m_doc.SurfacesPerPoint = integer();
        for (long double* v : {&m_doc.InitLeftX, &m_doc.InitRightX, &m_doc.TermLeftX, &m_doc.TermRightX,
                               &m_doc.MinElevation, &m_doc.SegmentLength, &m_doc.CcwLimit, &m_doc.CwLimit})
            *v = real();
    }

    void janbuItems() {
        if (m_current) return;
        if (integer() > 0) integer();
    }

    // How a search section ends. The older layout stops the scan there. The current layout either
    // finishes the line and takes the next, or takes the line holding the block's last items as
    // keyword line (it matches no keyword, so the scan ends there), or takes the next line.
    enum class End { FinishLine, BlockLine, NextLine };
    void endSearch(End end) {
        if (!m_current) {
            m_keyword = QLatin1String(kw::kExecute);
            m_keywordMadeUp = true;
        } else if (end == End::FinishLine) {
            nextKeyword();
        } else {
            takeKeyword();
            m_keywordIsBlockLine = end == End::BlockLine;
        }
    }

    void readSurface() {
        m_doc.UserSurfaceOn = true;
        m_doc.SearchMethod = search::UserSurface;
        const int32_t n = integer();
        setRows(*m_tables.FailSurface, n, 2);
        for (int i = 0; i < n; ++i) reals(*m_tables.FailSurface, i, cols::point::kX, cols::point::kY);
        endSearch(End::FinishLine);
    }

    void readJanbuCircle() {
        m_doc.JanbuOn = true;
        m_doc.SearchMethod = search::JanbuCircle;
        janbuItems();
        searchBlock();
        endSearch(End::BlockLine);
    }

    void readBishopCircle() {
        m_doc.BishopOn = true;
        m_doc.SearchMethod = search::BishopCircle;
        searchBlock();
        endSearch(End::FinishLine);
    }

    void readSpencer() {
        m_doc.SpencerOn = true;
        m_doc.SearchMethod = search::Spencer;
        m_doc.InterSliceAngle = real();
        line();
        const int number = m_words.lineNumber();
        if (const QString next = line(); next != QLatin1String(kw::kBishopCircle)) {
            noteSkipped(next, number);
            return endSearch(End::NextLine);
        }
        searchBlock();
        endSearch(End::BlockLine);
    }

    void readIrregular() {
        m_doc.IrregularOn = true;
        m_doc.SearchMethod = search::Irregular;
        janbuItems();
        searchBlock();
        endSearch(End::BlockLine);
    }

    void readBlock() {
        m_doc.BlockOn = true;
        m_doc.SearchMethod = search::Block;
        janbuItems();
        m_doc.SurfacesPerPoint = integer();
        const int32_t n = integer();
        m_doc.BlockSegmentLength = real();
        setRows(*m_tables.BoxCoord, n, 5);
        // Each box's line is finished after it; without boxes, the line of the counts is.
        if (n <= 0) line();
        for (int i = 0; i < n; ++i) {
            reals(*m_tables.BoxCoord, i, cols::box::kLeftX, cols::box::kSideLength);
            line();
        }
        endSearch(End::NextLine);
    }

    TProgramData& m_doc;
    TableSet& m_tables;
    TWordReader& m_words;
    bool m_current;
    QString m_keyword;
    int m_keywordLine = 0;
    bool m_keywordMadeUp = false;      // the older layout ends the scan without reading a keyword line
    bool m_keywordIsBlockLine = false; // the keyword line holds the search block's last items
    bool m_found = false;
    std::optional<std::pair<int, QString>> m_skipped;
};

} // namespace

std::unique_ptr<TProgramData> TProgramData::CreateFromFile(ProblemSession& session, const QString& fileName,
                                                           bool currentFormat, MessageSink* messages,
                                                           QString* error) {
    std::unique_ptr<TProgramData> doc = Create(session);
    doc->FileName = fileName;
    doc->UnitSystem = 1;
    for (TGridTable* t : session.tables().all()) t->SetRowCount(0);
    QString failure;
    try {
        TWordReader words(fileName);
        ProblemReader reader(*doc, words, currentFormat);
        reader.read();
        if (!reader.foundSection())
            failure = readmsg::noSection(fileName);
        else if (auto unread = reader.firstUnreadSection())
            failure = readmsg::unreadSection(unread->first, unread->second);
    } catch (const EDiziOvi& e) {
        failure = e.message();
    }
    for (TGridTable* t : session.tables().all())
        if (t->RowCount() < t->MinRows()) t->SetRowCount(t->MinRows());
    session.SetModified(false);
    // Saving what was read over the file would lose the rest of it.
    doc->Incomplete = !failure.isEmpty();
    if (!failure.isEmpty() && messages) messages->warning(readmsg::shown(fileName, failure));
    if (error) *error = failure;
    return doc;
}
