#pragma once
// The boundary-line window: the table window with a live preview of the table's geometry above
// the grid, and numbers taken from a text file or from text on the clipboard.
#include "TableFormController.h"

#include <QWidget>

class QChart;
class QChartView;
class QLineEdit;
class QLineSeries;
class QValueAxis;
class TGridTableChart;

namespace chartformmsg {
inline const QString kFileName = QStringLiteral("File Name:");
inline const QString kBrowse = QStringLiteral("Browse");
inline const QString kViewEdit = QStringLiteral("View/Edit File");
inline const QString kRead = QStringLiteral("Read values from File");
inline const QString kClipboard = QStringLiteral("Paste values from  Clipboard (text)");
inline const QString kOK = QStringLiteral("OK");
inline const QString kCancel = QStringLiteral("Cancel");
} // namespace chartformmsg

// The segment preview: one line per row with its number.
class SegmentArea : public QWidget {
public:
    explicit SegmentArea(const TGridTableChart*& table, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const TGridTableChart*& m_table;
};

class TTableChartForm : public TTableForm {
    Q_OBJECT
public:
    TTableChartForm(TGridTableChart& table, TableWindowServices services, bool modal,
                    QWidget* parent = nullptr);
    ~TTableChartForm() override;

    // Redraws whichever preview is shown, from the stored values.
    void redrawPreview();
    void pasteClick();
    void readFileClick();
    void browseClick();
    void viewEditClick();

    QChartView* chartView() const { return m_chartView; }
    QChart* chart() const { return m_chart; }
    QLineSeries* series(int i) const { return i == 0 ? m_series1 : m_series2; }
    QValueAxis* axisX() const { return m_axisX; }
    QValueAxis* axisY() const { return m_axisY; }
    SegmentArea* segmentArea() const { return m_segments; }
    QLineEdit* fileNameEdit() const { return m_fileName; }
    QPushButton* button(const QString& objectName) const;
    void closeWindow() override;

protected:
    int heightAboveGrid() const override;
    int placeBelowButtons(int y) override;
    int widthOfExtras() const override;
    int maxVisibleRows() const override;
    void afterRefresh() override;
    void afterCommit() override { redrawPreview(); }
    void gridKey(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool chartShown() const;
    bool segmentsShown() const;
    void importLines(const QStringList& lines);
    void updateFileButtons();
    void drawLineChart();

    TGridTableChart& m_chartTable;
    const TGridTableChart* m_shown; // null once the table went away
    QChart* m_chart;
    QChartView* m_chartView;
    QLineSeries* m_series1;
    QLineSeries* m_series2;
    QValueAxis* m_axisX;
    QValueAxis* m_axisY;
    SegmentArea* m_segments;
    QPushButton* m_ok;
    QPushButton* m_cancel;
    QWidget* m_fileLabel;
    QLineEdit* m_fileName;
    QPushButton* m_browse;
    QPushButton* m_viewEdit;
    QPushButton* m_read;
    QPushButton* m_clip;
};
