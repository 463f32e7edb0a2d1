#include "dialogs/CurvePlot.h"

#include "model/TextFormat.h"

#include <algorithm>
#include <cmath>

namespace quav {

namespace {

bool placeable(double v, AxisScale scale) {
    return std::isfinite(v) && (scale == AxisScale::Linear || v > 0);
}

/// Lowest and highest of the values `take` gives for the points it accepts.
struct Extent {
    double lo = INFINITY, hi = -INFINITY;
    bool any() const { return lo <= hi; }
    void add(double v) {
        lo = std::fmin(lo, v);
        hi = std::fmax(hi, v);
    }
};

void appendNumber(std::string& out, double v, bool full) {
    out += full ? format("%.17g", v) : format("%g", v);
}

} // namespace

double niceStep(double step) {
    if (!(step > 0) || !std::isfinite(step))
        return 1.0;
    // Negative powers by division, so 5e-6 is the double nearest to it.
    const double exponent = std::floor(std::log10(step));
    const auto scaled = [exponent](double m) {
        return exponent < 0 ? m / std::pow(10.0, -exponent) : m * std::pow(10.0, exponent);
    };
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (scaled(m) >= step * (1 - 1e-9))
            return scaled(m);
    return scaled(10.0);
}

AxisRange linearAxisRange(double lo, double hi) {
    if (!std::isfinite(lo) || !std::isfinite(hi) || lo > hi)
        return {};
    if (lo >= 0)
        lo = 0.0; // an amplitude reads against zero
    double top = hi + (hi - lo) * 0.05;
    if (top == lo) { // flat: zero, or one value of either sign
        const double span = lo == 0 ? 1.0 : std::fabs(lo) * 0.5;
        lo -= lo == 0 ? 0.0 : span;
        top += span;
    }
    const double interval = niceStep((top - lo) / 5.0);
    return {std::floor(lo / interval) * interval, std::ceil(top / interval) * interval, interval};
}

AxisRange logAxisRange(double lo, double hi) {
    if (!(lo > 0) || !(hi >= lo) || !std::isfinite(hi))
        return {1.0, 10.0, 0.0};
    const double min = std::pow(10.0, std::floor(std::log10(lo)));
    double max = std::pow(10.0, std::ceil(std::log10(hi)));
    if (max <= min)
        max = min * 10.0;
    return {min, max, 0.0};
}

AxisRange frequencyAxisRange(const std::vector<PlotCurve>& curves, AxisScale scale) {
    Extent e;
    for (const auto& c : curves)
        for (const auto& p : c.points)
            if (placeable(p.frequency, scale))
                e.add(p.frequency);
    if (scale == AxisScale::Logarithmic) {
        if (!e.any())
            return {1.0, 10.0, 0.0};
        if (e.hi == e.lo) // one step: a decade around it
            return {e.lo / std::sqrt(10.0), e.lo * std::sqrt(10.0), 0.0};
        return {e.lo, e.hi, 0.0};
    }
    if (!e.any())
        return {};
    if (e.hi == e.lo) {
        const double span = std::fmax(std::fabs(e.lo) * 0.1, 1.0);
        return {e.lo - span, e.lo + span, niceStep(span / 4.0)};
    }
    return {e.lo, e.hi, niceStep((e.hi - e.lo) / 8.0)};
}

AxisRange valueAxisRange(const std::vector<PlotCurve>& curves, AxisScale frequency,
                         AxisScale value) {
    Extent e;
    for (const auto& c : curves)
        for (const auto& p : c.points)
            if (placeable(p.frequency, frequency) && placeable(p.value, value))
                e.add(p.value);
    if (value == AxisScale::Logarithmic)
        return e.any() ? logAxisRange(e.lo, e.hi) : logAxisRange(1.0, 10.0);
    return e.any() ? linearAxisRange(e.lo, e.hi) : linearAxisRange(0.0, 0.0);
}

double axisFraction(double v, const AxisRange& range, AxisScale scale) {
    if (scale == AxisScale::Logarithmic)
        return std::log(v / range.min) / std::log(range.max / range.min);
    return (v - range.min) / (range.max - range.min);
}

double axisValue(double fraction, const AxisRange& range, AxisScale scale) {
    if (scale == AxisScale::Logarithmic)
        return range.min * std::pow(range.max / range.min, fraction);
    return range.min + fraction * (range.max - range.min);
}

AxisRange zoomedRange(const AxisRange& shown, double from, double to, AxisScale scale, int ticks) {
    const double lo = axisValue(std::fmin(from, to), shown, scale);
    const double hi = axisValue(std::fmax(from, to), shown, scale);
    return {lo, hi, scale == AxisScale::Linear ? niceStep((hi - lo) / ticks) : 0.0};
}

std::string valueAxisTitle(const std::string& quantity, const std::vector<PlotCurve>& curves) {
    std::vector<std::string> units;
    for (const auto& c : curves)
        if (std::find(units.begin(), units.end(), c.unit) == units.end())
            units.push_back(c.unit);
    std::string title = quantity;
    for (std::size_t i = 0; i < units.size(); ++i)
        title += (i == 0 ? " [" : ", ") + units[i];
    return units.empty() ? title : title + "]";
}

double decibel(double v) {
    return 20.0 * std::log10(v);
}

std::vector<std::vector<CurvePoint>> drawableRuns(const std::vector<CurvePoint>& points,
                                                  AxisScale frequency, AxisScale value) {
    std::vector<std::vector<CurvePoint>> runs;
    bool open = false;
    for (const auto& p : points) {
        if (!placeable(p.frequency, frequency) || !placeable(p.value, value)) {
            open = false;
            continue;
        }
        if (!open)
            runs.emplace_back();
        runs.back().push_back(p);
        open = true;
    }
    return runs;
}

std::size_t nearestStep(const std::vector<CurvePoint>& steps, double frequency, AxisScale scale) {
    if (steps.empty() || !(frequency >= steps.front().frequency))
        return 0; // below the first step, or not a number
    const auto above =
        std::lower_bound(steps.begin(), steps.end(), frequency,
                         [](const CurvePoint& p, double f) { return p.frequency < f; });
    if (above == steps.end())
        return steps.size() - 1;
    const auto i = static_cast<std::size_t>(above - steps.begin());
    if (i == 0)
        return 0;
    const double below = steps[i - 1].frequency, next = above->frequency;
    const bool logarithmic = scale == AxisScale::Logarithmic && below > 0;
    const double toBelow = logarithmic ? std::log(frequency / below) : frequency - below;
    const double toNext = logarithmic ? std::log(next / frequency) : next - frequency;
    return toNext < toBelow ? i : i - 1;
}

std::string cursorReadout(const std::vector<PlotCurve>& curves, std::size_t step) {
    if (curves.empty() || step >= curves.front().points.size())
        return {};
    std::string text = format("%g Hz", curves.front().points[step].frequency);
    for (const auto& c : curves)
        if (step < c.points.size())
            text += format("    %s: %g%s", c.name.c_str(), c.points[step].value,
                           c.unit == "-" ? "" : (" " + c.unit).c_str());
    return text;
}

std::vector<FrequencyMarker> frequencyMarkers(const AnalysisModel& model) {
    std::vector<FrequencyMarker> markers;
    const Matrix& f = model.eigenFrequencies;
    if (model.calculated && f.rows() * f.cols() >= 6)
        for (int k = 1; k <= 6; ++k) {
            const double fk = f[6 - k];
            if (std::isfinite(fk) && fk > 0) // a mode the calculation found
                markers.push_back(
                    {fk, format("Mode%d %.2fHz", k, fk), FrequencyMarker::NaturalFrequency});
        }
    for (const auto& load : model.dynamicLoads)
        if (std::isfinite(load.frequency))
            markers.push_back({load.frequency, load.name, FrequencyMarker::LoadFrequency});
    return markers;
}

std::string tableCell(const std::string& text, char separator) {
    if (text.find_first_of(std::string{separator, '"', '\r', '\n'}) == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + "\"";
}

std::string curveTable(const std::vector<PlotCurve>& curves, TableStyle style) {
    std::string out = "周波数 [Hz]";
    for (const auto& c : curves)
        out += style.separator + tableCell(c.name + " [" + c.unit + "]", style.separator);
    out += "\r\n";
    const std::size_t rows = curves.empty() ? 0 : curves.front().points.size();
    for (std::size_t i = 0; i < rows; ++i) {
        appendNumber(out, curves.front().points[i].frequency, style.fullPrecision);
        for (const auto& c : curves) {
            out += style.separator;
            if (i < c.points.size())
                appendNumber(out, c.points[i].value, style.fullPrecision);
        }
        out += "\r\n";
    }
    return out;
}

} // namespace quav
