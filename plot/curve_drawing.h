#pragma once
// What the graph panel shows: the frame and axes from the plot range, the input curves read
// again from their files, and the mean curve in red on top.

#include "engine/averaging.h"
#include "engine/reader.h"
#include "engine/session.h"
#include "engine/text_file.h"
#include "plot/figure_kinds.h"
#include "plot/panel_canvas.h"

#include <QColor>

#include <functional>
#include <vector>

namespace mergon {

inline const QColor kAxisColour{0, 0, 255};
inline const QColor kMeanColour{255, 0, 0};
inline const QColor kSpreadColour{255, 0, 0, 50}; // pale red over white: (255, 205, 205)

// Draws one curve from its data points: set point at the first, line to each following one,
// at (x, -y) rounded to float, with `afterPoint` (the yield) after every point.
class CurveDrawing {
  public:
    CurveDrawing(PanelCanvas &canvas, QColor colour, std::function<void()> afterPoint);
    void add(double x, double y);

  private:
    PanelCanvas &canvas_;
    QColor colour_;
    std::function<void()> afterPoint_;
    bool started_ = false;
};

struct RedrawHooks {
    std::function<void()> afterAxes;  // the yield after the axes
    std::function<void()> afterPoint; // the yield after each point
};

// Clears the panel, sets its frame from the plot range, draws the blue axes, then every
// loaded curve read again through its file. Rows already read in this command for one slot
// may be handed in to save reading that file twice.
Status redrawInputCurves(const Session &session, TextFile &file, PanelCanvas &canvas,
                         const RedrawHooks &hooks, int cachedSlot = 0,
                         const Rows *cachedRows = nullptr);
// The same with the rows of every curve kept (mergon-batch); an empty or missing entry is read.
Status redrawInputCurves(const Session &session, TextFile &file, PanelCanvas &canvas,
                         const RedrawHooks &hooks, const RowsBySlot &kept);

// The mean's spread as a band from mean - half to mean + half, filled in translucent pale red
// over whatever the panel shows, one piece per stretch of grid points that have a band. Needs
// the curve's statistics (with their ci for kCi); draws nothing for kNone.
void drawSpreadBand(const MeanCurve &curve, BandKind band, PanelCanvas &canvas);

// The mean curve in red over whatever the panel shows.
void drawMeanCurve(const MeanCurve &curve, PanelCanvas &canvas,
                   const std::function<void()> &afterPoint);

} // namespace mergon
