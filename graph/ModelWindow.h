#pragma once
// View > Model: the model drawn to scale while it is entered. It follows every entry committed to the
// document, shows the last run's critical surface, zooms and pans as the results graph does, and a click
// on something drawn opens where it is entered.
#include "ModelScene.h"
#include "SurfaceQuery.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>

class QDoubleSpinBox;
class QLabel;
class QPushButton;
class FileChooser;
class MessageSink;
class ProblemSession;
class TModelWindow;

namespace modelmsg {
inline const QString kCaption = QStringLiteral("Model");
} // namespace modelmsg

class ModelCanvas : public QWidget {
    Q_OBJECT
public:
    explicit ModelCanvas(TModelWindow& window, QWidget* parent);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    TModelWindow& m_window;
};

class TModelWindow : public QWidget {
    Q_OBJECT
public:
    using OpenPlace = std::function<void(const ModelPlace&)>;
    TModelWindow(ProblemSession& session, MessageSink& messages, FileChooser& files, OpenPlace open,
                 QWidget* parent = nullptr);

    // Draws the document again when what it holds changed since the last drawing; true when it did.
    // A timer calls it: every committed entry, whichever window made it, shows within a moment.
    bool Follow();
    // Reads the last run's plot file again (a run wrote it, or it went).
    void Reload();

    void ZoomInClick();
    void ZoomOutClick();
    void ZoomAllClick();
    void ExportClick();
    void SetExaggeration(double exaggeration);
    // The surface picked by a click on the last run's critical surface (shared with the other
    // drawings); none: a click there opens what lies under it.
    void setSelection(SurfaceSelection* selection);
    SurfaceSelection* selection() const { return m_selection; }

    // Mouse handling of the canvas (pixel positions in its coordinates): a left drag pans, a right drag
    // zooms, a left click without a drag opens what is under it.
    void CanvasPress(QPoint at, Qt::MouseButton button);
    void CanvasMove(QPoint at);
    void CanvasRelease(QPoint at, Qt::MouseButton button);
    void CanvasWheel(QPoint at, int steps);
    void CanvasResized();

    const ModelScene& scene() const { return m_scene; }
    const GraphView& view() const { return m_view; }
    ModelCanvas* canvas() const { return m_canvas; }
    QDoubleSpinBox* exaggerationBox() const { return m_exaggeration; }
    QLabel* readOut() const { return m_readOut; }
    QPushButton* button(const QString& caption) const;

private:
    void rebuild(bool refit);
    bool resultsCurrent() const;
    QString placeText(QPoint at) const;

    ProblemSession& m_session;
    MessageSink& m_messages;
    FileChooser& m_files;
    OpenPlace m_open;
    ModelScene m_scene;
    GraphView m_view;
    PlotModel m_results;      // the last run's plot file, as read
    QByteArray m_drawnText;   // the problem text the scene was built from
    bool m_userMoved = false; // zoomed or panned: a change of the model keeps the view
    ModelCanvas* m_canvas;
    QDoubleSpinBox* m_exaggeration;
    QLabel* m_readOut;
    QTimer m_follow;
    QPointer<SurfaceSelection> m_selection;
    enum class Drag { None, Pan, Zoom } m_drag = Drag::None;
    QPoint m_press, m_last;
    bool m_moved = false;
    double m_pressScale = 0, m_pressScaleY = 0;
};
