#include "ui/event_yield.h"

#include <QCoreApplication>

namespace mergon::ui {

void EventYield::now() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    sinceLast_.start();
}

void EventYield::throttled() {
    if (!sinceLast_.isValid() || sinceLast_.elapsed() >= frameMs)
        now();
}

} // namespace mergon::ui
