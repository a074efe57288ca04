#include "workbench/graph_panel.h"

#include "ui/fonts.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace mergon {

namespace {
constexpr int kBorder = 2; // sunken panel border
constexpr int kWidthTwips = 4935, kHeightTwips = 3255;

qreal screenRatio() {
    QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->devicePixelRatio() : 1.0;
}
} // namespace

QSize GraphPanel::drawingSize() {
    return {ui::px(kWidthTwips) - 2 * kBorder, ui::px(kHeightTwips) - 2 * kBorder};
}

GraphPanel::GraphPanel(QWidget *parent) : QFrame(parent), canvas_(drawingSize(), screenRatio()) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(kBorder);
    setFixedSize(ui::px(kWidthTwips), ui::px(kHeightTwips));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void GraphPanel::clear() {
    canvas_.clear();
    update();
}

void GraphPanel::paintEvent(QPaintEvent *event) {
    QPainter painter(this);
    painter.drawImage(contentsRect().topLeft(), canvas_.image());
    painter.end();
    QFrame::paintEvent(event); // the border
}

} // namespace mergon
