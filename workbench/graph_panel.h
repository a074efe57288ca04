#pragma once
// Picture1: the graph panel widget. It shows its backing image, so the drawing stays when the
// window is covered, uncovered or minimised. Every drawing goes through it, and it repaints.

#include "plot/curve_drawing.h"
#include "plot/panel_canvas.h"

#include <QFrame>

namespace mergon {

class GraphPanel : public QFrame {
    Q_OBJECT
  public:
    explicit GraphPanel(QWidget *parent = nullptr);

    const PanelCanvas &canvas() const { return canvas_; }

    // Erases the drawing and repaints.
    void clear();
    // Draws the axes and the loaded curves as redrawInputCurves does, repainting before each
    // of the hooks and at the end.
    Status drawInputCurves(const Session &session, TextFile &file, const RedrawHooks &hooks,
                           int cachedSlot, const Rows *cachedRows);
    // Draws the band, then the mean curve in red, repainting before each afterPoint and at the
    // end.
    void drawMean(const MeanCurve &curve, BandKind band, const std::function<void()> &afterPoint);

    // Logical pixel size of the drawing area inside the border.
    static QSize drawingSize();

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    // The hook, after a repaint.
    std::function<void()> repaintingBefore(const std::function<void()> &hook);

    PanelCanvas canvas_;
};

} // namespace mergon
