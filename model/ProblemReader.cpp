// Reading a problem file into a new document. The layout is free-format for numbers (a list may
// run over any number of lines) and line-oriented for keywords and the title.
#include "ProgramData.h"
#include "base/Errors.h"
#include "base/UserInteraction.h"
#include "base/WordRead.h"
#include "tables/ColumnTypes.h"

#include <algorithm>

namespace {

class ProblemReader {
public:
    ProblemReader(TProgramData& doc, TWordReader& words, bool currentFormat)
        : m_doc(doc), m_tables(doc.session().tables()), m_words(words), m_current(currentFormat) {}

    void read() {
        readHead();
        scanSections();
    }

private:
    int32_t integer() { return m_words.ReadInteger(); }
    long double real() { return m_words.ReadReal(); }
    QString line() { return m_words.ReadLine(); }
    // "finish the line, take a line"
    QString nextKeyword() {
        line();
        return line();
    }

    // Sets the rows of `table` to n. A count far beyond what the rest of the file can fill (a
    // damaged file) only gets the rows the file can begin, so no memory is spent on rows that
    // can never be read; reading then stops at the end of the file as usual.
    void setRows(TGridTable& table, int32_t n, int itemsPerRow) {
        const qsizetype reachable = m_words.itemsLeft() / itemsPerRow + 1;
        table.SetRowCount(
            static_cast<int32_t>(std::min<qsizetype>(n, std::max(reachable, qsizetype(table.MaxRows)))));
    }

    void reals(TGridTable& table, int row, int firstColumn, int count) {
        for (int c = firstColumn; c < firstColumn + count; ++c) table.Cell(c, row).SetFloat(real());
    }

    void readHead() {
        QString keyword = line();
        if (keyword == QLatin1String("PROFIL") || keyword == QLatin1String("PROFILE")) {
            m_doc.Title = line();
            const int32_t n = integer();
            setRows(*m_tables.BoundCood, n, 5);
            m_doc.SurfaceLineCount = integer();
            if (m_current) m_doc.SetUnitSystem(integer());
            for (int i = 0; i < n; ++i) {
                reals(*m_tables.BoundCood, i, 0, 4);
                m_tables.BoundCood->Cell(4, i).SetInteger(integer());
            }
            line();
        }
        keyword = line();
        if (keyword == QLatin1String("SOIL")) {
            const int32_t n = integer();
            setRows(*m_tables.SoilData, n, 7);
            for (int i = 0; i < n; ++i) {
                reals(*m_tables.SoilData, i, 0, 6);
                m_tables.SoilData->Cell(6, i).SetInteger(integer());
            }
            line();
        }
        m_keyword = line();
        if (m_keyword == QLatin1String("ANISO")) {
            const int32_t k = integer();
            for (int i = 0; i < k; ++i) {
                const int32_t soil = integer();
                const int soils = m_tables.SoilData->RowCount();
                if (soil < 1 || soil > soils)
                    throw EInOutError(wordmsg::lineItem(m_words.lastLine(), m_words.lastItem()) +
                                      QStringLiteral("The soil number must be between 1 and %1.").arg(soils));
                TGridTable& nested = *m_tables.SoilData->Cell(7, soil - 1).Table();
                const int32_t m = integer();
                setRows(nested, m, 3);
                for (int r = 0; r < m; ++r) reals(nested, r, 0, 3);
            }
            m_keyword = nextKeyword();
        }
    }

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

    // The end of a search section: the older layout stops the scan there.
    void endSearch(bool finishLine) {
        if (!m_current)
            m_keyword = QStringLiteral("EXECUT");
        else
            m_keyword = finishLine ? nextKeyword() : line();
    }

    bool is(const char* keyword) const { return m_keyword == QLatin1String(keyword); }

    void scanSections() {
        for (int pass = 0; pass < 20; ++pass) {
            if (is("WATER")) {
                m_doc.WaterOn = true;
                const int32_t n = integer();
                setRows(*m_tables.WaterSurfaceSet, n, 1);
                if (!m_current) integer();
                m_doc.WaterUnitWeight = real();
                for (int i = 0; i < n; ++i) {
                    TGridTable& points = *m_tables.WaterSurfaceSet->Cell(0, i).Table();
                    const int32_t m = integer();
                    setRows(points, m, 2);
                    for (int r = 0; r < m; ++r) reals(points, r, 0, 2);
                }
                m_keyword = nextKeyword();
            }
            if (is("LOADS")) {
                m_doc.LoadsOn = true;
                const int32_t n = integer();
                setRows(*m_tables.SurchargeLoad, n, 4);
                for (int i = 0; i < n; ++i) reals(*m_tables.SurchargeLoad, i, 0, 4);
                m_keyword = nextKeyword();
            }
            if (is("EQUAKE")) {
                m_doc.EquakeOn = true;
                m_doc.SeismicKh = real();
                m_doc.SeismicKv = real();
                m_doc.CavitationPressure = real();
                m_keyword = nextKeyword();
            }
            if (is("LIMITS")) {
                m_doc.LimitsOn = true;
                const int32_t n = integer();
                integer();
                setRows(*m_tables.limit, n, 4);
                for (int i = 0; i < n; ++i) reals(*m_tables.limit, i, 0, 4);
                m_keyword = nextKeyword();
            }
            if (is("TIES")) {
                m_doc.TiesOn = true;
                const int32_t n = integer();
                setRows(*m_tables.TiebackCoord, n, m_current ? 7 : 6);
                for (int i = 0; i < n; ++i) {
                    m_tables.TiebackCoord->Cell(0, i).SetInteger(integer());
                    if (m_current) m_tables.TiebackCoord->Cell(1, i).SetFloat(real());
                    reals(*m_tables.TiebackCoord, i, 2, 5);
                }
                m_keyword = nextKeyword();
            }
            if (is("REINF")) {
                m_doc.ReinfLayersOn = 1;
                m_doc.ReinfOn = true;
                const int32_t n = integer();
                setRows(*m_tables.ReinEarthLayerSet, n, 1);
                for (int i = 0; i < n; ++i) {
                    TGridTable& layers = *m_tables.ReinEarthLayerSet->Cell(0, i).Table();
                    const int32_t m = integer();
                    setRows(layers, m, 4);
                    for (int r = 0; r < m; ++r) reals(layers, r, 0, 4);
                }
                m_keyword = nextKeyword();
            }
            if (is("SURFAC") || is("SURBIS")) {
                m_doc.UserSurfaceOn = true;
                m_doc.SearchMethod = search::UserSurface;
                const int32_t n = integer();
                setRows(*m_tables.FailSurface, n, 2);
                for (int i = 0; i < n; ++i) reals(*m_tables.FailSurface, i, 0, 2);
                endSearch(true);
            }
            if (is("CIRCLE")) {
                m_doc.JanbuOn = true;
                m_doc.SearchMethod = search::JanbuCircle;
                janbuItems();
                searchBlock();
                endSearch(false);
            }
            if (is("CIRCL2")) {
                m_doc.BishopOn = true;
                m_doc.SearchMethod = search::BishopCircle;
                searchBlock();
                endSearch(true);
            }
            if (is("SPENCR")) {
                m_doc.SpencerOn = true;
                m_doc.SearchMethod = search::Spencer;
                m_doc.InterSliceAngle = real();
                line();
                if (line() == QLatin1String("CIRCL2")) searchBlock();
                endSearch(false);
            }
            if (is("RANDOM")) {
                m_doc.IrregularOn = true;
                m_doc.SearchMethod = search::Irregular;
                janbuItems();
                searchBlock();
                endSearch(false);
            }
            if (is("BLOCK")) {
                m_doc.BlockOn = true;
                m_doc.SearchMethod = search::Block;
                janbuItems();
                m_doc.SurfacesPerPoint = integer();
                const int32_t n = integer();
                m_doc.BlockSegmentLength = real();
                setRows(*m_tables.BoxCoord, n, 5);
                for (int i = 0; i < n; ++i) {
                    reals(*m_tables.BoxCoord, i, 0, 5);
                    line();
                }
                endSearch(false);
            }
        }
    }

    TProgramData& m_doc;
    TableSet& m_tables;
    TWordReader& m_words;
    bool m_current;
    QString m_keyword;
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
        ProblemReader(*doc, words, currentFormat).read();
    } catch (const EDiziOvi& e) {
        failure = e.message();
    }
    for (TGridTable* t : session.tables().all())
        if (t->RowCount() < t->MinRows()) t->SetRowCount(t->MinRows());
    session.SetModified(false);
    if (!failure.isEmpty() && messages) messages->information(failure);
    if (error) *error = failure;
    return doc;
}
