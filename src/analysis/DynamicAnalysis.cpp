#include "analysis/DynamicAnalysis.h"

#include "analysis/AnalysisKernels.h"
#include "analysis/Constants.h"
#include "analysis/StaticAnalysis.h"
#include "math/LuFactors.h"

#include <algorithm>
#include <cmath>
#include <vector>

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

namespace {

/// The generalised force about the CoG of a dynamic load: the force that gives the
/// CoG the motion the load gives it when applied at its own position, under the
/// springs' blocks `rates` (global) whose system about the CoG is `cogStiffness`.
void generalisedForce(const detail::SpringSet& springs, const double* rates,
                      const double* cogStiffness, const DynamicLoad& load, const double* cog,
                      double* out) {
    double kp[36];
    springs.assemble(rates, load.position.data(), detail::kGlobalFrame, kp);
    const Matrix f = loadVector(load);
    int perm[6];
    double up[6], ug[6];
    detail::luFactorise(kp, 6, perm);
    detail::luSubstitute(kp, 6, perm, f.data(), up);
    detail::pointTransfer(up, load.position.data(), cog, ug);
    for (int i = 0; i < 6; ++i) {
        long double sum = 0.0L;
        for (int k = 0; k < 6; ++k)
            sum += static_cast<long double>(cogStiffness[i * 6 + k]) * ug[k];
        out[i] = static_cast<double>(sum);
    }
}

/// J diag(rates) J^T for a spring's orientation J (global), sums in long double.
void rateBlock(const double* j, const double* rates, double* k) {
    for (int r = 0; r < 3; ++r) {
        for (int s = r; s < 3; ++s) {
            long double sum = 0.0L;
            for (int m = 0; m < 3; ++m)
                sum += static_cast<long double>(j[r * 3 + m]) * j[s * 3 + m] * rates[m];
            k[r * 3 + s] = static_cast<double>(sum);
            k[s * 3 + r] = k[r * 3 + s];
        }
    }
}

} // namespace

/// The rates of a model whose characteristics have frequency tables: the springs
/// without a table keep their blocks of dynamic rates; those with one get theirs
/// from the table at each frequency.
class HarmonicResponse::Tables {
public:
    explicit Tables(const AnalysisModel& model) : model_(model), springs_(model), fixed_(springs_) {
        springs_.springMatrices(detail::kGlobalFrame, false, true, fixed_.data());
        for (int i = 0; i < springs_.count(); ++i) {
            const SpringElement& spring = model.springs[static_cast<std::size_t>(i)];
            const SpringCharacteristic* c = model.findCharacteristic(spring.characteristicId);
            if (!c || c->frequencyTable.empty())
                continue;
            Tabled t;
            t.spring = i;
            const auto known = std::find(characteristics_.begin(), characteristics_.end(), c);
            t.characteristic = static_cast<int>(known - characteristics_.begin());
            if (known == characteristics_.end())
                characteristics_.push_back(c);
            double orientation[9];
            detail::springOrientation(spring, orientation);
            for (int k = 0; k < 9; ++k)
                t.orientation[k] = 0.0 + orientation[k];
            tabled_.push_back(t);
        }
    }

    /// K and the hysteretic part of H about the CoG at f [Hz], and the generalised
    /// forces of loads [first, last) into `forces` (6 per load, from load 0).
    void ratesAt(double frequency, double* stiffness, double* hysteresis, double* forces, int first,
                 int last) const {
        const std::size_t n = characteristics_.size();
        detail::SmallArray<TableValues, 8> values(static_cast<int>(n));
        for (std::size_t c = 0; c < n; ++c)
            values[static_cast<int>(c)] =
                tableValuesAt(characteristics_[c]->frequencyTable, frequency);
        detail::SpringBlocks rates(springs_), loss(springs_);
        std::copy(fixed_.data(), fixed_.data() + 9 * springs_.count(), rates.data());
        std::fill(loss.data(), loss.data() + 9 * springs_.count(), 0.0);
        for (const Tabled& t : tabled_) {
            const SpringCharacteristic& c =
                *characteristics_[static_cast<std::size_t>(t.characteristic)];
            const TableValues& v = values[t.characteristic];
            double real[3], imaginary[3];
            for (int d = 0; d < 3; ++d) {
                real[d] = c.stiffness[d] * v.ratio[static_cast<std::size_t>(d)];
                imaginary[d] = real[d] * v.loss[static_cast<std::size_t>(d)];
            }
            rateBlock(t.orientation, real, rates.data() + 9 * t.spring);
            rateBlock(t.orientation, imaginary, loss.data() + 9 * t.spring);
        }
        const double* cog = model_.centreOfGravity.data();
        springs_.assemble(rates.data(), cog, detail::kGlobalFrame, stiffness);
        springs_.assemble(loss.data(), cog, detail::kGlobalFrame, hysteresis);
        for (int l = first; l < last; ++l)
            generalisedForce(springs_, rates.data(), stiffness,
                             model_.dynamicLoads[static_cast<std::size_t>(l)], cog, forces + 6 * l);
    }

private:
    struct Tabled {
        int spring = 0;
        int characteristic = 0; ///< in `characteristics_`
        double orientation[9] = {};
    };
    const AnalysisModel& model_;
    detail::SpringSet springs_;
    detail::SpringBlocks fixed_; ///< dynamic-factor blocks; those of tabled springs unused
    std::vector<const SpringCharacteristic*> characteristics_; ///< with a table, each once
    std::vector<Tabled> tabled_;
};

HarmonicResponse::HarmonicResponse(const AnalysisModel& model)
    : model_(&model), loads_(static_cast<int>(model.dynamicLoads.size())) {
    if (loads_ == 0)
        return;
    const double* cog = model.centreOfGravity.data();
    const detail::SpringSet springs(model);
    detail::SpringBlocks damping(springs);
    springs.springMatrices(detail::kGlobalFrame, true, false, damping.data());
    springs.assemble(damping.data(), cog, detail::kGlobalFrame, damping_);
    if (model.usesFrequencyTables()) {
        tables_ = std::make_unique<const Tables>(model);
        return;
    }
    if (loads_ > kInlineLoads) {
        heapForces_ = std::make_unique<double[]>(static_cast<std::size_t>(6 * loads_));
        forces_ = heapForces_.get();
    }
    // The stiffness and damping about the CoG are the same for every load and every
    // frequency.
    detail::SpringBlocks rates(springs);
    springs.springMatrices(detail::kGlobalFrame, false, true, rates.data());
    springs.assemble(rates.data(), cog, detail::kGlobalFrame, stiffness_);
    for (int l = 0; l < loads_; ++l)
        generalisedForce(springs, rates.data(), stiffness_,
                         model.dynamicLoads[static_cast<std::size_t>(l)], cog, forces_ + 6 * l);
}

HarmonicResponse::~HarmonicResponse() = default;

template <class Use> auto HarmonicResponse::withRates(double frequency, int load, Use use) const {
    if (!tables_)
        return use(Rates{stiffness_, nullptr, forces_});
    double stiffness[36], hysteresis[36];
    detail::SmallArray<double, 6 * kInlineLoads> forces(6 * loads_);
    const int first = load < 0 ? 0 : load, last = load < 0 ? loads_ : load + 1;
    tables_->ratesAt(frequency, stiffness, hysteresis, forces.data(), first, last);
    return use(Rates{stiffness, hysteresis, forces.data()});
}

Matrix HarmonicResponse::atCommonFrequency(double frequency) const {
    return evaluate(false, frequency);
}

Matrix HarmonicResponse::atOwnFrequencies() const {
    return evaluate(true, 0.0);
}

void HarmonicResponse::system(double frequency, const Rates& rates, double* g) const {
    const AnalysisModel& model = *model_;
    const double omega = frequency * kTwoPi;
    // K - w^2 M with the mass and inertia about the CoG.
    const double w2 = omega * omega;
    double s[36];
    for (int i = 0; i < 36; ++i)
        s[i] = rates.stiffness[i];
    for (int i = 0; i < 3; ++i)
        s[i * 6 + i] = rates.stiffness[i * 6 + i] - w2 * model.mass;
    for (int i = 3; i < 6; ++i)
        for (int j = 3; j < 6; ++j)
            s[i * 6 + j] = rates.stiffness[i * 6 + j] - w2 * model.inertia(i - 3, j - 3);
    // (S + iH) x = Fg as the real system [[S, -H], [H, S]] [xr; xi] = [Fg; 0].
    for (int i = 0; i < 6; ++i) {
        for (int j = 0; j < 6; ++j) {
            double h = damping_[i * 6 + j] * omega;
            // A loss factor of 0 leaves w C as it is, signed zeros included.
            if (rates.hysteresis && rates.hysteresis[i * 6 + j] != 0.0)
                h = rates.hysteresis[i * 6 + j] + h;
            g[i * 12 + j] = s[i * 6 + j];
            g[(i + 6) * 12 + j + 6] = s[i * 6 + j];
            g[i * 12 + j + 6] = -h;
            g[(i + 6) * 12 + j] = h;
        }
    }
}

bool HarmonicResponse::resonantAt(int load, double frequency) const {
    return withRates(frequency, load, [&](const Rates& rates) {
        for (int i = 0; i < 6; ++i)
            if (!std::isfinite(rates.forces[6 * load + i]))
                return false;
        double g[144];
        system(frequency, rates, g);
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
    });
}

HarmonicResponse::ComplexMotion HarmonicResponse::motion(const double* fg, double frequency,
                                                         const Rates& rates) const {
    double g[144];
    system(frequency, rates, g);
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

HarmonicResponse::ComplexMotion HarmonicResponse::complexMotion(int load, double frequency) const {
    return withRates(frequency, load, [&](const Rates& rates) {
        return motion(rates.forces + 6 * load, frequency, rates);
    });
}

Matrix HarmonicResponse::evaluate(bool ownFrequencies, double common) const {
    Matrix result(loads_, 12);
    auto store = [&result](int l, const ComplexMotion& x) {
        for (int j = 0; j < 6; ++j) {
            const double xr = x.re[j], xi = x.im[j];
            const long double sq =
                static_cast<long double>(xi) * xi + static_cast<long double>(xr) * xr;
            result(l, j) = static_cast<double>(std::sqrt(sq));
            result(l, j + 6) = std::atan2(xi, xr);
        }
    };
    if (ownFrequencies || !tables_) {
        for (int l = 0; l < loads_; ++l)
            store(l,
                  complexMotion(l, ownFrequencies
                                       ? model_->dynamicLoads[static_cast<std::size_t>(l)].frequency
                                       : common));
        return result;
    }
    // Every load at one frequency: the tables' rates are found once for all of them.
    withRates(common, -1, [&](const Rates& rates) {
        for (int l = 0; l < loads_; ++l)
            store(l, motion(rates.forces + 6 * l, common, rates));
        return 0;
    });
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
