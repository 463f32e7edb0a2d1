#include "analysis/LoadCaseAnalysis.h"

#include "analysis/EigenAnalysis.h"
#include "analysis/StaticAnalysis.h"
#include "analysis/SystemAssembly.h"
#include "exchange/ModelJson.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace quav;
using namespace quav::testing;

namespace {

constexpr double kLinearAgreement = 1e-12;
constexpr double kResidualAgreement = 1e-9;

AnalysisModel example(const char* file) {
    StudyRead r = readJsonModelFile(std::string(QUAV_EXAMPLES "/") + file);
    EXPECT_TRUE(r.ok()) << r.error;
    return r.ok() ? *r.model : AnalysisModel{};
}

/// A case of every kind of term: the weight, three times the roll torque, an acceleration.
LoadCase mixedCase() {
    return {"mixed", {{8, 1.0}, {9, 3.0}}, {0.3, -0.2, -1.0}};
}

/// The spring force on the body at motion x: each local deflection L^T (u + theta x r).
std::array<double, 6> springForce(const AnalysisModel& m, const std::array<double, 6>& x) {
    std::array<double, 6> sum{};
    for (const SpringElement& s : m.springs) {
        const SpringCharacteristic* c = m.findCharacteristic(s.characteristicId);
        const Matrix L = springOrientation(s);
        const double r[3] = {s.position[0] - m.centreOfGravity[0],
                             s.position[1] - m.centreOfGravity[1],
                             s.position[2] - m.centreOfGravity[2]};
        const double v[3] = {x[0] + x[4] * r[2] - x[5] * r[1], x[1] + x[5] * r[0] - x[3] * r[2],
                             x[2] + x[3] * r[1] - x[4] * r[0]};
        double g[3] = {};
        for (int d = 0; d < 3; ++d) {
            const double deflection = L(0, d) * v[0] + L(1, d) * v[1] + L(2, d) * v[2];
            const ForceCurve& curve = c->curves[static_cast<std::size_t>(d)];
            const double f = curve.empty() ? c->stiffness[d] * deflection
                                           : curveValueAt(curve, deflection).force;
            for (int i = 0; i < 3; ++i)
                g[i] += L(i, d) * f;
        }
        sum[0] += g[0], sum[1] += g[1], sum[2] += g[2];
        sum[3] += r[1] * g[2] - r[2] * g[1];
        sum[4] += r[2] * g[0] - r[0] * g[2];
        sum[5] += r[0] * g[1] - r[1] * g[0];
    }
    return sum;
}

double norm6(const std::array<double, 6>& v) {
    double s = 0.0;
    for (double x : v)
        s += x * x;
    return std::sqrt(s);
}

void expectRelativeNear(const std::array<double, 6>& a, const Matrix& b, double tolerance) {
    double scale = 0.0;
    for (int i = 0; i < 6; ++i)
        scale = std::max(scale, std::fabs(b[i]));
    for (int i = 0; i < 6; ++i)
        EXPECT_NEAR(a[static_cast<std::size_t>(i)], b[i], tolerance * scale) << "DOF " << i;
}

/// Odd curves everywhere: the static rate to `travel` / 2, five times it to `travel`.
void addSnubbers(AnalysisModel& m, double travel) {
    for (SpringCharacteristic& c : m.springCharacteristics)
        for (int d = 0; d < 3; ++d) {
            const double k = c.stiffness[d], a = travel / 2;
            c.curves[static_cast<std::size_t>(d)] = {
                {-travel, -6 * k * a}, {-a, -k * a}, {0, 0}, {a, k * a}, {travel, 6 * k * a}};
        }
}

} // namespace

TEST(LoadCaseAnalysis, LinearMountsAndOneSlopeCurvesGiveKInverseFAndTheWeightItsStaticAnswer) {
    AnalysisModel m = example("power_unit.json");
    const std::array<double, 6> f = caseLoad(m, mixedCase());
    Matrix k = systemStiffness(m, m.centreOfGravity, Matrix::identity(3), false);
    const Matrix expected = k.solve(Matrix::vector({f[0], f[1], f[2], f[3], f[4], f[5]}));
    const ModalSolution modes = solveModes(m);

    const LoadCaseResult linear = analyseLoadCase(m, mixedCase());
    ASSERT_TRUE(linear.converged) << linear.reason;
    EXPECT_EQ(linear.iterations, 1);
    expectRelativeNear(linear.displacement, expected, kLinearAgreement);
    // 1 g is the static analysis of the weight load (row 0, at the CoG), scaled to m g.
    const Matrix statics = staticAnalysis(m);
    const LoadCaseResult weight = analyseLoadCase(m, {"1g", {}, {0, 0, -1}});
    ASSERT_TRUE(weight.converged);
    Matrix row = Matrix::column(6);
    for (int i = 0; i < 6; ++i)
        row[i] = statics(0, i) * (m.mass * kStandardGravity / m.staticLoads[0].value);
    expectRelativeNear(weight.displacement, row, kLinearAgreement);

    // Curves on the static rate's line change nothing, the operating point's modes included.
    for (SpringCharacteristic& c : m.springCharacteristics)
        for (int d = 0; d < 3; ++d)
            c.curves[static_cast<std::size_t>(d)] = {
                {-0.1, -0.1 * c.stiffness[d]}, {0, 0}, {0.1, 0.1 * c.stiffness[d]}};
    const LoadCaseResult curved = analyseLoadCase(m, mixedCase(), true);
    ASSERT_TRUE(curved.converged) << curved.reason;
    expectRelativeNear(curved.displacement, expected, kLinearAgreement);
    ASSERT_EQ(curved.modes.size(), 6u);
    for (int mode = 1; mode <= 6; ++mode)
        EXPECT_NEAR(curved.modes[static_cast<std::size_t>(mode - 1)].frequency,
                    modes.frequencies[6 - mode], 1e-9 * modes.frequencies[6 - mode]);
}

TEST(LoadCaseAnalysis, TwentyCasesWithSnubbersConvergeInEquilibrium) {
    const AnalysisModel m = example("power_unit_cases.json");
    ASSERT_EQ(m.loadCases.size(), 20u);
    const std::vector<LoadCaseResult> results = analyseLoadCases(m);
    int failing = 0;
    for (const LoadCaseResult& r : results) {
        ASSERT_TRUE(r.converged) << r.name << ": " << r.reason;
        EXPECT_LE(r.iterations, 30) << r.name;
        // Recomputed from the motion alone.
        std::array<double, 6> residual = caseLoad(m, m.loadCases[&r - results.data()]);
        const std::array<double, 6> spring = springForce(m, r.displacement);
        const double scale = norm6(residual) + 1.0;
        for (std::size_t i = 0; i < 6; ++i)
            residual[i] -= spring[i];
        EXPECT_LE(norm6(residual), kResidualAgreement * scale) << r.name;
        failing += r.pass ? 0 : 1;
    }
    // The heaviest torques and the bump reach the snubbers; the weight does not.
    EXPECT_TRUE(results[0].pass);
    EXPECT_GT(failing, 0);
}

TEST(LoadCaseAnalysis, MarginsChangeSignAtTheSnubberEndAndTheRatedLoad) {
    AnalysisModel m = fourMountModel(0.3, 0.2, -0.1, v3(3e5, 3e5, 3e5));
    addSnubbers(m, 0.004); // local z of every spring is global z
    m.springCharacteristics[0].ratedLoad = std::array<double, 3>{5e3, 5e3, 1e3};
    const double weight = m.mass * kStandardGravity; // 1177 N, 294 N a mount
    const struct {
        double g;
        bool travelLeft, loadLeft;
    } rows[] = {
        {-1, true, true},     // 294 N a mount, 1 mm of 4
        {-4.08, true, false}, // 1200 N: past the kink at 2 mm, above the 1000 N rating
        {-20, false, false},  // 5886 N: 5.5 mm, past the 4 mm end
    };
    for (const auto& row : rows) {
        const LoadCaseResult r = analyseLoadCase(m, {"g", {}, {0, 0, row.g}});
        ASSERT_TRUE(r.converged) << r.reason;
        const CaseSpring& s = r.springs[0];
        const double force = -row.g * weight / 4;
        EXPECT_NEAR(s.local[2], -force, 1e-6 * force);
        EXPECT_EQ(*s.travelMargin[2] >= 0, row.travelLeft) << row.g << ": " << *s.travelMargin[2];
        EXPECT_NEAR(*s.loadMargin[2], 1e3 - force, 1e-6 * force);
        EXPECT_EQ(s.pass, row.travelLeft && row.loadLeft) << row.g;
        EXPECT_EQ(r.pass, s.pass);
        EXPECT_EQ(r.worst.ratio < 0, !s.pass);
        EXPECT_FALSE(s.loadMargin[0].has_value() && *s.loadMargin[0] < 0);
    }
}

TEST(LoadCaseAnalysis, ACaseThatCannotBeSolvedSaysWhyAndTheOthersStillRun) {
    AnalysisModel m = example("power_unit.json");
    m.loadCases = {{"gone", {{999, 1.0}}, {}}, {"1g", {}, {0, 0, -1}}};
    const std::vector<LoadCaseResult> r = analyseLoadCases(m);
    EXPECT_FALSE(r[0].converged);
    EXPECT_NE(r[0].reason.find("id 999"), std::string::npos) << r[0].reason;
    EXPECT_TRUE(r[1].converged);

    // A layout with no rate along x leaves the body free.
    AnalysisModel free = fourMountModel(0.3, 0.2, 0.0, v3(3e5, 0, 3e5));
    const LoadCaseResult f = analyseLoadCase(free, {"push", {}, {0.5, 0, -1}});
    EXPECT_FALSE(f.converged);
    EXPECT_FALSE(f.pass);
    EXPECT_NE(f.reason.find("剛性のない方向"), std::string::npos) << f.reason;
}
