#pragma once

#include "analysis/FrequencyStepCurve.h"
#include "dialogs/CurvePlot.h"

#include <optional>
#include <string>
#include <vector>

namespace quav {

/// A point whose response the frequency-step window can show.
struct FrequencyStepTarget {
    std::string name;                    ///< "質量要素" for the centre of gravity
    Matrix position = Matrix::column(3); ///< global [m]
    std::optional<SpringElement> spring; ///< a spring target, for its local axes
    int id = 0;                          ///< the element's id; the mass element's for the CoG

    /// The target as the curve reads it; `local` only counts for a spring.
    CurveTarget curveTarget(bool local) const;
};

/// The first selected spring, else observation point, static load, dynamic
/// load (each in model order), whose selected flag is then cleared; with
/// nothing selected the mass element's centre of gravity.
FrequencyStepTarget takeFrequencyStepTarget(AnalysisModel& model);

/// Every point the window offers: the centre of gravity, then the springs,
/// observation points, static loads and dynamic loads in model order.
std::vector<FrequencyStepTarget> frequencyStepTargets(const AnalysisModel& model);

/// One curve of the window.
struct FrequencyStepChoice {
    int load = 0;       ///< index in `dynamicLoads`
    bool local = false; ///< in the spring's own axes
    int dof = 0;        ///< 0-5: x, y, z, Rx, Ry, Rz
    bool operator==(const FrequencyStepChoice&) const = default;
};

/// A translation under a force load of non-zero size: the amplitude divided by
/// the force is a response per force [m/N], which decibels can show.
bool isResponsePerForce(const AnalysisModel& model, int load, int dof);

/// The curve of `choice` at `target`, named "rear left ﾛｰｶﾙ z / unbalance"
/// (point, axes, direction, load) in m or rad; with `decibels`, and when it is
/// a response per force, 20 log10(amplitude / force) in dB re 1 m/N.
PlotCurve frequencyStepPlotCurve(const AnalysisModel& model, const FrequencyStepTarget& target,
                                 const FrequencyStepChoice& choice, bool decibels);

} // namespace quav
