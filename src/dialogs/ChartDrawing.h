#pragma once

// A chart as a list of pixel-exact primitives in the drawing area's pixels
// (origin top left, y down), so a chart's layout can be checked without a
// window. ChartPainter draws one with QPainter in the order rects, polylines,
// lines, texts.

#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace quav {

struct Rgb {
    unsigned char r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kBlack{0, 0, 0};

/// A filled rectangle covering x in [left, right) and y in [top, bottom).
struct ChartRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    Rgb colour;
};

/// A one-pixel line from (x1, y1) up to, but not including, (x2, y2).
struct ChartLine {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    Rgb colour;
};

struct ChartPoint {
    int x = 0, y = 0;
};

/// A one-pixel polyline through every point.
struct ChartPolyline {
    std::vector<ChartPoint> points;
    Rgb colour;
};

/// One line of text whose cell has its top left corner at (x, y); with a
/// background the cell is filled first, otherwise the text is drawn over what
/// is there.
struct ChartText {
    int x = 0, y = 0;
    std::string text; ///< UTF-8
    Rgb colour;
    std::optional<Rgb> background;
};

/// The integer part of a pixel coordinate, held within +-1e6 pixels so that
/// huge or infinite values stay drawable; not a number gives 0.
inline int toPixel(double v) {
    if (std::isnan(v))
        return 0;
    return static_cast<int>(std::fmax(-1e6, std::fmin(1e6, v)));
}

struct ChartDrawing {
    Rgb background = kWhite; ///< fills the whole area first
    std::vector<ChartRect> rects;
    std::vector<ChartPolyline> polylines;
    std::vector<ChartLine> lines;
    std::vector<ChartText> texts;
};

} // namespace quav
