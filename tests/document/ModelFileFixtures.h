#pragma once

// Models and hand-assembled files shared by the model-file tests.

#include "document/ModelExtensions.h"
#include "document/ModelFile.h"
#include "model/AnalysisModel.h"
#include "model/Archive.h"
#include "optimizer/Optimizer.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace quav::fixtures {

using testing::v3;

/// A number's bytes as a file holds them (host order, checked little-endian).
template <class T> std::string raw(T v) {
    std::string s(sizeof v, '\0');
    std::memcpy(s.data(), &v, sizeof v);
    return s;
}
inline std::string i32(std::int32_t v) {
    return raw(v);
}
inline std::string f64(double v) {
    return raw(v);
}

/// The bytes of the model file of `m` and `o`; a refusal fails the test.
inline std::string written(const AnalysisModel& m, const Optimizer& o = Optimizer{}) {
    ModelBytes file = writeModelBytes(m, o);
    EXPECT_TRUE(file.ok()) << file.error;
    return file.bytes;
}

/// An extension-block section, and the block of `version` holding `sections`.
inline std::string section(std::string_view tag, const std::string& payload) {
    return std::string(tag) + i32(static_cast<std::int32_t>(payload.size())) + payload;
}
inline std::string block(std::int32_t version, const std::string& sections) {
    return std::string(kExtensionMagic) + i32(version) +
           i32(static_cast<std::int32_t>(sections.size())) + sections;
}

/// The document tests' body: 100 kg on springs "FR" and "FL" (and "RR" when
/// `third`), all of them bound to "rubber" when `third`, else FR alone; a
/// weight, an unbalance at 25 Hz and the point "mirror". Nothing selected.
inline void documentBody(AnalysisModel& m, bool third) {
    m.mass = 100;
    m.setCentreOfGravity(v3(0.1, 0.2, 0.3));
    m.setSize(v3(0.5, 0.4, 0.3));
    m.setInertia(Matrix(3, 3, {2, 0, 0, 0, 3, 0, 0, 0, 4}));
    m.addSpring("FR", v3(0.3, -0.2, 0), v3(0, 0, 0), 0.05f);
    m.addSpring("FL", v3(0.3, 0.2, 0), v3(0, 15, 30), 0.05f);
    if (third)
        m.addSpring("RR", v3(-0.3, 0, 0), v3(0, 0, 0), 0.05f);
    m.setSpringSelection(third ? -1 : m.springs[0].id);
    m.assignCharacteristic("rubber", v3(4e5, 1e5, 1.5e5), 1.2, v3(100, 50, 75));
    m.addStaticLoad("weight", 981, v3(0, 0, 0), v3(0, 0, -1), Translational);
    m.addDynamicLoad("unbalance", 50, v3(0, 0, 0), v3(0, 1, 0), Translational, 25);
    m.addObservationPoint("mirror", v3(1, 0, 1));
}

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
inline Optimizer sampleOptimizer() {
    Optimizer o;
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

inline void i32s(ArchiveWriter& out, std::initializer_list<std::int32_t> values) {
    for (std::int32_t v : values)
        out.writeI32(v);
}

inline void f64s(ArchiveWriter& out, std::initializer_list<double> values) {
    for (double v : values)
        out.writeF64(v);
}

/// A hand-assembled file of format `w` (150, 205 or 210): the old layouts
/// with one element of each kind, six-column dynamic and step rows, and from
/// 200 an optimiser block with one parameter (counter 7) and one binding.
inline std::string oldFile(int w) {
    ArchiveWriter out;
    out.writeI32(w); // below 200 the first integer is lastId
    if (w >= 200)
        out.writeI32(7); // lastId
    // From massElementId up to the memo; characteristics carry damping from 200.
    out.writeI32(1);                           // massElementId
    out.writeF64(7.0);                         // mass
    out.writeI32(1);                           // calculated
    f64s(out, {2, 0, 0, 0, 2, 0, 0, 0, 2});    // inertia
    f64s(out, {0.1, 0.2, 0.3, 1.0, 1.0, 1.0}); // centre of gravity, size
    f64s(out, {10, 11, 12, 13, 14, 15});       // frequencies
    for (int i = 0; i < 36; ++i)
        out.writeF64(0.5); // mode shapes
    out.writeI32(1);       // static result rows
    f64s(out, {1, 2, 3, 4, 5, 6});
    i32s(out, {1, 0, 2}); // springs: count, selected, id
    out.writeString("S1", "");
    f64s(out, {10.0, 20.0});
    out.writeF32(0.5f);
    out.writeI32(3);
    f64s(out, {1, 2, 3});
    i32s(out, {1, 0, 3}); // characteristics
    out.writeString("C1", "");
    f64s(out, {1.1, 100, 200, 300});
    if (w >= 200)
        f64s(out, {1, 2, 3});
    i32s(out, {1, 0, 4}); // static loads
    out.writeString("L1", "");
    out.writeI32(0);
    f64s(out, {9.81, 0, 0, 0, 0, 0, 0, 0, 0, -1});
    i32s(out, {1, 5}); // observation points
    out.writeString("O1", "");
    f64s(out, {4, 5, 6});
    out.writeString("old memo", "");
    if (w < 200)
        return out.takeBytes();
    i32s(out, {1, 1, 6}); // dynamic loads
    out.writeString("D1", "");
    out.writeI32(0);
    f64s(out, {3, 0, 0, 0, 0, 0, 0, 1, 0, 0, 25});
    out.writeI32(1); // dynamic result rows of 6
    f64s(out, {0.5, 1.5, 2.5, 3.5, 4.5, 5.5});
    f64s(out, {11, 10, 1}); // end, start, step
    out.writeI32(2);        // steps of one 6-value row
    for (int i = 0; i < 12; ++i)
        out.writeF64(100.0 + i);
    i32s(out, {1, 2, 1, 3}); // optimiser block: one binding
    out.writeF64(1.5);
    i32s(out, {1, 7, 3}); // parameters, counter, id
    f64s(out, {3, 1, 1});
    out.writeString("Q", "");
    out.writeF64(2.0);
    for (int i = 0; i < 6; ++i) {
        out.writeI32(0);
        f64s(out, {0, 0});
    }
    out.writeI32(1);
    out.writeF64(4.0);
    out.writeI32(0);
    out.writeF64(0.0);
    out.writeI32(0);
    f64s(out, {5, 10});
    out.writeI32(0);
    out.writeF64(0.0);
    if (w >= 210) {
        i32s(out, {1, 0, 0, 0, 0, 0, 0, 1, 1, 4}); // one condition
        out.writeF64(0.003);
    }
    return out.takeBytes();
}

} // namespace quav::fixtures
