#pragma once
// The Slope Boundary dialog: how many boundary lines form the ground surface, the button to the
// boundary-line table, and a preview of the lines the user can pan and zoom.
#include "DataDialog.h"

#include <QPointF>
#include <QRectF>

class QLabel;
class QPushButton;
class TGridTable;

namespace boundarymsg {
inline const QString kCaption = QStringLiteral("Slope Boundary");
inline const QString kLines = QStringLiteral("Number of boundary lines used to define the surface");
inline const QString kEnter = QStringLiteral("Enter Boundary Coordinate Data");
inline const QString kRedraw = QStringLiteral("Update/Redraw");
inline const QString kNumbers = QStringLiteral("Numbers shown refer to boundary line numbers");
inline const QString kCoordinates = QStringLiteral("Coordinates of each boundary line");
} // namespace boundarymsg

// The data window shown by the preview: x from left to right, y from bottom to top.
struct Extents {
    double xmin = 0, xmax = 0, ymin = 0, ymax = 0;
    bool operator==(const Extents&) const = default;
};

// The boundary lines drawn into the area less a 10-pixel margin, x and y scaled on their own.
class BoundaryPreview : public QWidget {
public:
    BoundaryPreview(const TGridTable& table, QLabel& readout, QWidget* parent);

    // The extents of the table's lines, kept as the data extents and shown.
    void fitToData();
    // Back to the data extents found by the last fit.
    void showDataExtents() {
        m_view = m_data;
        update();
    }
    const Extents& view() const { return m_view; }
    const Extents& data() const { return m_data; }
    QPoint toPixel(double x, double y) const;
    QPointF toData(QPoint pixel) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    const TGridTable& m_table;
    QLabel& m_readout;
    Extents m_data, m_view, m_atPress;
    QPoint m_press;
};

class TDlgSlopeBoundary : public TDataDialog {
    Q_OBJECT
public:
    TDlgSlopeBoundary(ProblemSession& session, MessageSink& messages, QWidget* parent = nullptr);
    void FormActivate() override;
    BoundaryPreview* preview() const { return m_preview; }
    QLabel* readout() const { return m_readout; }

private:
    BoundaryPreview* m_preview;
    QLabel* m_readout;
};
