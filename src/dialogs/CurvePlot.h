#pragma once

// What the curve windows decide, without a widget: axis ranges, what a
// logarithmic axis can show, decibels, the cursor's step, the markers and the
// tables the windows list and save.

#include "analysis/FrequencyStepCurve.h"

#include <cstddef>
#include <string>
#include <vector>

namespace quav {

enum class AxisScale { Linear, Logarithmic };

/// One curve as a window shows it. The curves of one window share their
/// frequencies (the sweep's steps).
struct PlotCurve {
    std::string name; ///< legend and column heading, without the unit
    std::string unit; ///< "m", "rad", "dB re 1 m/N", "-", "%"
    std::vector<CurvePoint> points;
};

/// An axis: shown range and, on a linear axis, the distance between labelled
/// ticks (ticks sit on whole multiples of it). A logarithmic axis labels its
/// decades.
struct AxisRange {
    double min = 0.0;
    double max = 1.0;
    double tickInterval = 0.2;
    bool operator==(const AxisRange&) const = default;
};

/// 1, 2, 2.5 or 5 times a power of ten, the smallest of them not below `step`.
double niceStep(double step);

/// A linear axis over [lo, hi]: amplitudes (lo >= 0) start at 0, the top gets
/// 5 % room; a flat or empty range still gets a visible span.
AxisRange linearAxisRange(double lo, double hi);

/// A logarithmic axis over [lo, hi] (both > 0), widened to whole decades.
AxisRange logAxisRange(double lo, double hi);

/// The frequency axis: exactly the span of the curves' frequencies (the
/// positive ones on a logarithmic axis), so the first and last steps lie on
/// the plot's edges.
AxisRange frequencyAxisRange(const std::vector<PlotCurve>& curves, AxisScale scale);

/// The value axis for every drawable point of `curves`.
AxisRange valueAxisRange(const std::vector<PlotCurve>& curves, AxisScale frequency,
                         AxisScale value);

/// Where `v` lies along an axis showing `range`: 0 at its minimum, 1 at its
/// maximum, in ratio on a logarithmic axis.
double axisFraction(double v, const AxisRange& range, AxisScale scale);
/// The value at `fraction` along the axis (the inverse of axisFraction).
double axisValue(double fraction, const AxisRange& range, AxisScale scale);

/// The part of `shown` between the fractions `from` and `to` (either order),
/// with linear ticks for about `ticks` intervals: a rubber band's zoom.
AxisRange zoomedRange(const AxisRange& shown, double from, double to, AxisScale scale, int ticks);

/// A value axis' title: `quantity` and the units of the curves, "振幅 [m, rad]".
std::string valueAxisTitle(const std::string& quantity, const std::vector<PlotCurve>& curves);

/// 20 log10(v): an amplitude per unit force in dB re 1 m/N. Zero gives -inf.
double decibel(double v);

/// The runs of a curve that can be drawn on these axes: points whose value is
/// not a number, or that a logarithmic axis cannot place (zero or negative),
/// split the curve instead of being drawn as a jump.
std::vector<std::vector<CurvePoint>> drawableRuns(const std::vector<CurvePoint>& points,
                                                  AxisScale frequency, AxisScale value);

/// The sweep step nearest to `frequency` (nearest on the axis as drawn, so in
/// ratio on a logarithmic axis), clamped to the first and last step. `steps`
/// must not be empty and its frequencies rise.
std::size_t nearestStep(const std::vector<CurvePoint>& steps, double frequency, AxisScale scale);

/// "25 Hz" then one "name: value unit" per curve at step `step`, values as %g.
std::string cursorReadout(const std::vector<PlotCurve>& curves, std::size_t step);

/// A vertical line the curve windows draw: a natural frequency or the
/// frequency of a dynamic load.
struct FrequencyMarker {
    enum Kind { NaturalFrequency, LoadFrequency };
    double frequency = 0.0; ///< [Hz]
    std::string label;
    Kind kind = NaturalFrequency;
};

/// The model's natural frequencies ("Mode1 5.02Hz" ..., only when it has been
/// calculated and the mode exists) and every dynamic load's frequency (its name).
std::vector<FrequencyMarker> frequencyMarkers(const AnalysisModel& model);

/// How a table of curves is written.
struct TableStyle {
    char separator = '\t';
    bool fullPrecision = false; ///< %.17g (every bit) rather than %g (as read on screen)
};
inline constexpr TableStyle kListingStyle{'\t', false};
inline constexpr TableStyle kCsvStyle{',', true};
inline constexpr TableStyle kTsvStyle{'\t', true};

/// A heading row ("周波数 [Hz]", then "name [unit]" per curve), then one row
/// per step of the first curve; lines end in CR LF. A CSV field that holds a
/// comma, a quote or a line break is quoted.
std::string curveTable(const std::vector<PlotCurve>& curves, TableStyle style);

/// One cell of a table: quoted when it holds the separator, a quote or a line
/// break (a quote inside doubled).
std::string tableCell(const std::string& text, char separator);

} // namespace quav
