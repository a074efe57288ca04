#pragma once
// Picture1: the graph panel widget. It shows its backing image, so the drawing stays when the
// window is covered, uncovered or minimised.

#include "plot/panel_canvas.h"

#include <QFrame>

namespace mergon {

class GraphPanel : public QFrame {
    Q_OBJECT
  public:
    explicit GraphPanel(QWidget *parent = nullptr);

    PanelCanvas &canvas() { return canvas_; }
    const PanelCanvas &canvas() const { return canvas_; }

    // Erases the drawing and repaints.
    void clear();

    // Logical pixel size of the drawing area inside the border.
    static QSize drawingSize();

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    PanelCanvas canvas_;
};

} // namespace mergon
