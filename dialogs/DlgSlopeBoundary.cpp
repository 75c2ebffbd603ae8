#include "DlgSlopeBoundary.h"

#include "format/NumberFormat.h"
#include "model/TableSet.h"
#include "tables/ColumnTypes.h"

#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <cmath>

namespace {

constexpr int kMargin = 10;

double cell(const TGridTable& t, int column, int row) {
    return static_cast<double>(t.Column(column)->GetFloat(row));
}

QString oneDecimal(double v) {
    return QString::fromStdString(numfmt::fixed(v, 1));
}

} // namespace

// ---- the preview ----

BoundaryPreview::BoundaryPreview(const TGridTable& table, QLabel& readout, QWidget* parent)
    : QWidget(parent), m_table(table), m_readout(readout) {
    setObjectName(QStringLiteral("PaintBox1"));
    setCursor(Qt::CrossCursor);
    setMouseTracking(true);
}

void BoundaryPreview::fitToData() {
    if (m_table.RowCount() > 0) {
        Extents e{cell(m_table, 0, 0), cell(m_table, 0, 0), cell(m_table, 1, 0), cell(m_table, 1, 0)};
        for (int r = 0; r < m_table.RowCount(); ++r) {
            for (int c : {0, 2}) {
                e.xmin = std::min(e.xmin, cell(m_table, c, r));
                e.xmax = std::max(e.xmax, cell(m_table, c, r));
            }
            for (int c : {1, 3}) {
                e.ymin = std::min(e.ymin, cell(m_table, c, r));
                e.ymax = std::max(e.ymax, cell(m_table, c, r));
            }
        }
        m_data = e;
        m_view = e;
    }
    update();
}

QPoint BoundaryPreview::toPixel(double x, double y) const {
    const Extents& v = m_view;
    return {
        static_cast<int>(std::lround((x - v.xmin) / (v.xmax - v.xmin) * (width() - 2 * kMargin))) + kMargin,
        static_cast<int>(std::lround((y - v.ymax) / (v.ymin - v.ymax) * (height() - 2 * kMargin))) + kMargin};
}

QPointF BoundaryPreview::toData(QPoint p) const {
    const Extents& v = m_view;
    return {static_cast<double>(p.x() - kMargin) / (width() - 2 * kMargin) * (v.xmax - v.xmin) + v.xmin,
            static_cast<double>(p.y() - kMargin) / (height() - 2 * kMargin) * (v.ymin - v.ymax) + v.ymax};
}

void BoundaryPreview::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    p.setBrush(Qt::NoBrush);
    const int rows = m_table.RowCount();
    if (rows == 0 || m_view.ymin == m_view.ymax || m_view.xmin == m_view.xmax) return;
    auto marker = [&p](QPoint q) { p.drawRect(QRect(q - QPoint(2, 2), q + QPoint(2, 2))); };
    for (int r = 0; r < rows; ++r) {
        const QPoint a = toPixel(cell(m_table, 0, r), cell(m_table, 1, r));
        const QPoint b = toPixel(cell(m_table, 2, r), cell(m_table, 3, r));
        marker(a);
        p.drawLine(a, b);
        marker(b);
    }
    const QFontMetrics fm = p.fontMetrics();
    for (int r = 0; r < rows; ++r) {
        const QString text = QStringLiteral(" %1 ").arg(r + 1);
        const QPoint mid = toPixel((cell(m_table, 0, r) + cell(m_table, 2, r)) / 2,
                                   (cell(m_table, 1, r) + cell(m_table, 3, r)) / 2);
        const QRect box(mid.x() - static_cast<int>(std::lround(fm.horizontalAdvance(text) / 2.0)),
                        mid.y() - static_cast<int>(std::lround(fm.height() / 2.0)),
                        fm.horizontalAdvance(text), fm.height());
        p.fillRect(box, Qt::white);
        p.drawText(box, Qt::AlignLeft | Qt::AlignTop, text);
    }
}

void BoundaryPreview::mousePressEvent(QMouseEvent* event) {
    m_press = event->position().toPoint();
    m_atPress = m_view;
}

void BoundaryPreview::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (!rect().contains(at)) {
        m_readout.clear();
        return;
    }
    const QPointF press = toData(m_press), pointer = toData(at);
    const double dx = press.x() - pointer.x(), dy = press.y() - pointer.y();
    const bool plain = event->modifiers() == Qt::NoModifier;
    if (plain && event->buttons() == Qt::LeftButton) {
        // Pan: the view moves with the pointer.
        m_view = {m_atPress.xmin + dx, m_atPress.xmax + dx, m_atPress.ymin + dy, m_atPress.ymax + dy};
        update();
    } else if (plain && event->buttons() == Qt::RightButton) {
        // Zoom about the centre of the view at the press, never below a tenth of its size, by the
        // drag's share of the drawing in pixels (a data distance over pixels made a slope thousands
        // of units across hit the limit on any small drag). Right or up zooms in.
        const double sx = static_cast<double>(m_press.x() - at.x()) / width();
        const double sy = static_cast<double>(at.y() - m_press.y()) / height();
        double r = std::fabs(sx) < std::fabs(sy) ? sy : sx;
        r = std::max(r, -0.9);
        if (r != 0) {
            const double cx = (m_atPress.xmin + m_atPress.xmax) / 2,
                         cy = (m_atPress.ymin + m_atPress.ymax) / 2;
            const double w = (m_atPress.xmax - m_atPress.xmin) * (1 + r) / 2;
            const double h = (m_atPress.ymax - m_atPress.ymin) * (1 + r) / 2;
            m_view = {cx - w, cx + w, cy - h, cy + h};
            update();
        }
    }
    const QPointF here = toData(at);
    m_readout.setText(QStringLiteral(" Coords:  X:") + oneDecimal(here.x()) + QStringLiteral(" , Y:") +
                      oneDecimal(here.y()));
}

void BoundaryPreview::leaveEvent(QEvent*) {
    m_readout.clear();
}

// ---- the dialog ----

TDlgSlopeBoundary::TDlgSlopeBoundary(ProblemSession& session, MessageSink& messages, QWidget* parent)
    : TDataDialog(session, messages, boundarymsg::kCaption, parent) {
    auto* grid = new QGridLayout(this);
    addField({"deNI", boundarymsg::kLines, true, 1, 300, QString(), &TProgramData::SurfaceLineCount}, grid,
             0);
    auto* label5 = new QLabel(boundarymsg::kCoordinates, this);
    label5->setObjectName(QStringLiteral("Label5"));
    auto* enter = new QPushButton(boundarymsg::kEnter, this);
    enter->setObjectName(QStringLiteral("btnSect"));
    connect(enter, &QPushButton::clicked, this, [this] { this->session().tables().BoundCood->ShowWindow(); });
    grid->addWidget(label5, 1, 0);
    grid->addWidget(enter, 1, 1);
    m_readout = new QLabel(this);
    m_readout->setObjectName(QStringLiteral("Label2"));
    m_preview = new BoundaryPreview(*session.tables().BoundCood, *m_readout, this);
    m_preview->setFixedSize(440, 260);
    grid->addWidget(m_preview, 2, 0, 1, 2);
    auto* label3 = new QLabel(boundarymsg::kNumbers, this);
    label3->setObjectName(QStringLiteral("Label3"));
    auto* redraw = new QPushButton(boundarymsg::kRedraw, this);
    redraw->setObjectName(QStringLiteral("Button1"));
    connect(redraw, &QPushButton::clicked, m_preview, &BoundaryPreview::showDataExtents);
    grid->addWidget(label3, 3, 0);
    grid->addWidget(redraw, 3, 1, Qt::AlignRight);
    grid->addWidget(m_readout, 4, 0, 1, 2);
    m_readout->setMinimumHeight(m_readout->fontMetrics().height());
    fixSize();
}

void TDlgSlopeBoundary::FormActivate() {
    TDataDialog::FormActivate();
    m_preview->fitToData();
}
