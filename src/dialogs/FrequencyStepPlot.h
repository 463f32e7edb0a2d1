#pragma once

#include "analysis/FrequencyStepCurve.h"
#include "dialogs/ChartDrawing.h"

#include <optional>
#include <string>
#include <vector>

namespace quav {

/// The point whose response the frequency-step window shows, chosen once
/// when the window opens.
struct FrequencyStepTarget {
    std::string name;                    ///< "質量要素" for the centre of gravity
    Matrix position = Matrix::column(3); ///< global [m]
    std::optional<SpringElement> spring; ///< a spring target, for its local axes

    /// The target as the curve reads it; `local` only counts for a spring.
    CurveTarget curveTarget(bool local) const;
};

/// The first selected spring, else observation point, static load, dynamic
/// load (each in model order), whose selected flag is then cleared; with
/// nothing selected the mass element's centre of gravity.
FrequencyStepTarget takeFrequencyStepTarget(AnalysisModel& model);

/// How curve values map to the drawing area's pixels: the curve spans 90 %
/// of the width, centred, and lies between 15 % and 85 % of the height. A
/// single row is drawn in the middle, a flat curve at mid-height.
struct FrequencyStepScale {
    double kx = 0.0, ox = 0.0; ///< horizontal: pixels per Hz and offset
    double ky = 0.0, oy = 0.0; ///< vertical: pixels per unit and offset
    int height = 0;

    int x(double frequency) const;
    int y(double value) const;
};

FrequencyStepScale frequencyStepScale(const std::vector<CurvePoint>& curve, int width, int height);

/// The curve point under slider position `slider` (0-1000 across the width):
/// the first row beyond the frequency at that pixel, or that frequency with
/// value 0 past the last row. Nothing without rows.
std::optional<CurvePoint> frequencyStepCursor(const std::vector<CurvePoint>& curve,
                                              const FrequencyStepScale& scale, int width,
                                              int slider);

/// Black area, the curve in red, the cursor's grey cross with its frequency
/// and value in white.
ChartDrawing frequencyStepChart(const std::vector<CurvePoint>& curve, int width, int height,
                                int slider);

/// One line "frequency<TAB>value<CR LF>" per row, numbers as %g.
std::string frequencyStepListing(const std::vector<CurvePoint>& curve);

} // namespace quav
