#include "analysis/ModeMetrics.h"

namespace quav {

double contributionRatio(const Matrix& modeShapes, int mode, int dof) {
    const double x = modeShapes(dof, 6 - mode);
    return 100.0 * (x * x);
}

double meanCouplingDegree(const AnalysisModel& model) {
    if (model.calculated == 0)
        return 0.0;
    return meanCouplingDegree(model.modeShapes.data());
}

double meanCouplingDegree(const double* modeShapes) {
    long double sum = 0.0L;
    for (int j = 0; j < 6; ++j) {
        double dominant = 0.0;
        for (int i = 0; i < 6; ++i) {
            const double x = modeShapes[i * 6 + j];
            if (x * x > dominant)
                dominant = x * x;
        }
        sum += 100.0L * (1.0L - dominant);
    }
    // The factor is the double 0.16666666666666666, not 1/6 in long double.
    return static_cast<double>(sum * static_cast<long double>(0.16666666666666666));
}

} // namespace quav
