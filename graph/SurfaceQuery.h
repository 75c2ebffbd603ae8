#pragma once
// A surface picked in a drawing: the last run's ranked surfaces with their slices, which one is
// selected and which slice is under the mouse. The results graph, the model view and the surface
// window share one selection, so each shows what the others picked.
#include "GraphView.h"
#include "model/ResultSurfaces.h"

#include <QObject>
#include <optional>

class SurfaceSelection : public QObject {
    Q_OBJECT
public:
    // Reads the result file's surfaces (none when it cannot be read); nothing stays selected.
    void load(const QString& resultFile);
    void clear();
    const ResultSurfaces& results() const { return m_results; }
    // The selected surface (nothing: none), and its slice under the mouse (-1: none).
    const ResultSurface* selected() const { return m_results.byRank(m_rank); }
    int rank() const { return m_rank; }
    int slice() const { return m_slice; }
    void select(int rank);
    void mark(int slice);

Q_SIGNALS:
    void selectedChanged(int rank); // a surface was picked (0: none any more)
    void changed();                 // anything a drawing shows changed

private:
    ResultSurfaces m_results;
    int m_rank = 0;
    int m_slice = -1;
};

// The ranked surface whose drawn line passes within a few pixels of `at`, the nearest; only ranks up
// to `maxRank` (1 when only the critical surface is drawn).
std::optional<int> PickSurface(const ResultSurfaces& results, const WorldToScreen& W, QPoint at, int maxRank);

// The selected surface over a drawing: its base thick, every slice's sides up to the ground (the top of
// `model`'s boundary lines) faint, and the marked slice filled.
void DrawSelectedSurface(QPainter& painter, const WorldToScreen& W, const PlotModel& model,
                         const ResultSurface& surface, int markedSlice);
