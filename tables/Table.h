#pragma once
// Typed data tables: a table holds rows of typed columns; a cell of a table column holds a whole
// nested table copied from a template. The window that edits a table is reached only through the
// TableWindow and EditorHost interfaces, so everything here works without widgets.
#include <QImage>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class ColReader;
class QObject;
class ColWriter;
class QFontMetrics;
class TColumn;
class TData;
class TGridTable;
class TableWindow;
class TableWindowProvider;
class EditorHost;
class CellEditor;

namespace tablemsg {
inline const QString kWrongType = QStringLiteral("Data of wrong type");
inline const QString kMinRows = QStringLiteral("Value must be greater than 0");
inline const QString kIndexOutOfBounds = QStringLiteral("Index out of bounds");
inline const QString kTypeListNotEmpty = QStringLiteral("Column Type list not empty");
inline const QString kMustBeInteger = QStringLiteral("Entry must be an integer.");
inline QString between(int32_t lo, int32_t hi) {
    return QStringLiteral("Entry must be between %1 and %2.").arg(lo).arg(hi);
}
inline const QString kValueInteger = QStringLiteral("Value must be an integer.");
inline const QString kTopDepth =
    QStringLiteral("If column if a topdepth then the next column must be a float column");
inline const QString kParentAllocated =
    QStringLiteral("Attempt to change parent with controls already allocated");
inline const QString kEnumParentAllocated =
    QStringLiteral("Error attempt to change parent with controls already allocated");
inline const QString kNullParent = QStringLiteral("null parent");
inline const QString kComboRow = QStringLiteral("Unexpected row for combobox");
} // namespace tablemsg

// Anything a table-column cell can hold: a nested table or an application object.
class TCellObject {
public:
    virtual ~TCellObject() = default;
};

// The live tables of one family, the counter that hands out their identifiers, and the user
// interface's way of showing their windows (none: tables without windows, as in the core's tools).
class TableRegistry {
public:
    void SetWindowProvider(TableWindowProvider* provider) { m_provider = provider; }
    TableWindowProvider* WindowProvider() const { return m_provider; }
    TGridTable* FindTableByIdentifier(int identifier) const;
    TGridTable* TableAt(int index) const;
    int count() const { return static_cast<int>(m_live.size()); }
    int indexOf(const TGridTable* table) const;

private:
    friend class TGridTable;
    std::vector<TGridTable*> m_live;
    int m_counter = 0;
    TableWindowProvider* m_provider = nullptr;
};

// The column kinds a family knows, by stream kind code.
class ColumnKindRegistry {
public:
    using Factory = std::function<std::unique_ptr<TColumn>(TGridTable*)>;
    void registerKind(int code, Factory factory);
    void unregisterKind(int code);
    bool has(int code) const;
    std::unique_ptr<TColumn> create(int code, TGridTable* table) const;
    // Unregisters the five standard kinds; anything left over is a fault.
    void finalize();
    static ColumnKindRegistry withStandardKinds();

private:
    std::vector<std::pair<int, Factory>> m_kinds;
};

// What the editing window offers the table it shows.
class TableWindow {
public:
    virtual ~TableWindow() = default;
    virtual void refresh() = 0;
    virtual void cellChanged(int column, int row) = 0;
    virtual void titleChanged() = 0;
    virtual bool isModal() const = 0;
    virtual void closeWindow() = 0; // the table closes or goes away
};

// Shows tables in windows; installed by the user interface.
class TableWindowProvider {
public:
    virtual ~TableWindowProvider() = default;
    virtual void show(TGridTable& table, bool modal) = 0;
};

// A control that edits one cell (drop-down list or push button).
class CellEditor {
public:
    virtual ~CellEditor() = default;
    virtual void setItemIndex(int) {}
    virtual void setCaption(const QString&) {}
};

// Hosts cell editors while a window is open.
class EditorHost {
public:
    virtual ~EditorHost() = default;
    virtual std::unique_ptr<CellEditor> createEditor(TColumn& column, int row) = 0;
};

// Templates of a table column: each entry is an identifier or a registry position (-1 = none).
struct TIntWrapper {
    int value = -1;
    bool isIdentifier = false;
};
using TGridTableList = std::vector<TIntWrapper>;

class TGridTable : public TCellObject {
public:
    explicit TGridTable(TableRegistry& registry, TGridTable* ownerTable = nullptr);
    ~TGridTable() override;
    TGridTable(const TGridTable&) = delete;
    TGridTable& operator=(const TGridTable&) = delete;

    // A new table owned by `owner`, laid out like `tmpl`, numbered `number`, with MinRows rows.
    static std::unique_ptr<TGridTable> CopyTable(TGridTable* owner, int number, const TGridTable& tmpl);

    // Published properties.
    QString Comments;
    QString Caption;
    QString TopLeft;
    int MaxRows = 0;
    bool HardwiredButton = false;
    // The widget the editing window is embedded in instead of being a window of its own (none: a
    // window). A QObject here so the tables need no widgets; the window casts it.
    QObject* FormParent = nullptr;
    int Identifier() const { return m_identifier; }
    void SetIdentifier(int value);
    int MinRows() const { return m_minRows; }
    void SetMinRows(int value, bool loading = false);
    int RowGroup() const { return m_rowGroup; }
    void SetRowGroup(int value) { m_rowGroup = value < 1 ? 1 : value; }
    const QImage& HelpPicture() const { return m_helpPicture; }
    void SetHelpPicture(const QImage& picture);

    // Hooks for cells that hold application objects instead of nested tables.
    std::function<void(TGridTable&, int row)> OnButtonClick;
    std::function<QString(TGridTable&, int row)> OnGetButtonCaption;
    std::function<bool(TGridTable&, int row)> OnGetChanged;
    std::function<void(TGridTable&, int row)> OnHide;
    std::function<std::unique_ptr<TCellObject>(TGridTable&, int row)> OnInitRow;
    std::function<void(TGridTable&, int row)> OnResetChanged;
    std::function<void(TGridTable&, int row, TCellObject*)> OnSetRow;
    std::function<void(TGridTable&, int row, int units)> OnSetUnits;

    int RowCount() const { return m_rowCount; }
    void SetRowCount(int n);
    int Units() const { return m_units; }
    void SetUnits(int units);
    int Number() const { return m_number; }
    void SetNumber(int number);

    int ColumnCount() const { return static_cast<int>(m_columns.size()); }
    TColumn* Column(int i) const;
    int VisibleColumnCount() const;
    TColumn* VisibleColumn(int i) const;
    int VisibleIndexOf(const TColumn* column) const;
    int IndexOf(const TColumn* column) const;
    TData& Cell(int column, int row) const;
    bool IsValidCell(int column, int row) const;
    void AddColumn(std::unique_ptr<TColumn> column);

    void AddRowGroup();
    void InsertRowGroup(int row);
    void DeleteRowGroup(int row);

    bool IsChanged() const;
    void SetChanged(bool changed);
    void ResetChanged();

    QString CaptionPrefix() const;
    QString WindowTitle() const { return Caption + ' ' + CaptionPrefix(); }

    // Column definitions in the "Col" stream.
    void WriteDefinition(ColWriter& writer) const;
    void ReadDefinition(ColReader& reader);

    // The editing window.
    void ShowWindow();
    void ShowModalWindow();
    void CloseWindow();
    void AttachWindow(TableWindow* window);
    void DetachWindow();
    TableWindow* Window() const { return m_window; }
    bool HasWindow() const { return m_window != nullptr; }

    TGridTable* OwnerTable() const { return m_ownerTable; }
    TableRegistry& Registry() const { return m_registry; }
    virtual const ColumnKindRegistry& ColumnKinds() const;

    // Called by columns.
    void NotifyCellChanged(TColumn* column, int row);
    void Refresh();
    // Pads or cuts every table column's templates to the choices of column 0.
    void FitTemplateLists();

protected:
    virtual std::unique_ptr<TGridTable> NewSibling(TGridTable* owner) const;
    virtual void ReadExtra(ColReader&) {}
    virtual void WriteExtra(ColWriter&) const {}

private:
    TableRegistry& m_registry;
    TGridTable* m_ownerTable;
    std::vector<std::unique_ptr<TColumn>> m_columns;
    int m_identifier = 0;
    int m_minRows = 1;
    int m_rowGroup = 1;
    int m_rowCount = 0;
    int m_units = 1;
    int m_number = 0;
    bool m_changed = false;
    QImage m_helpPicture;
    TableWindow* m_window = nullptr;
};

// The boundary-line variant: the same table with its own registries, import and preview settings.
class TGridTableChart : public TGridTable {
public:
    explicit TGridTableChart(TableRegistry& registry, TGridTable* ownerTable = nullptr)
        : TGridTable(registry, ownerTable) {}

    bool GetDataFromFile = false;
    bool OKCancelButtons = false;
    bool InvertedXAxis = false;
    bool InvertedYAxis = false;
    bool ShowGraph = false;
    bool DrawSegments = false;
    int XColumn = 0;
    int YColumn = 0;
    int X2Column = 0;
    int Y2Column = 0;

    const ColumnKindRegistry& ColumnKinds() const override;

protected:
    std::unique_ptr<TGridTable> NewSibling(TGridTable* owner) const override;
    void ReadExtra(ColReader& reader) override;
    void WriteExtra(ColWriter& writer) const override;
};

// Cell accessor; its row follows insertions and deletions of other rows.
class TData {
public:
    TData(TColumn* column, int row) : m_column(column), m_row(row) {}
    int Row() const { return m_row; }
    TColumn* Column() const { return m_column; }
    void SetFloat(long double x);
    void SetInteger(int32_t n);
    long double GetFloat() const;
    int32_t GetInteger() const;
    QString Text() const;
    void SetText(const QString& text);
    TGridTable* Table() const;

private:
    friend class TColumn;
    TColumn* m_column;
    int m_row;
};
