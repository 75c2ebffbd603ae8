#include "FrmGraph.h"

#include "base/FileNames.h"
#include "base/UserInteraction.h"
#include "format/NumberFormat.h"
#include "model/ProgramData.h"

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <cmath>

void PressButton::mousePressEvent(QMouseEvent* event) {
    Q_EMIT pressedWith(event->button());
    QPushButton::mousePressEvent(event);
}

GraphPaintBox::GraphPaintBox(TfrmGraph& form, QWidget* parent) : QWidget(parent), m_form(form) {
    setCursor(Qt::CrossCursor);
    setMouseTracking(true);
}

void GraphPaintBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const GraphView& v = m_form.state().view;
    v.DrawGraph(p, m_form.state().model, Qt::white, rect());
    if (const SurfaceSelection* s = m_form.selection(); s && s->selected()) {
        p.setClipRect(QRect(QPoint(v.Area.Left, v.Area.Top), QPoint(v.Area.Right, v.Area.Bottom)));
        DrawSelectedSurface(p, v.W, m_form.state().model, *s->selected(), s->slice());
    }
}

void GraphPaintBox::mousePressEvent(QMouseEvent* e) {
    m_form.PaintBoxPress(e->position().toPoint(), e->button());
}
void GraphPaintBox::mouseMoveEvent(QMouseEvent* e) {
    m_form.PaintBoxMove(e->position().toPoint());
}
void GraphPaintBox::mouseReleaseEvent(QMouseEvent* e) {
    m_form.PaintBoxRelease(e->position().toPoint(), e->button());
}

namespace {

struct SwitchSpec {
    Layer layer;
    const char* hint;
    bool input;
};

const SwitchSpec kSwitches[] = {
    {Layer::BoundaryLines, "Display soil profile lines", true},
    {Layer::SearchLimits, nullptr, true},
    {Layer::SoilLayerNumbers, "Display the boundary line numbers", true},
    {Layer::BoundaryCoords, "Display coordinates of soil profile lines", true},
    {Layer::ColorSoilLayers, "Color the soil layers", true},
    {Layer::TieBacks, "Display the tie backs for VELDA", true},
    {Layer::PiezometricLine, "Display piezometric lines", true},
    {Layer::SurfacePressures, "Display zones of surface pressure along slope line", true},
    {Layer::ReinfLines, "Display sloope reinforcement lines", true},
    {Layer::Scale, nullptr, true},
    {Layer::SolutionInformation, "Display value for factor of safety", false},
    {Layer::TenSlipSurfaces, "Display the 10 most critical slip surfaces", false},
    {Layer::CriticalSlipSurface, "Display the critical slip surface", false},
    {Layer::AllTrialSurfaces, "Display all trial slip surfaces", false},
    {Layer::TotalStresses, "Display total stresses acting on slip surface", false},
    {Layer::PoreWaterPressures, "Display pore water pressures acting on slip surface", false},
};

QLabel* heading(QWidget* parent, const QString& text, const QColor& colour, int y) {
    auto* l = new QLabel(text, parent);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, colour);
    l->setPalette(pal);
    l->setGeometry(8, y, 160, 18);
    return l;
}

} // namespace

TfrmGraph::TfrmGraph(GraphState& state, TProgramData& document, MessageSink& messages, FileChooser& files,
                     QWidget* parent)
    : QWidget(parent), m_state(state), m_document(document), m_messages(messages), m_files(files) {
    setWindowTitle(graphmsg::kCaption);
    setAttribute(Qt::WA_DeleteOnClose);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0, 0, 128));
    pal.setColor(QPalette::WindowText, Qt::white);
    setPalette(pal);

    int y = 8;
    heading(this, QStringLiteral("Input Data:"), Qt::white, y);
    y += 20;
    bool inResults = false;
    for (const SwitchSpec& s : kSwitches) {
        if (!s.input && !inResults) {
            inResults = true;
            y += 6;
            heading(this, QStringLiteral("Computed Values:"), Qt::yellow, y);
            y += 20;
        }
        auto* c = new QCheckBox(layerCaption(s.layer), this);
        c->setGeometry(12, y, 160, 18);
        if (s.hint) c->setToolTip(QString::fromUtf8(s.hint));
        c->setEnabled(s.layer == Layer::Scale);
        c->setChecked(s.layer == Layer::BoundaryLines);
        QPalette cp = c->palette();
        cp.setColor(QPalette::WindowText, Qt::white);
        c->setPalette(cp);
        connect(c, &QCheckBox::clicked, this, [this, layer = s.layer] { SwitchClicked(layer); });
        m_checks[s.layer] = c;
        y += 20;
    }
    y += 6;
    heading(this, QStringLiteral("Move View"), Qt::white, y);
    y += 20;
    auto pan = [this](const QString& caption, int x, int yy, int dx, int dy) {
        auto* b = new PressButton(caption, this);
        b->setObjectName(caption);
        b->setGeometry(x, yy, 50, 22);
        connect(b, &PressButton::pressedWith, this,
                [this, dx, dy](Qt::MouseButton button) { Pan(dx, dy, button); });
    };
    pan(QStringLiteral("Up"), 62, y, 0, -1);
    pan(QStringLiteral("Left"), 8, y + 24, -1, 0);
    pan(QStringLiteral("Right"), 116, y + 24, 1, 0);
    pan(QStringLiteral("Down"), 62, y + 48, 0, 1);
    y += 80;
    auto button = [this](const QString& caption, const QRect& r, void (TfrmGraph::*slot)()) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(caption);
        b->setGeometry(r);
        connect(b, &QPushButton::clicked, this, slot);
    };
    button(QStringLiteral("Print"), QRect(8, y, 76, 24), &TfrmGraph::PrintClick);
    button(QStringLiteral("Export..."), QRect(90, y, 76, 24), &TfrmGraph::ExportClick);
    auto* closeButton = new QPushButton(QStringLiteral("Close"), this);
    closeButton->setObjectName(QStringLiteral("Close"));
    closeButton->setGeometry(8, y + 30, 76, 24);
    connect(closeButton, &QPushButton::clicked, this, [this] {
        if (parentWidget() && parentWidget()->inherits("QMdiSubWindow"))
            parentWidget()->close();
        else
            close();
    });
    button(QStringLiteral("Zoom In"), QRect(178, 14, 80, 24), &TfrmGraph::ZoomInClick);
    button(QStringLiteral("Zoom Out"), QRect(266, 14, 80, 24), &TfrmGraph::ZoomOutClick);
    button(QStringLiteral("Zoom All"), QRect(354, 14, 80, 24), &TfrmGraph::ZoomAllClick);

    m_paintBox = new GraphPaintBox(*this, this);
    m_paintBox->setGeometry(178, 52, 500, 313);
    resize(812, 631);
    m_state.view.BlockOrIrregular = document.BlockOn || document.IrregularOn;
    printerAvailable = [] { return !QPrinterInfo::availablePrinters().isEmpty(); };
    load();
}

void TfrmGraph::load() {
    PlotModel& m = m_state.model;
    m.Loaded = false;
    if (m_document.PlotFileName.isEmpty()) {
        m_messages.error(graphmsg::kNoPlotName);
        m.Clear();
        m_state.view.Switches.reset(bit(Layer::BoundaryLines));
        m_checks[Layer::BoundaryLines]->setChecked(false);
        return;
    }
    const QString file = filenames::changeExtension(m_document.FileName, QStringLiteral(".sl4p"));
    const PlotReadResult r = ReadPlotFile(file, *m_document.session().tables().BoundCood, m);
    for (const QString& message : r.messages) m_messages.error(message);
    for (auto& [layer, check] : m_checks)
        if (r.enabled.test(bit(layer))) check->setEnabled(true);
    if (!r.failure.isEmpty()) {
        m_messages.error(r.failure);
        return;
    }
    m.Loaded = true;
    for (auto& [layer, check] : m_checks) m_state.view.Switches.set(bit(layer), check->isChecked());
    m_state.view.FitToView(m, m_paintBox->width(), m_paintBox->height());
    m_paintBox->update();
}

// The switches follow the check boxes; the view (zoom, pan, the plot area with or without the
// scale's margins) stays as the user left it.
void TfrmGraph::FormActivate() {
    GraphView& v = m_state.view;
    for (auto& [layer, check] : m_checks)
        if (layer != Layer::PoreWaterPressures) v.Switches.set(bit(layer), check->isChecked());
    m_paintBox->update();
}

void TfrmGraph::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_paintBox->setGeometry(178, 52, std::max(10, width() - 200), std::max(10, height() - 52 - 10));
    GraphView& v = m_state.view;
    v.Area.Right = m_paintBox->width() - 1;
    v.Area.Bottom = m_paintBox->height() - 3;
    if (m_state.model.Loaded) v.FitToView(m_state.model, m_paintBox->width(), m_paintBox->height());
    m_paintBox->update();
}

void TfrmGraph::SwitchClicked(Layer layer) {
    m_state.view.Switches.set(bit(layer), m_checks[layer]->isChecked());
    if (layer == Layer::Scale)
        m_state.view.FitToView(m_state.model, m_paintBox->width(), m_paintBox->height());
    m_paintBox->update();
}

void TfrmGraph::ZoomInClick() {
    m_state.view.ZoomAbout(1.25, QPoint(static_cast<int>(std::lround(m_paintBox->width() / 2.0)),
                                        static_cast<int>(std::lround(m_paintBox->height() / 2.0))));
    m_paintBox->update();
}

void TfrmGraph::ZoomOutClick() {
    m_state.view.ZoomAbout(0.8, QPoint(static_cast<int>(std::lround(m_paintBox->width() / 2.0)),
                                       static_cast<int>(std::lround(m_paintBox->height() / 2.0))));
    m_paintBox->update();
}

void TfrmGraph::ZoomAllClick() {
    m_state.view.FitToView(m_state.model, m_paintBox->width(), m_paintBox->height());
    m_paintBox->update();
}

void TfrmGraph::Pan(int dx, int dy, Qt::MouseButton button) {
    const int step = button == Qt::LeftButton ? 40 : 1;
    m_state.view.W.OriginX += dx * step;
    m_state.view.W.OriginY += dy * step;
    m_paintBox->update();
}

void TfrmGraph::setCaption(const QString& caption) {
    setWindowTitle(caption);
    if (parentWidget() && parentWidget()->inherits("QMdiSubWindow")) parentWidget()->setWindowTitle(caption);
    Q_EMIT captionChanged(caption);
}

void FollowSelection(QPointer<SurfaceSelection>& slot, SurfaceSelection* selection, QWidget* canvas) {
    if (slot) QObject::disconnect(slot, nullptr, canvas, nullptr);
    slot = selection;
    if (slot) QObject::connect(slot, &SurfaceSelection::changed, canvas, qOverload<>(&QWidget::update));
    canvas->update();
}

void TfrmGraph::setSelection(SurfaceSelection* selection) {
    FollowSelection(m_selection, selection, m_paintBox);
}

void TfrmGraph::PaintBoxPress(QPoint at, Qt::MouseButton button) {
    m_drag = button == Qt::LeftButton ? DragMode::Pan : DragMode::Zoom;
    m_moved = false;
    m_press = m_last = at;
    m_pressScale = m_state.view.W.Scale;
    m_pressScaleY = m_state.view.W.ScaleY;
}

void TfrmGraph::dragTo(QPoint at) {
    GraphView& v = m_state.view;
    if (m_drag == DragMode::Pan) {
        v.W.OriginX += at.x() - m_last.x();
        v.W.OriginY += at.y() - m_last.y();
        m_last = at;
        m_paintBox->update();
    } else if (m_drag == DragMode::Zoom) {
        const double d = at.y() - m_press.y();
        const double h = m_paintBox->height();
        const double m = d < 0 ? 1 + std::fabs(d) / h : (d > 0 ? 1 - std::fabs(d) / h / 2 : 1);
        v.SetScaleKeepingCentre(m * m_pressScale, m * m_pressScaleY,
                                QPoint(static_cast<int>(std::lround(m_paintBox->width() / 2.0)),
                                       static_cast<int>(std::lround(h / 2.0))));
        m_paintBox->update();
    }
}

void TfrmGraph::PaintBoxMove(QPoint at) {
    const GraphView& v = m_state.view;
    if (m_drag != DragMode::None && (at - m_press).manhattanLength() > 3) m_moved = true;
    // The slice under the mouse, on the picked surface.
    if (m_drag == DragMode::None && m_selection && m_selection->selected() && v.W.Scale != 0)
        m_selection->mark(m_selection->selected()->sliceAt(v.W.inverse(at.x(), at.y()).x));
    if (v.W.Scale != 0 && v.W.ScaleY != 0) {
        if (m_drag != DragMode::None) {
            setCaption(graphmsg::kReadOut);
        } else {
            const PlotPoint w = v.W.inverse(at.x(), at.y());
            setCaption(graphmsg::kReadOut + QStringLiteral(",     x = %1, y = %2")
                                                .arg(QString::fromStdString(numfmt::fixed(w.x, 2)),
                                                     QString::fromStdString(numfmt::fixed(w.y, 2))));
        }
    }
    dragTo(at);
}

void TfrmGraph::PaintBoxRelease(QPoint at, Qt::MouseButton button) {
    const bool click = !m_moved && button == Qt::LeftButton && m_drag == DragMode::Pan;
    if (!click) dragTo(at);
    m_drag = DragMode::None;
    if (!click || !m_selection || !m_state.model.Loaded) return;
    // Only a surface that is drawn can be picked.
    const LayerSet& on = m_state.view.Switches;
    const int drawn =
        on.test(bit(Layer::TenSlipSurfaces)) ? 10 : (on.test(bit(Layer::CriticalSlipSurface)) ? 1 : 0);
    const auto rank = PickSurface(m_selection->results(), m_state.view.W, at, drawn);
    m_selection->select(rank.value_or(0));
}

PressButton* TfrmGraph::panButton(const QString& caption) const {
    return findChild<PressButton*>(caption);
}
QPushButton* TfrmGraph::button(const QString& caption) const {
    return findChild<QPushButton*>(caption);
}

void TfrmGraph::PrintClick() {
    if (!m_state.model.Loaded) {
        m_messages.message(graphmsg::kNoData);
        return;
    }
    m_lastPrintFile.clear();
    if (!printerAvailable()) {
        // No printer on this system: the same page goes to a PDF beside the problem.
        const QString pdf = filenames::changeExtension(m_document.FileName, QStringLiteral(".pdf"));
        if (GraphView::WritePdfPage(pdf, m_state.model, m_state.view)) {
            m_lastPrintFile = pdf;
            m_messages.information(
                QStringLiteral("No printer is installed. The graph was written to %1.").arg(pdf));
        } else {
            m_messages.error(QStringLiteral("The graph could not be written to %1.").arg(pdf));
        }
        return;
    }
    QPrinter printer(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("DIZIROvi Graph"));
    printer.setPageOrientation(QPageLayout::Landscape);
    QPainter p;
    if (!p.begin(&printer)) {
        m_messages.error(QStringLiteral("The printer could not be started."));
        return;
    }
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    GraphView::DrawPage(p, m_state.model, m_state.view, page.width(), page.height());
    p.end();
}

void TfrmGraph::ExportClick() {
    const QString proposed = filenames::changeExtension(m_document.FileName, QStringLiteral(".png"));
    auto chosen = m_files.save(QStringLiteral("Export Graph"), proposed,
                               {{QStringLiteral("PNG image (*.png)"), QStringLiteral("*.png")},
                                {QStringLiteral("PDF page (*.pdf)"), QStringLiteral("*.pdf")}},
                               QStringLiteral("png"));
    if (!chosen) return;
    QString why;
    if (!GraphView::WritePicture(*chosen, m_state.model, m_state.view, m_paintBox->width(),
                                 m_paintBox->height(), why))
        m_messages.error(QStringLiteral("The graph could not be written to %1.\r\r%2").arg(*chosen, why));
}
