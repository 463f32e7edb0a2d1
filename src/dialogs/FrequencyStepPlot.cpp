#include "dialogs/FrequencyStepPlot.h"

#include "model/TextFormat.h"

#include <cmath>

namespace quav {

namespace {

constexpr Rgb kCurveColour{255, 0, 0};
constexpr Rgb kCursorColour{125, 125, 125};

/// The first selected element of `items`, deselected; or null.
template <class Items> typename Items::value_type* takeSelected(Items& items) {
    for (auto& item : items)
        if (item.selected) {
            item.selected = 0;
            return &item;
        }
    return nullptr;
}

template <class Element> FrequencyStepTarget targetAt(const Element& e) {
    FrequencyStepTarget target;
    target.name = e.name;
    target.position = e.position;
    return target;
}

} // namespace

CurveTarget FrequencyStepTarget::curveTarget(bool local) const {
    CurveTarget target;
    target.position = position;
    target.spring = spring ? &*spring : nullptr;
    target.local = local && spring;
    return target;
}

FrequencyStepTarget takeFrequencyStepTarget(AnalysisModel& model) {
    if (const SpringElement* s = takeSelected(model.springs)) {
        FrequencyStepTarget target = targetAt(*s);
        target.spring = *s;
        return target;
    }
    if (const ObservationPoint* p = takeSelected(model.observationPoints))
        return targetAt(*p);
    if (const StaticLoad* l = takeSelected(model.staticLoads))
        return targetAt(*l);
    if (const DynamicLoad* l = takeSelected(model.dynamicLoads))
        return targetAt(*l);
    FrequencyStepTarget target;
    target.name = "質量要素";
    target.position = model.centreOfGravity;
    return target;
}

int FrequencyStepScale::x(double frequency) const {
    return toPixel(frequency * kx) - toPixel(ox);
}

int FrequencyStepScale::y(double value) const {
    return toPixel(oy) + height - toPixel(value * ky);
}

FrequencyStepScale frequencyStepScale(const std::vector<CurvePoint>& curve, int width, int height) {
    FrequencyStepScale s;
    s.height = height;
    // Values that are not numbers (a singular model) take no part in the scale.
    bool any = false;
    double vmax = 0.0, vmin = 0.0;
    for (const auto& p : curve)
        if (std::isfinite(p.value)) {
            vmax = any ? std::fmax(vmax, p.value) : p.value;
            vmin = any ? std::fmin(vmin, p.value) : p.value;
            any = true;
        }
    const double range = vmax - vmin;
    if (range > 0 && std::isfinite(range)) {
        s.ky = height / range * 0.7;
        s.oy = s.ky * vmin - height * 0.15;
    } else {
        s.oy = -height * 0.5;
    }
    const double span = curve.size() >= 2 ? curve.back().frequency - curve.front().frequency : 0.0;
    if (span != 0 && std::isfinite(span)) {
        s.kx = width / span * 0.9;
        s.ox = s.kx * (curve.front().frequency + span * 0.5) - std::floor(width / 2.0);
    } else {
        s.ox = -std::floor(width / 2.0);
    }
    return s;
}

std::optional<CurvePoint> frequencyStepCursor(const std::vector<CurvePoint>& curve,
                                              const FrequencyStepScale& scale, int width,
                                              int slider) {
    if (curve.empty())
        return std::nullopt;
    if (scale.kx == 0)
        return curve.front(); // one row fills the width
    const double x = std::trunc(slider * width * 0.001);
    const double fx = (x + scale.ox) / scale.kx;
    for (const auto& p : curve)
        if (p.frequency > fx)
            return p;
    return CurvePoint{fx, 0.0};
}

ChartDrawing frequencyStepChart(const std::vector<CurvePoint>& curve, int width, int height,
                                int slider) {
    ChartDrawing d;
    d.background = kBlack;
    const FrequencyStepScale scale = frequencyStepScale(curve, width, height);
    ChartPolyline line{{}, kCurveColour};
    for (const auto& p : curve) {
        if (!std::isfinite(p.value)) { // a gap, not a jump to the edge
            if (!line.points.empty())
                d.polylines.push_back(std::move(line));
            line = ChartPolyline{{}, kCurveColour};
            continue;
        }
        line.points.push_back({scale.x(p.frequency), scale.y(p.value)});
    }
    if (!line.points.empty())
        d.polylines.push_back(std::move(line));

    if (const auto c = frequencyStepCursor(curve, scale, width, slider)) {
        const int cx = scale.x(c->frequency);
        const int cy = scale.y(c->value);
        d.lines.push_back({cx, 0, cx, height, kCursorColour});
        d.lines.push_back({0, cy, width, cy, kCursorColour});
        d.texts.push_back({cx, height - 20, format("%g", c->frequency), kWhite, kBlack});
        d.texts.push_back({0, cy, format("%g", c->value), kWhite, kBlack});
    }
    return d;
}

std::string frequencyStepListing(const std::vector<CurvePoint>& curve) {
    std::string text;
    for (const auto& p : curve)
        appendFormat(text, "%g\t%g\r\n", p.frequency, p.value);
    return text;
}

} // namespace quav
