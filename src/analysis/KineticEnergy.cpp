#include "analysis/KineticEnergy.h"

#include "analysis/CalculationDriver.h"
#include "analysis/OwnFrequencyModes.h"

#include <algorithm>
#include <cmath>

namespace quav {

std::string analysisRefusal(const AnalysisModel& model) {
    const std::string reasons = describeValidation(checkModel(model));
    if (!reasons.empty() || !model.usesFrequencyTables())
        return reasons;
    const OwnFrequencyModes modes = solveModesAtOwnFrequencies(model);
    return modes.converged() ? std::string() : unconvergedModeText(modes.unconvergedMode);
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
