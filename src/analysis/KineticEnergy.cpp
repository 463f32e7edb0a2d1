#include "analysis/KineticEnergy.h"

#include "analysis/CalculationDriver.h"

#include <algorithm>
#include <cmath>

namespace quav {

MassMatrixFault checkMassMatrix(const AnalysisModel& model) {
    if (!(model.mass > 0.0))
        return MassMatrixFault::NonPositiveMass;
    const PrincipalAxes principal = principalInertiaAxes(model.inertia);
    if (!principal.valid)
        return MassMatrixFault::SingularInertia;
    double low = principal.moments(0, 0), high = low;
    for (int i = 1; i < 3; ++i) {
        low = std::min(low, principal.moments(i, i));
        high = std::max(high, principal.moments(i, i));
    }
    // The principal moments come out to a few roundoffs of the largest: below
    // 1e-12 of it a moment is zero, and I has no inverse worth the name.
    constexpr double kSingular = 1e-12;
    if (!(std::fabs(low) > kSingular * std::fabs(high)))
        return MassMatrixFault::SingularInertia;
    if (low < 0.0)
        return MassMatrixFault::IndefiniteInertia;
    return MassMatrixFault::None;
}

std::string describeMassMatrixFault(MassMatrixFault fault) {
    switch (fault) {
    case MassMatrixFault::None:
        break;
    case MassMatrixFault::NonPositiveMass:
        return "質量が正ではありません";
    case MassMatrixFault::SingularInertia:
        return "慣性テンソルが特異です(慣性主軸と逆行列が求まりません)";
    case MassMatrixFault::IndefiniteInertia:
        return "慣性テンソルが正定値ではありません(負の主慣性モーメントがあります)";
    }
    return {};
}

std::string analysisRefusal(const AnalysisModel& model, bool needsMassMatrix) {
    CalculationOutcome outcome;
    outcome.validation = checkModel(model);
    if (outcome.validation.count() > 0) {
        outcome.status = outcome.validation.count();
        outcome.error = CalculationError::InvalidModel;
        return describeCalculationFailure(outcome);
    }
    const MassMatrixFault fault = needsMassMatrix ? checkMassMatrix(model) : MassMatrixFault::None;
    return fault == MassMatrixFault::None ? std::string() : describeMassMatrixFault(fault) + "\n";
}

void modeVector(const ModalSolution& modes, int number, double* phi) {
    for (int k = 0; k < 6; ++k)
        phi[k] = modes.modeShapes(k, 6 - number);
}

long double modeEnergyTerms(double mass, const double* inertia, const double* phi, long double* e) {
    long double total = 0.0L;
    for (int k = 0; k < 3; ++k) {
        e[k] = static_cast<long double>(phi[k]) * mass * phi[k];
        long double r = 0.0L;
        for (int m = 0; m < 3; ++m)
            r += static_cast<long double>(inertia[k * 3 + m]) * phi[3 + m];
        e[3 + k] = static_cast<long double>(phi[3 + k]) * r;
    }
    for (int k = 0; k < 6; ++k)
        total += e[k];
    return total;
}

EnergyDistribution kineticEnergyDistribution(const AnalysisModel& model, const ModalSolution& modes,
                                             EnergyFrame frame) {
    EnergyDistribution result;
    result.frame = frame;
    // In the principal frame phi' = (P^T t, P^T theta) and I' = D: the energy of each
    // principal DOF on its own.
    double inertia[9];
    const Matrix& p = result.axes;
    if (frame == EnergyFrame::Principal) {
        const PrincipalAxes principal = principalInertiaAxes(model.inertia);
        result.axes = principal.axes;
        for (int i = 0; i < 9; ++i)
            inertia[i] = principal.moments[i];
    } else {
        for (int i = 0; i < 9; ++i)
            inertia[i] = model.inertia[i];
    }
    for (int number = 1; number <= 6; ++number) {
        const int j = 6 - number;
        double phi[6];
        for (int block = 0; block < 6; block += 3) {
            for (int r = 0; r < 3; ++r) {
                long double sum = 0.0L;
                for (int m = 0; m < 3; ++m)
                    sum += static_cast<long double>(p(m, r)) * modes.modeShapes(block + m, j);
                phi[block + r] = static_cast<double>(sum);
            }
        }
        long double e[6];
        const long double total = modeEnergyTerms(model.mass, inertia, phi, e);
        ModeEnergy& mode = result.modes[number - 1];
        mode.mode = number;
        mode.frequency = modes.frequencies[j];
        for (int k = 0; k < 6; ++k) {
            mode.energy[k] = static_cast<double>(100.0L * e[k] / total);
            if (mode.energy[k] > mode.energy[mode.dominant])
                mode.dominant = k;
        }
        mode.decoupling = mode.energy[mode.dominant];
    }
    return result;
}

} // namespace quav
