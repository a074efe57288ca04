#include "ui/placement.h"

#include "ui/fonts.h"

#include <QScreen>
#include <QWidget>

#include <cmath>

namespace mergon::ui {

QPointF centredTopLeftTwips(QSizeF screenTwips, QSizeF windowTwips) {
    float left = static_cast<float>(screenTwips.width()) / 2.0f -
                 static_cast<float>(windowTwips.width()) / 2.0f;
    float top = static_cast<float>(screenTwips.height()) / 2.0f -
                static_cast<float>(windowTwips.height()) / 2.0f;
    return {left, top};
}

void placeInTwips(QWidget *widget, int left, int top, int width, int height) {
    widget->setGeometry(px(left), px(top), px(width), px(height));
}

void centreOnScreen(QWidget *window) {
    window->winId(); // creates the platform window, so that the frame counts
    const QScreen *screen = window->screen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    QPointF twips = centredTopLeftTwips(QSizeF(area.size()) * 15.0,
                                        QSizeF(window->frameGeometry().size()) * 15.0);
    window->move(area.topLeft() + QPoint(static_cast<int>(std::floor(twips.x() / 15.0)),
                                         static_cast<int>(std::floor(twips.y() / 15.0))));
}

} // namespace mergon::ui
