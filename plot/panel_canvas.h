#pragma once
// The drawing of the graph panel, kept on a backing image so that it survives repaints.

#include "plot/plot_frame.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPointF>
#include <QPolygonF>
#include <QSize>

#include <memory>

namespace mergon {

class PanelCanvas {
  public:
    // size in logical pixels; the image holds size * devicePixelRatio device pixels.
    explicit PanelCanvas(QSize size, qreal devicePixelRatio = 1.0);

    static QColor foreground() { return Qt::black; }
    static QColor background() { return Qt::white; }

    // Erases every drawing; the frame stays in force.
    void clear();
    // The user coordinates of the top-left and bottom-right corners.
    void setFrame(double left, double top, double right, double bottom);
    const PlotFrame &frame() const { return frame_; }
    void line(float x1, float y1, float x2, float y2, const QColor &colour);
    // Draws one point and makes it the current point.
    void setPoint(float x, float y, const QColor &colour);
    // Draws from the current point to (x, y), which becomes the current point.
    void lineTo(float x, float y, const QColor &colour);
    // Fills the polygon of user positions in the colour (blended by its alpha), without an
    // outline.
    void fillPolygon(const QPolygonF &outline, const QColor &colour);

    // The finished drawing; ends any painting in progress.
    const QImage &image() const;
    QSize size() const { return size_; }
    // Where user position (x, y) falls, in logical pixels.
    QPointF toPixel(double x, double y) const;

  private:
    void drawSegment(QPointF from, QPointF to, const QColor &colour);
    // One painter stays open across many segments; it is ended before the image is read.
    QPainter &painter(const QColor &colour);
    void endPainting() const;

    QSize size_;
    QImage image_;
    PlotFrame frame_;
    PixelMap map_;
    float currentX_ = 0, currentY_ = 0;
    mutable std::unique_ptr<QPainter> painter_;
};

} // namespace mergon
