#include "analysis/SystemAssembly.h"

#include "analysis/AnalysisKernels.h"
#include "analysis/Constants.h"
#include "analysis/VariantBasis.h"

#include <algorithm>
#include <cmath>
#include <cstring>

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
    const double c1 = std::cos(a1), s1 = std::sin(a1), c2 = std::cos(a2), s2 = std::sin(a2);
    // Rx(a1) Rz(a2) written out: every element is a single product, formed in long
    // double after a zero as the general product forms it (its other terms are zeros).
    auto term = [](double x, double y) {
        return static_cast<double>(0.0L + static_cast<long double>(x) * y);
    };
    const double m[9] = {term(1.0, c2), term(1.0, -s2), 0.0,            //
                         term(c1, s2),  term(c1, c2),   term(-s1, 1.0), //
                         term(s1, s2),  term(s1, c2),   term(c1, 1.0)};
    for (int i = 0; i < 9; ++i)
        r[i] = m[i];
}

namespace {

/// J diag(rates) J^T with J = T O (`framed` when known), or zero without a
/// characteristic. Stiffness is scaled by the dynamic factor when `dynamic` is set.
void springMatrix(const SpringCharacteristic* c, const double* orientation, const double* framed,
                  const double* frame, bool damping, bool dynamic, double* k) {
    if (!c) {
        for (int i = 0; i < 9; ++i)
            k[i] = 0.0;
        return;
    }
    const Matrix& rates = damping ? c->damping : c->stiffness;
    double j[9];
    if (framed) {
        std::copy(framed, framed + 9, j);
    } else if (std::equal(frame, frame + 9, kGlobalFrame)) {
        // What the product with the identity gives: the same elements, -0 as +0.
        for (int i = 0; i < 9; ++i)
            j[i] = 0.0 + orientation[i];
    } else {
        product3(frame, orientation, j);
    }
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

/// Sums one element of B^T k B (B = [I | -S(r)]) over the springs in spring order;
/// `term` gives a spring's share from its block k and its offset r = (x, y, z). The
/// sum stays in a register rather than in memory.
template <class Term>
double sumOverSprings(const double* blocks, const double* offsets, int n, Term term) {
    long double sum = 0.0L;
    for (int s = 0; s < n; ++s)
        sum += term(blocks + 9 * s, offsets + 3 * s);
    return static_cast<double>(sum);
}

} // namespace

SpringSet::SpringSet(const AnalysisModel& model, const VariantBasis* basis)
    : count_(static_cast<int>(model.springs.size())), springs_(count_),
      basisFrame_(basis ? basis->frame() : nullptr) {
    for (int i = 0; i < count_; ++i) {
        const SpringElement& spring = model.springs[static_cast<std::size_t>(i)];
        Spring& s = springs_[i];
        s.characteristic = model.findCharacteristic(spring.characteristicId);
        s.position = spring.position.data();
        s.principal = nullptr;
        if (!s.characteristic)
            continue;
        const VariantBasis::SpringAxes* known =
            basis ? basis->springAxes(static_cast<std::size_t>(i), spring) : nullptr;
        if (known) {
            std::copy(known->global, known->global + 9, s.orientation);
            s.principal = known->principal;
        } else {
            springOrientation(spring, s.orientation);
        }
    }
}

void SpringSet::springMatrices(const double* frame, bool damping, bool dynamic, double* out) const {
    // In the basis's own frame the products T O are known (bitwise the same frame,
    // so the same products) for every spring whose angles it knows.
    const bool basisFrame = basisFrame_ && std::memcmp(frame, basisFrame_, 9 * sizeof(double)) == 0;
    for (int i = 0; i < count_; ++i)
        springMatrix(springs_[i].characteristic, springs_[i].orientation,
                     basisFrame ? springs_[i].principal : nullptr, frame, damping, dynamic,
                     out + 9 * i);
}

void SpringSet::assemble(const double* blocks, const double* q, const double* frame,
                         double* out) const {
    SmallArray<double, 3 * kInlineSprings> offsets(3 * count_);
    for (int s = 0; s < count_; ++s) {
        const double* p = springs_[s].position;
        const double d[3] = {p[0] - q[0], p[1] - q[1], p[2] - q[2]};
        for (int i = 0; i < 3; ++i) {
            long double sum = 0.0L;
            for (int k = 0; k < 3; ++k)
                sum += static_cast<long double>(frame[i * 3 + k]) * d[k];
            offsets[3 * s + i] = static_cast<double>(sum);
        }
    }
    using L = long double;
    const double* offset = offsets.data();
    auto set = [&](int i, int j, auto term) {
        out[i * 6 + j] = sumOverSprings(blocks, offset, count_, term);
        out[j * 6 + i] = out[i * 6 + j];
    };
    // Element by element, the terms of the upper triangle with k = (kij) and r = (x, y, z).
    set(0, 0, [](const double* k, const double*) { return L(k[0]); });
    set(0, 1, [](const double* k, const double*) { return L(k[1]); });
    set(0, 2, [](const double* k, const double*) { return L(k[2]); });
    set(1, 1, [](const double* k, const double*) { return L(k[4]); });
    set(1, 2, [](const double* k, const double*) { return L(k[5]); });
    set(2, 2, [](const double* k, const double*) { return L(k[8]); });
    set(0, 3,
        [](const double* k, const double* r) { return L(r[1]) * L(k[2]) - L(r[2]) * L(k[1]); });
    set(0, 4,
        [](const double* k, const double* r) { return L(r[2]) * L(k[0]) - L(r[0]) * L(k[2]); });
    set(0, 5,
        [](const double* k, const double* r) { return L(r[0]) * L(k[1]) - L(r[1]) * L(k[0]); });
    set(1, 3,
        [](const double* k, const double* r) { return L(r[1]) * L(k[5]) - L(r[2]) * L(k[4]); });
    set(1, 4,
        [](const double* k, const double* r) { return L(r[2]) * L(k[1]) - L(r[0]) * L(k[5]); });
    set(1, 5,
        [](const double* k, const double* r) { return L(r[0]) * L(k[4]) - L(r[1]) * L(k[1]); });
    set(2, 3,
        [](const double* k, const double* r) { return L(r[1]) * L(k[8]) - L(r[2]) * L(k[5]); });
    set(2, 4,
        [](const double* k, const double* r) { return L(r[2]) * L(k[2]) - L(r[0]) * L(k[8]); });
    set(2, 5,
        [](const double* k, const double* r) { return L(r[0]) * L(k[5]) - L(r[1]) * L(k[2]); });
    set(3, 3, [](const double* k, const double* r) {
        const L y = r[1], z = r[2];
        return z * z * L(k[4]) + y * y * L(k[8]) - 2 * y * z * L(k[5]);
    });
    set(4, 4, [](const double* k, const double* r) {
        const L x = r[0], z = r[2];
        return z * z * L(k[0]) + x * x * L(k[8]) - 2 * x * z * L(k[2]);
    });
    set(5, 5, [](const double* k, const double* r) {
        const L x = r[0], y = r[1];
        return y * y * L(k[0]) + x * x * L(k[4]) - 2 * x * y * L(k[1]);
    });
    set(3, 4, [](const double* k, const double* r) {
        const L x = r[0], y = r[1], z = r[2];
        return x * z * L(k[5]) + y * z * L(k[2]) - z * z * L(k[1]) - x * y * L(k[8]);
    });
    set(3, 5, [](const double* k, const double* r) {
        const L x = r[0], y = r[1], z = r[2];
        return x * y * L(k[5]) + y * z * L(k[1]) - y * y * L(k[2]) - x * z * L(k[4]);
    });
    set(4, 5, [](const double* k, const double* r) {
        const L x = r[0], y = r[1], z = r[2];
        return x * y * L(k[2]) + x * z * L(k[1]) - x * x * L(k[5]) - y * z * L(k[0]);
    });
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
    detail::springMatrix(c, orientation, nullptr, frame.data(), damping, dynamic, k.data());
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

} // namespace quav
