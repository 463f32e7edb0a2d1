#pragma once

#include "model/AnalysisModel.h"
#include "optimizer/Optimizer.h"
#include "optimizer/Variant.h"

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace quav::bench {

/// A power unit on four inclined mounts, inertia with products of inertia, two
/// static load cases (weight and a torque) and one unbalance.
inline AnalysisModel powerUnit() {
    AnalysisModel m;
    m.mass = 150.0;
    m.setCentreOfGravity(Matrix::vector({0.02, -0.01, 0.12}));
    m.setInertia(Matrix(3, 3, {6.5, 0.4, -0.3, 0.4, 8.2, 0.2, -0.3, 0.2, 9.1}));
    const double xy[4][2] = {{0.3, 0.25}, {-0.3, 0.25}, {0.3, -0.25}, {-0.3, -0.25}};
    for (const auto& p : xy) {
        m.addSpring("mount", Matrix::vector({p[0], p[1], -0.1}),
                    Matrix::vector({0, p[1] > 0 ? 30.0 : -30.0, 0}), 0.05f);
        m.springs.back().selected = 1;
    }
    m.assignCharacteristic("rubber", Matrix::vector({4e5, 1e5, 1e5}), 1.3,
                           Matrix::vector({200, 100, 100}));
    m.addStaticLoad("weight", m.mass * 9.81, m.centreOfGravity, Matrix::vector({0, 0, -1}),
                    Translational);
    m.addStaticLoad("torque", 80.0, Matrix::vector({0.1, 0.2, 0.0}), Matrix::vector({1, 0, 0}),
                    Moment);
    m.addDynamicLoad("unbalance", 120.0, Matrix::vector({0.25, 0.0, 0.15}),
                     Matrix::vector({0, 0.6, 0.8}), Translational, 30.0);
    return m;
}

inline Matrix v3(double x, double y, double z) {
    return Matrix::vector({x, y, z});
}

/// Four inclined mounts on two characteristics, products of inertia, two static loads.
inline AnalysisModel studyModel() {
    AnalysisModel m;
    m.mass = 185.0;
    m.setInertia(Matrix(3, 3, {8.2, 0.45, 1.1, 0, 12.6, -0.3, 0, 0, 10.4}));
    m.setCentreOfGravity(v3(0.02, 0.01, 0.18));
    const double at[4][4] = {{0.36, -0.25, 0.05, -110},
                             {0.36, 0.25, 0.05, -70},
                             {-0.40, -0.25, -0.02, -105},
                             {-0.40, 0.25, -0.02, -75}};
    for (const auto& p : at)
        m.addSpring("mount", v3(p[0], p[1], p[2]), v3(0, p[3], 0), 0.06f); // ids 2-5
    m.springs[0].selected = m.springs[1].selected = 1;
    m.assignCharacteristic("front", v3(272500, 54500, 54500), 1.3, v3(320, 110, 110)); // 6
    m.springs[2].selected = m.springs[3].selected = 1;
    m.assignCharacteristic("rear", v3(218000, 43600, 43600), 1.4, v3(260, 90, 90)); // 7
    m.addStaticLoad("weight", 1814.85, v3(0.02, 0.01, 0.18), v3(0, 0, -1), Translational);
    m.addStaticLoad("roll", 220, v3(0.02, 0.01, 0.18), v3(1, 0, 0), Moment); // 9
    return m;
}

/// Four parameters bound to rates and positions, `values` values each, with
/// the usual conditions on; few variants pass.
inline Optimizer studyOptimizer(int values = 10) {
    Optimizer o;
    const double steps = values - 1;
    const int front = o.addParameter("front Kxx", 2.3e5 + steps * 9e4 / steps, 2.3e5, 9e4 / steps);
    const int rear = o.addParameter("rear Kxx", 1.7e5 + 9e4, 1.7e5, 9e4 / steps);
    const int rearX = o.addParameter("rear x", -0.35, -0.44, 0.09 / steps);
    const int frontY = o.addParameter("front y", 0.3, 0.21, 0.09 / steps);
    for (int target : {1, 2, 3})
        o.setBinding(6, target, front, target == 1 ? 1.0 : 0.2);
    for (int target : {1, 2, 3})
        o.setBinding(7, target, rear, target == 1 ? 1.0 : 0.2);
    o.setBinding(4, 1, rearX, 1.0);
    o.setBinding(5, 1, rearX, 1.0);
    o.setBinding(2, 2, frontY, -1.0);
    o.setBinding(3, 2, frontY, 1.0);
    auto& c = o.conditions;
    c.minFrequencyEnabled = c.maxFrequencyEnabled = 1;
    c.minFrequency = 5.0;
    c.maxFrequency = 20.0;
    c.meanCouplingEnabled = 1;
    c.meanCouplingMax = 12.0;
    c.springRatioEnabled = 1;
    c.modeConditionEnabled[2] = 1;
    c.modeContributionPct[2] = 50.0;
    c.modeMaxFrequency[2] = 14.0;
    DisplacementCondition d;
    d.objectId = 1;
    d.loadId = 8;
    d.limit = 0.004;
    d.directionFlags = {0, 0, 0, 0, 0, 0, 1};
    c.addDisplacementCondition(d);
    return o;
}

/// The study's conditions cut down to those no screen settles before the full
/// calculation: the mode contributions and the mean coupling degree (68 of the
/// 104,976 variants of 18 values per parameter pass).
inline void keepOnlyUnscreenedConditions(Optimizer& o) {
    OptimizationConditions& c = o.conditions;
    c.minFrequencyEnabled = c.maxFrequencyEnabled = 0;
    c.springRatioEnabled = 0;
    c.displacementConditions.clear();
    c.meanCouplingMax = 10.0;
}

/// The study's conditions cut down to its frequency window (5-20 Hz), which the
/// screen settles by counting for nearly every variant.
inline void keepOnlyFrequencyWindow(Optimizer& o) {
    OptimizationConditions& c = o.conditions;
    c = OptimizationConditions{};
    c.minFrequencyEnabled = c.maxFrequencyEnabled = 1;
    c.minFrequency = 5.0;
    c.maxFrequency = 20.0;
}

/// Conditions of a bench run: 1 the study's, 0 those no screen settles, 2 the
/// frequency window alone, 3 a window no variant passes (the counts alone).
inline void benchConditions(Optimizer& o, std::int64_t which) {
    if (which == 0)
        keepOnlyUnscreenedConditions(o);
    else if (which >= 2)
        keepOnlyFrequencyWindow(o);
    // A window above every variant's lowest frequency: the counts reject them all.
    if (which == 3)
        o.conditions.minFrequency = 40.0;
}

/// Every combination of the parameters' values in enumeration order (the first
/// parameter outermost), value i being min + i x increment (a run adds the
/// increment up, which can differ in the last bits).
inline std::vector<std::vector<double>> allCombinations(const std::vector<DesignParameter>& ps) {
    std::vector<std::vector<double>> all{{}};
    for (const auto& p : ps) {
        std::vector<std::vector<double>> longer;
        for (const auto& head : all) {
            for (std::int64_t i = 0; i < valueCount(p); ++i) {
                longer.push_back(head);
                longer.back().push_back(p.minValue + static_cast<double>(i) * p.increment);
            }
        }
        all = std::move(longer);
    }
    return all;
}

/// Sets the parameters' current values to combination `index`.
inline void setCombination(std::vector<DesignParameter>& ps,
                           const std::vector<std::vector<double>>& combinations,
                           std::size_t index) {
    for (std::size_t i = 0; i < ps.size(); ++i)
        ps[i].currentValue = combinations[index][i];
}

} // namespace quav::bench
