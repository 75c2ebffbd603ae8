#include "ColumnTypes.h"

#include "ColStream.h"
#include "Evaluator.h"
#include "base/Errors.h"
#include "base/Units.h"
#include "format/NumberFormat.h"

#include <QFontMetrics>
#include <cmath>

namespace {

QString generalText(long double v, int digits) {
    return QString::fromStdString(numfmt::general(v, digits));
}

template <class T> void insertAt(std::vector<T>& v, int at, int count, const T& value) {
    v.insert(v.begin() + at, static_cast<size_t>(count), value);
}

} // namespace

// ---- base ----

TColumn::~TColumn() = default;

void TColumn::WrongType() {
    throw ETableError(tablemsg::kWrongType);
}

void TColumn::CheckRow(int row) const {
    if (row < 0 || row >= StoredRows()) throw ETableError(tablemsg::kIndexOutOfBounds);
}

void TColumn::InsertRows(int at, int count) {
    if (at < 0 || at > StoredRows()) throw ETableError(tablemsg::kIndexOutOfBounds);
    InsertStorage(at, count);
    for (int k = 0; k < count; ++k)
        Cells.insert(Cells.begin() + at + k, std::make_unique<TData>(this, at + k));
    for (int r = at + count; r < StoredRows(); ++r) Cells[static_cast<size_t>(r)]->m_row = r;
    AfterRowsMoved(at);
}

void TColumn::DeleteRow(int row) {
    CheckRow(row);
    DeleteStorage(row);
    Cells.erase(Cells.begin() + row);
    for (int r = row; r < StoredRows(); ++r) Cells[static_cast<size_t>(r)]->m_row = r;
    AfterRowsMoved(row);
}

QString TColumn::HeaderLine(int i) const {
    return i >= 0 && i < Headers.size() ? Headers[i] : QString();
}

TGridTable* TColumn::GetTable(int) const {
    WrongType();
}
long double TColumn::GetFloat(int) const {
    WrongType();
}
void TColumn::SetFloat(int, long double) {
    WrongType();
}
int32_t TColumn::GetInteger(int) const {
    WrongType();
}
void TColumn::SetInteger(int, int32_t) {
    WrongType();
}
TCellObject* TColumn::GetObject(int) const {
    WrongType();
}
QString TColumn::GetText(int) const {
    return {};
}
void TColumn::SetText(int, const QString&) {}

int TColumn::DisplayWidth(const QFontMetrics& metrics, int) const {
    int width = 0;
    for (int i = 0; i < HeaderLineCount(); ++i)
        width = std::max(width, metrics.horizontalAdvance(HeaderLine(i) + QStringLiteral("  ")));
    return width;
}

void TColumn::WriteDefinition(ColWriter& writer) const {
    writer.writeListBegin();
    for (const QString& h : Headers) writer.writeString(h);
    writer.writeListEnd();
    writer.writeBoolean(Visible);
    writer.writeBoolean(Grouped);
}

void TColumn::ReadDefinition(ColReader& reader) {
    Headers.clear();
    reader.readListBegin();
    while (!reader.endOfList()) Headers.append(reader.readString());
    reader.readListEnd();
    Visible = reader.readBoolean();
    Grouped = reader.readBoolean();
}

void TColumn::CopyCommonTo(TColumn& other) const {
    other.Headers = Headers;
    other.Visible = Visible;
}

void TColumn::Notify(int row) {
    if (m_table) m_table->NotifyCellChanged(this, row);
}

std::pair<int, int> TColumn::TargetRows(int row) const {
    CheckRow(row);
    if (!Grouped) return {row, row};
    const int group = RowGroup();
    const int first = group * (row / group);
    return {first, std::min(first + group, StoredRows()) - 1};
}

// ---- editor columns ----

CellEditor* TEditorColumn::Editor(int i) const {
    if (i < 0 || i >= static_cast<int>(m_editors.size())) throw ETableError(tablemsg::kIndexOutOfBounds);
    return m_editors[static_cast<size_t>(i)].get();
}

void TEditorColumn::AllocateEditors(EditorHost* host, int topRow, int count) {
    if (!m_editors.empty() && host != m_host) throw ETableError(ParentAllocatedMessage());
    if (!host) throw ETableError(tablemsg::kNullParent);
    if (topRow < 0 || topRow >= StoredRows()) throw ETableError(QStringLiteral("ATopRow %1").arg(topRow));
    if (count <= 0 || topRow + count > StoredRows())
        throw ETableError(QStringLiteral("ACount %1").arg(count));
    m_editors.clear();
    m_host = host;
    m_topRow = topRow;
    for (int r = topRow; r < topRow + count; ++r) m_editors.push_back(host->createEditor(*this, r));
}

void TEditorColumn::ReleaseEditors() {
    m_editors.clear();
    m_host = nullptr;
}

// ---- enumeration ----

void TEnumColumn::SetItems(const QStringList& items) {
    m_items = items;
    if (Table() && Table()->ColumnCount() > 0 && Table()->Column(0) == this) Table()->FitTemplateLists();
}

int32_t TEnumColumn::GetInteger(int row) const {
    CheckRow(row);
    return m_values[static_cast<size_t>(row)];
}

void TEnumColumn::SetInteger(int row, int32_t value) {
    auto [first, last] = TargetRows(row);
    for (int r = first; r <= last; ++r) {
        if (m_values[static_cast<size_t>(r)] == value) continue;
        m_values[static_cast<size_t>(r)] = value;
        const int e = r - m_topRow;
        if (e >= 0 && e < static_cast<int>(m_editors.size()))
            m_editors[static_cast<size_t>(e)]->setItemIndex(value - 1);
        Notify(r);
    }
}

QString TEnumColumn::GetText(int row) const {
    return QString::number(GetInteger(row));
}

void TEnumColumn::SetText(int row, const QString& text) {
    const long double x = Evaluate(text);
    if (x != std::trunc(x) || x < INT32_MIN || x > INT32_MAX) throw EAssignError(tablemsg::kValueInteger);
    SetInteger(row, static_cast<int32_t>(x));
}

int TEnumColumn::DisplayWidth(const QFontMetrics& metrics, int pixelsPerInch) const {
    return std::max(TColumn::DisplayWidth(metrics, pixelsPerInch), pixelsPerInch * 3 / 2);
}

void TEnumColumn::WriteDefinition(ColWriter& writer) const {
    TColumn::WriteDefinition(writer);
    writer.writeListBegin();
    for (const QString& item : m_items) writer.writeString(item);
    writer.writeListEnd();
}

void TEnumColumn::ReadDefinition(ColReader& reader) {
    TColumn::ReadDefinition(reader);
    QStringList items;
    reader.readListBegin();
    while (!reader.endOfList()) items.append(reader.readString());
    reader.readListEnd();
    m_items = items;
}

std::unique_ptr<TColumn> TEnumColumn::Clone(TGridTable* table) const {
    auto c = std::make_unique<TEnumColumn>(table);
    CopyCommonTo(*c);
    c->m_items = m_items;
    return c;
}

void TEnumColumn::AllocateEditors(EditorHost* host, int topRow, int count) {
    TEditorColumn::AllocateEditors(host, topRow, count);
    for (size_t i = 0; i < m_editors.size(); ++i)
        m_editors[i]->setItemIndex(m_values[static_cast<size_t>(topRow) + i] - 1);
}

void TEnumColumn::InsertStorage(int at, int count) {
    insertAt(m_values, at, count, 1);
}
void TEnumColumn::DeleteStorage(int row) {
    m_values.erase(m_values.begin() + row);
}

// ---- integer ----

int32_t TIntColumn::GetInteger(int row) const {
    CheckRow(row);
    return m_values[static_cast<size_t>(row)];
}

void TIntColumn::SetInteger(int row, int32_t value) {
    auto [first, last] = TargetRows(row);
    for (int r = first; r <= last; ++r) {
        m_values[static_cast<size_t>(r)] = value;
        Notify(r);
    }
}

QString TIntColumn::GetText(int row) const {
    return QString::number(GetInteger(row));
}

void TIntColumn::SetText(int row, const QString& text) {
    const long double x = Evaluate(text);
    if (Table() && Table()->HasWindow()) {
        if (x - std::trunc(x) > 1e-10L) throw EAssignError(tablemsg::kMustBeInteger);
        if (x < MinValue || x > MaxValue) throw EAssignError(tablemsg::between(MinValue, MaxValue));
    }
    const long double rounded = numfmt::roundHalfEven(x);
    // Without a window there is no range check, but a value beyond 32 bits cannot be stored.
    if (rounded < INT32_MIN || rounded > INT32_MAX) throw EAssignError(tablemsg::between(MinValue, MaxValue));
    SetInteger(row, static_cast<int32_t>(rounded));
}

int TIntColumn::DisplayWidth(const QFontMetrics& metrics, int pixelsPerInch) const {
    return std::max(TColumn::DisplayWidth(metrics, pixelsPerInch), pixelsPerInch / 2);
}

void TIntColumn::WriteDefinition(ColWriter& writer) const {
    TColumn::WriteDefinition(writer);
    writer.writeInteger(Default);
    writer.writeInteger(MinValue);
    writer.writeInteger(MaxValue);
}

void TIntColumn::ReadDefinition(ColReader& reader) {
    TColumn::ReadDefinition(reader);
    Default = reader.readInteger();
    MinValue = reader.readInteger();
    MaxValue = reader.readInteger();
}

std::unique_ptr<TColumn> TIntColumn::Clone(TGridTable* table) const {
    auto c = std::make_unique<TIntColumn>(table);
    CopyCommonTo(*c);
    c->Default = Default;
    c->MinValue = MinValue;
    c->MaxValue = MaxValue;
    return c;
}

void TIntColumn::InsertStorage(int at, int count) {
    insertAt(m_values, at, count, Default);
}
void TIntColumn::DeleteStorage(int row) {
    m_values.erase(m_values.begin() + row);
}

// ---- float ----

QString TFloatColumn::HeaderLine(int i) const {
    QString line = TColumn::HeaderLine(i);
    if (i == HeaderLineCount() - 1 && !UnitCategory.isEmpty())
        line = QStringLiteral("%1 (%2)  ").arg(line, UnitLabel(UnitCategory, Table() ? Table()->Units() : 1));
    return line;
}

long double TFloatColumn::GetFloat(int row) const {
    CheckRow(row);
    return m_values[static_cast<size_t>(row)];
}

TFloatColumn* TFloatColumn::Neighbour(int offset) const {
    if (!Table()) return nullptr;
    const int i = Table()->IndexOf(this) + offset;
    return i >= 0 && i < Table()->ColumnCount() ? dynamic_cast<TFloatColumn*>(Table()->Column(i)) : nullptr;
}

void TFloatColumn::Store(int row, long double value) {
    m_values[static_cast<size_t>(row)] = value;
    Notify(row);
}

void TFloatColumn::SetFloat(int row, long double value) {
    auto [first, last] = TargetRows(row);
    for (int r = first; r <= last; ++r) Store(r, value);
    if (Grouped) return;
    if (TopDepth) {
        if (TFloatColumn* next = Neighbour(1); next && row - 1 >= 0 && row - 1 < next->StoredRows())
            next->Store(row - 1, value);
    } else if (TFloatColumn* prev = Neighbour(-1); prev && prev->TopDepth && row + 1 < prev->StoredRows()) {
        prev->Store(row + 1, value);
    }
}

QString TFloatColumn::GetText(int row) const {
    return generalText(GetFloat(row), 8);
}

void TFloatColumn::SetText(int row, const QString& text) {
    SetFloat(row, Evaluate(text));
}

int TFloatColumn::DisplayWidth(const QFontMetrics& metrics, int pixelsPerInch) const {
    return std::max(TColumn::DisplayWidth(metrics, pixelsPerInch), pixelsPerInch / 2);
}

void TFloatColumn::SetUnits(int units) {
    const long double factor = UnitFactor(Table() ? Table()->Units() : 1, units, UnitCategory);
    if (factor == 1) return;
    for (int r = 0; r < StoredRows(); ++r) Store(r, units::convert(m_values[static_cast<size_t>(r)], factor));
}

void TFloatColumn::WriteDefinition(ColWriter& writer) const {
    TColumn::WriteDefinition(writer);
    writer.writeBoolean(TopDepth);
    writer.writeString(QStringLiteral("FLOATCOLUMN2"));
    writer.writeString(UnitCategory);
    writer.writeExtended(Default);
}

void TFloatColumn::ReadDefinition(ColReader& reader) {
    TColumn::ReadDefinition(reader);
    TopDepth = reader.readBoolean();
    const QString tag = reader.readString();
    if (tag == QLatin1String("FLOATCOLUMN2")) {
        UnitCategory = reader.readString();
        Default = reader.readExtended();
    } else {
        UnitCategory = tag; // the older form: no default follows
        Default = 0;
    }
}

std::unique_ptr<TColumn> TFloatColumn::Clone(TGridTable* table) const {
    auto c = std::make_unique<TFloatColumn>(table);
    CopyCommonTo(*c);
    c->TopDepth = TopDepth;
    c->UnitCategory = UnitCategory;
    c->Default = Default;
    return c;
}

void TFloatColumn::InsertStorage(int at, int count) {
    for (int d = at; d < at + count; ++d) {
        long double value = Default;
        if (TopDepth) {
            TFloatColumn* next = Neighbour(1);
            if (!next) throw ETableError(tablemsg::kTopDepth);
            if (d >= 1 && d <= next->StoredRows() - 1) value = next->GetFloat(d - 1);
        } else if (TFloatColumn* prev = Neighbour(-1); prev && prev->TopDepth && d + 1 < prev->StoredRows()) {
            value = prev->GetFloat(d + 1);
        }
        m_values.insert(m_values.begin() + d, value);
    }
}

void TFloatColumn::DeleteStorage(int row) {
    if (TopDepth && row > 0 && row < StoredRows() - 1)
        if (TFloatColumn* next = Neighbour(1); next && row - 1 < next->StoredRows())
            m_values[static_cast<size_t>(row) + 1] = next->GetFloat(row - 1);
    m_values.erase(m_values.begin() + row);
}

// ---- nested tables ----

TGridTable* TTableColumn::GetTable(int row) const {
    CheckRow(row);
    return dynamic_cast<TGridTable*>(m_cells[static_cast<size_t>(row)].get());
}

TCellObject* TTableColumn::GetObject(int row) const {
    CheckRow(row);
    return m_cells[static_cast<size_t>(row)].get();
}

TGridTable* TTableColumn::ResolveTemplate(int index) const {
    if (!Table() || index < 0 || index >= static_cast<int>(Templates.size())) return nullptr;
    const TIntWrapper& w = Templates[static_cast<size_t>(index)];
    if (w.isIdentifier) return Table()->Registry().FindTableByIdentifier(w.value);
    return Table()->Registry().TableAt(w.value);
}

std::unique_ptr<TCellObject> TTableColumn::MakeCell(int row) {
    TGridTable* table = Table();
    if (!table) return nullptr;
    int choice = 1;
    if (table->ColumnCount() > 0)
        if (auto* e = dynamic_cast<TEnumColumn*>(table->Column(0)); e && row < e->StoredRows())
            choice = e->GetInteger(row);
    // A table cannot hold copies of itself or of a table that holds it: the copies would never end.
    // Beyond a few levels no definition means what it says, so nesting stops there as well.
    TGridTable* tmpl = ResolveTemplate(choice - 1);
    int depth = 0;
    for (const TGridTable* t = table; t && tmpl; t = t->OwnerTable(), ++depth)
        if (t == tmpl || depth >= kMaxNesting) tmpl = nullptr;
    if (tmpl) return TGridTable::CopyTable(table, row + 1, *tmpl);
    if (table->OnInitRow) {
        std::unique_ptr<TCellObject> object = table->OnInitRow(*table, row);
        if (table->OnSetRow) table->OnSetRow(*table, row, object.get());
        return object;
    }
    return nullptr;
}

void TTableColumn::RebuildCell(int row) {
    CheckRow(row);
    m_cells[static_cast<size_t>(row)] = MakeCell(row);
    const int e = row - m_topRow;
    if (e >= 0 && e < static_cast<int>(m_editors.size()))
        m_editors[static_cast<size_t>(e)]->setCaption(ButtonCaption(row));
}

void TTableColumn::AllocateEditors(EditorHost* host, int topRow, int count) {
    TEditorColumn::AllocateEditors(host, topRow, count);
    for (size_t e = 0; e < m_editors.size(); ++e)
        m_editors[e]->setCaption(ButtonCaption(topRow + static_cast<int>(e)));
}

QString TTableColumn::ButtonCaption(int row) const {
    QString caption;
    if (TGridTable* t = GetTable(row))
        caption = t->Caption;
    else if (Table() && Table()->OnGetButtonCaption)
        caption = Table()->OnGetButtonCaption(*Table(), row);
    return QStringLiteral("%1: %2").arg(row + 1).arg(caption);
}

void TTableColumn::ButtonClick(int row) {
    if (TGridTable* t = GetTable(row)) {
        if (Table() && Table()->Window() && Table()->Window()->isModal())
            t->ShowModalWindow();
        else
            t->ShowWindow();
    } else if (Table() && Table()->OnButtonClick) {
        Table()->OnButtonClick(*Table(), row);
    }
}

bool TTableColumn::IsChanged() const {
    for (int r = 0; r < StoredRows(); ++r) {
        if (TGridTable* t = GetTable(r)) {
            if (t->IsChanged()) return true;
        } else if (Table() && Table()->OnGetChanged && Table()->OnGetChanged(*Table(), r)) {
            return true;
        }
    }
    return false;
}

void TTableColumn::CloseWindows() {
    for (int r = 0; r < StoredRows(); ++r) {
        if (TGridTable* t = GetTable(r))
            t->CloseWindow();
        else if (Table() && Table()->OnHide)
            Table()->OnHide(*Table(), r);
    }
}

void TTableColumn::ResetChanged() {
    for (int r = 0; r < StoredRows(); ++r) {
        if (TGridTable* t = GetTable(r))
            t->ResetChanged();
        else if (Table() && Table()->OnResetChanged)
            Table()->OnResetChanged(*Table(), r);
    }
}

int TTableColumn::DisplayWidth(const QFontMetrics& metrics, int pixelsPerInch) const {
    return std::max(TColumn::DisplayWidth(metrics, pixelsPerInch), pixelsPerInch * 2);
}

void TTableColumn::SetUnits(int units) {
    for (int r = 0; r < StoredRows(); ++r) {
        if (TGridTable* t = GetTable(r))
            t->SetUnits(units);
        else if (Table() && Table()->OnSetUnits)
            Table()->OnSetUnits(*Table(), r, units);
    }
}

void TTableColumn::WriteDefinition(ColWriter& writer) const {
    TColumn::WriteDefinition(writer);
    writer.writeString(QStringLiteral("FLEXCOLUMN2"));
    writer.writeListBegin();
    for (size_t i = 0; i < Templates.size(); ++i) {
        TGridTable* t = ResolveTemplate(static_cast<int>(i));
        writer.writeInteger(t ? t->Identifier() : -1);
    }
    writer.writeListEnd();
}

void TTableColumn::ReadDefinition(ColReader& reader) {
    TColumn::ReadDefinition(reader);
    Templates.clear();
    if (reader.nextKind() == ColValue::String && reader.readString() == QLatin1String("FLEXCOLUMN2")) {
        reader.readListBegin();
        while (!reader.endOfList()) {
            const int v = reader.readInteger();
            Templates.push_back(v < 0 ? TIntWrapper{-1, false} : TIntWrapper{v, true});
        }
        reader.readListEnd();
        return;
    }
    // The older form: one registry position.
    const int b = reader.readInteger();
    TGridTable* table = Table();
    TEnumColumn* choices = nullptr;
    if (table && table->ColumnCount() > 0) choices = dynamic_cast<TEnumColumn*>(table->Column(0));
    if (!table || table->ColumnCount() == 0 || !choices) {
        Templates.push_back({b, false});
        return;
    }
    for (int i = 1; i <= choices->Items().size(); ++i)
        Templates.push_back(table->HardwiredButton ? TIntWrapper{b, false} : TIntWrapper{i, true});
}

std::unique_ptr<TColumn> TTableColumn::Clone(TGridTable* table) const {
    auto c = std::make_unique<TTableColumn>(table);
    CopyCommonTo(*c);
    for (size_t i = 0; i < Templates.size(); ++i) {
        TGridTable* t = ResolveTemplate(static_cast<int>(i));
        c->Templates.push_back({t ? Table()->Registry().indexOf(t) : -1, false});
    }
    return c;
}

void TTableColumn::InsertStorage(int at, int count) {
    for (int d = at; d < at + count; ++d) m_cells.insert(m_cells.begin() + d, MakeCell(d));
}

void TTableColumn::DeleteStorage(int row) {
    m_cells.erase(m_cells.begin() + row);
}

void TTableColumn::AfterRowsMoved(int from) {
    for (int r = from; r < StoredRows(); ++r) {
        TCellObject* cell = m_cells[static_cast<size_t>(r)].get();
        if (auto* t = dynamic_cast<TGridTable*>(cell))
            t->SetNumber(r + 1);
        else if (cell && Table() && Table()->OnSetRow)
            Table()->OnSetRow(*Table(), r, cell);
    }
}

// ---- text ----

QString TStringColumn::GetText(int row) const {
    CheckRow(row);
    return m_values[static_cast<size_t>(row)];
}

void TStringColumn::SetText(int row, const QString& text) {
    auto [first, last] = TargetRows(row);
    for (int r = first; r <= last; ++r) {
        m_values[static_cast<size_t>(r)] = text;
        Notify(r);
    }
}

int TStringColumn::DisplayWidth(const QFontMetrics& metrics, int pixelsPerInch) const {
    return std::max(TColumn::DisplayWidth(metrics, pixelsPerInch),
                    static_cast<int>(MinWidth * static_cast<long double>(pixelsPerInch)));
}

void TStringColumn::WriteDefinition(ColWriter& writer) const {
    TColumn::WriteDefinition(writer);
    writer.writeString(DefaultText);
    writer.writeExtended(MinWidth);
}

void TStringColumn::ReadDefinition(ColReader& reader) {
    TColumn::ReadDefinition(reader);
    DefaultText = reader.readString();
    MinWidth = reader.readExtended();
}

std::unique_ptr<TColumn> TStringColumn::Clone(TGridTable* table) const {
    auto c = std::make_unique<TStringColumn>(table);
    CopyCommonTo(*c);
    c->DefaultText = DefaultText;
    c->MinWidth = MinWidth;
    return c;
}

void TStringColumn::InsertStorage(int at, int count) {
    insertAt(m_values, at, count, DefaultText);
}
void TStringColumn::DeleteStorage(int row) {
    m_values.erase(m_values.begin() + row);
}
