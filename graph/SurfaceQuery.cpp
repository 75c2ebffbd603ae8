#include "SurfaceQuery.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

constexpr double kTolerance = 5.5; // how near a click must be to a surface, pixels

double segmentDistance(QPointF p, QPointF a, QPointF b) {
    const QPointF d = b - a;
    const double len2 = QPointF::dotProduct(d, d);
    const double t = len2 > 0 ? std::clamp(QPointF::dotProduct(p - a, d) / len2, 0.0, 1.0) : 0;
    const QPointF q = a + t * d - p;
    return std::hypot(q.x(), q.y());
}

QPointF mapped(const WorldToScreen& W, const QPointF& p) {
    return QPointF(W.map(p.x(), p.y()));
}

// The ground over x: the highest boundary line there.
std::optional<double> topAt(const PlotModel& m, double x) {
    std::optional<double> top;
    for (int r = 0; r < m.BoundaryCount; ++r) {
        const BoundaryRow& b = m.Boundary[static_cast<size_t>(r)];
        const double lo = std::min(b.x1, b.x2), hi = std::max(b.x1, b.x2);
        if (x < lo || x > hi) continue;
        const double y = hi > lo ? b.y1 + (b.y2 - b.y1) * (x - b.x1) / (b.x2 - b.x1) : std::max(b.y1, b.y2);
        top = top ? std::max(*top, y) : y;
    }
    return top;
}

} // namespace

void SurfaceSelection::load(const QString& resultFile) {
    m_results = readResultSurfaces(resultFile).value_or(ResultSurfaces{});
    clear();
}

void SurfaceSelection::clear() {
    const bool had = m_rank != 0;
    m_rank = 0;
    m_slice = -1;
    if (had) Q_EMIT selectedChanged(0);
    Q_EMIT changed();
}

void SurfaceSelection::select(int rank) {
    if (!m_results.byRank(rank)) rank = 0;
    m_rank = rank;
    m_slice = -1;
    Q_EMIT selectedChanged(rank);
    Q_EMIT changed();
}

void SurfaceSelection::mark(int slice) {
    const ResultSurface* s = selected();
    if (!s || slice < 0 || slice >= s->count) slice = -1;
    if (slice == m_slice) return;
    m_slice = slice;
    Q_EMIT changed();
}

std::optional<int> PickSurface(const ResultSurfaces& results, const WorldToScreen& W, QPoint at,
                               int maxRank) {
    std::optional<int> best;
    double nearest = kTolerance;
    const QPointF p(at);
    for (const ResultSurface& s : results.surfaces) {
        if (s.rank > maxRank) continue;
        for (size_t i = 1; i < s.base.size(); ++i) {
            const double d = segmentDistance(p, mapped(W, s.base[i - 1]), mapped(W, s.base[i]));
            // The lower rank wins a tie: surfaces of a search often run together.
            if (d < nearest || (d == nearest && best && s.rank < *best)) {
                nearest = d;
                best = s.rank;
            }
        }
    }
    return best;
}

void DrawSelectedSurface(QPainter& p, const WorldToScreen& W, const PlotModel& model, const ResultSurface& s,
                         int marked) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    auto slicePolygon = [&](int i) {
        const size_t k = static_cast<size_t>(i);
        const QPointF a = s.base[k], b = s.base[k + 1];
        const double ta = topAt(model, a.x()).value_or(a.y()), tb = topAt(model, b.x()).value_or(b.y());
        return QPolygonF(
            {mapped(W, a), mapped(W, b), mapped(W, QPointF(b.x(), tb)), mapped(W, QPointF(a.x(), ta))});
    };
    if (marked >= 0 && marked < s.count) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 200, 0, 170));
        p.drawPolygon(slicePolygon(marked));
    }
    QPen sides(QColor(120, 0, 160, 110));
    sides.setCosmetic(true);
    p.setPen(sides);
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < s.count; ++i) {
        const QPolygonF slice = slicePolygon(i);
        p.drawLine(slice[0], slice[3]);
        if (i + 1 == s.count) p.drawLine(slice[1], slice[2]);
    }
    QPen base(QColor(150, 0, 200), 4);
    base.setCosmetic(true);
    p.setPen(base);
    QPolygonF line;
    for (const QPointF& pt : s.base) line << mapped(W, pt);
    p.drawPolyline(line);
    p.restore();
}
