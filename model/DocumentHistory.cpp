#include "DocumentHistory.h"

#include "ProgramData.h"
#include "TableSet.h"
#include "tables/ColumnTypes.h"

#include <QUndoCommand>
#include <cstring>
#include <limits>

namespace {

// The document's own fields, each with the name an Undo item gives it. Its file name, plot file and
// reading state are not the user's entries and stay as they are.
template <class Doc, class F> void eachField(Doc& d, F&& f) {
    f("Units", d.UnitSystem);
    f("Title", d.Title);
    f("Number of surface boundary lines", d.SurfaceLineCount);
    f("Vertical earthquake coefficient", d.SeismicKv);
    f("Horizontal earthquake coefficient", d.SeismicKh);
    f("Cavitation pressure", d.CavitationPressure);
    f("Unit weight of water", d.WaterUnitWeight);
    f("Water surfaces", d.WaterOn);
    f("Surcharge loads", d.LoadsOn);
    f("Earthquake loading", d.EquakeOn);
    f("Reinforcement", d.ReinfOn);
    f("Trial surface limits", d.LimitsOn);
    f("Tiebacks", d.TiesOn);
    f("User-defined surface", d.UserSurfaceOn);
    f("Janbu search", d.JanbuOn);
    f("Bishop search", d.BishopOn);
    f("Spencer search", d.SpencerOn);
    f("Block search", d.BlockOn);
    f("Irregular search", d.IrregularOn);
    f("Initiation points", d.InitiationPoints);
    f("Surfaces per point", d.SurfacesPerPoint);
    f("Left initiation x", d.InitLeftX);
    f("Right initiation x", d.InitRightX);
    f("Left termination x", d.TermLeftX);
    f("Right termination x", d.TermRightX);
    f("Minimum elevation", d.MinElevation);
    f("Segment length", d.SegmentLength);
    f("Counterclockwise direction limit", d.CcwLimit);
    f("Clockwise direction limit", d.CwLimit);
    f("Interslice force inclination", d.InterSliceAngle);
    f("Block segment length", d.BlockSegmentLength);
    f("Piezometric surfaces given", d.PiezoSpecified);
    f("Reinforced layers", d.ReinfLayersOn);
    f("Search method", d.SearchMethod);
}

// The bytes of a long double that hold its value (x86's 80-bit format leaves six bytes of padding
// undefined in its sixteen).
constexpr size_t kRealBytes = std::numeric_limits<long double>::digits == 64 ? 10 : sizeof(long double);

QByteArray bytes(long double v) {
    return QByteArray(reinterpret_cast<const char*>(&v), kRealBytes);
}
long double real(const QByteArray& b) {
    long double v = 0;
    std::memcpy(&v, b.constData(), std::min(kRealBytes, static_cast<size_t>(b.size())));
    return v;
}
QByteArray bytes(int32_t v) {
    return QByteArray(reinterpret_cast<const char*>(&v), sizeof v);
}
int32_t whole(const QByteArray& b) {
    int32_t v = 0;
    std::memcpy(&v, b.constData(), std::min(sizeof v, static_cast<size_t>(b.size())));
    return v;
}

struct FieldWriter {
    std::vector<QByteArray>& out;
    void operator()(const char*, const long double& v) { out.push_back(bytes(v)); }
    void operator()(const char*, const int32_t& v) { out.push_back(bytes(v)); }
    void operator()(const char*, const bool& v) { out.push_back(QByteArray(1, v ? '\1' : '\0')); }
    void operator()(const char*, const QString& v) { out.push_back(v.toUtf8()); }
};

struct FieldReader {
    const std::vector<QByteArray>& in;
    size_t i = 0;
    const QByteArray& next() {
        static const QByteArray none;
        return i < in.size() ? in[i++] : none;
    }
    void operator()(const char*, long double& v) { v = real(next()); }
    void operator()(const char*, int32_t& v) { v = whole(next()); }
    void operator()(const char*, bool& v) { v = next() == QByteArray(1, '\1'); }
    void operator()(const char*, QString& v) { v = QString::fromUtf8(next()); }
};

DocumentState::Table capture(const TGridTable& t) {
    DocumentState::Table s;
    s.rows = t.RowCount();
    s.units = t.Units();
    s.cells.resize(static_cast<size_t>(t.ColumnCount()));
    s.nested.resize(static_cast<size_t>(t.ColumnCount()));
    for (int c = 0; c < t.ColumnCount(); ++c) {
        const TColumn& column = *t.Column(c);
        for (int r = 0; r < s.rows && r < column.StoredRows(); ++r) {
            QByteArray value;
            switch (column.Kind()) {
            case ColumnKind::Float: value = bytes(column.GetFloat(r)); break;
            case ColumnKind::Integer:
            case ColumnKind::Enumeration: value = bytes(column.GetInteger(r)); break;
            case ColumnKind::Text: value = column.GetText(r).toUtf8(); break;
            case ColumnKind::Table:
                if (const TGridTable* nested = column.GetTable(r))
                    s.nested[static_cast<size_t>(c)].push_back(capture(*nested));
                else
                    s.nested[static_cast<size_t>(c)].push_back({});
                break;
            }
            s.cells[static_cast<size_t>(c)].push_back(value);
        }
    }
    return s;
}

void restore(TGridTable& t, const DocumentState::Table& s) {
    if (t.Units() != s.units) t.SetUnits(s.units); // converts what is overwritten below
    if (t.RowCount() != s.rows) t.SetRowCount(s.rows);
    for (int c = 0; c < t.ColumnCount() && static_cast<size_t>(c) < s.cells.size(); ++c) {
        TColumn& column = *t.Column(c);
        const auto& cells = s.cells[static_cast<size_t>(c)];
        for (int r = 0; r < column.StoredRows() && static_cast<size_t>(r) < cells.size(); ++r) {
            const QByteArray& v = cells[static_cast<size_t>(r)];
            switch (column.Kind()) {
            case ColumnKind::Float:
                if (column.GetFloat(r) != real(v) || bytes(column.GetFloat(r)) != v)
                    column.SetFloat(r, real(v));
                break;
            case ColumnKind::Integer:
            case ColumnKind::Enumeration:
                if (column.GetInteger(r) != whole(v)) column.SetInteger(r, whole(v));
                break;
            case ColumnKind::Text:
                if (column.GetText(r).toUtf8() != v) column.SetText(r, QString::fromUtf8(v));
                break;
            case ColumnKind::Table:
                if (TGridTable* nested = column.GetTable(r);
                    nested && static_cast<size_t>(r) < s.nested[static_cast<size_t>(c)].size())
                    restore(*nested, s.nested[static_cast<size_t>(c)][static_cast<size_t>(r)]);
                break;
            }
        }
    }
    t.Refresh();
}

// The heading of a column as one line: "Isotropic Cohesion Intercept".
QString heading(const TColumn& c) {
    return c.Headers.join(QLatin1Char(' ')).simplified();
}

// Where two states of one table differ; counts every differing cell and names the first.
struct TableDiff {
    int cells = 0;
    bool rows = false;
    QString first;
};

void diff(const TGridTable* t, const DocumentState::Table& a, const DocumentState::Table& b, TableDiff& d) {
    const QString name = t ? t->WindowTitle().simplified() : QStringLiteral("a table");
    if (a.rows != b.rows) {
        if (!d.rows && d.cells == 0) d.first = QStringLiteral("Rows of %1").arg(name);
        d.rows = true;
        ++d.cells;
        return;
    }
    for (size_t c = 0; c < a.cells.size() && c < b.cells.size(); ++c)
        for (size_t r = 0; r < a.cells[c].size() && r < b.cells[c].size(); ++r) {
            if (c < a.nested.size() && r < a.nested[c].size() && c < b.nested.size() &&
                r < b.nested[c].size()) {
                const TColumn* column = t ? t->Column(static_cast<int>(c)) : nullptr;
                const TGridTable* nested = column ? column->GetTable(static_cast<int>(r)) : nullptr;
                diff(nested, a.nested[c][r], b.nested[c][r], d);
                continue;
            }
            if (a.cells[c][r] == b.cells[c][r]) continue;
            if (d.cells++ == 0)
                d.first =
                    QStringLiteral("%1 in %2 row %3")
                        .arg(t ? heading(*t->Column(static_cast<int>(c))) : QStringLiteral("A value"), name)
                        .arg(r + 1);
        }
}

} // namespace

DocumentState CaptureState(const ProblemSession& session) {
    DocumentState s;
    eachField(session.document(), FieldWriter{s.fields});
    for (const TGridTable* t : session.tables().all()) s.tables.push_back(capture(*t));
    return s;
}

void RestoreState(ProblemSession& session, const DocumentState& state) {
    TProgramData& d = session.document();
    // The tables take the state's units first: the values below are in them.
    FieldReader units{state.fields};
    int32_t system = d.UnitSystem;
    units("Units", system);
    (void)system;
    eachField(d, FieldReader{state.fields});
    const auto& tables = session.tables().all();
    for (size_t i = 0; i < tables.size() && i < state.tables.size(); ++i)
        restore(*tables[i], state.tables[i]);
}

QString DescribeChange(const ProblemSession& session, const DocumentState& before,
                       const DocumentState& after) {
    QStringList fields;
    size_t i = 0;
    eachField(session.document(), [&](const char* name, const auto&) {
        if (i < before.fields.size() && i < after.fields.size() && before.fields[i] != after.fields[i])
            fields << QLatin1String(name);
        ++i;
    });
    // A unit switch converts every value: it is named by itself.
    if (fields.contains(QLatin1String("Units"))) return QStringLiteral("Units");
    TableDiff d;
    const auto& tables = session.tables().all();
    int tablesChanged = 0;
    for (size_t t = 0; t < before.tables.size() && t < after.tables.size(); ++t) {
        if (before.tables[t] == after.tables[t]) continue;
        ++tablesChanged;
        diff(t < tables.size() ? tables[t] : nullptr, before.tables[t], after.tables[t], d);
    }
    if (!fields.isEmpty() && tablesChanged == 0)
        return fields.size() == 1 ? fields.first() : QStringLiteral("%1 and more").arg(fields.first());
    if (fields.isEmpty() && tablesChanged == 1)
        return d.cells == 1 || d.rows ? d.first
                                      : QStringLiteral("%1 entries: %2 and more").arg(d.cells).arg(d.first);
    return QStringLiteral("Several entries");
}

// One step: the states on either side. Pushing it applies nothing: the change was made already.
class DocumentHistory::Step : public QUndoCommand {
public:
    Step(DocumentHistory& history, DocumentState before, DocumentState after, const QString& text)
        : QUndoCommand(text), m_history(history), m_before(std::move(before)), m_after(std::move(after)) {}
    void undo() override { m_history.apply(m_before); }
    void redo() override {
        if (m_done) m_history.apply(m_after);
        m_done = true;
    }

private:
    DocumentHistory& m_history;
    DocumentState m_before, m_after;
    bool m_done = false;
};

DocumentHistory::DocumentHistory(ProblemSession& session)
    : m_session(session), m_stack(std::make_unique<QUndoStack>()), m_last(CaptureState(session)) {
    // Each step holds two states of the whole document: a few kilobytes, a megabyte at most.
    m_stack->setUndoLimit(200);
}

DocumentHistory::~DocumentHistory() = default;

bool DocumentHistory::Record() {
    DocumentState now = CaptureState(m_session);
    if (now == m_last) return false;
    const QString text = DescribeChange(m_session, m_last, now);
    DocumentState before = std::move(m_last);
    m_last = now;
    m_stack->push(new Step(*this, std::move(before), std::move(now), text));
    return true;
}

void DocumentHistory::Reset() {
    m_stack->clear();
    m_last = CaptureState(m_session);
}

void DocumentHistory::MarkSaved() {
    m_stack->setClean();
}

void DocumentHistory::MarkUnsaved() {
    m_stack->resetClean();
}

bool DocumentHistory::Undo() {
    Record(); // what is not a step yet becomes one, and is what goes first
    if (!m_stack->canUndo()) return false;
    m_stack->undo();
    // Back at the saved state the document is unchanged again; away from it, changed.
    m_session.SetModified(!m_stack->isClean());
    if (afterRestore) afterRestore();
    return true;
}

bool DocumentHistory::Redo() {
    if (Record() || !m_stack->canRedo()) return false; // a new change ends what could be redone
    m_stack->redo();
    m_session.SetModified(!m_stack->isClean());
    if (afterRestore) afterRestore();
    return true;
}

void DocumentHistory::apply(const DocumentState& state) {
    RestoreState(m_session, state);
    // What the document holds now is the base of the next step, even were a value not to come back
    // bit for bit: the next Undo must not find a change in it and undo that instead.
    m_last = CaptureState(m_session);
}
