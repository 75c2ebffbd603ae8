#pragma once
// Scaling and drawing of the plot model: one renderer for the screen, the printed page, image
// files and the command line.
#include "PlotModel.h"

#include <QColor>
#include <QPoint>
#include <QPolygon>
#include <QRect>

class QFont;
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

class GraphView {
public:
    WorldToScreen W;
    PlotArea Area;
    int32_t MarginUnitX = 0, MarginUnitY = 0;
    int32_t LineWidthFactor = 1;
    LayerSet Switches;
    bool BlockOrIrregular = false; // no radii for surfaces that are not circles
    QString FontFamily = QStringLiteral("Arial");

    // Fits the model's soil regions and search limits into a canvas of w x h pixels.
    void FitToView(const PlotModel& model, int w, int h);
    // Background, the switched-on layers clipped to the plot area, and the axes with "Scale".
    void DrawGraph(QPainter& painter, PlotModel& model, const QColor& background, const QRect& canvas,
                   const QPoint& offset = QPoint()) const;
    void DrawAxes(QPainter& painter, double xIntervals = 17, double yIntervals = 11, bool page = false) const;
    // The printed page of `screen`'s current view on a page of w x h device pixels.
    static void DrawPage(QPainter& painter, PlotModel& model, const GraphView& screen, int w, int h);
    // New scales, keeping the world point under the pixel `centre` in place.
    void SetScaleKeepingCentre(double scale, double scaleY, QPoint centre);
    void ZoomAbout(double factor, QPoint centre) {
        SetScaleKeepingCentre(W.Scale * factor, W.ScaleY * factor, centre);
    }

private:
    void drawLayers(QPainter& painter, PlotModel& model, bool page) const;
    void line(QPainter& p, double x1, double y1, double x2, double y2) const;
    void polyline(QPainter& p, const std::vector<PlotPoint>& pts, int count) const;
    void marker(QPainter& p, double x, double y, int halfSize) const;
    void label(QPainter& p, double x, double y, const QString& text, const QColor& colour) const;
    QFont textFont() const;

    // Work space of polyline(), kept to spare an allocation per line drawn.
    mutable std::vector<QPoint> m_pixels;
    mutable QPolygon m_kept;
};

// Resolution class (pixels per inch) of a page margin unit, and its line width factor.
int ResolutionClass(int marginUnit);
int LineWidthForClass(int resolutionClass);
