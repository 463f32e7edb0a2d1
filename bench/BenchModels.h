#pragma once

#include "model/AnalysisModel.h"

namespace quav::bench {

/// A power unit on four inclined mounts, inertia with products of inertia, two
/// static load cases (weight and a torque) and one unbalance.
inline AnalysisModel powerUnit() {
    AnalysisModel m{AnalysisModel::Detached{}};
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

} // namespace quav::bench
