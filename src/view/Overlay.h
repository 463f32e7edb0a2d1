#pragma once

// The texts and lines drawn over the 3-D picture: the numbers behind a result
// display and the axis legend. Decided here without Qt; the view paints them.

#include "view/DisplayState.h"
#include "view/SceneMath.h"

#include <string>
#include <vector>

namespace quav {

class AnalysisModel;

/// A text at (x, y) pixels from the top-left of the view (its top edge; its
/// left edge, or its right edge when `alignRight`). Texts `onPanel` are drawn
/// on one translucent panel behind them all, the others on an opaque black box
/// of their own.
struct OverlayText {
    int x = 0;
    int y = 0;
    std::string text; ///< UTF-8
    bool alignRight = false;
    bool onPanel = false;
    Rgb colour{1, 1, 1};
};

/// A one-pixel line of the legend.
struct OverlayLine {
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    Rgb colour;
};

struct Overlay {
    std::vector<OverlayText> texts;
    std::vector<OverlayLine> lines;
};

/// The texts of the current display (mode shape, static or dynamic result) for
/// the object picked last (`pickResult`; a spring's name marked when its
/// characteristic has a frequency table), or for the model itself the springs
/// with frequency tables, then the axis legend of a view `height` pixels high.
/// Every number is labelled with its direction and unit; displacements are in
/// engineering notation. `stale`: the results are those of the model as last
/// calculated, drawn in grey under a line saying so. A
/// display whose results are missing shows what it can.
Overlay buildOverlay(const AnalysisModel* model, const DisplayState& state, int pickResult,
                     int height, bool stale = false);

/// `value` with an SI prefix that keeps the mantissa in [1, 1000) and four
/// significant digits: "1.234 mm", "-56.7 µrad", "0 m"; a value that is not a
/// number as printf's %g prints it.
std::string engineering(double value, const std::string& unit);

} // namespace quav
