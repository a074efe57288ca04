#include "plot/panel_canvas.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace mergon {

namespace {

// Far outside the visible area, but small enough for the rasterizer's fixed-point maths.
constexpr double kGuard = 1.0e5;

enum Outside { kLeft = 1, kRight = 2, kAbove = 4, kBelow = 8 };

int outside(double x, double y) {
    return (x < -kGuard  ? kLeft
            : x > kGuard ? kRight
                         : 0) |
           (y < -kGuard  ? kAbove
            : y > kGuard ? kBelow
                         : 0);
}

// Cohen-Sutherland: cuts the segment to the guard box; false when nothing of it lies inside.
// A cut end is placed on the box edge exactly and found from the other end, which keeps
// precision when an end lies astronomically far away.
bool clipToGuard(double &x1, double &y1, double &x2, double &y2) {
    if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2))
        return false;
    for (;;) {
        int code1 = outside(x1, y1), code2 = outside(x2, y2);
        if ((code1 | code2) == 0)
            return true;
        if (code1 & code2)
            return false;
        bool first = code1 != 0;
        int code = first ? code1 : code2;
        double &x = first ? x1 : x2, &y = first ? y1 : y2;
        double ox = first ? x2 : x1, oy = first ? y2 : y1;
        if (code & (kLeft | kRight)) {
            double edge = (code & kLeft) ? -kGuard : kGuard;
            y = oy + (y - oy) * ((edge - ox) / (x - ox));
            x = edge;
        } else {
            double edge = (code & kAbove) ? -kGuard : kGuard;
            x = ox + (x - ox) * ((edge - oy) / (y - oy));
            y = edge;
        }
    }
}

// The layout's own units before any frame is set: twips, 15 to a pixel.
PlotFrame twipsFrame(QSize size) { return {0, 0, size.width() * 15.0, size.height() * 15.0}; }

} // namespace

PanelCanvas::PanelCanvas(QSize size, qreal devicePixelRatio)
    : size_(size), image_(size * devicePixelRatio, QImage::Format_RGB32), frame_(twipsFrame(size)),
      map_(frame_, size.width(), size.height()) {
    image_.setDevicePixelRatio(devicePixelRatio);
    clear();
}

void PanelCanvas::clear() {
    endPainting();
    image_.fill(background());
}

QPainter &PanelCanvas::painter(const QColor &colour) {
    if (!painter_) {
        painter_ = std::make_unique<QPainter>(&image_);
        painter_->setPen(QPen(colour, 0));
    } else if (painter_->pen().color() != colour)
        painter_->setPen(QPen(colour, 0)); // cosmetic: one device pixel, thin and solid
    return *painter_;
}

void PanelCanvas::endPainting() const { painter_.reset(); }

const QImage &PanelCanvas::image() const {
    endPainting();
    return image_;
}

void PanelCanvas::setFrame(double left, double top, double right, double bottom) {
    frame_ = drawableFrame({left, top, right, bottom});
    map_ = PixelMap(frame_, size_.width(), size_.height());
}

QPointF PanelCanvas::toPixel(double x, double y) const {
    return {map_.toPixelX(x), map_.toPixelY(y)};
}

void PanelCanvas::drawSegment(QPointF from, QPointF to, const QColor &colour) {
    double x1 = from.x(), y1 = from.y(), x2 = to.x(), y2 = to.y();
    if (!clipToGuard(x1, y1, x2, y2))
        return;
    painter(colour).drawLine(QPointF(x1, y1), QPointF(x2, y2));
}

void PanelCanvas::line(float x1, float y1, float x2, float y2, const QColor &colour) {
    drawSegment(toPixel(x1, y1), toPixel(x2, y2), colour);
}

void PanelCanvas::setPoint(float x, float y, const QColor &colour) {
    currentX_ = x;
    currentY_ = y;
    QPointF p = toPixel(x, y);
    if (!std::isfinite(p.x()) || !std::isfinite(p.y()) || std::fabs(p.x()) > kGuard ||
        std::fabs(p.y()) > kGuard)
        return;
    painter(colour).drawPoint(p);
}

void PanelCanvas::lineTo(float x, float y, const QColor &colour) {
    drawSegment(toPixel(currentX_, currentY_), toPixel(x, y), colour);
    currentX_ = x;
    currentY_ = y;
}

} // namespace mergon
