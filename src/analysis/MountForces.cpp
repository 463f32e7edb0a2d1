#include "analysis/MountForces.h"

#include "analysis/CalculationDriver.h"
#include "analysis/Constants.h"
#include "analysis/DynamicAnalysis.h"
#include "analysis/PointMotion.h"
#include "analysis/StaticAnalysis.h"
#include "analysis/SystemAssembly.h"

#include <cmath>

namespace quav {

namespace {

/// What a spring's force needs, looked up once.
struct Mount {
    int id = 0;
    Matrix orientation; ///< columns: the local axes in global components
    double offset[3];   ///< position relative to the CoG [m]
    double rates[3] = {};
    double damping[3] = {};
    double dynamicFactor = 0.0;
    const FrequencyTable* table = nullptr; ///< in place of the dynamic factor when set
};

std::vector<Mount> mounts(const AnalysisModel& model) {
    std::vector<Mount> result;
    for (const auto& spring : model.springs) {
        Mount m;
        m.id = spring.id;
        m.orientation = springOrientation(spring);
        for (int i = 0; i < 3; ++i)
            m.offset[i] = spring.position[i] - model.centreOfGravity[i];
        if (const SpringCharacteristic* c = model.findCharacteristic(spring.characteristicId)) {
            for (int i = 0; i < 3; ++i) {
                m.rates[i] = c->stiffness[i];
                m.damping[i] = c->damping[i];
            }
            m.dynamicFactor = c->dynamicFactor;
            if (!c->frequencyTable.empty())
                m.table = &c->frequencyTable;
        }
        result.push_back(std::move(m));
    }
    return result;
}

/// A complex 3-vector as its real and imaginary parts.
struct Complex3 {
    long double re[3] = {};
    long double im[3] = {};
};

/// The complex force of a mount along its local axes, k* J^T u, for the CoG's complex
/// motion x carried to the mount by u = x_t + theta x r, at f [Hz]: k* = K_dyn + i w C,
/// or from the frequency table k* = K r(f) (1 + i eta(f)) + i w C.
Complex3 localForce(const Mount& m, const HarmonicResponse::ComplexMotion& x, double frequency) {
    const double omega = frequency * kTwoPi;
    const double* r = m.offset;
    auto carry = [r](const double* v, long double* u) {
        u[0] =
            v[0] + (static_cast<long double>(v[4]) * r[2] - static_cast<long double>(v[5]) * r[1]);
        u[1] =
            v[1] + (static_cast<long double>(v[5]) * r[0] - static_cast<long double>(v[3]) * r[2]);
        u[2] =
            v[2] + (static_cast<long double>(v[3]) * r[1] - static_cast<long double>(v[4]) * r[0]);
    };
    long double ure[3], uim[3];
    carry(x.re, ure);
    carry(x.im, uim);
    Complex3 f;
    for (int a = 0; a < 3; ++a) {
        long double lre = 0.0L, lim = 0.0L;
        for (int g = 0; g < 3; ++g) {
            lre += m.orientation(g, a) * ure[g];
            lim += m.orientation(g, a) * uim[g];
        }
        long double k = static_cast<long double>(m.rates[a]) * m.dynamicFactor;
        long double h = static_cast<long double>(m.damping[a]) * omega;
        if (m.table) {
            const TableValues v = tableValuesAt(*m.table, frequency);
            k = static_cast<long double>(m.rates[a]) * v.ratio[static_cast<std::size_t>(a)];
            h += k * v.loss[static_cast<std::size_t>(a)];
        }
        f.re[a] = k * lre - h * lim;
        f.im[a] = k * lim + h * lre;
    }
    return f;
}

/// |F_t|: the modulus of the complex vector sum, in global axes, of every mount's
/// force under the CoG's motion `x` at f [Hz].
double transmitted(const std::vector<Mount>& all, const HarmonicResponse::ComplexMotion& x,
                   double f) {
    Complex3 total;
    for (const Mount& m : all) {
        const Complex3 local = localForce(m, x, f);
        for (int g = 0; g < 3; ++g) {
            for (int a = 0; a < 3; ++a) {
                total.re[g] += m.orientation(g, a) * local.re[a];
                total.im[g] += m.orientation(g, a) * local.im[a];
            }
        }
    }
    long double sum = 0.0L;
    for (int g = 0; g < 3; ++g)
        sum += total.re[g] * total.re[g] + total.im[g] * total.im[g];
    return static_cast<double>(std::sqrt(sum));
}

/// |F|: the amplitude of the force a load applies.
double appliedForce(const StaticLoad& load) {
    const Matrix applied = loadVector(load);
    return std::sqrt(applied[0] * applied[0] + applied[1] * applied[1] + applied[2] * applied[2]);
}

} // namespace

struct MountForceLoads::Data {
    Data(const AnalysisModel& m, double f)
        : model(m), frequency(f), all(mounts(m)), displacements(staticAnalysis(m)), response(m) {}
    const AnalysisModel& model;
    double frequency;
    std::vector<Mount> all;
    Matrix displacements; ///< a row per static load
    HarmonicResponse response;
};

MountForceLoads::MountForceLoads(const AnalysisModel& model, double frequency)
    : data_(std::make_unique<Data>(model, frequency)) {}

MountForceLoads::~MountForceLoads() = default;

int MountForceLoads::staticCount() const {
    return data_->displacements.rows();
}

int MountForceLoads::dynamicCount() const {
    return static_cast<int>(data_->model.dynamicLoads.size());
}

StaticLoadForces MountForceLoads::staticLoad(int l) const {
    const AnalysisModel& model = data_->model;
    StaticLoadForces load;
    load.load = l + 1;
    Matrix u(6, 1);
    for (int k = 0; k < 6; ++k)
        u[k] = data_->displacements(l, k);
    load.springs.reserve(data_->all.size());
    for (std::size_t s = 0; s < data_->all.size(); ++s) {
        const Mount& m = data_->all[s];
        const Matrix moved = pointTransfer(u, model.centreOfGravity, model.springs[s].position);
        const Matrix local = springLocalDisplacement(
            model.springs[s], Matrix::vector({moved[0], moved[1], moved[2]}));
        StaticSpringForce force;
        force.id = m.id;
        for (int a = 0; a < 3; ++a)
            force.local[a] = m.rates[a] * local[a];
        for (int g = 0; g < 3; ++g) {
            long double sum = 0.0L;
            for (int a = 0; a < 3; ++a)
                sum += static_cast<long double>(m.orientation(g, a)) * force.local[a];
            force.global[g] = static_cast<double>(sum);
        }
        load.springs.push_back(force);
    }
    return load;
}

DynamicLoadForces MountForceLoads::dynamicLoad(int l) const {
    DynamicLoadForces load;
    load.load = l + 1;
    load.frequency = data_->frequency > 0.0
                         ? data_->frequency
                         : data_->model.dynamicLoads[static_cast<std::size_t>(l)].frequency;
    const auto x = data_->response.complexMotion(l, load.frequency);
    load.springs.reserve(data_->all.size());
    for (const Mount& m : data_->all) {
        const Complex3 f = localForce(m, x, load.frequency);
        DynamicSpringForce force;
        force.id = m.id;
        Complex3 g;
        long double sum = 0.0L;
        for (int a = 0; a < 3; ++a) {
            force.amplitude[a] =
                static_cast<double>(std::sqrt(f.re[a] * f.re[a] + f.im[a] * f.im[a]));
            force.phase[a] = static_cast<double>(std::atan2(f.im[a], f.re[a]));
            for (int k = 0; k < 3; ++k) {
                g.re[k] += m.orientation(k, a) * f.re[a];
                g.im[k] += m.orientation(k, a) * f.im[a];
            }
            sum += f.re[a] * f.re[a] + f.im[a] * f.im[a];
        }
        for (int k = 0; k < 3; ++k) {
            force.globalAmplitude[k] =
                static_cast<double>(std::sqrt(g.re[k] * g.re[k] + g.im[k] * g.im[k]));
            force.globalPhase[k] = static_cast<double>(std::atan2(g.im[k], g.re[k]));
        }
        force.total = static_cast<double>(std::sqrt(sum));
        load.springs.push_back(force);
    }
    return load;
}

MountForces mountForces(const AnalysisModel& model, double frequency) {
    const MountForceLoads loads(model, frequency);
    MountForces result;
    for (int l = 0; l < loads.staticCount(); ++l)
        result.staticLoads.push_back(loads.staticLoad(l));
    for (int l = 0; l < loads.dynamicCount(); ++l)
        result.dynamicLoads.push_back(loads.dynamicLoad(l));
    return result;
}

bool hasForceTransmissibility(const StaticLoad& load) {
    return load.type == Translational && load.value != 0.0;
}

std::vector<TransmissibilityPoint> transmissibility(const AnalysisModel& model, int index) {
    std::vector<TransmissibilityPoint> curve;
    const SweepPlan plan = planSweep(model, 1);
    if (plan.error != CalculationError::None)
        return curve;
    const double amplitude = appliedForce(model.dynamicLoads[static_cast<std::size_t>(index)]);
    const std::vector<Mount> all = mounts(model);
    const HarmonicResponse response(model);
    const int steps = static_cast<int>(plan.steps);
    curve.reserve(static_cast<std::size_t>(steps));
    double f = model.frequencyStart;
    for (int s = 0; s < steps; ++s) {
        const double t = transmitted(all, response.complexMotion(index, f), f) / amplitude;
        curve.push_back({f, t, (1.0 - t) * 100.0});
        f += model.frequencyStep;
    }
    return curve;
}

double transmissibilityAt(const AnalysisModel& model, int index, double frequency) {
    const HarmonicResponse response(model);
    return transmitted(mounts(model), response.complexMotion(index, frequency), frequency) /
           appliedForce(model.dynamicLoads[static_cast<std::size_t>(index)]);
}

} // namespace quav
