#pragma once

#include "model/AnalysisModel.h"

// A small model for the view's tests, its results written by hand.
namespace quav::testing {

/// Mass element id 1 at (0.1, 0.2, 0.3), box 0.6 x 0.4 x 0.5; beside it spring "front"
/// (id 2, bound, Y angle 30, Z angle 10, size 0.1) and spring "rear" (id 3, unbound); static
/// load "weight" (id 4, along -y); dynamic load "unbalance" (id 5, a moment about x,
/// 25 Hz); observation point "radiator" (id 6). Calculated: mode k has frequency k
/// Hz; static and dynamic results one row each.
inline AnalysisModel viewModel() {
    AnalysisModel m;
    m.mass = 100.0;
    m.setCentreOfGravity(Matrix::vector({0.1, 0.2, 0.3}));
    m.setSize(Matrix::vector({0.6, 0.4, 0.5}));
    m.setInertia(Matrix(3, 3, {4, 0, 0, 0, 5, 0, 0, 0, 6}));
    m.addSpring("front", Matrix::vector({0.55, 0.05, 0.0}), Matrix::vector({0, 30, 10}), 0.1f);
    m.addSpring("rear", Matrix::vector({-0.35, 0.05, 0.0}), Matrix::vector({0, 0, 0}), 0.1f);
    m.addStaticLoad("weight", 981.0, Matrix::vector({0.1, 0.2, 0.3}), Matrix::vector({0, -1, 0}),
                    Translational);
    m.addDynamicLoad("unbalance", 50.0, Matrix::vector({0.2, 0.2, 0.3}), Matrix::vector({1, 0, 0}),
                     Moment, 25.0);
    m.addObservationPoint("radiator", Matrix::vector({0.5, 0.3, 0.3}));
    SpringCharacteristic rubber;
    rubber.stiffness = Matrix::vector({2e5, 1e5, 1e5});
    rubber.dynamicFactor = 1.0;
    m.springs[0].characteristicId = m.addCharacteristic(rubber);

    for (int k = 1; k <= 6; ++k)
        m.eigenFrequencies[6 - k] = k;
    for (int i = 0; i < 6; ++i) {
        for (int j = 0; j < 6; ++j)
            m.modeShapes(i, j) = i == j ? 0.8 : 0.1 * (i - j);
    }
    m.staticResults = Matrix(1, 6, {0.001, -0.002, 0.0005, 0.01, 0.0, -0.02});
    m.dynamicResults = Matrix(1, 12,
                              {0.002, 0.001, 0.0, 0.0, 0.03, 0.0, //
                               0.5, 1.0, 0.0, 0.0, -0.5, 0.0});
    m.calculated = 1;
    return m;
}

} // namespace quav::testing
