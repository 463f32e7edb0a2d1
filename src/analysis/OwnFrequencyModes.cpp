#include "analysis/OwnFrequencyModes.h"

#include "model/TextFormat.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace quav {

namespace {

/// A copy of what the modes depend on (the body, the springs and their
/// characteristics) whose tabled characteristics are set to their real rates at
/// a frequency, as plain rates the eigen solution takes as they are.
class RatesAtFrequency {
public:
    explicit RatesAtFrequency(const AnalysisModel& model) : source_(model) {
        work_.mass = model.mass;
        work_.inertia = model.inertia;
        work_.centreOfGravity = model.centreOfGravity;
        work_.springs = model.springs;
        work_.springCharacteristics = model.springCharacteristics;
        for (std::size_t i = 0; i < work_.springCharacteristics.size(); ++i) {
            SpringCharacteristic& c = work_.springCharacteristics[i];
            if (c.frequencyTable.empty())
                continue;
            tabled_.push_back(i);
            c.frequencyTable.clear();
            c.dynamicFactor = 1.0;
        }
    }

    const AnalysisModel& at(double frequency) {
        for (std::size_t i : tabled_) {
            const SpringCharacteristic& c = source_.springCharacteristics[i];
            const TableValues v = tableValuesAt(c.frequencyTable, frequency);
            for (int d = 0; d < 3; ++d)
                work_.springCharacteristics[i].stiffness[d] =
                    c.stiffness[d] * v.ratio[static_cast<std::size_t>(d)];
        }
        return work_;
    }

private:
    const AnalysisModel& source_;
    AnalysisModel work_;
    std::vector<std::size_t> tabled_;
};

/// The next point to try for the fixed point of F, from the point f just tried
/// (F(f) = f + g) and the one before (fp, gp): the secant's root of g, unless it
/// leaves the bracket between `below` and `above`, in which case a plain step f + g,
/// or the bracket's middle.
double nextPoint(double f, double g, double fp, double gp, bool havePrevious, double below,
                 double above) {
    const double lo = std::min(below, above), hi = std::max(below, above);
    auto inside = [&](double x) { return std::isfinite(x) && x > lo && x < hi; };
    if (havePrevious && g != gp) {
        const double secant = f - g * (f - fp) / (g - gp);
        if (inside(secant))
            return secant;
    }
    if (inside(f + g))
        return f + g;
    return std::isfinite(hi) ? 0.5 * (lo + hi) : f + g;
}

} // namespace

ModalSolution solveModesAtFrequency(const AnalysisModel& model, const PrincipalAxes& principal,
                                    double frequency) {
    RatesAtFrequency rates(model);
    return solveModes(rates.at(frequency), principal);
}

OwnFrequencyModes solveModesAtOwnFrequencies(const AnalysisModel& model) {
    return solveModesAtOwnFrequencies(model, principalInertiaAxes(model.inertia));
}

OwnFrequencyModes solveModesAtOwnFrequencies(const AnalysisModel& model,
                                             const PrincipalAxes& principal) {
    OwnFrequencyModes result;
    result.modes = solveModes(model, principal);
    result.eigenSolutions = 1;
    if (!result.modes.valid || !model.usesFrequencyTables())
        return result;

    RatesAtFrequency rates(model);
    const ModalSolution start = result.modes;
    for (int number = 1; number <= 6; ++number) {
        const int index = 6 - number;
        // g(f) = F(f) - f is continuous, at least 0 at f = 0 (F is a frequency)
        // and below 0 far above the tables (F is bounded there): between the last
        // point where g > 0 (`below`) and the last where g < 0 (`above`) there is a
        // fixed point, and steps that stay between them close in on it.
        double f = start.frequencies[index];
        double below = 0.0, above = std::numeric_limits<double>::infinity();
        double fp = 0.0, gp = 0.0;
        bool havePrevious = false, converged = false;
        int n = 0;
        while (n < kMaxModeIterations) {
            const ModalSolution at = solveModes(rates.at(f), principal);
            ++n;
            const double frequency = at.frequencies[index];
            const double g = frequency - f;
            // A frequency that is not a number cannot be iterated: it stays as the
            // result, which the calculation's check of its results then names.
            if (std::fabs(g) <= kModeTolerance * f || !std::isfinite(frequency)) {
                result.modes.frequencies[index] = frequency;
                result.modes.eigenvalues[index] = at.eigenvalues[index];
                for (int i = 0; i < 6; ++i)
                    result.modes.modeShapes(i, index) = at.modeShapes(i, index);
                converged = true;
                break;
            }
            (g > 0.0 ? below : above) = f;
            const double next = nextPoint(f, g, fp, gp, havePrevious, below, above);
            fp = f;
            gp = g;
            havePrevious = true;
            f = next;
        }
        result.iterations[static_cast<std::size_t>(number - 1)] = n;
        result.eigenSolutions += n;
        if (!converged && result.unconvergedMode == 0)
            result.unconvergedMode = number;
    }
    return result;
}

std::string unconvergedModeText(int mode) {
    return format("ﾓｰﾄﾞ%d の固有振動数が周波数特性のもとで収束しません(%d 回の反復で "
                  "f = F(f) に達しませんでした)\n",
                  mode, kMaxModeIterations);
}

} // namespace quav
