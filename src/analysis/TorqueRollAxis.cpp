#include "analysis/TorqueRollAxis.h"

#include "analysis/Constants.h"
#include "analysis/KineticEnergy.h"
#include "analysis/ModelCheck.h"

#include <algorithm>
#include <cmath>

namespace quav {

namespace {

long double dot(const long double* a, const long double* b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

/// The unit vector along v; v itself when it is zero.
Direction unit(const long double* v) {
    const long double n = std::sqrt(dot(v, v));
    Direction d{};
    for (int i = 0; i < 3; ++i)
        d[i] = static_cast<double>(n > 0.0L ? v[i] / n : v[i]);
    return d;
}

/// I x for the 3 x 3 row-major I.
void product(const Matrix& inertia, const long double* x, long double* y) {
    for (int r = 0; r < 3; ++r) {
        y[r] = 0.0L;
        for (int c = 0; c < 3; ++c)
            y[r] += static_cast<long double>(inertia(r, c)) * x[c];
    }
}

template <class Load> const Load* firstMoment(const std::vector<Load>& loads) {
    for (const auto& load : loads)
        if (load.type == Moment)
            return &load;
    return nullptr;
}

// A rotation with less than this share of a mode's kinetic energy is rounding
// left by the solution of a translational mode: its direction means nothing.
constexpr long double kNoRotation = 1e-18L;

} // namespace

const StaticLoad* defaultTorqueLoad(const AnalysisModel& model) {
    const StaticLoad* load = firstMoment(model.staticLoads);
    return load ? load : firstMoment(model.dynamicLoads);
}

Direction defaultTorqueAxis(const AnalysisModel& model) {
    const StaticLoad* load = defaultTorqueLoad(model);
    if (!load)
        return {1.0, 0.0, 0.0};
    return {load->direction[0], load->direction[1], load->direction[2]};
}

std::string torqueDirectionProblem(const AnalysisModel& model, const Direction& torque,
                                   bool fromModel) {
    if (torque[0] != 0.0 || torque[1] != 0.0 || torque[2] != 0.0)
        return {};
    const StaticLoad* load = fromModel ? defaultTorqueLoad(model) : nullptr;
    if (!load)
        return "トルクの方向が0です";
    // The default comes from a dynamic load only when no static load is a moment.
    const bool dynamic = firstMoment(model.staticLoads) == nullptr;
    return elementLabel(dynamic ? "動荷重" : "静荷重", load->name, load->id) +
           ": ﾓｰﾒﾝﾄ荷重の方向ﾍﾞｸﾄﾙが0のため、トルクの方向になりません";
}

double lineAngleDeg(const Direction& u, const Direction& v) {
    const long double cross[3] = {
        static_cast<long double>(u[1]) * v[2] - static_cast<long double>(u[2]) * v[1],
        static_cast<long double>(u[2]) * v[0] - static_cast<long double>(u[0]) * v[2],
        static_cast<long double>(u[0]) * v[1] - static_cast<long double>(u[1]) * v[0]};
    const long double along = static_cast<long double>(u[0]) * v[0] +
                              static_cast<long double>(u[1]) * v[1] +
                              static_cast<long double>(u[2]) * v[2];
    const double radians =
        static_cast<double>(std::atan2(std::sqrt(dot(cross, cross)), std::fabs(along)));
    // Angles between directions are degrees of pi itself: a right angle is 90.
    return std::min(90.0, radians / (kPi / 180.0));
}

TorqueRollAxis torqueRollAxis(const AnalysisModel& model, const ModalSolution& modes,
                              const Direction& torque) {
    TorqueRollAxis result;
    const long double t[3] = {torque[0], torque[1], torque[2]};
    result.axis = unit(t);
    // I^-1 t is along adj(I) t, det(I) > 0 for the positive definite I: no division.
    const Matrix& i = model.inertia;
    auto minor = [&i](int r0, int r1, int c0, int c1) {
        return static_cast<long double>(i(r0, c0)) * i(r1, c1) -
               static_cast<long double>(i(r0, c1)) * i(r1, c0);
    };
    const long double adjugate[3][3] = {{minor(1, 2, 1, 2), -minor(0, 2, 1, 2), minor(0, 1, 1, 2)},
                                        {-minor(1, 2, 0, 2), minor(0, 2, 0, 2), -minor(0, 1, 0, 2)},
                                        {minor(1, 2, 0, 1), -minor(0, 2, 0, 1), minor(0, 1, 0, 1)}};
    long double a[3];
    for (int r = 0; r < 3; ++r)
        a[r] = dot(adjugate[r], t);
    result.tra = unit(a);
    result.traToAxisDeg = lineAngleDeg(result.tra, result.axis);

    const long double an[3] = {result.tra[0], result.tra[1], result.tra[2]};
    long double ia[3];
    product(i, an, ia);
    const long double aia = dot(an, ia);
    for (int number = 1; number <= 6; ++number) {
        const int j = 6 - number;
        double phi[6];
        modeVector(modes, number, phi);
        long double e[6];
        const long double total = modeEnergyTerms(model.mass, i.data(), phi, e);
        const long double theta[3] = {phi[3], phi[4], phi[5]};
        // a^T I theta = (I a)^T theta, I symmetric.
        const long double roll = dot(ia, theta);
        ModeRoll& mode = result.modes[number - 1];
        mode.mode = number;
        mode.frequency = modes.frequencies[j];
        mode.rollEnergy = static_cast<double>(100.0L * roll * roll / aia / total);
        if ((e[3] + e[4] + e[5]) > kNoRotation * total)
            mode.angleDeg = lineAngleDeg({phi[3], phi[4], phi[5]}, result.tra);
    }
    return result;
}

} // namespace quav
