#include "TableChart.h"

#include "ChartData.h"
#include "base/Errors.h"
#include "base/TextEditor.h"

#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLegend>
#include <QLineEdit>
#include <QLineSeries>
#include <QPainter>
#include <QPushButton>
#include <QValueAxis>

namespace {

constexpr int kPreviewWidth = 480; // pixels at 96 per inch
constexpr int kPreviewHeight = 220;

QPushButton* makeButton(const QString& text, const QString& name, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    b->adjustSize();
    return b;
}

// The point markers: a diamond for the first series, a square for the second.
QImage marker(const QColor& colour, bool diamond) {
    QImage image(9, 9, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    if (diamond)
        p.drawPolygon(QPolygon({QPoint(4, 0), QPoint(8, 4), QPoint(4, 8), QPoint(0, 4)}));
    else
        p.drawRect(1, 1, 7, 7);
    return image;
}

bool arrowOrDigit(int key) {
    return (key >= Qt::Key_0 && key <= Qt::Key_9) || key == Qt::Key_Left || key == Qt::Key_Right ||
           key == Qt::Key_Up || key == Qt::Key_Down;
}

} // namespace

SegmentArea::SegmentArea(const TGridTableChart*& table, QWidget* parent) : QWidget(parent), m_table(table) {
    setObjectName(QStringLiteral("PaintBox1"));
}

void SegmentArea::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    if (!m_table) return;
    const chartdata::SegmentPreview preview = chartdata::segmentPreview(*m_table, size());
    const QFontMetrics fm = p.fontMetrics();
    for (const auto& [mid, text] : preview.labels)
        p.drawText(QPoint(mid.x(), mid.y() + (fm.ascent() - fm.descent()) / 2), text);
    for (const QLine& line : preview.lines) p.drawLine(line);
}

TTableChartForm::TTableChartForm(TGridTableChart& table, TableWindowServices services, bool modal,
                                 QWidget* parent)
    : TTableForm(table, std::move(services), modal, parent), m_chartTable(table), m_shown(&table) {
    const double scale = logicalDpiX() / 96.0;
    const QSize previewSize(static_cast<int>(kPreviewWidth * scale),
                            static_cast<int>(kPreviewHeight * scale));
    m_chart = new QChart;
    m_series1 = new QLineSeries;
    m_series2 = new QLineSeries;
    for (auto [series, colour] :
         {std::pair{m_series1, QColor(Qt::red)}, std::pair{m_series2, QColor(Qt::green)}}) {
        QPen pen(colour);
        pen.setWidth(2);
        series->setPen(pen);
        series->setLightMarker(marker(colour, series == m_series1));
        series->setMarkerSize(9);
        m_chart->addSeries(series);
    }
    m_axisX = new QValueAxis;
    m_axisY = new QValueAxis;
    m_chart->addAxis(m_axisX, Qt::AlignBottom);
    m_chart->addAxis(m_axisY, Qt::AlignLeft);
    for (QLineSeries* s : {m_series1, m_series2}) {
        s->attachAxis(m_axisX);
        s->attachAxis(m_axisY);
    }
    m_chart->legend()->hide();
    m_chartView = new QChartView(m_chart, this);
    m_chartView->setObjectName(QStringLiteral("Chart1"));
    m_chartView->setRenderHint(QPainter::Antialiasing);
    m_chartView->resize(previewSize);
    m_segments = new SegmentArea(m_shown, this);
    m_segments->resize(previewSize);

    m_ok = makeButton(chartformmsg::kOK, QStringLiteral("BtnOK"), this);
    m_cancel = makeButton(chartformmsg::kCancel, QStringLiteral("BtnCancel"), this);
    auto* label = new QLabel(chartformmsg::kFileName, this);
    label->setObjectName(QStringLiteral("FileNameLabel"));
    label->adjustSize();
    m_fileLabel = label;
    m_fileName = new QLineEdit(this);
    m_fileName->setObjectName(QStringLiteral("FileNameEdit"));
    m_browse = makeButton(chartformmsg::kBrowse, QStringLiteral("BtnBrowse"), this);
    m_viewEdit = makeButton(chartformmsg::kViewEdit, QStringLiteral("BtnEdit"), this);
    m_read = makeButton(chartformmsg::kRead, QStringLiteral("BtnRead"), this);
    m_clip = makeButton(chartformmsg::kClipboard, QStringLiteral("BtnClip"), this);
    connect(m_browse, &QPushButton::clicked, this, &TTableChartForm::browseClick);
    connect(m_viewEdit, &QPushButton::clicked, this, &TTableChartForm::viewEditClick);
    connect(m_read, &QPushButton::clicked, this, &TTableChartForm::readFileClick);
    connect(m_clip, &QPushButton::clicked, this, &TTableChartForm::pasteClick);
    connect(m_fileName, &QLineEdit::textChanged, this, &TTableChartForm::updateFileButtons);
    // OK and Cancel carry no action of their own.
    m_ok->setVisible(table.OKCancelButtons);
    m_cancel->setVisible(table.OKCancelButtons);
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_fileLabel, m_fileName, m_browse, m_viewEdit, m_read, m_clip})
        w->setVisible(table.GetDataFromFile);
    m_chartView->setVisible(chartShown());
    m_segments->setVisible(segmentsShown());
    updateFileButtons();
}

TTableChartForm::~TTableChartForm() {
    m_shown = nullptr;
}

void TTableChartForm::closeWindow() {
    m_shown = nullptr;
    TTableForm::closeWindow();
}

bool TTableChartForm::chartShown() const {
    return m_chartTable.ShowGraph && !m_chartTable.DrawSegments;
}

bool TTableChartForm::segmentsShown() const {
    return m_chartTable.ShowGraph && m_chartTable.DrawSegments;
}

QPushButton* TTableChartForm::button(const QString& objectName) const {
    return findChild<QPushButton*>(objectName);
}

// ---- layout ----

int TTableChartForm::heightAboveGrid() const {
    if (chartShown()) return m_chartView->height() + margin();
    if (segmentsShown()) return m_segments->height() + margin();
    return 0;
}

int TTableChartForm::maxVisibleRows() const {
    return chartShown() ? 5 : 10;
}

int TTableChartForm::widthOfExtras() const {
    const int m = margin();
    int width = 0;
    if (m_chartTable.ShowGraph) width = m + m_chartView->width() + m;
    if (m_chartTable.GetDataFromFile)
        width = std::max(width, m + m_browse->width() + m + m_viewEdit->width() + m + m_read->width() + m);
    return width;
}

int TTableChartForm::placeBelowButtons(int y) {
    const int m = margin();
    m_chartView->move(m, m);
    m_segments->move(m, m);
    // Row-button centres: "OK" on the gap between Add and Insert, "Cancel" between Insert and Delete.
    auto centred = [](QPushButton* b, int a, int c) {
        b->move(static_cast<int>(std::lround((a + c - b->width()) / 2.0)), b->y());
    };
    if (m_chartTable.OKCancelButtons) {
        y += m; // two margins below the row buttons
        m_ok->move(0, y);
        m_cancel->move(0, y);
        centred(m_ok, addButton()->geometry().right() + 1, insertButton()->x());
        centred(m_cancel, insertButton()->geometry().right() + 1, deleteButton()->x());
        y += m_ok->height() + 2 * m;
    }
    if (m_chartTable.GetDataFromFile) {
        m_fileLabel->move(m, y + (m_fileName->sizeHint().height() - m_fileLabel->height()) / 2);
        const int editX = m_fileLabel->geometry().right() + 1 + m;
        const int readRight = m + m_browse->width() + m + m_viewEdit->width() + m + m_read->width();
        m_fileName->setGeometry(editX, y, std::max(readRight - editX, 100), m_fileName->sizeHint().height());
        y += m_fileName->height() + m;
        m_browse->move(m, y);
        m_viewEdit->move(m_browse->geometry().right() + 1 + m, y);
        m_read->move(m_viewEdit->geometry().right() + 1 + m, y);
        y += m_read->height() + m;
        m_clip->move(m_read->geometry().right() + 1 - m_clip->width(), y);
        y += m_clip->height() + m;
    }
    return y;
}

// ---- preview ----

void TTableChartForm::afterRefresh() {
    redrawPreview();
}

void TTableChartForm::redrawPreview() {
    if (!m_shown || !m_chartTable.ShowGraph) return;
    if (m_chartTable.DrawSegments)
        m_segments->update();
    else
        drawLineChart();
}

void TTableChartForm::drawLineChart() {
    const chartdata::LineChart c = chartdata::lineChart(m_chartTable);
    m_series1->clear();
    m_series2->clear();
    for (const QPointF& p : c.first) m_series1->append(p);
    for (const QPointF& p : c.second) m_series2->append(p);
    m_series2->setVisible(c.hasSecond);
    m_series1->setName(c.firstTitle);
    m_series2->setName(c.secondTitle);
    m_chart->legend()->setVisible(c.hasSecond);
    m_axisX->setTitleText(c.xTitle);
    m_axisY->setTitleText(c.yTitle);
    m_axisX->setReverse(m_chartTable.InvertedXAxis);
    m_axisY->setReverse(m_chartTable.InvertedYAxis);
    m_axisX->setLabelFormat(c.xFormat);
    m_axisY->setLabelFormat(c.yFormat);
    auto fit = [](QValueAxis* axis, const std::vector<QPointF>& a, const std::vector<QPointF>& b, bool x) {
        double low = 0, high = 0;
        bool first = true;
        for (const auto* points : {&a, &b})
            for (const QPointF& p : *points) {
                const double v = x ? p.x() : p.y();
                low = first ? v : std::min(low, v);
                high = first ? v : std::max(high, v);
                first = false;
            }
        if (low == high) low -= 1, high += 1;
        axis->setRange(low, high);
    };
    fit(m_axisX, c.first, c.second, true);
    if (c.fixedY)
        m_axisY->setRange(c.yMin, c.yMax);
    else
        fit(m_axisY, c.first, c.second, false);
}

void TTableChartForm::gridKey(QEvent* event) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (event->type() == QEvent::KeyPress || arrowOrDigit(key->key())) redrawPreview();
}

void TTableChartForm::mousePressEvent(QMouseEvent* event) {
    TTableForm::mousePressEvent(event);
    redrawPreview();
}

// ---- import ----

void TTableChartForm::importLines(const QStringList& lines) {
    if (!table() || !commitForCommand()) return;
    chartdata::RowActions actions{[this] { addRowGroup(); }, [this](int row) { deleteRowGroup(row); }};
    try {
        const chartdata::Imported imported = chartdata::importLines(*table(), lines, actions);
        // The line rule is strict (a row number in front is one number too many): say what was left.
        if (imported.skipped > 0)
            services().messages.warning(
                chartdata::skippedLines(imported.skipped, table()->VisibleColumnCount()));
    } catch (const EAssignError& e) {
        services().messages.warning(e.message());
    }
    table()->SetChanged(true);
    refresh();
}

void TTableChartForm::pasteClick() {
    const QString text = QGuiApplication::clipboard()->text();
    if (text.isEmpty()) {
        services().messages.warning(chartdata::kNoClipboardText);
        return;
    }
    importLines(chartdata::clipboardLines(text));
}

void TTableChartForm::readFileClick() {
    QStringList lines;
    try {
        lines = chartdata::fileLines(m_fileName->text());
    } catch (const EDiziOvi& e) {
        services().messages.error(e.message());
        return;
    }
    importLines(lines);
}

void TTableChartForm::browseClick() {
    const QList<FileFilter> filters = {{QStringLiteral("Text Files (*.txt)"), QStringLiteral("*.txt")},
                                       {QStringLiteral("Data Files (*.dat)"), QStringLiteral("*.dat")},
                                       {QStringLiteral("All Files (*)"), QStringLiteral("*")}};
    if (auto choice = services().files.open(QString(), filters, 1, QString()))
        m_fileName->setText(choice->path);
}

void TTableChartForm::viewEditClick() {
    startEditor(services().launcher, services().messages, services().editorPath(), m_fileName->text());
}

void TTableChartForm::updateFileButtons() {
    const bool exists = QFileInfo(m_fileName->text()).isFile();
    m_viewEdit->setEnabled(exists);
    m_read->setEnabled(exists);
}
