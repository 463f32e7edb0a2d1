#include "analysis/DynamicAnalysis.h"

#include "analysis/AnalysisKernels.h"
#include "analysis/Constants.h"
#include "analysis/StaticAnalysis.h"
#include "math/LuFactors.h"

#include <algorithm>
#include <array>
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
/// CoG the motion the load gives it when applied at its own position, with `kp` the
/// system about the load's position (overwritten by its factors) and `cogStiffness`
/// the system about the CoG.
void generalisedForce(double* kp, const double* cogStiffness, const DynamicLoad& load,
                      const double* cog, double* out) {
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

} // namespace

/// The rates of a model whose characteristics have frequency tables. A system
/// about a point is linear in the tables' ratios: K(f) = K0 + sum over the tabled
/// characteristics c and their directions d of r_cd(f) A_cd, where K0 holds the
/// springs without a table (with their dynamic factors) and A_cd the springs of c
/// with the rate k_cd along d alone. Those parts are assembled once, about the CoG
/// and each load's position; each frequency then only combines them. The loss
/// factors' part of H about the CoG is sum r_cd eta_cd A_cd.
class HarmonicResponse::Tables {
public:
    explicit Tables(const AnalysisModel& model)
        : model_(model), springs_(model), fixed_(springs_),
          owner_(static_cast<std::size_t>(springs_.count()), -1),
          orientation_(static_cast<std::size_t>(springs_.count())) {
        const int n = springs_.count();
        springs_.springMatrices(detail::kGlobalFrame, false, true, fixed_.data());
        for (int i = 0; i < n; ++i) {
            const SpringElement& spring = model.springs[static_cast<std::size_t>(i)];
            const SpringCharacteristic* c = model.findCharacteristic(spring.characteristicId);
            if (!c || c->frequencyTable.empty())
                continue;
            const auto known = std::find(tabled_.begin(), tabled_.end(), c);
            owner_[static_cast<std::size_t>(i)] = static_cast<int>(known - tabled_.begin());
            if (known == tabled_.end())
                tabled_.push_back(c);
            std::fill(fixed_.data() + 9 * i, fixed_.data() + 9 * i + 9, 0.0);
            detail::springOrientation(spring, orientation_[static_cast<std::size_t>(i)].data());
        }
        parts_ = 1 + 3 * static_cast<int>(tabled_.size());
        // The loads' positions too while that takes little memory; beyond, a load's
        // system is assembled when it is asked for.
        const std::size_t perPoint = static_cast<std::size_t>(parts_) * 36;
        const std::size_t loads = model.dynamicLoads.size();
        points_ = 1 + (perPoint * (1 + loads) <= kPrecomputedDoubles ? static_cast<int>(loads) : 0);
        systems_.resize(static_cast<std::size_t>(points_) * perPoint);
        detail::SpringBlocks part(springs_);
        for (int point = 0; point < points_; ++point) {
            const double* q = position(point);
            springs_.assemble(fixed_.data(), q, detail::kGlobalFrame, system(point, 0));
            for (int c = 0; c < static_cast<int>(tabled_.size()); ++c) {
                for (int d = 0; d < 3; ++d) {
                    double rates[3] = {0.0, 0.0, 0.0};
                    rates[d] = tabled_[static_cast<std::size_t>(c)]->stiffness[d];
                    std::fill(part.data(), part.data() + 9 * springs_.count(), 0.0);
                    tabledBlocks(c, rates, part.data());
                    springs_.assemble(part.data(), q, detail::kGlobalFrame,
                                      system(point, 1 + 3 * c + d));
                }
            }
        }
    }

    /// K and the loss factors' part of H about the CoG at f [Hz], and the generalised
    /// forces of loads [first, last) into `forces` (6 per load, from load 0).
    void ratesAt(double frequency, double* stiffness, double* hysteresis, double* forces, int first,
                 int last) const {
        const int directions = parts_ - 1;
        detail::SmallArray<double, 3 * 8> ratio(directions), loss(directions);
        for (std::size_t c = 0; c < tabled_.size(); ++c) {
            const TableValues v = tableValuesAt(tabled_[c]->frequencyTable, frequency);
            for (std::size_t d = 0; d < 3; ++d) {
                const int k = static_cast<int>(3 * c + d);
                ratio[k] = v.ratio[d];
                loss[k] = v.ratio[d] * v.loss[d];
            }
        }
        combine(0, ratio.data(), true, stiffness);
        combine(0, loss.data(), false, hysteresis);
        for (int l = first; l < last; ++l) {
            double kp[36];
            if (1 + l < points_) {
                combine(1 + l, ratio.data(), true, kp);
            } else {
                detail::SpringBlocks blocks(springs_);
                std::copy(fixed_.data(), fixed_.data() + 9 * springs_.count(), blocks.data());
                for (int c = 0; c < static_cast<int>(tabled_.size()); ++c) {
                    double rates[3];
                    for (int d = 0; d < 3; ++d)
                        rates[d] =
                            tabled_[static_cast<std::size_t>(c)]->stiffness[d] * ratio[3 * c + d];
                    tabledBlocks(c, rates, blocks.data());
                }
                springs_.assemble(blocks.data(), position(1 + l), detail::kGlobalFrame, kp);
            }
            generalisedForce(kp, stiffness, model_.dynamicLoads[static_cast<std::size_t>(l)],
                             model_.centreOfGravity.data(), forces + 6 * l);
        }
    }

private:
    /// At most this many doubles (8 MB) of systems are kept.
    static constexpr std::size_t kPrecomputedDoubles = std::size_t{1} << 20;

    const double* position(int point) const {
        return point == 0
                   ? model_.centreOfGravity.data()
                   : model_.dynamicLoads[static_cast<std::size_t>(point - 1)].position.data();
    }
    double* system(int point, int part) {
        return systems_.data() + static_cast<std::size_t>((point * parts_ + part) * 36);
    }
    const double* system(int point, int part) const {
        return systems_.data() + static_cast<std::size_t>((point * parts_ + part) * 36);
    }

    /// J diag(rates) J^T into the blocks of the springs of tabled characteristic `c`;
    /// the other blocks stay as they are.
    void tabledBlocks(int c, const double* rates, double* blocks) const {
        for (int i = 0; i < springs_.count(); ++i) {
            if (owner_[static_cast<std::size_t>(i)] != c)
                continue;
            double* k = blocks + 9 * i;
            const double* j = orientation_[static_cast<std::size_t>(i)].data();
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
    }

    /// The system about point `point` for the coefficients of the parts (one per
    /// tabled characteristic and direction), with the springs without a table or not.
    void combine(int point, const double* coefficients, bool withFixed, double* out) const {
        const double* fixed = system(point, 0);
        for (int e = 0; e < 36; ++e) {
            long double sum = withFixed ? fixed[e] : 0.0L;
            for (int k = 1; k < parts_; ++k)
                sum += static_cast<long double>(coefficients[k - 1]) * system(point, k)[e];
            out[e] = static_cast<double>(sum);
        }
    }

    const AnalysisModel& model_;
    detail::SpringSet springs_;
    detail::SpringBlocks fixed_; ///< dynamic-factor blocks, zero for the tabled springs
    std::vector<int> owner_;     ///< each spring's tabled characteristic, or -1
    std::vector<std::array<double, 9>> orientation_;  ///< of the tabled springs
    std::vector<const SpringCharacteristic*> tabled_; ///< with a table, each once
    int parts_ = 1;                                   ///< K0 and the A_cd
    int points_ = 1;                                  ///< the CoG, then the loads' positions kept
    std::vector<double> systems_;                     ///< 6 x 6 each, by point and part
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
    for (int l = 0; l < loads_; ++l) {
        const DynamicLoad& load = model.dynamicLoads[static_cast<std::size_t>(l)];
        double kp[36];
        springs.assemble(rates.data(), load.position.data(), detail::kGlobalFrame, kp);
        generalisedForce(kp, stiffness_, load, cog, forces_ + 6 * l);
    }
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
