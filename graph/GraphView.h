#pragma once
// Scaling and drawing of the plot model: one renderer for the screen, the printed page, image
// files and the command line.
#include "PlotModel.h"

#include <QColor>
#include <QPoint>
#include <QPolygon>
#include <QRect>
#include <functional>
#include <optional>
#include <vector>

class QFont;
class QFontMetrics;
class QPainter;

struct WorldToScreen {
    double Scale = 0, ScaleY = 0;
    double RefX = 0, RefY = 0;
    int32_t OriginX = 0, OriginY = 0;
    double XMax = 0, YMax = 0;

    // Pixel of a world point, rounded to the nearest integer with ties to even.
    QPoint map(double x, double y) const;
    PlotPoint inverse(double px, double py) const;
};

struct PlotArea {
    int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};

struct TickStep {
    double step = 1;
    double first = 0;
};
TickStep NiceTickStep(double intervals, double a, double b);

// Colour of a soil type in the coloured layers.
QColor SoilColour(int soilType);

// One stress bar of a slice: from the critical surface at the slice's x, along the vertical, for
// the slice's total or pore force over (62.4 x base length), whatever the units.
struct StressBar {
    double x = 0, surfaceY = 0, tipY = 0;
};
// The bars of all slices in order; a slice outside the critical surface's x range has none, which
// also breaks the line joining the tips.
std::vector<std::optional<StressBar>> StressBars(const PlotModel& model, bool total);

class GraphView {
public:
    WorldToScreen W;
    PlotArea Area;
    int32_t MarginUnitX = 0, MarginUnitY = 0;
    int32_t LineWidthFactor = 1;
    LayerSet Switches;
    bool BlockOrIrregular = false; // no radii for surfaces that are not circles
    QString FontFamily = QStringLiteral("Arial");
    QString AxisUnit; // given: the axes' captions name it ("Horizontal Coordinate (m)")

    // Fits the model's soil regions and search limits into a canvas of w x h pixels, the vertical
    // scale `exaggeration` times the horizontal.
    void FitToView(const PlotModel& model, int w, int h, double exaggeration = 1);
    // Background, the switched-on layers clipped to the plot area, and the axes with "Scale".
    void DrawGraph(QPainter& painter, const PlotModel& model, const QColor& background, const QRect& canvas,
                   const QPoint& offset = QPoint()) const;
    void DrawAxes(QPainter& painter, double xIntervals = 17, double yIntervals = 11, bool page = false) const;
    // The printed page of `screen`'s current view on a page of w x h device pixels.
    static void DrawPage(QPainter& painter, const PlotModel& model, const GraphView& screen, int w, int h);
    // That page as a landscape Letter PDF file; false when it cannot be written.
    static bool WritePdfPage(const QString& path, const PlotModel& model, const GraphView& screen);
    // A picture file: that page when `path` ends in ".pdf", else a PNG of `view` drawn on w x h
    // pixels. Written whole or not at all; false with the reason.
    static bool WritePicture(const QString& path, const PlotModel& model, const GraphView& view, int w, int h,
                             QString& why);
    // New scales, keeping the world point under the pixel `centre` in place.
    void SetScaleKeepingCentre(double scale, double scaleY, QPoint centre);
    void ZoomAbout(double factor, QPoint centre) {
        SetScaleKeepingCentre(W.Scale * factor, W.ScaleY * factor, centre);
    }

private:
    struct Pass;
    void drawLayers(QPainter& painter, const PlotModel& model, bool page) const;
    void drawColorSoilLayers(Pass& d, const PlotModel& m) const;
    void drawTrialSurfaces(Pass& d, const PlotModel& m) const;
    void drawBoundaryLines(Pass& d, const PlotModel& m) const;
    void drawSearchLimits(Pass& d, const PlotModel& m) const;
    void drawPiezometricLines(Pass& d, const PlotModel& m) const;
    void drawTieBacks(Pass& d, const PlotModel& m) const;
    void drawReinforcement(Pass& d, const PlotModel& m) const;
    void drawSurfacePressures(Pass& d, const PlotModel& m) const;
    void drawStressBars(Pass& d, const PlotModel& m, bool total) const;
    void drawTenSlipSurfaces(Pass& d, const PlotModel& m) const;
    void drawSolutionText(Pass& d, const QString& text) const;
    QString solutionText(const PlotModel& m) const; // empty when neither switch shows it
    void drawCriticalSurface(Pass& d, const PlotModel& m) const;
    void drawSoilLayerNumbers(Pass& d, const PlotModel& m) const;
    void drawBoundaryCoords(Pass& d, const PlotModel& m) const;
    void line(QPainter& p, double x1, double y1, double x2, double y2) const;
    void polyline(QPainter& p, const std::vector<PlotPoint>& pts, int count) const;
    void marker(QPainter& p, double x, double y, int halfSize) const;
    void label(QPainter& p, double x, double y, const QString& text, const QColor& colour) const;
    QFont textFont() const;
    QFont axisFont() const;
    // Where the axes' texts go, from the axis font's measures: `band` is the margin that holds a row
    // of tick labels and a caption, `side` what half of a wide tick label needs beyond the frame.
    struct AxisText {
        int height = 0, gap = 0, band = 0, side = 0;
    };
    static AxisText axisText(const QFontMetrics& fm);

    // Work space of polyline(), kept to spare an allocation per line drawn.
    mutable std::vector<QPoint> m_pixels;
    mutable QPolygon m_kept;
};

// A drawing written whole or not at all: a PNG of w x h pixels, or, when `path` ends in ".pdf", a
// landscape Letter page. `draw` paints on the device's w x h pixels and is told which it is.
struct PdfPage {
    QString title;
    int resolution = 300; // dots per inch
    double margin = 0.25; // inches
};
bool WriteDrawing(const QString& path, int w, int h, const PdfPage& page,
                  const std::function<void(QPainter&, int w, int h, bool onPage)>& draw, QString& why);

// Resolution class (pixels per inch) of a page margin unit, and its line width factor.
int ResolutionClass(int marginUnit);
int LineWidthForClass(int resolutionClass);
