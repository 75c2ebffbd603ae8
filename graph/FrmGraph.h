#pragma once
// The results graph window: layer switches, zoom, pan, read-out, printing and export.
#include "GraphView.h"
#include "SurfaceQuery.h"

#include <QPointer>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <map>

class QCheckBox;
class QLabel;
class MessageSink;
class FileChooser;
class TProgramData;

// The plot model and the view mapping, kept for the whole program; one graph window uses them.
struct GraphState {
    PlotModel model;
    GraphView view;
};

namespace graphmsg {
inline const QString kNoPlotName = QStringLiteral("No plot data file name has been defined.\r\rGenerate the "
                                                  "name of the plot data file by running an analysis.");
inline const QString kNoData = QStringLiteral("No data available for printing");
inline const QString kCaption = QStringLiteral("DizirOvi Graphics");
inline const QString kReadOut = QStringLiteral("Orvane Graphics Utility for DIZIROvi");
} // namespace graphmsg

// A button that acts when a mouse button goes down on it, and says which button.
class PressButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;
Q_SIGNALS:
    void pressedWith(Qt::MouseButton button);

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

class TfrmGraph;

// Makes `canvas` repaint whenever `selection` changes, instead of following the one in `slot` before.
void FollowSelection(QPointer<SurfaceSelection>& slot, SurfaceSelection* selection, QWidget* canvas);

class GraphPaintBox : public QWidget {
    Q_OBJECT
public:
    explicit GraphPaintBox(TfrmGraph& form, QWidget* parent);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TfrmGraph& m_form;
};

class TfrmGraph : public QWidget {
    Q_OBJECT
public:
    enum class DragMode { None, Pan, Zoom };

    TfrmGraph(GraphState& state, TProgramData& document, MessageSink& messages, FileChooser& files,
              QWidget* parent = nullptr);

    void FormActivate();
    // Reads the plot file again (a new run wrote it); the view stays as the user left it.
    void Reload() { load(); }
    void ZoomInClick();
    void ZoomOutClick();
    void ZoomAllClick();
    void Pan(int dx, int dy, Qt::MouseButton button);
    void PrintClick();
    void ExportClick();
    void SwitchClicked(Layer layer);
    // The surface picked by a click (shared with the other drawings); none: surfaces are not picked.
    void setSelection(SurfaceSelection* selection);
    SurfaceSelection* selection() const { return m_selection; }

    // Mouse handling of the drawing surface (pixel positions in its coordinates).
    void PaintBoxPress(QPoint at, Qt::MouseButton button);
    void PaintBoxMove(QPoint at);
    void PaintBoxRelease(QPoint at, Qt::MouseButton button = Qt::LeftButton);

    QCheckBox* checkBox(Layer layer) const { return m_checks.at(layer); }
    GraphPaintBox* paintBox() const { return m_paintBox; }
    PressButton* panButton(const QString& caption) const;
    QPushButton* button(const QString& caption) const;
    GraphState& state() { return m_state; }
    bool loaded() const { return m_state.model.Loaded; }
    // Where printing went when no printer is installed (empty when it went to a printer).
    const QString& lastPrintFile() const { return m_lastPrintFile; }
    // Whether a printer can be used; tests say no, so they never send a job to a real printer.
    std::function<bool()> printerAvailable;

Q_SIGNALS:
    void captionChanged(const QString& caption);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void load();
    void setCaption(const QString& caption);
    void dragTo(QPoint at);

    GraphState& m_state;
    TProgramData& m_document;
    MessageSink& m_messages;
    FileChooser& m_files;
    std::map<Layer, QCheckBox*> m_checks;
    GraphPaintBox* m_paintBox;
    DragMode m_drag = DragMode::None;
    QPoint m_press, m_last;
    double m_pressScale = 0, m_pressScaleY = 0;
    bool m_moved = false; // the press became a drag: no click
    QString m_lastPrintFile;
    QPointer<SurfaceSelection> m_selection;
};
