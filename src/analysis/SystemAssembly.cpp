#include "analysis/SystemAssembly.h"

#include "analysis/AnalysisKernels.h"
#include "analysis/Constants.h"

#include <cmath>

namespace quav {

namespace detail {

void product3(const double* a, const double* b, double* r) {
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            long double sum = 0.0L;
            for (int k = 0; k < 3; ++k)
                sum += static_cast<long double>(a[i * 3 + k]) * b[k * 3 + j];
            r[i * 3 + j] = static_cast<double>(sum);
        }
    }
}

void springOrientation(const SpringElement& spring, double* r) {
    const double a1 = -spring.angles[1] * kRadiansPerDegree;
    const double a2 = (spring.angles[2] + 90.0) * kRadiansPerDegree;
    const double rx[9] = {1, 0, 0, 0, std::cos(a1), -std::sin(a1), 0, std::sin(a1), std::cos(a1)};
    const double rz[9] = {std::cos(a2), -std::sin(a2), 0, std::sin(a2), std::cos(a2), 0, 0, 0, 1};
    product3(rx, rz, r);
}

namespace {

/// J diag(rates) J^T with J = T O, or zero without a characteristic. Stiffness is
/// scaled by the dynamic factor when `dynamic` is set.
void springMatrix(const SpringCharacteristic* c, const double* orientation, const double* frame,
                  bool damping, bool dynamic, double* k) {
    if (!c) {
        for (int i = 0; i < 9; ++i)
            k[i] = 0.0;
        return;
    }
    const Matrix& rates = damping ? c->damping : c->stiffness;
    double j[9];
    product3(frame, orientation, j);
    for (int r = 0; r < 3; ++r) {
        for (int s = r; s < 3; ++s) {
            long double sum = 0.0L;
            for (int m = 0; m < 3; ++m)
                sum += static_cast<long double>(j[r * 3 + m]) * j[s * 3 + m] * rates[m];
            k[r * 3 + s] = static_cast<double>(sum);
            k[s * 3 + r] = k[r * 3 + s];
        }
    }
    if (dynamic && !damping)
        for (int i = 0; i < 9; ++i)
            k[i] = k[i] * c->dynamicFactor;
}

/// Adds the upper triangle of B^T k B (B = [I | -S(r)]) for one spring at the
/// offset r = (x, y, z) into the long double accumulator `a` (6 x 6 row-major).
void addSpringTerms(long double* a, const double* k, long double x, long double y, long double z) {
    const long double k00 = k[0], k01 = k[1], k02 = k[2];
    const long double k11 = k[4], k12 = k[5], k22 = k[8];
    auto at = [a](int i, int j) -> long double& { return a[i * 6 + j]; };
    at(0, 0) += k00;
    at(0, 1) += k01;
    at(0, 2) += k02;
    at(1, 1) += k11;
    at(1, 2) += k12;
    at(2, 2) += k22;
    at(0, 3) += y * k02 - z * k01;
    at(0, 4) += z * k00 - x * k02;
    at(0, 5) += x * k01 - y * k00;
    at(1, 3) += y * k12 - z * k11;
    at(1, 4) += z * k01 - x * k12;
    at(1, 5) += x * k11 - y * k01;
    at(2, 3) += y * k22 - z * k12;
    at(2, 4) += z * k02 - x * k22;
    at(2, 5) += x * k12 - y * k02;
    at(3, 3) += z * z * k11 + y * y * k22 - 2 * y * z * k12;
    at(4, 4) += z * z * k00 + x * x * k22 - 2 * x * z * k02;
    at(5, 5) += y * y * k00 + x * x * k11 - 2 * x * y * k01;
    at(3, 4) += x * z * k12 + y * z * k02 - z * z * k01 - x * y * k22;
    at(3, 5) += x * y * k12 + y * z * k01 - y * y * k02 - x * z * k11;
    at(4, 5) += x * y * k02 + x * z * k01 - x * x * k12 - y * z * k00;
}

} // namespace

SpringSet::SpringSet(const AnalysisModel& model)
    : count_(static_cast<int>(model.springs.size())), springs_(count_) {
    for (int i = 0; i < count_; ++i) {
        const SpringElement& spring = model.springs[static_cast<std::size_t>(i)];
        Spring& s = springs_[i];
        s.characteristic = model.findCharacteristic(spring.characteristicId);
        s.position = spring.position.data();
        if (s.characteristic)
            springOrientation(spring, s.orientation);
    }
}

void SpringSet::springMatrices(const double* frame, bool damping, bool dynamic, double* out) const {
    for (int i = 0; i < count_; ++i)
        springMatrix(springs_[i].characteristic, springs_[i].orientation, frame, damping, dynamic,
                     out + 9 * i);
}

void SpringSet::assemble(const double* blocks, const double* q, const double* frame,
                         double* out) const {
    long double a[36] = {};
    for (int s = 0; s < count_; ++s) {
        const double* p = springs_[s].position;
        const double d[3] = {p[0] - q[0], p[1] - q[1], p[2] - q[2]};
        double r[3];
        for (int i = 0; i < 3; ++i) {
            long double sum = 0.0L;
            for (int k = 0; k < 3; ++k)
                sum += static_cast<long double>(frame[i * 3 + k]) * d[k];
            r[i] = static_cast<double>(sum);
        }
        addSpringTerms(a, blocks + 9 * s, r[0], r[1], r[2]);
    }
    for (int i = 0; i < 6; ++i) {
        for (int j = i; j < 6; ++j) {
            out[i * 6 + j] = static_cast<double>(a[i * 6 + j]);
            out[j * 6 + i] = out[i * 6 + j];
        }
    }
}

} // namespace detail

namespace {

Matrix springMatrix(const AnalysisModel& model, const SpringElement& spring, const Matrix& frame,
                    bool damping, bool dynamic) {
    Matrix k(3, 3);
    const SpringCharacteristic* c = model.findCharacteristic(spring.characteristicId);
    if (!c)
        return k;
    double orientation[9];
    detail::springOrientation(spring, orientation);
    detail::springMatrix(c, orientation, frame.data(), damping, dynamic, k.data());
    return k;
}

Matrix assemble(const AnalysisModel& model, const Matrix& q, const Matrix& frame, bool damping,
                bool dynamic) {
    const detail::SpringSet springs(model);
    detail::SpringBlocks blocks(springs);
    springs.springMatrices(frame.data(), damping, dynamic, blocks.data());
    Matrix result(6, 6);
    springs.assemble(blocks.data(), q.data(), frame.data(), result.data());
    return result;
}

} // namespace

Matrix springOrientation(const SpringElement& spring) {
    Matrix r(3, 3);
    detail::springOrientation(spring, r.data());
    return r;
}

Matrix springStiffness(const AnalysisModel& model, const SpringElement& spring, const Matrix& frame,
                       bool dynamic) {
    return springMatrix(model, spring, frame, false, dynamic);
}

Matrix springDamping(const AnalysisModel& model, const SpringElement& spring, const Matrix& frame) {
    return springMatrix(model, spring, frame, true, false);
}

Matrix systemStiffness(const AnalysisModel& model, const Matrix& referencePoint,
                       const Matrix& frame, bool dynamic) {
    return assemble(model, referencePoint, frame, false, dynamic);
}

Matrix systemDamping(const AnalysisModel& model, const Matrix& referencePoint,
                     const Matrix& frame) {
    return assemble(model, referencePoint, frame, true, false);
}

Matrix modalSystemMatrix(const Matrix& stiffness, double mass, const Matrix& principalMoments) {
    Matrix a(6, 6);
    for (int i = 0; i < 6; ++i) {
        const double d = i < 3 ? mass : principalMoments(i - 3, i - 3);
        for (int j = 0; j < 6; ++j)
            a(i, j) = stiffness(i, j) / d;
    }
    return a;
}

Matrix dynamicStiffness(const Matrix& stiffness, double frequency, double mass,
                        const Matrix& inertia) {
    const double w = frequency * kTwoPi;
    const double w2 = w * w;
    Matrix s = stiffness;
    for (int i = 0; i < 3; ++i)
        s(i, i) = stiffness(i, i) - w2 * mass;
    for (int i = 3; i < 6; ++i)
        for (int j = 3; j < 6; ++j)
            s(i, j) = stiffness(i, j) - w2 * inertia(i - 3, j - 3);
    return s;
}

} // namespace quav
