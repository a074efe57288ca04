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

// Sutherland-Hodgman: the part of the polygon inside the guard box, so that the rasterizer
// never meets a far-away corner.
QPolygonF clipToGuard(const QPolygonF &polygon) {
    QPolygonF clipped = polygon;
    for (int edge = 0; edge < 4 && !clipped.isEmpty(); ++edge) {
        const bool alongX = edge < 2;
        const double bound = edge % 2 ? kGuard : -kGuard;
        const auto value = [alongX](QPointF p) { return alongX ? p.x() : p.y(); };
        const auto inside = [&](QPointF p) {
            return edge % 2 ? value(p) <= bound : value(p) >= bound;
        };
        const auto crossing = [&](QPointF a, QPointF b) {
            const double t = (bound - value(a)) / (value(b) - value(a));
            return alongX ? QPointF(bound, a.y() + t * (b.y() - a.y()))
                          : QPointF(a.x() + t * (b.x() - a.x()), bound);
        };
        const QPolygonF in = clipped;
        clipped.clear();
        for (qsizetype i = 0; i < in.size(); ++i) {
            const QPointF current = in[i], previous = in[(i + in.size() - 1) % in.size()];
            if (inside(current)) {
                if (!inside(previous))
                    clipped << crossing(previous, current);
                clipped << current;
            } else if (inside(previous)) {
                clipped << crossing(previous, current);
            }
        }
    }
    return clipped;
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

void PanelCanvas::fillPolygon(const QPolygonF &outline, const QColor &colour) {
    QPolygonF pixels;
    for (QPointF p : outline) {
        pixels << toPixel(p.x(), p.y());
        if (!std::isfinite(pixels.back().x()) || !std::isfinite(pixels.back().y()))
            return;
    }
    pixels = clipToGuard(pixels);
    if (pixels.size() < 3)
        return;
    QPainter &painter = this->painter(colour);
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawPolygon(pixels);
    painter.restore();
}

void PanelCanvas::lineTo(float x, float y, const QColor &colour) {
    drawSegment(toPixel(currentX_, currentY_), toPixel(x, y), colour);
    currentX_ = x;
    currentY_ = y;
}

} // namespace mergon
