#pragma once
#include "Table.h"

// The column kinds; the value is the kind code of the column definition stream.
enum class ColumnKind : int { Enumeration = 0, Integer = 1, Float = 2, Table = 3, Text = 4 };

class TColumn {
public:
    explicit TColumn(TGridTable* table) : m_table(table) {}
    virtual ~TColumn();
    TColumn(const TColumn&) = delete;
    TColumn& operator=(const TColumn&) = delete;

    virtual ColumnKind Kind() const = 0;
    int KindCode() const { return static_cast<int>(Kind()); }

    std::vector<std::unique_ptr<TData>> Cells;
    QStringList Headers;
    bool Grouped = false;
    bool Visible = true;

    TGridTable* Table() const { return m_table; }
    int StoredRows() const { return static_cast<int>(Cells.size()); }

    // Inserts `count` rows (one row group) at `at`; the kind's storage first.
    void InsertRows(int at, int count);
    void DeleteRow(int row);
    int HeaderLineCount() const { return static_cast<int>(Headers.size()); }
    virtual QString HeaderLine(int i) const;

    virtual TGridTable* GetTable(int row) const;
    virtual long double GetFloat(int row) const;
    virtual void SetFloat(int row, long double value);
    virtual int32_t GetInteger(int row) const;
    virtual void SetInteger(int row, int32_t value);
    virtual TCellObject* GetObject(int row) const;
    virtual QString GetText(int row) const;
    virtual void SetText(int row, const QString& text);
    virtual bool IsChanged() const { return false; }
    virtual bool HasEditors() const { return false; }
    virtual CellEditor* Editor(int) const { return nullptr; }
    int RowGroup() const { return m_table ? m_table->RowGroup() : 1; }
    virtual void CloseWindows() {}
    virtual void ResetChanged() {}
    // Width in pixels the column needs, given the font and the screen's pixels per inch.
    virtual int DisplayWidth(const QFontMetrics& metrics, int pixelsPerInch) const;
    virtual void SetUnits(int) {}
    virtual void WriteDefinition(ColWriter& writer) const;
    virtual void ReadDefinition(ColReader& reader);
    virtual bool UsesEditors() const { return false; }
    virtual std::unique_ptr<TColumn> Clone(TGridTable* table) const = 0;
    virtual void AllocateEditors(EditorHost*, int, int) {}
    virtual void ReleaseEditors() {}

protected:
    virtual void InsertStorage(int at, int count) = 0;
    virtual void DeleteStorage(int row) = 0;
    virtual void AfterRowsMoved(int) {}
    void CopyCommonTo(TColumn& other) const;
    void Notify(int row);
    // Rows a value written to `row` goes to: the row, or its whole group when Grouped.
    std::pair<int, int> TargetRows(int row) const;
    void CheckRow(int row) const;
    [[noreturn]] static void WrongType();

private:
    TGridTable* m_table;
};

// Shared by the two kinds whose cells are edited through controls.
class TEditorColumn : public TColumn {
public:
    using TColumn::TColumn;
    bool HasEditors() const override { return !m_editors.empty(); }
    CellEditor* Editor(int i) const override;
    bool UsesEditors() const override { return true; }
    void AllocateEditors(EditorHost* host, int topRow, int count) override;
    void ReleaseEditors() override;
    int EditorTopRow() const { return m_topRow; }

protected:
    virtual const QString& ParentAllocatedMessage() const { return tablemsg::kParentAllocated; }
    EditorHost* m_host = nullptr;
    int m_topRow = 0;
    std::vector<std::unique_ptr<CellEditor>> m_editors;
};

class TEnumColumn : public TEditorColumn {
public:
    using TEditorColumn::TEditorColumn;
    ColumnKind Kind() const override { return ColumnKind::Enumeration; }
    QStringList Items() const { return m_items; }
    void SetItems(const QStringList& items);
    int32_t GetInteger(int row) const override;
    void SetInteger(int row, int32_t value) override;
    QString GetText(int row) const override;
    void SetText(int row, const QString& text) override;
    int DisplayWidth(const QFontMetrics& metrics, int pixelsPerInch) const override;
    void WriteDefinition(ColWriter& writer) const override;
    void ReadDefinition(ColReader& reader) override;
    std::unique_ptr<TColumn> Clone(TGridTable* table) const override;
    void AllocateEditors(EditorHost* host, int topRow, int count) override;

protected:
    const QString& ParentAllocatedMessage() const override { return tablemsg::kEnumParentAllocated; }
    void InsertStorage(int at, int count) override;
    void DeleteStorage(int row) override;

private:
    QStringList m_items;
    std::vector<int32_t> m_values;
};

class TIntColumn : public TColumn {
public:
    using TColumn::TColumn;
    ColumnKind Kind() const override { return ColumnKind::Integer; }
    int32_t Default = 0;
    int32_t MinValue = INT32_MIN;
    int32_t MaxValue = INT32_MAX;
    int32_t GetInteger(int row) const override;
    void SetInteger(int row, int32_t value) override;
    QString GetText(int row) const override;
    void SetText(int row, const QString& text) override;
    int DisplayWidth(const QFontMetrics& metrics, int pixelsPerInch) const override;
    void WriteDefinition(ColWriter& writer) const override;
    void ReadDefinition(ColReader& reader) override;
    std::unique_ptr<TColumn> Clone(TGridTable* table) const override;

protected:
    void InsertStorage(int at, int count) override;
    void DeleteStorage(int row) override;

private:
    std::vector<int32_t> m_values;
};

class TFloatColumn : public TColumn {
public:
    using TColumn::TColumn;
    ColumnKind Kind() const override { return ColumnKind::Float; }
    bool TopDepth = false;
    QString UnitCategory;
    long double Default = 0;
    QString HeaderLine(int i) const override;
    long double GetFloat(int row) const override;
    void SetFloat(int row, long double value) override;
    QString GetText(int row) const override;
    void SetText(int row, const QString& text) override;
    int DisplayWidth(const QFontMetrics& metrics, int pixelsPerInch) const override;
    void SetUnits(int units) override;
    void WriteDefinition(ColWriter& writer) const override;
    void ReadDefinition(ColReader& reader) override;
    std::unique_ptr<TColumn> Clone(TGridTable* table) const override;

protected:
    void InsertStorage(int at, int count) override;
    void DeleteStorage(int row) override;

private:
    TFloatColumn* Neighbour(int offset) const;
    void Store(int row, long double value);
    std::vector<long double> m_values;
};

class TTableColumn : public TEditorColumn {
public:
    using TEditorColumn::TEditorColumn;
    static constexpr int kMaxNesting = 4;
    ColumnKind Kind() const override { return ColumnKind::Table; }
    TGridTableList Templates;
    TGridTable* GetTable(int row) const override;
    TCellObject* GetObject(int row) const override;
    bool IsChanged() const override;
    void CloseWindows() override;
    void ResetChanged() override;
    int DisplayWidth(const QFontMetrics& metrics, int pixelsPerInch) const override;
    void SetUnits(int units) override;
    void WriteDefinition(ColWriter& writer) const override;
    void ReadDefinition(ColReader& reader) override;
    std::unique_ptr<TColumn> Clone(TGridTable* table) const override;
    // Replaces the row's cell by a fresh one for the row's current choice.
    void RebuildCell(int row);
    QString ButtonCaption(int row) const;
    void ButtonClick(int row);
    void AllocateEditors(EditorHost* host, int topRow, int count) override;
    TGridTable* ResolveTemplate(int index) const;

protected:
    void InsertStorage(int at, int count) override;
    void DeleteStorage(int row) override;
    void AfterRowsMoved(int from) override;

private:
    std::unique_ptr<TCellObject> MakeCell(int row);
    std::vector<std::unique_ptr<TCellObject>> m_cells;
};

class TStringColumn : public TColumn {
public:
    using TColumn::TColumn;
    ColumnKind Kind() const override { return ColumnKind::Text; }
    QString DefaultText;
    long double MinWidth = 0; // inches
    QString GetText(int row) const override;
    void SetText(int row, const QString& text) override;
    int DisplayWidth(const QFontMetrics& metrics, int pixelsPerInch) const override;
    void WriteDefinition(ColWriter& writer) const override;
    void ReadDefinition(ColReader& reader) override;
    std::unique_ptr<TColumn> Clone(TGridTable* table) const override;

protected:
    void InsertStorage(int at, int count) override;
    void DeleteStorage(int row) override;

private:
    std::vector<QString> m_values;
};
