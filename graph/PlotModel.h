#pragma once
// The results read from the engine's plot file, in arrays of fixed capacity: what the graph
// draws, and nothing more.
#include "format/PlotFormat.h"

#include <QString>
#include <QStringList>
#include <array>
#include <bitset>
#include <cstdint>
#include <vector>

class TGridTable;

struct PlotPoint {
    double x = 0;
    double y = 0;
};

// The drawing layers in drawing order; each has a switch in the graph window.
enum class Layer {
    ColorSoilLayers,
    AllTrialSurfaces,
    BoundaryLines,
    SearchLimits,
    PiezometricLine,
    TieBacks,
    ReinfLines,
    SurfacePressures,
    TotalStresses,
    PoreWaterPressures,
    TenSlipSurfaces,
    CriticalSlipSurface,
    SoilLayerNumbers,
    BoundaryCoords,
    SolutionInformation,
    Scale, // not a layer: axes and frame
    Count
};
using LayerSet = std::bitset<static_cast<size_t>(Layer::Count)>;
inline size_t bit(Layer l) {
    return static_cast<size_t>(l);
}
QString layerCaption(Layer layer);

struct PolyLine {
    int32_t count = 0;
    std::vector<PlotPoint> points; // capacity-sized
};

struct SliceRecord {
    double x = 0, totalForce = 0, baseLength = 0, poreForce = 0;
    std::array<double, 5> unused{};
};

struct BoundaryRow {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int32_t soil = 0;
    std::bitset<256> next, prev;
};

namespace plotmsg {
inline const QString kNoData =
    QStringLiteral("Graphics file does not contain any data.\r\rCheck your output file for an error message");
inline const QString kHeaderCorrupt = QStringLiteral("Axis scaling labels are corrupted in plot file");
inline const QString kCommandWord = QStringLiteral("Error in reading command word in plot file");
inline const QString kZoneCount = QStringLiteral("Error in reading number of surface pressure points");
inline QString zonePoint(qint64 p) {
    return QStringLiteral("Error in reading surface pressure plot output for point %1").arg(p);
}
inline const QString kMoreErrors = QStringLiteral("Further errors in the plot file are not shown.");
inline QString surfaceCount(int k) {
    return QStringLiteral("Error in reading number of points on failure surface %1 of 10").arg(k);
}
} // namespace plotmsg

class PlotModel {
public:
    PlotModel();

    double ScaleFactor = 1;
    std::vector<PolyLine> TrialSurface; // index 0 unused; 1..4000
    int32_t TrialCount = 1;
    std::array<PolyLine, plotformat::kCriticalSurfaces> CriticalSurfaces;
    double FactorOfSafety = 0, CentreX = 0, CentreY = 0, Radius = 0;
    std::vector<SliceRecord> Slices;
    int32_t SliceCount = 0;
    std::vector<PlotPoint> ZonePoints;
    int32_t ZoneCount = 0;
    std::vector<std::pair<PlotPoint, PlotPoint>> SearchLimits;
    int32_t LimitCount = 0;
    std::array<PolyLine, plotformat::kReinforcementLines> ReinfLines;
    int32_t ReinfCount = 0;
    std::vector<std::array<PlotPoint, 3>> TieBacks;
    int32_t TieBackCount = 0;
    std::array<PolyLine, plotformat::kPiezometricLines> PiezoLines;
    int32_t PiezoCount = 0;
    std::vector<BoundaryRow> Boundary;
    int32_t BoundaryCount = 0;
    struct Region {
        int32_t soil = 0;
        int32_t count = 0;
        std::vector<PlotPoint> points;
    };
    std::vector<Region> Regions;
    int32_t RegionCount = 0;
    bool RegionsBuilt = false;
    bool Loaded = false;
    // The critical surface's factor by each method (plotformat::method codes less one; 0: none),
    // when the file gives them.
    std::array<double, plotformat::method::kCount> MethodFactors{};
    bool HasMethodFactors = false;

    // Empties what a new reading starts from (not the scale factor, solution or trial points).
    void Clear();
    // Copies the problem's boundary table (left end, right end, soil) into the boundary rows.
    void CopyBoundary(const TGridTable& boundCood);
    // Joins the boundary rows into soil regions, in increasing table order only.
    void BuildRegions();
};

struct PlotReadResult {
    bool opened = false;
    QStringList messages; // shown as error boxes, in order
    QString failure;      // the file could not be read at all
    bool noData = false;  // the file is empty or says at once that it holds nothing
    LayerSet enabled;     // switches the file supplies data for
};

// Reads the plot file into `model` (cleared first). `boundCood` is the problem's boundary table.
PlotReadResult ReadPlotFile(const QString& fileName, const TGridTable& boundCood, PlotModel& model);
PlotReadResult ReadPlotText(const QByteArray& text, const TGridTable& boundCood, PlotModel& model);
