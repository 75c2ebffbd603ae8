#include "ModelWindow.h"
#include "FrmGraph.h"

#include "base/Errors.h"
#include "base/FileNames.h"
#include "base/UserInteraction.h"
#include "format/NumberFormat.h"
#include "model/AnalysisRun.h"
#include "model/ProgramData.h"
#include "model/TableSet.h"

#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cmath>

ModelCanvas::ModelCanvas(TModelWindow& window, QWidget* parent) : QWidget(parent), m_window(window) {
    setCursor(Qt::CrossCursor);
    setMouseTracking(true);
    setMinimumSize(200, 150);
}

void ModelCanvas::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const GraphView& v = m_window.view();
    ModelPicture::Draw(p, m_window.scene(), v, rect());
    if (const SurfaceSelection* s = m_window.selection(); s && s->selected()) {
        p.setClipRect(QRect(QPoint(v.Area.Left, v.Area.Top), QPoint(v.Area.Right, v.Area.Bottom)));
        DrawSelectedSurface(p, v.W, m_window.scene().plot, *s->selected(), s->slice());
    }
}

void ModelCanvas::mousePressEvent(QMouseEvent* e) {
    m_window.CanvasPress(e->position().toPoint(), e->button());
}
void ModelCanvas::mouseMoveEvent(QMouseEvent* e) {
    m_window.CanvasMove(e->position().toPoint());
}
void ModelCanvas::mouseReleaseEvent(QMouseEvent* e) {
    m_window.CanvasRelease(e->position().toPoint(), e->button());
}
void ModelCanvas::wheelEvent(QWheelEvent* e) {
    m_window.CanvasWheel(e->position().toPoint(), e->angleDelta().y() / 120);
}
void ModelCanvas::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    m_window.CanvasResized();
}

TModelWindow::TModelWindow(ProblemSession& session, MessageSink& messages, FileChooser& files, OpenPlace open,
                           QWidget* parent)
    : QWidget(parent), m_session(session), m_messages(messages), m_files(files), m_open(std::move(open)) {
    setWindowTitle(modelmsg::kCaption);
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* bar = new QHBoxLayout;
    auto button = [this, bar](const QString& caption, void (TModelWindow::*slot)()) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(caption);
        connect(b, &QPushButton::clicked, this, slot);
        bar->addWidget(b);
    };
    button(QStringLiteral("Zoom In"), &TModelWindow::ZoomInClick);
    button(QStringLiteral("Zoom Out"), &TModelWindow::ZoomOutClick);
    button(QStringLiteral("Zoom All"), &TModelWindow::ZoomAllClick);
    auto* label = new QLabel(QStringLiteral("&Vertical exaggeration:"), this);
    m_exaggeration = new QDoubleSpinBox(this);
    m_exaggeration->setRange(0.1, 20);
    m_exaggeration->setSingleStep(0.5);
    m_exaggeration->setDecimals(1);
    m_exaggeration->setValue(1);
    m_exaggeration->setSuffix(QStringLiteral(" ×"));
    label->setBuddy(m_exaggeration);
    connect(m_exaggeration, &QDoubleSpinBox::valueChanged, this, &TModelWindow::SetExaggeration);
    bar->addSpacing(12);
    bar->addWidget(label);
    bar->addWidget(m_exaggeration);
    bar->addStretch(1);
    button(QStringLiteral("Export..."), &TModelWindow::ExportClick);
    layout->addLayout(bar);
    m_canvas = new ModelCanvas(*this, this);
    layout->addWidget(m_canvas, 1);
    m_readOut = new QLabel(this);
    m_readOut->setText(QStringLiteral("Click a line, a soil or a load to edit it."));
    layout->addWidget(m_readOut);
    resize(860, 560);

    Reload();
    connect(&m_follow, &QTimer::timeout, this, [this] { Follow(); });
    m_follow.start(250);
}

QPushButton* TModelWindow::button(const QString& caption) const {
    return findChild<QPushButton*>(caption);
}

bool TModelWindow::resultsCurrent() const {
    // The surface belongs to this model when the file it was run on is what the document holds now.
    const QString problem = m_session.document().FileName;
    QFile file(problem);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QFileInfo plot(engine::plotFile(problem));
    return file.readAll() == m_drawnText && plot.lastModified() >= QFileInfo(problem).lastModified();
}

void TModelWindow::rebuild(bool refit) {
    m_scene = BuildModelScene(m_session.document(), m_session.tables(), &m_results);
    m_scene.resultStale = m_scene.hasResult && !resultsCurrent();
    if (refit || !m_userMoved)
        ModelPicture::Fit(m_view, m_scene, m_canvas->width(), m_canvas->height(), m_exaggeration->value());
    else
        m_view.Switches = ModelPicture::Switches(m_scene);
    m_canvas->update();
}

bool TModelWindow::Follow() {
    QByteArray text;
    try {
        text = m_session.document().ProblemText();
    } catch (const EDiziOvi&) {
        // A value that cannot be written is drawn as it stands; the check names it.
        text = QByteArray("unwritable");
    }
    if (text == m_drawnText && !m_drawnText.isEmpty()) return false;
    m_drawnText = text;
    rebuild(false);
    return true;
}

void TModelWindow::Reload() {
    m_results = PlotModel();
    const QString plot = engine::plotFile(m_session.document().FileName);
    if (QFileInfo::exists(plot)) {
        const PlotReadResult r = ReadPlotFile(plot, *m_session.tables().BoundCood, m_results);
        // The results graph reports what is wrong with the file; here it is only not drawn.
        m_results.Loaded = r.failure.isEmpty() && !r.noData;
    }
    m_drawnText.clear();
    Follow();
}

void TModelWindow::ZoomInClick() {
    m_view.ZoomAbout(1.25, m_canvas->rect().center());
    m_userMoved = true;
    m_canvas->update();
}

void TModelWindow::ZoomOutClick() {
    m_view.ZoomAbout(0.8, m_canvas->rect().center());
    m_userMoved = true;
    m_canvas->update();
}

void TModelWindow::ZoomAllClick() {
    m_userMoved = false;
    rebuild(true);
}

void TModelWindow::SetExaggeration(double) {
    m_userMoved = false;
    rebuild(true);
}

void TModelWindow::CanvasResized() {
    if (!m_drawnText.isEmpty()) rebuild(!m_userMoved);
}

void TModelWindow::ExportClick() {
    const QString proposed =
        filenames::changeExtension(m_session.document().FileName, QStringLiteral("-model.png"));
    auto chosen = m_files.save(QStringLiteral("Export Model"), proposed,
                               {{QStringLiteral("PNG image (*.png)"), QStringLiteral("*.png")},
                                {QStringLiteral("PDF page (*.pdf)"), QStringLiteral("*.pdf")}},
                               QStringLiteral("png"));
    if (!chosen) return;
    QString why;
    if (!ModelPicture::Write(*chosen, m_scene, m_exaggeration->value(), std::max(800, m_canvas->width()),
                             std::max(500, m_canvas->height()), why))
        m_messages.error(QStringLiteral("The model could not be written to %1.\r\r%2").arg(*chosen, why));
}

void TModelWindow::setSelection(SurfaceSelection* selection) {
    FollowSelection(m_selection, selection, m_canvas);
}

void TModelWindow::CanvasPress(QPoint at, Qt::MouseButton button) {
    m_drag = button == Qt::LeftButton ? Drag::Pan : (button == Qt::RightButton ? Drag::Zoom : Drag::None);
    m_press = m_last = at;
    m_moved = false;
    m_pressScale = m_view.W.Scale;
    m_pressScaleY = m_view.W.ScaleY;
}

QString TModelWindow::placeText(QPoint at) const {
    const PlotPoint w = m_view.W.inverse(at.x(), at.y());
    QString text = QStringLiteral("x = %1, y = %2 %3")
                       .arg(QString::fromStdString(numfmt::fixed(w.x, 2)),
                            QString::fromStdString(numfmt::fixed(w.y, 2)), m_scene.lengthUnit);
    if (m_selection && m_selection->selected() && m_selection->slice() >= 0)
        text += QStringLiteral("   —   surface %1, slice %2")
                    .arg(m_selection->rank())
                    .arg(m_selection->slice() + 1);
    else if (const auto place = ModelPicture::HitTest(m_scene, m_view, at))
        text += QStringLiteral("   —   %1 (click to edit)").arg(place->what);
    return text;
}

void TModelWindow::CanvasMove(QPoint at) {
    if (m_view.W.Scale == 0 || m_view.W.ScaleY == 0) return;
    if (m_drag != Drag::None && (at - m_press).manhattanLength() > 3) m_moved = true;
    if (m_drag == Drag::Pan && m_moved) {
        m_view.W.OriginX += at.x() - m_last.x();
        m_view.W.OriginY += at.y() - m_last.y();
        m_userMoved = true;
        m_canvas->update();
    } else if (m_drag == Drag::Zoom && m_moved) {
        const double d = at.y() - m_press.y();
        const double h = m_canvas->height();
        const double m = d < 0 ? 1 + std::fabs(d) / h : 1 - std::fabs(d) / h / 2;
        m_view.SetScaleKeepingCentre(m * m_pressScale, m * m_pressScaleY, m_canvas->rect().center());
        m_userMoved = true;
        m_canvas->update();
    }
    if (m_moved) m_last = at;
    if (m_drag == Drag::None && m_selection && m_selection->selected())
        m_selection->mark(m_selection->selected()->sliceAt(m_view.W.inverse(at.x(), at.y()).x));
    m_readOut->setText(placeText(at));
}

void TModelWindow::CanvasRelease(QPoint at, Qt::MouseButton button) {
    CanvasMove(at);
    const bool click = !m_moved && button == Qt::LeftButton && m_drag == Drag::Pan;
    m_drag = Drag::None;
    if (!click) return;
    // The last run's critical surface, when it is drawn, is picked before what lies under it.
    if (m_selection) {
        const auto rank =
            m_scene.hasResult ? PickSurface(m_selection->results(), m_view.W, at, 1) : std::nullopt;
        const bool had = m_selection->rank() != 0;
        m_selection->select(rank.value_or(0));
        if (rank || had) return; // a click beside the picked surface lets it go first
    }
    if (const auto place = ModelPicture::HitTest(m_scene, m_view, at); place && m_open) m_open(*place);
}

void TModelWindow::CanvasWheel(QPoint at, int steps) {
    if (steps == 0) return;
    m_view.ZoomAbout(std::pow(1.25, steps), at);
    m_userMoved = true;
    m_canvas->update();
}
