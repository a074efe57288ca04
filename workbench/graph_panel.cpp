#include "workbench/graph_panel.h"

#include "plot/figure_kinds.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace mergon {

namespace {
constexpr int kBorder = 2; // sunken panel border
const QSize kOuterSize(static_cast<int>(kPanelSize.width), static_cast<int>(kPanelSize.height));

qreal screenRatio() {
    QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->devicePixelRatio() : 1.0;
}
} // namespace

QSize GraphPanel::drawingSize() { return kOuterSize - QSize(2 * kBorder, 2 * kBorder); }

GraphPanel::GraphPanel(QWidget *parent) : QFrame(parent), canvas_(drawingSize(), screenRatio()) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(kBorder);
    setFixedSize(kOuterSize);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void GraphPanel::clear() {
    canvas_.clear();
    update();
}

std::function<void()> GraphPanel::repaintingBefore(const std::function<void()> &hook) {
    return [this, hook] {
        update();
        if (hook)
            hook();
    };
}

Status GraphPanel::drawInputCurves(const Session &session, TextFile &file, const RedrawHooks &hooks,
                                   int cachedSlot, const Rows *cachedRows) {
    const RedrawHooks repainting{repaintingBefore(hooks.afterAxes),
                                 repaintingBefore(hooks.afterPoint)};
    const Status status =
        redrawInputCurves(session, file, canvas_, repainting, cachedSlot, cachedRows);
    update();
    return status;
}

void GraphPanel::drawMean(const MeanCurve &curve, BandKind band,
                          const std::function<void()> &afterPoint) {
    drawSpreadBand(curve, band, canvas_);
    drawMeanCurve(curve, canvas_, repaintingBefore(afterPoint));
    update();
}

void GraphPanel::paintEvent(QPaintEvent *event) {
    QPainter painter(this);
    painter.drawImage(contentsRect().topLeft(), canvas_.image());
    painter.end();
    QFrame::paintEvent(event); // the border
}

} // namespace mergon
