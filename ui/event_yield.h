#pragma once
// The event-loop yield of long commands: lets the window repaint and take input.

#include <QElapsedTimer>

namespace mergon::ui {

class EventYield {
  public:
    // Runs the event loop now, whatever the time since the last run.
    void now();
    // Runs the event loop when about a frame's time has passed since the last run, so a
    // curve grows visibly without spending its time on repaints.
    void throttled();

    static constexpr qint64 kFrameMs = 15;
    qint64 frameMs = kFrameMs; // 0 runs the loop at every call: tests click in between

  private:
    QElapsedTimer sinceLast_;
};

} // namespace mergon::ui
