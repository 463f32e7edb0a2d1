#pragma once

// The texts and lines drawn over the 3-D picture: the numbers behind a result
// display and the axis legend. Decided here without Qt; the view paints them.

#include "view/DisplayState.h"
#include "view/SceneMath.h"

#include <string>
#include <vector>

namespace quav {

class AnalysisModel;

/// A text whose top-left corner is at (x, y) pixels from the top-left of the
/// view; white on an opaque black background.
struct OverlayText {
    int x = 0;
    int y = 0;
    std::string text; ///< UTF-8
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
/// with frequency tables, then the axis legend of a view `height` pixels high. A
/// display whose results are missing shows what it can.
Overlay buildOverlay(const AnalysisModel* model, const DisplayState& state, int pickResult,
                     int height);

} // namespace quav
