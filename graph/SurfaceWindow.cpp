#include "SurfaceWindow.h"

#include "base/FileAccess.h"
#include "base/FileNames.h"
#include "base/UserInteraction.h"
#include "format/NumberFormat.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString fixed(double v, int decimals) {
    return QString::fromStdString(numfmt::fixed(v, decimals));
}

} // namespace

TSurfaceWindow::TSurfaceWindow(SurfaceSelection& selection, MessageSink& messages, FileChooser& files,
                               QWidget* parent)
    : QWidget(parent), m_selection(&selection), m_messages(messages), m_files(files) {
    setWindowTitle(surfacemsg::kCaption);
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    m_heading = new QLabel(this);
    m_heading->setWordWrap(true);
    m_heading->setTextFormat(Qt::RichText);
    layout->addWidget(m_heading);
    auto* bar = new QHBoxLayout;
    auto* label = new QLabel(QStringLiteral("Base &forces by:"), this);
    m_methods = new QComboBox(this);
    label->setBuddy(m_methods);
    bar->addWidget(label);
    bar->addWidget(m_methods, 1);
    m_copy = new QPushButton(QStringLiteral("&Copy"), this);
    m_export = new QPushButton(QStringLiteral("&Export CSV..."), this);
    bar->addWidget(m_copy);
    bar->addWidget(m_export);
    layout->addLayout(bar);
    m_table = new QTableWidget(this);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    layout->addWidget(m_table, 1);
    resize(760, 420);

    connect(m_copy, &QPushButton::clicked, this, &TSurfaceWindow::CopyClick);
    connect(m_export, &QPushButton::clicked, this, &TSurfaceWindow::ExportClick);
    connect(m_methods, &QComboBox::currentIndexChanged, this, &TSurfaceWindow::ChooseMethod);
    connect(m_table, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (!m_marking && m_selection) m_selection->mark(row);
    });
    connect(m_selection, &SurfaceSelection::changed, this, [this] {
        if (m_selection->rank() != m_rank)
            followSelection();
        else
            followSlice();
    });
    followSelection();
}

// The selection may change while this window goes (its going lets the surface go) and the table
// reports its last row as it is taken apart: neither may reach a window that is half destroyed.
TSurfaceWindow::~TSurfaceWindow() {
    if (m_selection) m_selection->disconnect(this);
    m_table->disconnect(this);
    m_methods->disconnect(this);
}

void TSurfaceWindow::followSelection() {
    m_rank = m_selection ? m_selection->rank() : 0;
    const ResultSurface* s = m_selection ? m_selection->selected() : nullptr;
    const QSignalBlocker block(m_methods);
    m_methods->clear();
    m_shown.reset();
    m_table->clear();
    m_table->setRowCount(0);
    m_table->setColumnCount(0);
    m_copy->setEnabled(false);
    m_export->setEnabled(false);
    if (!s) {
        m_heading->setText(surfacemsg::kNone);
        return;
    }
    const ResultSurfaces& r = m_selection->results();
    QString factors;
    int ranked = 0;
    for (const ResultSurface::Method& m : s->methods) {
        if (m.name == r.method) ranked = m_methods->count();
        m_methods->addItem(m.fs ? QStringLiteral("%1 (%2)").arg(m.name, fixed(*m.fs, 3))
                                : QStringLiteral("%1 (no factor)").arg(m.name));
        factors +=
            QStringLiteral("<tr><td>%1</td><td align=right>&nbsp;&nbsp;%2</td><td>&nbsp;&nbsp;%3</td></tr>")
                .arg(m.name.toHtmlEscaped(), m.fs ? fixed(*m.fs, 3) : QStringLiteral("—"),
                     m.detail.toHtmlEscaped());
    }
    m_heading->setText(QStringLiteral("<b>Surface %1 of %2</b> (%3 slices), factor of safety %4 by %5"
                                      "<table>%6</table>")
                           .arg(s->rank)
                           .arg(r.surfaces.size())
                           .arg(s->count)
                           .arg(fixed(s->fs, 3), r.method.toHtmlEscaped(), factors));
    m_methods->setCurrentIndex(ranked);
    ChooseMethod(ranked);
}

void TSurfaceWindow::ChooseMethod(int index) {
    const ResultSurface* s = m_selection ? m_selection->selected() : nullptr;
    if (!s || index < 0 || index >= s->methods.size()) return;
    QString why;
    m_shown = sliceTable(m_selection->results(), *s, s->methods[index].name, &why);
    m_table->clear();
    m_copy->setEnabled(m_shown.has_value());
    m_export->setEnabled(m_shown.has_value());
    if (!m_shown) {
        m_table->setRowCount(0);
        m_table->setColumnCount(1);
        m_table->setHorizontalHeaderLabels({why});
        return;
    }
    const SliceTable& t = *m_shown;
    m_table->setColumnCount(static_cast<int>(t.columns.size()));
    QStringList headings;
    for (const auto& c : t.columns) headings << c.heading;
    m_table->setHorizontalHeaderLabels(headings);
    m_table->setRowCount(static_cast<int>(t.rows.size()));
    for (size_t r = 0; r < t.rows.size(); ++r)
        for (size_t c = 0; c < t.rows[r].size(); ++c) {
            const auto& v = t.rows[r][c];
            auto* item = new QTableWidgetItem(v ? fixed(*v, t.columns[static_cast<qsizetype>(c)].decimals)
                                                : QString());
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_table->setItem(static_cast<int>(r), static_cast<int>(c), item);
        }
    m_table->resizeColumnsToContents();
    followSlice();
}

void TSurfaceWindow::followSlice() {
    const int slice = m_selection ? m_selection->slice() : -1;
    if (slice < 0 || slice >= m_table->rowCount() || slice == m_table->currentRow()) return;
    m_marking = true;
    m_table->setCurrentCell(slice, 0);
    m_table->scrollToItem(m_table->item(slice, 0));
    m_marking = false;
}

void TSurfaceWindow::CopyClick() {
    if (m_shown) QApplication::clipboard()->setText(m_shown->delimited(QLatin1Char('\t')));
}

void TSurfaceWindow::ExportClick() {
    if (!m_shown) return;
    const QString proposed =
        filenames::changeExtension(problemFile, QStringLiteral("-slices-%1.csv").arg(m_rank));
    auto chosen = m_files.save(QStringLiteral("Export Slices"), proposed,
                               {{QStringLiteral("Comma-separated values (*.csv)"), QStringLiteral("*.csv")}},
                               QStringLiteral("csv"));
    if (!chosen) return;
    QString why;
    if (!fileaccess::writeWhole(*chosen, m_shown->delimited(QLatin1Char(',')).toUtf8(), why))
        m_messages.error(QStringLiteral("The slices could not be written to %1.\r\r%2").arg(*chosen, why));
}
