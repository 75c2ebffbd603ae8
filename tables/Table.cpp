#include "Table.h"

#include "ColStream.h"
#include "ColumnTypes.h"
#include "base/Errors.h"

#include <algorithm>

namespace {

const ColumnKindRegistry& gridKinds() {
    static const ColumnKindRegistry kinds = ColumnKindRegistry::withStandardKinds();
    return kinds;
}

const ColumnKindRegistry& chartKinds() {
    static const ColumnKindRegistry kinds = ColumnKindRegistry::withStandardKinds();
    return kinds;
}

} // namespace

// ---- registries ----

TGridTable* TableRegistry::FindTableByIdentifier(int identifier) const {
    for (TGridTable* t : m_live)
        if (t->Identifier() == identifier) return t;
    return nullptr;
}

TGridTable* TableRegistry::TableAt(int index) const {
    return index >= 0 && index < count() ? m_live[static_cast<size_t>(index)] : nullptr;
}

int TableRegistry::indexOf(const TGridTable* table) const {
    auto it = std::find(m_live.begin(), m_live.end(), table);
    return it == m_live.end() ? -1 : static_cast<int>(it - m_live.begin());
}

void ColumnKindRegistry::registerKind(int code, Factory factory) {
    unregisterKind(code);
    m_kinds.emplace_back(code, std::move(factory));
}

void ColumnKindRegistry::unregisterKind(int code) {
    std::erase_if(m_kinds, [code](const auto& k) { return k.first == code; });
}

bool ColumnKindRegistry::has(int code) const {
    return std::any_of(m_kinds.begin(), m_kinds.end(), [code](const auto& k) { return k.first == code; });
}

std::unique_ptr<TColumn> ColumnKindRegistry::create(int code, TGridTable* table) const {
    for (const auto& k : m_kinds)
        if (k.first == code) return k.second(table);
    throw ETableError(colmsg::kClassNotDefined);
}

void ColumnKindRegistry::finalize() {
    for (int code = 0; code <= 4; ++code) unregisterKind(code);
    if (!m_kinds.empty()) throw ETableError(tablemsg::kTypeListNotEmpty);
}

ColumnKindRegistry ColumnKindRegistry::withStandardKinds() {
    ColumnKindRegistry r;
    r.registerKind(0, [](TGridTable* t) { return std::make_unique<TEnumColumn>(t); });
    r.registerKind(1, [](TGridTable* t) { return std::make_unique<TIntColumn>(t); });
    r.registerKind(2, [](TGridTable* t) { return std::make_unique<TFloatColumn>(t); });
    r.registerKind(3, [](TGridTable* t) { return std::make_unique<TTableColumn>(t); });
    r.registerKind(4, [](TGridTable* t) { return std::make_unique<TStringColumn>(t); });
    return r;
}

// ---- the table ----

TGridTable::TGridTable(TableRegistry& registry, TGridTable* ownerTable)
    : m_registry(registry), m_ownerTable(ownerTable) {
    m_identifier = registry.m_counter++;
    registry.m_live.push_back(this);
    if (ownerTable) m_units = ownerTable->Units();
}

TGridTable::~TGridTable() {
    if (m_window) {
        TableWindow* w = m_window;
        m_window = nullptr;
        w->closeWindow();
    }
    for (auto& c : m_columns) c->ReleaseEditors();
    m_rowCount = 0;
    for (auto& c : m_columns)
        while (c->StoredRows() > 0) c->DeleteRow(c->StoredRows() - 1);
    m_columns.clear();
    std::erase(m_registry.m_live, this);
}

std::unique_ptr<TGridTable> TGridTable::NewSibling(TGridTable* owner) const {
    return std::make_unique<TGridTable>(m_registry, owner);
}

std::unique_ptr<TGridTable> TGridTable::CopyTable(TGridTable* owner, int number, const TGridTable& tmpl) {
    std::unique_ptr<TGridTable> t = tmpl.NewSibling(owner);
    t->Caption = tmpl.Caption;
    t->Comments = tmpl.Comments;
    t->TopLeft = tmpl.TopLeft;
    t->m_helpPicture = tmpl.m_helpPicture;
    t->m_minRows = tmpl.m_minRows;
    t->MaxRows = tmpl.MaxRows;
    for (const auto& c : tmpl.m_columns) t->m_columns.push_back(c->Clone(t.get()));
    t->m_number = number;
    t->SetRowCount(t->m_minRows);
    t->Refresh();
    return t;
}

void TGridTable::SetIdentifier(int value) {
    if (value < 0) return;
    for (TGridTable* other : m_registry.m_live)
        if (other != this && other->m_identifier == value) other->m_identifier = m_identifier;
    m_identifier = value;
}

void TGridTable::SetMinRows(int value, bool loading) {
    if (value <= 0) {
        if (!loading) throw ETableError(tablemsg::kMinRows);
        value = 1;
    }
    m_minRows = value;
}

void TGridTable::SetHelpPicture(const QImage& picture) {
    m_helpPicture = picture;
    Refresh();
}

void TGridTable::SetRowCount(int n) {
    if (n < 0) n = 0;
    m_rowCount = n;
    for (auto& c : m_columns) {
        while (c->StoredRows() > n) c->DeleteRow(c->StoredRows() - 1);
        while (c->StoredRows() < n) c->InsertRows(c->StoredRows(), m_rowGroup);
    }
}

void TGridTable::SetUnits(int units) {
    if (units == m_units) return;
    for (auto& c : m_columns) c->SetUnits(units);
    m_units = units;
    Refresh();
}

void TGridTable::SetNumber(int number) {
    m_number = number;
    if (m_window) m_window->titleChanged();
}

TColumn* TGridTable::Column(int i) const {
    if (i < 0 || i >= ColumnCount()) throw ETableError(tablemsg::kIndexOutOfBounds);
    return m_columns[static_cast<size_t>(i)].get();
}

int TGridTable::VisibleColumnCount() const {
    return static_cast<int>(
        std::count_if(m_columns.begin(), m_columns.end(), [](auto& c) { return c->Visible; }));
}

TColumn* TGridTable::VisibleColumn(int i) const {
    for (const auto& c : m_columns)
        if (c->Visible && i-- == 0) return c.get();
    throw ETableError(tablemsg::kIndexOutOfBounds);
}

int TGridTable::VisibleIndexOf(const TColumn* column) const {
    int index = 0;
    for (const auto& c : m_columns) {
        if (c.get() == column) return c->Visible ? index : -1;
        if (c->Visible) ++index;
    }
    return -1;
}

int TGridTable::IndexOf(const TColumn* column) const {
    for (size_t i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].get() == column) return static_cast<int>(i);
    return -1;
}

TData& TGridTable::Cell(int column, int row) const {
    if (!IsValidCell(column, row)) throw ETableError(tablemsg::kIndexOutOfBounds);
    return *m_columns[static_cast<size_t>(column)]->Cells[static_cast<size_t>(row)];
}

bool TGridTable::IsValidCell(int column, int row) const {
    return column >= 0 && column < ColumnCount() && row >= 0 && row < m_rowCount &&
           row < m_columns[static_cast<size_t>(column)]->StoredRows();
}

void TGridTable::AddColumn(std::unique_ptr<TColumn> column) {
    TColumn* c = column.get();
    m_columns.push_back(std::move(column));
    while (c->StoredRows() < m_rowCount) c->InsertRows(c->StoredRows(), m_rowGroup);
}

void TGridTable::AddRowGroup() {
    m_rowCount += m_rowGroup;
    for (auto& c : m_columns) c->InsertRows(c->StoredRows(), m_rowGroup);
    Refresh();
}

void TGridTable::InsertRowGroup(int row) {
    if (row < 0) row = 0;
    const int at = std::min(m_rowGroup * (row / m_rowGroup), m_rowCount);
    m_rowCount += m_rowGroup;
    for (auto& c : m_columns) c->InsertRows(std::min(at, c->StoredRows()), m_rowGroup);
    Refresh();
}

void TGridTable::DeleteRowGroup(int row) {
    if (row < 0 || row >= m_rowCount) throw ETableError(tablemsg::kIndexOutOfBounds);
    const int first = m_rowGroup * (row / m_rowGroup);
    const int count = std::min(m_rowGroup, m_rowCount - first);
    m_rowCount -= count;
    for (auto& c : m_columns)
        for (int k = 0; k < count && first < c->StoredRows(); ++k) c->DeleteRow(first);
    Refresh();
}

bool TGridTable::IsChanged() const {
    return m_changed ||
           std::any_of(m_columns.begin(), m_columns.end(), [](auto& c) { return c->IsChanged(); });
}

void TGridTable::SetChanged(bool changed) {
    if (changed)
        m_changed = true;
    else
        ResetChanged();
}

void TGridTable::ResetChanged() {
    m_changed = false;
    for (auto& c : m_columns) c->ResetChanged();
}

QString TGridTable::CaptionPrefix() const {
    QString prefix = m_ownerTable ? m_ownerTable->CaptionPrefix() : QString();
    if (m_number != 0) prefix += ' ' + QString::number(m_number);
    return prefix;
}

void TGridTable::WriteDefinition(ColWriter& writer) const {
    writer.writeInteger(ColumnCount());
    for (const auto& c : m_columns) {
        writer.writeInteger(c->KindCode());
        c->WriteDefinition(writer);
    }
    WriteExtra(writer);
}

void TGridTable::ReadDefinition(ColReader& reader) {
    int n = 0;
    try {
        n = reader.readInteger();
    } catch (const EDiziOvi&) {
        throw ETableError(colmsg::kColumnCount);
    }
    for (int k = 0; k < n; ++k) {
        try {
            const int code = reader.readInteger();
            if (!ColumnKinds().has(code)) throw ETableError(colmsg::kClassNotDefined);
            std::unique_ptr<TColumn> column = ColumnKinds().create(code, this);
            column->ReadDefinition(reader);
            AddColumn(std::move(column));
            FitTemplateLists();
        } catch (const EDiziOvi& e) {
            throw ETableError(colmsg::creatingColumn(k, e.message()));
        }
    }
    Refresh();
    ReadExtra(reader);
}

void TGridTable::ShowWindow() {
    if (TableWindowProvider* provider = m_registry.WindowProvider()) provider->show(*this, false);
}

void TGridTable::ShowModalWindow() {
    if (TableWindowProvider* provider = m_registry.WindowProvider()) provider->show(*this, true);
}

void TGridTable::CloseWindow() {
    if (m_window) {
        // The editors go with the window: a window opened later must find none left over.
        TableWindow* w = m_window;
        DetachWindow();
        w->closeWindow();
    }
    for (auto& c : m_columns) c->CloseWindows();
}

void TGridTable::AttachWindow(TableWindow* window) {
    m_window = window;
}

void TGridTable::DetachWindow() {
    m_window = nullptr;
    for (auto& c : m_columns) c->ReleaseEditors();
}

const ColumnKindRegistry& TGridTable::ColumnKinds() const {
    return gridKinds();
}

void TGridTable::NotifyCellChanged(TColumn* column, int row) {
    if (!m_columns.empty() && column == m_columns.front().get() &&
        column->Kind() == ColumnKind::Enumeration) {
        for (auto& c : m_columns)
            if (auto* tc = dynamic_cast<TTableColumn*>(c.get())) {
                tc->RebuildCell(row);
                break;
            }
    }
    if (m_window) m_window->cellChanged(IndexOf(column), row);
}

void TGridTable::Refresh() {
    if (m_window) m_window->refresh();
}

void TGridTable::FitTemplateLists() {
    size_t n = 1;
    if (!m_columns.empty())
        if (auto* e = dynamic_cast<TEnumColumn*>(m_columns.front().get()))
            n = static_cast<size_t>(e->Items().size());
    for (auto& c : m_columns)
        if (auto* tc = dynamic_cast<TTableColumn*>(c.get())) tc->Templates.resize(n);
}

// ---- chart variant ----

const ColumnKindRegistry& TGridTableChart::ColumnKinds() const {
    return chartKinds();
}

std::unique_ptr<TGridTable> TGridTableChart::NewSibling(TGridTable* owner) const {
    return std::make_unique<TGridTableChart>(Registry(), owner);
}

void TGridTableChart::ReadExtra(ColReader& reader) {
    try {
        ShowGraph = reader.readBoolean();
        DrawSegments = reader.readBoolean();
        XColumn = reader.readInteger();
        YColumn = reader.readInteger();
        X2Column = reader.readInteger();
        Y2Column = reader.readInteger();
    } catch (const EDiziOvi&) {
        throw ETableError(colmsg::kGraphicParameters);
    }
}

void TGridTableChart::WriteExtra(ColWriter& writer) const {
    writer.writeBoolean(ShowGraph);
    writer.writeBoolean(DrawSegments);
    writer.writeInteger(XColumn);
    writer.writeInteger(YColumn);
    writer.writeInteger(X2Column);
    writer.writeInteger(Y2Column);
}

// ---- accessor ----

void TData::SetFloat(long double x) {
    m_column->SetFloat(m_row, x);
}
void TData::SetInteger(int32_t n) {
    m_column->SetInteger(m_row, n);
}
long double TData::GetFloat() const {
    return m_column->GetFloat(m_row);
}
int32_t TData::GetInteger() const {
    return m_column->GetInteger(m_row);
}
QString TData::Text() const {
    return m_column->GetText(m_row);
}
void TData::SetText(const QString& text) {
    m_column->SetText(m_row, text);
}
TGridTable* TData::Table() const {
    return m_column->GetTable(m_row);
}
