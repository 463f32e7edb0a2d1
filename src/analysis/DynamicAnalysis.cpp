#include "analysis/DynamicAnalysis.h"

#include "analysis/AnalysisKernels.h"
#include "analysis/Constants.h"
#include "analysis/StaticAnalysis.h"
#include "math/LuFactors.h"

#include <cmath>

namespace quav {

namespace {

/// Columns 0-5 of the inverse of the factorised 12 x 12 system, each element plus
/// +0.0: the product inverse [I6; 0] sums one element and eleven signed zeros, which
/// gives the element with -0 turned into +0 as long as every element is finite.
/// Otherwise the product is formed literally, so infinities and NaNs spread as they
/// always did.
void leftHalfOfInverse(const double* lu, const int* perm, double* z) {
    constexpr int n = 12;
    if (detail::luInverseFinite(lu, n)) {
        for (int column = 0; column < 6; ++column) {
            int position = 0;
            while (perm[position] != column)
                ++position;
            double x[n];
            detail::luInverseColumn(lu, n, position, x);
            for (int r = 0; r < n; ++r)
                z[r * 6 + column] = x[r] + 0.0;
        }
        return;
    }
    double inverse[n * n];
    for (int i = 0; i < n; ++i) {
        double e[n] = {}, x[n];
        e[i] = 1.0;
        detail::luSubstitute(lu, n, perm, e, x);
        for (int r = 0; r < n; ++r)
            inverse[r * n + i] = x[r];
    }
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < 6; ++j) {
            long double sum = 0.0L;
            for (int k = 0; k < n; ++k)
                sum += static_cast<long double>(inverse[i * n + k]) * (k == j ? 1.0 : 0.0);
            z[i * 6 + j] = static_cast<double>(sum);
        }
    }
}

} // namespace

HarmonicResponse::HarmonicResponse(const AnalysisModel& model)
    : model_(&model), loads_(static_cast<int>(model.dynamicLoads.size())) {
    if (loads_ == 0)
        return;
    if (loads_ > kInlineLoads) {
        heapForces_ = std::make_unique<double[]>(static_cast<std::size_t>(6 * loads_));
        forces_ = heapForces_.get();
    }
    const double* cog = model.centreOfGravity.data();
    // The stiffness and damping about the CoG are the same for every load and every
    // frequency.
    const detail::SpringSet springs(model);
    detail::SpringBlocks rates(springs), damping(springs);
    springs.springMatrices(detail::kGlobalFrame, false, true, rates.data());
    springs.springMatrices(detail::kGlobalFrame, true, false, damping.data());
    springs.assemble(rates.data(), cog, detail::kGlobalFrame, stiffness_);
    springs.assemble(damping.data(), cog, detail::kGlobalFrame, damping_);

    for (int l = 0; l < loads_; ++l) {
        const DynamicLoad& load = model.dynamicLoads[static_cast<std::size_t>(l)];
        // The load's generalised force about the CoG: the force that gives the CoG the
        // motion the load gives it when applied at its own position.
        double kp[36];
        springs.assemble(rates.data(), load.position.data(), detail::kGlobalFrame, kp);
        const Matrix f = loadVector(load);
        int perm[6];
        double up[6], ug[6];
        detail::luFactorise(kp, 6, perm);
        detail::luSubstitute(kp, 6, perm, f.data(), up);
        detail::pointTransfer(up, load.position.data(), cog, ug);
        for (int i = 0; i < 6; ++i) {
            long double sum = 0.0L;
            for (int k = 0; k < 6; ++k)
                sum += static_cast<long double>(stiffness_[i * 6 + k]) * ug[k];
            forces_[6 * l + i] = static_cast<double>(sum);
        }
    }
}

Matrix HarmonicResponse::atCommonFrequency(double frequency) const {
    return evaluate(false, frequency);
}

Matrix HarmonicResponse::atOwnFrequencies() const {
    return evaluate(true, 0.0);
}

void HarmonicResponse::system(double frequency, double* g) const {
    const AnalysisModel& model = *model_;
    const double omega = frequency * kTwoPi;
    // K - w^2 M with the mass and inertia about the CoG.
    const double w2 = omega * omega;
    double s[36];
    for (int i = 0; i < 36; ++i)
        s[i] = stiffness_[i];
    for (int i = 0; i < 3; ++i)
        s[i * 6 + i] = stiffness_[i * 6 + i] - w2 * model.mass;
    for (int i = 3; i < 6; ++i)
        for (int j = 3; j < 6; ++j)
            s[i * 6 + j] = stiffness_[i * 6 + j] - w2 * model.inertia(i - 3, j - 3);
    // (S + iH) x = Fg as the real system [[S, -H], [H, S]] [xr; xi] = [Fg; 0].
    for (int i = 0; i < 6; ++i) {
        for (int j = 0; j < 6; ++j) {
            const double h = damping_[i * 6 + j] * omega;
            g[i * 12 + j] = s[i * 6 + j];
            g[(i + 6) * 12 + j + 6] = s[i * 6 + j];
            g[i * 12 + j + 6] = -h;
            g[(i + 6) * 12 + j] = h;
        }
    }
}

bool HarmonicResponse::resonantAt(int load, double frequency) const {
    for (int i = 0; i < 6; ++i)
        if (!std::isfinite(forces_[6 * load + i]))
            return false;
    double g[144];
    system(frequency, g);
    for (double x : g)
        if (!std::isfinite(x))
            return false;
    int perm[12];
    detail::luFactorise(g, 12, perm);
    // Partial pivoting meets an exactly singular system as a zero pivot (or the
    // infinities its division leaves behind).
    for (int i = 0; i < 12; ++i)
        if (!(std::fabs(g[i * 12 + i]) > 0.0 && std::isfinite(g[i * 12 + i])))
            return true;
    return false;
}

HarmonicResponse::ComplexMotion HarmonicResponse::complexMotion(int load, double frequency) const {
    const double* fg = forces_ + 6 * load;
    double g[144];
    system(frequency, g);
    int perm[12];
    detail::luFactorise(g, 12, perm);
    double z[72];
    leftHalfOfInverse(g, perm, z);
    ComplexMotion x;
    for (int j = 0; j < 6; ++j) {
        long double sr = 0.0L, si = 0.0L;
        for (int k = 0; k < 6; ++k) {
            sr += static_cast<long double>(z[j * 6 + k]) * fg[k];
            si += static_cast<long double>(z[(j + 6) * 6 + k]) * fg[k];
        }
        x.re[j] = static_cast<double>(sr);
        x.im[j] = static_cast<double>(si);
    }
    return x;
}

Matrix HarmonicResponse::evaluate(bool ownFrequencies, double common) const {
    Matrix result(loads_, 12);
    for (int l = 0; l < loads_; ++l) {
        const DynamicLoad& load = model_->dynamicLoads[static_cast<std::size_t>(l)];
        const ComplexMotion x = complexMotion(l, ownFrequencies ? load.frequency : common);
        for (int j = 0; j < 6; ++j) {
            const double xr = x.re[j], xi = x.im[j];
            const long double sq =
                static_cast<long double>(xi) * xi + static_cast<long double>(xr) * xr;
            result(l, j) = static_cast<double>(std::sqrt(sq));
            result(l, j + 6) = std::atan2(xi, xr);
        }
    }
    return result;
}

Matrix responseAtOwnFrequencies(const AnalysisModel& model) {
    return HarmonicResponse(model).atOwnFrequencies();
}

Matrix responseAtCommonFrequency(const AnalysisModel& model, double frequency) {
    return HarmonicResponse(model).atCommonFrequency(frequency);
}

Matrix responseAtFrequency(const AnalysisModel& model, double frequency) {
    return frequency == 0.0 ? responseAtOwnFrequencies(model)
                            : responseAtCommonFrequency(model, frequency);
}

} // namespace quav
