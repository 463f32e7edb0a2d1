#include "analysis/LoadCaseAnalysis.h"

#include "analysis/AnalysisKernels.h"
#include "analysis/EigenAnalysis.h"
#include "math/LuFactors.h"
#include "model/TextFormat.h"

#include <algorithm>
#include <cmath>

namespace quav {

namespace {

using Vector6 = std::array<double, 6>;

double norm(const Vector6& v) {
    long double sum = 0.0L;
    for (double x : v)
        sum += static_cast<long double>(x) * x;
    return static_cast<double>(std::sqrt(sum));
}

double dot(const Vector6& a, const Vector6& b) {
    long double sum = 0.0L;
    for (int i = 0; i < 6; ++i)
        sum += static_cast<long double>(a[static_cast<std::size_t>(i)]) *
               b[static_cast<std::size_t>(i)];
    return static_cast<double>(sum);
}

/// (a x b) for 3-vectors.
void cross(const double* a, const double* b, double* out) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

/// A spring as the cases see it: its axes, offset from the CoG and, per local
/// direction, its curve or its static rate.
struct Mount {
    const SpringCharacteristic* characteristic = nullptr;
    double axes[9] = {}; ///< row-major; column m is local axis m in global components
    double offset[3] = {};
    const ForceCurve* curve[3] = {};
    double rate[3] = {};
};

/// A mount's state at one motion of the body.
struct MountState {
    double deflection[3];
    double force[3];
    double tangent[3];
};

/// The model's mounts prepared once for all its cases.
class CaseSolver {
public:
    explicit CaseSolver(const AnalysisModel& model)
        : model_(model), springs_(model), mounts_(model.springs.size()),
          blocks_(static_cast<std::size_t>(9 * springs_.count())) {
        const double* cog = model.centreOfGravity.data();
        for (std::size_t i = 0; i < mounts_.size(); ++i) {
            const SpringElement& spring = model.springs[i];
            Mount& m = mounts_[i];
            m.characteristic = model.findCharacteristic(spring.characteristicId);
            for (int k = 0; k < 3; ++k)
                m.offset[k] = spring.position[k] - cog[k];
            if (!m.characteristic)
                continue;
            detail::springOrientation(spring, m.axes);
            for (std::size_t d = 0; d < 3; ++d) {
                const ForceCurve& curve = m.characteristic->curves[d];
                m.curve[d] = curve.empty() ? nullptr : &curve;
                m.rate[d] = m.characteristic->stiffness[static_cast<int>(d)];
            }
        }
    }

    LoadCaseResult solve(const LoadCase& loadCase, bool modes);

private:
    MountState state(const Mount& m, const Vector6& x) const;
    /// F - the springs' generalised force at x; with `tangent`, also the
    /// tangent stiffness about the CoG (36 elements, row-major).
    Vector6 residual(const Vector6& applied, const Vector6& x, double* tangent);
    /// Moves x along dx to where the energy is least on (0, 1]; returns the
    /// residual there.
    Vector6 lineSearch(const Vector6& applied, Vector6& x, const Vector6& dx, const Vector6& r0,
                       double tolerance);
    void report(LoadCaseResult& result) const;
    std::vector<CaseMode> operatingModes(const Vector6& x) const;

    const AnalysisModel& model_;
    detail::SpringSet springs_;
    std::vector<Mount> mounts_;
    std::vector<double> blocks_;
};

MountState CaseSolver::state(const Mount& m, const Vector6& x) const {
    MountState s{};
    if (!m.characteristic)
        return s;
    // The motion of the mounting point, u + theta x r, in local axes.
    double turn[3];
    cross(x.data() + 3, m.offset, turn);
    const double v[3] = {x[0] + turn[0], x[1] + turn[1], x[2] + turn[2]};
    for (int d = 0; d < 3; ++d) {
        long double sum = 0.0L;
        for (int i = 0; i < 3; ++i)
            sum += static_cast<long double>(m.axes[i * 3 + d]) * v[i];
        const double deflection = static_cast<double>(sum);
        s.deflection[d] = deflection;
        if (m.curve[d]) {
            const CurveValue c = curveValueAt(*m.curve[d], deflection);
            s.force[d] = c.force;
            s.tangent[d] = c.rate;
        } else {
            s.force[d] = m.rate[d] * deflection;
            s.tangent[d] = m.rate[d];
        }
    }
    return s;
}

Vector6 CaseSolver::residual(const Vector6& applied, const Vector6& x, double* tangent) {
    long double sum[6] = {};
    for (std::size_t i = 0; i < mounts_.size(); ++i) {
        const Mount& m = mounts_[i];
        double* block = blocks_.data() + 9 * i;
        if (!m.characteristic) {
            std::fill(block, block + 9, 0.0);
            continue;
        }
        const MountState s = state(m, x);
        double g[3];
        for (int r = 0; r < 3; ++r) {
            long double f = 0.0L;
            for (int d = 0; d < 3; ++d)
                f += static_cast<long double>(m.axes[r * 3 + d]) * s.force[d];
            g[r] = static_cast<double>(f);
        }
        double moment[3];
        cross(m.offset, g, moment);
        for (int k = 0; k < 3; ++k) {
            sum[k] += g[k];
            sum[k + 3] += moment[k];
        }
        if (!tangent)
            continue;
        // L diag(k) L^T, formed as the static analysis forms its blocks, so that
        // linear mounts give its very system.
        for (int r = 0; r < 3; ++r)
            for (int c = r; c < 3; ++c) {
                long double k = 0.0L;
                for (int d = 0; d < 3; ++d)
                    k += static_cast<long double>(0.0 + m.axes[r * 3 + d]) *
                         (0.0 + m.axes[c * 3 + d]) * s.tangent[d];
                block[r * 3 + c] = block[c * 3 + r] = static_cast<double>(k);
            }
    }
    if (tangent)
        springs_.assemble(blocks_.data(), model_.centreOfGravity.data(), detail::kGlobalFrame,
                          tangent);
    Vector6 r;
    for (int k = 0; k < 6; ++k)
        r[static_cast<std::size_t>(k)] =
            static_cast<double>(applied[static_cast<std::size_t>(k)] - sum[k]);
    return r;
}

Vector6 CaseSolver::lineSearch(const Vector6& applied, Vector6& x, const Vector6& dx,
                               const Vector6& r0, double tolerance) {
    auto at = [&](double a) {
        Vector6 y;
        for (std::size_t k = 0; k < 6; ++k)
            y[k] = x[k] + a * dx[k];
        return y;
    };
    Vector6 full = at(1.0);
    Vector6 r1 = residual(applied, full, nullptr);
    // The energy's slope along dx: -dx . R, negative at the start.
    const double g0 = -dot(dx, r0);
    double g1 = -dot(dx, r1);
    if (norm(r1) <= tolerance || g1 <= 0.0 || !(g0 < 0.0)) {
        x = full;
        return r1;
    }
    // Regula falsi (Illinois) for the slope's zero in (0, 1).
    double a = 0.0, ga = g0, b = 1.0, gb = g1;
    Vector6 best = full, rBest = r1;
    int side = 0;
    for (int k = 0; k < 60; ++k) {
        const double c = a - ga * (b - a) / (gb - ga);
        best = at(c);
        rBest = residual(applied, best, nullptr);
        const double gc = -dot(dx, rBest);
        if (std::fabs(gc) <= 1e-14 * std::fabs(g0) || b - a <= 1e-15)
            break;
        if (gc < 0.0) {
            a = c, ga = gc;
            if (side == -1)
                gb *= 0.5;
            side = -1;
        } else {
            b = c, gb = gc;
            if (side == 1)
                ga *= 0.5;
            side = 1;
        }
    }
    x = best;
    return rBest;
}

LoadCaseResult CaseSolver::solve(const LoadCase& loadCase, bool modes) {
    LoadCaseResult result;
    result.name = loadCase.name;
    for (const LoadTerm& t : loadCase.terms) {
        const bool known = std::any_of(model_.staticLoads.begin(), model_.staticLoads.end(),
                                       [&](const StaticLoad& l) { return l.id == t.load; });
        if (!known) {
            result.reason = format("静荷重 id %d がありません", t.load);
            return result;
        }
    }
    const Vector6 applied = caseLoad(model_, loadCase);
    result.load = applied;
    if (!std::all_of(applied.begin(), applied.end(), [](double v) { return std::isfinite(v); })) {
        result.reason = "荷重が数値ではありません";
        return result;
    }
    const double tolerance = kCaseTolerance * (norm(applied) + 1.0);
    Vector6 x{};
    double k[36];
    int perm[6];
    Vector6 r = residual(applied, x, k);
    for (int step = 0;; ++step) {
        result.residual = norm(r);
        if (result.residual <= tolerance) {
            result.converged = true;
            result.iterations = step;
            break;
        }
        if (step == kMaxCaseIterations) {
            result.iterations = step;
            result.reason =
                format("%d 回の反復で収束しませんでした(残差 %g)", step, result.residual);
            break;
        }
        detail::luFactorise(k, 6, perm);
        Vector6 dx;
        detail::luSubstitute(k, 6, perm, r.data(), dx.data());
        if (!std::all_of(dx.begin(), dx.end(), [](double v) { return std::isfinite(v); })) {
            result.iterations = step;
            result.reason = "剛性のない方向があるため解けません";
            break;
        }
        r = lineSearch(applied, x, dx, r, tolerance);
        if (norm(r) > tolerance)
            r = residual(applied, x, k);
    }
    result.displacement = x;
    report(result);
    result.pass = result.converged && std::all_of(result.springs.begin(), result.springs.end(),
                                                  [](const CaseSpring& s) { return s.pass; });
    if (modes && result.converged)
        result.modes = operatingModes(x);
    return result;
}

void CaseSolver::report(LoadCaseResult& result) const {
    result.springs.resize(mounts_.size());
    for (std::size_t i = 0; i < mounts_.size(); ++i) {
        const Mount& m = mounts_[i];
        CaseSpring& out = result.springs[i];
        out.id = model_.springs[i].id;
        const MountState s = state(m, result.displacement);
        for (int d = 0; d < 3; ++d) {
            out.deflection[static_cast<std::size_t>(d)] = s.deflection[d];
            out.local[static_cast<std::size_t>(d)] = s.force[d];
            long double g = 0.0L;
            for (int e = 0; e < 3; ++e)
                g += static_cast<long double>(m.axes[d * 3 + e]) * s.force[e];
            out.global[static_cast<std::size_t>(d)] = static_cast<double>(g);
        }
        if (!m.characteristic)
            continue;
        const auto& rated = m.characteristic->ratedLoad;
        for (std::size_t d = 0; d < 3; ++d) {
            const auto consider = [&](double margin, double limit, bool travel) {
                out.pass = out.pass && margin >= 0.0;
                // A curve that ends at 0 on the side it moves to allows no travel:
                // any deflection that way counts a whole travel beyond.
                const double ratio = limit != 0.0 ? margin / limit : margin < 0.0 ? -1.0 : 0.0;
                if (result.worst.spring < 0 || ratio < result.worst.ratio)
                    result.worst = {ratio, static_cast<int>(i), static_cast<int>(d), travel};
            };
            if (m.curve[d]) {
                const ForceCurve& curve = *m.curve[d];
                const double deflection = out.deflection[d];
                const double margin = travelMargin(curve, deflection);
                out.travelMargin[d] = margin;
                consider(margin,
                         std::fabs(deflection >= 0.0 ? curve.back().deflection
                                                     : curve.front().deflection),
                         true);
            }
            if (rated) {
                const double margin = (*rated)[d] - std::fabs(out.local[d]);
                out.loadMargin[d] = margin;
                consider(margin, (*rated)[d], false);
            }
        }
    }
}

std::vector<CaseMode> CaseSolver::operatingModes(const Vector6& x) const {
    // Each curved spring gets a characteristic of its own whose rates along the
    // curved directions are the tangent rates at the operating point.
    AnalysisModel linearised = model_;
    for (std::size_t i = 0; i < mounts_.size(); ++i) {
        const Mount& m = mounts_[i];
        if (!m.characteristic || !m.characteristic->hasCurves())
            continue;
        const MountState s = state(m, x);
        SpringCharacteristic c = *m.characteristic;
        for (int d = 0; d < 3; ++d)
            c.stiffness[d] = s.tangent[d];
        linearised.springs[i].characteristicId = linearised.addCharacteristic(std::move(c));
    }
    const ModalSolution modal = solveModes(linearised);
    std::vector<CaseMode> modes;
    if (!modal.valid)
        return modes;
    for (int k = 1; k <= 6; ++k) {
        CaseMode mode;
        mode.mode = k;
        mode.frequency = modal.frequencies[6 - k];
        for (int i = 0; i < 6; ++i)
            mode.shape[static_cast<std::size_t>(i)] = modal.modeShapes(i, 6 - k);
        modes.push_back(mode);
    }
    return modes;
}

} // namespace

std::array<double, 6> caseLoad(const AnalysisModel& model, const LoadCase& loadCase) {
    long double sum[6] = {};
    const double* cog = model.centreOfGravity.data();
    for (const LoadTerm& t : loadCase.terms) {
        const auto load = std::find_if(model.staticLoads.begin(), model.staticLoads.end(),
                                       [&](const StaticLoad& l) { return l.id == t.load; });
        if (load == model.staticLoads.end())
            continue;
        double v[3];
        for (int i = 0; i < 3; ++i)
            v[i] = t.factor * load->value * load->direction[i];
        if (load->type == Translational) {
            const double r[3] = {load->position[0] - cog[0], load->position[1] - cog[1],
                                 load->position[2] - cog[2]};
            double moment[3];
            cross(r, v, moment);
            for (int i = 0; i < 3; ++i) {
                sum[i] += v[i];
                sum[i + 3] += moment[i];
            }
        } else if (load->type == Moment) {
            for (int i = 0; i < 3; ++i)
                sum[i + 3] += v[i];
        }
    }
    for (std::size_t i = 0; i < 3; ++i)
        sum[i] += static_cast<long double>(model.mass) * kStandardGravity * loadCase.gLoad[i];
    std::array<double, 6> out;
    for (std::size_t i = 0; i < 6; ++i)
        out[i] = static_cast<double>(sum[i]);
    return out;
}

LoadCaseResult analyseLoadCase(const AnalysisModel& model, const LoadCase& loadCase, bool modes) {
    CaseSolver solver(model);
    return solver.solve(loadCase, modes);
}

std::vector<LoadCaseResult> analyseLoadCases(const AnalysisModel& model, bool modes) {
    CaseSolver solver(model);
    std::vector<LoadCaseResult> results;
    results.reserve(model.loadCases.size());
    for (const LoadCase& c : model.loadCases)
        results.push_back(solver.solve(c, modes));
    return results;
}

} // namespace quav
