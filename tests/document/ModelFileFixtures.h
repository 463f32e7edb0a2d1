#pragma once

// Models and hand-assembled files shared by the model-file tests.

#include "model/AnalysisModel.h"
#include "model/Archive.h"
#include "optimizer/Optimizer.h"
#include "support/TestSupport.h"

#include <string>

namespace quav::fixtures {

using testing::v3;

/// A model with one element of every kind, results and a three-step sweep.
inline AnalysisModel sampleModel() {
    AnalysisModel m;
    m.mass = 12.5;
    m.setCentreOfGravity(v3(0.1, 0.2, 0.3));
    m.setSize(v3(0.5, 0.4, 0.3));
    m.setInertia(Matrix(3, 3, {0.8, 0.01, 0.02, 0, 0.9, 0.03, 0, 0, 1.1}));
    const int a = m.addSpring("ばねA", v3(0.2, 0.1, -0.05), v3(0, 15, 30), 0.05f);
    m.addSpring("B", v3(-0.2, 0.1, -0.05), v3(0, 0, 0), 1.0f);
    m.setSpringSelection(a);
    m.assignCharacteristic("ゴム1", v3(1e5, 2e4, 2.5e4), 1.2, v3(10, 20, 30));
    m.setSpringSelection(a); // leave spring A selected to check the flag survives
    m.addStaticLoad("重力", 122.625, v3(0.1, 0.2, 0.3), v3(0, 0, -1), Translational);
    m.addStaticLoad("M", 5.0, v3(0, 0, 0), v3(1, 0, 0), Moment);
    m.setLoadSelection(m.staticLoads[1].id);
    m.addDynamicLoad("加振", 50.0, v3(0.3, 0, 0), v3(0, 1, 0), Translational, 30.0);
    m.addObservationPoint("観測点1", v3(0.4, 0.4, 0.4));
    m.setObservationPointSelection(-1);
    m.memo = std::string(100, 'x') + "ﾒﾓ：半角と全角の混在" + std::string(200, 'y');

    m.staticResults = Matrix(2, 6, {1e-3, 2e-3, 3e-3, 4e-4, 5e-4, 6e-4, -1, -2, -3, -4, -5, -6});
    m.dynamicResults = Matrix(1, 12);
    for (int i = 0; i < 12; ++i)
        m.dynamicResults[i] = 0.25 * (i + 1);
    m.eigenFrequencies = Matrix::vector({60, 50, 40, 30, 20, 10});
    for (int i = 0; i < 36; ++i)
        m.modeShapes[i] = (i % 7 == 0) ? 1.0 : 0.01 * i;
    m.setFrequencyRange(12.0, 10.0, 1.0);
    for (int k = 0; k < 3; ++k) {
        Matrix step(1, 12);
        for (int i = 0; i < 12; ++i)
            step[i] = k * 100 + i;
        m.frequencyStepResults.push_back(step);
    }
    m.calculated = 1;
    return m;
}

/// An optimiser with parameters, bindings and every kind of condition, bound to
/// objects of `sampleModel()` (spring 2, characteristic 4); parameter ids 1, 2.
inline Optimizer sampleOptimizer(AnalysisModel* model) {
    Optimizer o;
    o.attach(model);
    const int p1 = o.addParameter("P", 0.3, 0.1, 0.1);
    const int p2 = o.addParameter("縦ばね", 2e5, 1e5, 5e4);
    o.parameters[1].currentValue = 1.5e5;
    o.setBinding(2, 1, p1, 1.0);
    o.setBinding(4, 1, p2, 2.0);
    o.setBinding(2, 6, 0, 1.0);
    OptimizationConditions& c = o.conditions;
    c.modeConditionEnabled[2] = 1;
    c.modeContributionPct[2] = 50;
    c.modeMaxFrequency[2] = 10;
    c.minFrequencyEnabled = 1;
    c.minFrequency = 5;
    c.maxFrequency = 80;
    c.springRatioEnabled = 1;
    c.springRatio = 4.0;
    c.meanCouplingEnabled = 1;
    c.meanCouplingMax = 20;
    c.addDisplacementCondition({{1, 0, 1, 0, 0, 0, 1}, 2, 5, 0.002});
    c.addDisplacementCondition({{0, 0, 0, 0, 0, 0, 1}, 1, 6, 0.01});
    return o;
}

/// The fields every hand-assembled old file carries, written in file order
/// from `massElementId` up to the memo. `w` decides whether characteristics
/// carry damping.
inline void writeOldModelBody(ArchiveWriter& out, int w) {
    out.writeI32(1);   // massElementId
    out.writeF64(7.0); // mass
    out.writeI32(1);   // calculated
    for (int i = 0; i < 9; ++i)
        out.writeF64(i == 0 || i == 4 || i == 8 ? 2.0 : 0.0);
    for (double v : {0.1, 0.2, 0.3, 1.0, 1.0, 1.0})
        out.writeF64(v); // centre of gravity, size
    for (int i = 0; i < 6 + 36; ++i)
        out.writeF64(i < 6 ? 10.0 + i : 0.5);
    out.writeI32(1); // static result rows
    for (int i = 0; i < 6; ++i)
        out.writeF64(i + 1.0);
    out.writeI32(1); // springs
    out.writeI32(0);
    out.writeI32(2);
    out.writeString("S1", "");
    out.writeF64(10.0);
    out.writeF64(20.0);
    out.writeF32(0.5f);
    out.writeI32(3);
    for (double v : {1.0, 2.0, 3.0})
        out.writeF64(v);
    out.writeI32(1); // characteristics
    out.writeI32(0);
    out.writeI32(3);
    out.writeString("C1", "");
    out.writeF64(1.1);
    for (double v : {100.0, 200.0, 300.0})
        out.writeF64(v);
    if (w >= 200)
        for (double v : {1.0, 2.0, 3.0})
            out.writeF64(v);
    out.writeI32(1); // static loads
    out.writeI32(0);
    out.writeI32(4);
    out.writeString("L1", "");
    out.writeI32(0);
    out.writeF64(9.81);
    for (int i = 0; i < 9; ++i)
        out.writeF64(i == 8 ? -1.0 : 0.0);
    out.writeI32(1); // observation points
    out.writeI32(5);
    out.writeString("O1", "");
    for (double v : {4.0, 5.0, 6.0})
        out.writeF64(v);
    out.writeString("old memo", "");
}

/// A hand-assembled file of format `w` (150, 205 or 210): the old layouts
/// with one element of each kind, six-column dynamic and step rows, and from
/// 200 an optimiser block with one parameter (counter 7) and one binding.
inline std::string oldFile(int w) {
    ArchiveWriter out;
    out.writeI32(w); // below 200 the first integer is lastId
    if (w >= 200)
        out.writeI32(7); // lastId
    writeOldModelBody(out, w);
    if (w < 200)
        return out.takeBytes();
    out.writeI32(1); // dynamic loads
    out.writeI32(1);
    out.writeI32(6);
    out.writeString("D1", "");
    out.writeI32(0);
    out.writeF64(3.0);
    for (int i = 0; i < 9; ++i)
        out.writeF64(i == 6 ? 1.0 : 0.0);
    out.writeF64(25.0);
    out.writeI32(1); // dynamic result rows of 6
    for (int i = 0; i < 6; ++i)
        out.writeF64(0.5 + i);
    out.writeF64(11.0); // end, start, step
    out.writeF64(10.0);
    out.writeF64(1.0);
    out.writeI32(2); // steps of one 6-value row
    for (int i = 0; i < 12; ++i)
        out.writeF64(100.0 + i);
    // Optimiser block.
    out.writeI32(1);
    out.writeI32(2);
    out.writeI32(1);
    out.writeI32(3);
    out.writeF64(1.5);
    out.writeI32(1);
    out.writeI32(7); // counter
    out.writeI32(3); // id
    out.writeF64(3.0);
    out.writeF64(1.0);
    out.writeF64(1.0);
    out.writeString("Q", "");
    out.writeF64(2.0);
    for (int i = 0; i < 6; ++i) {
        out.writeI32(0);
        out.writeF64(0.0);
        out.writeF64(0.0);
    }
    out.writeI32(1);
    out.writeF64(4.0);
    out.writeI32(0);
    out.writeF64(0.0);
    out.writeI32(0);
    out.writeF64(5.0);
    out.writeF64(10.0);
    out.writeI32(0);
    out.writeF64(0.0);
    if (w >= 210) {
        out.writeI32(1);
        for (int i = 0; i < 7; ++i)
            out.writeI32(i == 6 ? 1 : 0);
        out.writeI32(1);
        out.writeI32(4);
        out.writeF64(0.003);
    }
    return out.takeBytes();
}

} // namespace quav::fixtures
