#pragma once
// The model as it is being entered, drawn to scale from the document's tables: the same renderer as
// the results graph (its soil colours, boundary lines, limits, tiebacks, reinforcement and critical
// surface come from a plot model filled from the document instead of the plot file), with what only
// the input knows drawn over it: the legend of soils, water with its symbol and ponded water, loads as
// arrows, the earthquake coefficients, the search's ranges and boxes and the given surface.
#include "GraphView.h"
#include <QColor>
#include <QImage>

#include <QString>
#include <optional>
#include <vector>

class QPaintDevice;
class TProgramData;
class TableSet;

// Where something drawn is entered: a section of the model check's words ("lines", "soils", "water",
// "loads", "tiebacks", "limits", "reinforcement", "search", "surface", "earthquake") and its 1-based
// row (0: the section as a whole).
struct ModelPlace {
    QString section;
    int item = 0;
    QString what; // "Boundary line 3", as a tooltip says it
    bool operator==(const ModelPlace& o) const { return section == o.section && item == o.item; }
};

// The colour of loads and their intensities in the model view.
inline const QColor kModelLoadColour(200, 60, 0);

struct ModelScene {
    struct Soil {
        int number = 0; // 1-based row of the soil table
        double moist = 0, saturated = 0, cohesion = 0, phi = 0;
        bool used = false; // below some boundary line
    };
    struct Water {
        int surface = 0; // 1-based
        std::vector<PlotPoint> points;
    };
    struct Load {
        int row = 0;
        double leftX = 0, rightX = 0, intensity = 0, inclination = 0; // degrees CCW from vertical
    };
    struct Tieback {
        int row = 0;
        PlotPoint head;
        double load = 0;
    };
    struct Box {
        int row = 0;
        PlotPoint left, right;
        double height = 0;
    };
    struct Range {
        double left = 0, right = 0;
    };

    PlotModel plot; // boundary rows and regions, limits, tiebacks, reinforcement; the last run's surface
    std::vector<PlotPoint> ground; // the upper surface, left to right
    std::vector<Soil> soils;
    std::vector<Water> water;
    std::vector<Load> loads;
    std::vector<Tieback> tiebacks;
    std::vector<Box> boxes;
    std::vector<PlotPoint> givenSurface;
    std::optional<Range> initiation, termination;
    bool earthquake = false;
    double kh = 0, kv = 0;
    bool hasResult = false;   // the plot model holds the last run's critical surface
    bool resultStale = false; // the model changed after that run
    QString lengthUnit, weightUnit, stressUnit, forceUnit;

    // The height of the ground at x (the nearest end beyond it); nothing without a ground.
    std::optional<double> groundY(double x) const;
};

// The scene of the document as its tables hold it now. `results` (a plot model read from the last run's
// plot file) gives the critical surface and its factor.
ModelScene BuildModelScene(const TProgramData& document, const TableSet& tables,
                           const PlotModel* results = nullptr);

// The model's drawing: a view of the scene's plot model (GraphView's layers and axes) with the input's
// own layers over it and the legend at the right. The view's switches choose the shared layers.
class ModelPicture {
public:
    // The room the legend takes at the right of a canvas `width` pixels wide (of `device`, whose
    // resolution sizes the text; the screen's when none).
    static int LegendWidth(const ModelScene& scene, int width, QPaintDevice* device = nullptr);
    // Fits the model into the canvas left of the legend, with `exaggeration` times the vertical scale.
    static void Fit(GraphView& view, const ModelScene& scene, int w, int h, double exaggeration,
                    QPaintDevice* device = nullptr);
    static void Draw(QPainter& painter, const ModelScene& scene, const GraphView& view, const QRect& canvas);
    // A PNG of w x h pixels or a landscape PDF page, written whole or not at all; false with the reason.
    static bool Write(const QString& path, const ModelScene& scene, double exaggeration, int w, int h,
                      QString& why);
    // The drawing laid out on w x h pixels and drawn `scale` times as fine, for print: the same
    // picture as Write's of w x h, sharp at `scale` times the size.
    static QImage Render(const ModelScene& scene, double exaggeration, int w, int h, double scale);
    // What lies under the pixel `at` (within a few pixels of a line), the nearest first; nothing
    // outside the model.
    static std::optional<ModelPlace> HitTest(const ModelScene& scene, const GraphView& view, QPoint at);
    // The layers of the plot model the model view draws.
    static LayerSet Switches(const ModelScene& scene);
};
