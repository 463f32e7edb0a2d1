// Double-precision modes against the long double ones, to 1e-12 on random and awkward models
// (batches at every instruction set: the end-to-end simd case compares whole run folders).
#include "analysis/EigenAnalysis.h"
#include "analysis/SymmetricEigen.h"
#include "analysis/VariantBasis.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

using namespace quav;
using namespace quav::testing;

namespace {

constexpr double kAgreement = 1e-12;
// Eigenvalues below this share of the largest are zero (free): compared against the largest.
constexpr double kResolvable = 1e-8;
// Modes closer than this (against the largest eigenvalue) are compared as their span.
constexpr double kClusterGap = 1e-3;

struct Worst {
    double frequency = 0.0; ///< relative difference of a frequency
    double zero = 0.0;      ///< difference of an eigenvalue at zero, against the largest
    double mode = 0.0;      ///< part of a mode outside the other solution's mode space
};

using Vector6 = std::vector<long double>;

Vector6 column(const Matrix& m, int j) {
    Vector6 v(6);
    for (int i = 0; i < 6; ++i)
        v[static_cast<std::size_t>(i)] = m(i, j);
    return v;
}

/// v less its component along the unit vector q.
void removeComponent(Vector6& v, const Vector6& q) {
    long double dot = 0.0L;
    for (std::size_t i = 0; i < 6; ++i)
        dot += q[i] * v[i];
    for (std::size_t i = 0; i < 6; ++i)
        v[i] -= dot * q[i];
}

long double norm(const Vector6& v) {
    long double sum = 0.0L;
    for (long double x : v)
        sum += x * x;
    return std::sqrt(sum);
}

/// The part of column `j` of `a` outside the span of columns [first, last) of `b`.
double outsideSpan(const Matrix& a, int j, const Matrix& b, int first, int last) {
    std::vector<Vector6> basis; // orthonormal, by Gram-Schmidt twice
    for (int k = first; k < last; ++k) {
        Vector6 v = column(b, k);
        for (int pass = 0; pass < 2; ++pass)
            for (const Vector6& q : basis)
                removeComponent(v, q);
        const long double length = norm(v);
        for (long double& x : v)
            x /= length;
        basis.push_back(v);
    }
    Vector6 r = column(a, j);
    for (const Vector6& q : basis)
        removeComponent(r, q);
    return static_cast<double>(norm(r));
}

/// Compares the two solutions of one model and keeps the largest differences.
void compare(const AnalysisModel& m, Worst& worst) {
    const ModalSolution a = solveModes(m);
    const ModalSolution b = solveModes(m, EigenPrecision::Extended);
    ASSERT_TRUE(a.valid && b.valid);
    const double largest = std::fabs(b.eigenvalues[0]);
    for (int j = 0; j < 6; ++j) {
        if (std::fabs(b.eigenvalues[j]) > kResolvable * largest) {
            const double d = std::fabs(a.frequencies[j] - b.frequencies[j]) / b.frequencies[j];
            worst.frequency = std::max(worst.frequency, d);
        } else {
            const double d = std::fabs(a.eigenvalues[j] - b.eigenvalues[j]) / largest;
            worst.zero = std::max(worst.zero, d);
        }
    }
    // Storage runs by descending |lambda|: clusters are runs of neighbours.
    for (int first = 0; first < 6;) {
        int last = first + 1;
        while (last < 6 && std::fabs(std::fabs(b.eigenvalues[last - 1]) -
                                     std::fabs(b.eigenvalues[last])) < kClusterGap * largest)
            ++last;
        for (int j = first; j < last; ++j)
            worst.mode =
                std::max(worst.mode, outsideSpan(a.modeShapes, j, b.modeShapes, first, last));
        first = last;
    }
}

void checkFamily(const char* name, int count, const std::function<AnalysisModel(Lcg&)>& make) {
    SCOPED_TRACE(name);
    Lcg rng{0x5eed};
    Worst worst;
    for (int i = 0; i < count; ++i)
        compare(make(rng), worst);
    std::printf("%-28s %5d models: frequency %.2e, zero eigenvalue %.2e, mode %.2e\n", name, count,
                worst.frequency, worst.zero, worst.mode);
    EXPECT_LE(worst.frequency, kAgreement);
    EXPECT_LE(worst.zero, kAgreement);
    EXPECT_LE(worst.mode, kAgreement);
}

} // namespace

TEST(EigenCrossCheck, DoublePrecisionAgreesWithLongDouble) {
    for (const ModelFamily& family : modelFamilies())
        checkFamily(family.name, family.count, family.make);
}

/// The largest difference of an estimate from the modes as a share of its
/// bounds; false when a frequency is not that of the modes.
double estimateError(const ModesEstimate& e, const AnalysisModel& m) {
    double worst = 0.0;
    for (int s = 0; s < 6; ++s) {
        const double f = std::fabs(e.frequencies[s] - m.eigenFrequencies[s]);
        worst = std::max(worst, e.frequencyError[s] == 0.0 ? (f == 0.0 ? 0.0 : HUGE_VAL)
                                                           : f / e.frequencyError[s]);
        for (int i = 0; i < 6; ++i) {
            const double d =
                std::fabs(std::fabs(e.shapes[i * 6 + s]) - std::fabs(m.modeShapes(i, s)));
            worst = std::max(worst, d / e.shapeError[s]);
        }
    }
    return worst;
}

TEST(EigenCrossCheck, EstimatesLieWithinTheirBoundsOfTheModes) {
    // The calculation's systems solved in batches of eight, every other model
    // declined (it keeps the modes it had); then variants (a rate raised, a spring
    // moved) estimated side by side from the model's systems.
    Lcg rng{0xe57};
    double worst = 0.0, worstSide = 0.0;
    int estimated = 0, told = 0, lanes = 0;
    for (const ModelFamily& family : modelFamilies()) {
        std::vector<AnalysisModel> models;
        models.reserve(80);
        for (int i = 0; i < 80; ++i)
            models.push_back(family.make(rng));
        for (std::size_t first = 0; first < models.size(); first += 8) {
            AnalysisModel* batch[8];
            ModesEstimate estimates[8] = {};
            for (int i = 0; i < 8; ++i) {
                batch[i] = &models[first + static_cast<std::size_t>(i)];
                batch[i]->eigenFrequencies.zero();
            }
            eigenvalueAnalyses(batch, 8, nullptr, simdLevel(), [&](int i, const ModesEstimate& e) {
                estimates[i] = e;
                return i % 2 == 0;
            });
            for (int i = 0; i < 8; ++i) {
                AnalysisModel& m = *batch[i];
                if (i % 2) {
                    EXPECT_EQ(m.eigenFrequencies, Matrix::column(6)) << family.name;
                    ASSERT_TRUE(eigenvalueAnalysis(m));
                }
                worst = std::max(worst, estimateError(estimates[i], m));
            }
        }
        // Sixteen variants a model (rates raised and lowered, a spring moved) at every
        // level: each level and batch solves them differently, within the bounds.
        for (const AnalysisModel& model : models) {
            const VariantBasis basis(model);
            const VariantSystems systems(model, basis, {});
            if (!systems.usable())
                continue;
            const std::size_t springs = model.springs.size();
            constexpr int kVariants = VariantSystems::kLanes;
            std::vector<std::vector<double>> values(kVariants, systems.modelValues());
            const double* lanes16[kVariants];
            std::vector<AnalysisModel> variants;
            variants.reserve(kVariants);
            bool solved[kVariants];
            for (int v = 0; v < kVariants; ++v) {
                auto& x = values[static_cast<std::size_t>(v)];
                x[3 * springs] *= 1.0 + 0.04 * (v - 4);
                x[0] += 0.01 * ((v + 1) % 5); // variant 4 is the model, ties and all
                lanes16[v] = x.data();
                variants.push_back(model);
                variants.back().springCharacteristics[0].stiffness[0] = x[3 * springs];
                variants.back().springs[0].position[0] = x[0];
                solved[v] = eigenvalueAnalysis(variants.back());
            }
            for (SimdLevel level : {SimdLevel::Scalar, SimdLevel::Avx2, SimdLevel::Avx512}) {
                if (level > availableSimdLevel())
                    continue;
                ModesEstimate e[kVariants];
                bool ok[kVariants];
                // A full batch and a short one, which starts from the full one's
                // last vectors.
                EstimateChain chain;
                for (int n : {kVariants, 3}) {
                    systems.estimate(lanes16, n, e, ok, level, &chain);
                    for (int v = 0; v < n; ++v) {
                        ++lanes;
                        if (!ok[v])
                            continue;
                        ASSERT_TRUE(solved[v]) << family.name;
                        worstSide = std::max(
                            worstSide, estimateError(e[v], variants[static_cast<std::size_t>(v)]));
                        ++estimated;
                        told += std::all_of(e[v].shapeError, e[v].shapeError + 6,
                                            [](double x) { return x < 1e-4; });
                    }
                }
            }
        }
    }
    std::printf("estimated modes: worst difference %.1e of the bound from the calculation's "
                "systems, %.1e side by side (%d of %d estimated, %d with every shape)\n",
                worst, worstSide, estimated, lanes, told);
    EXPECT_LE(worst, 1.0);
    EXPECT_LE(worstSide, 1.0);
    EXPECT_GT(told, estimated / 2);
}

TEST(EigenCrossCheck, EstimatesOfRepeatedFrequenciesFillEveryPlace) {
    // Four like mounts square about the centre of gravity under equal moments of
    // inertia: three translations share one frequency and two rotations another,
    // to the last bit, whatever the one rate they all share.
    AnalysisModel m;
    m.mass = 128.0;
    m.setCentreOfGravity(v3(0, 0, 0));
    m.setInertia(Matrix(3, 3, {4, 0, 0, 0, 4, 0, 0, 0, 4}));
    for (double sx : {-1.0, 1.0})
        for (double sy : {-1.0, 1.0}) {
            m.addSpring("mount", v3(sx * 0.25, sy * 0.25, 0.0), v3(0, 0, 0), 0.05f);
            m.springs.back().selected = 1;
        }
    m.assignCharacteristic("rubber", v3(1e5, 1e5, 1e5), 1.0, Matrix::column(3));
    const VariantBasis basis(m);
    const VariantSystems systems(m, basis, {});
    ASSERT_TRUE(systems.usable());
    constexpr int kVariants = VariantSystems::kLanes;
    std::vector<std::vector<double>> values(kVariants, systems.modelValues());
    std::vector<AnalysisModel> variants(kVariants, m);
    const double* lanes[kVariants];
    const std::size_t rates = 3 * m.springs.size();
    for (int v = 0; v < kVariants; ++v) {
        auto& x = values[static_cast<std::size_t>(v)];
        for (int i = 0; i < 3; ++i)
            x[rates + static_cast<std::size_t>(i)] *= 1.0 + 0.05 * v;
        lanes[v] = x.data();
        auto& variant = variants[static_cast<std::size_t>(v)];
        for (int i = 0; i < 3; ++i)
            variant.springCharacteristics[0].stiffness[i] = x[rates + static_cast<std::size_t>(i)];
        ASSERT_TRUE(eigenvalueAnalysis(variant));
    }
    int ties = 0;
    for (SimdLevel level : {SimdLevel::Scalar, SimdLevel::Avx2, SimdLevel::Avx512}) {
        if (level > availableSimdLevel())
            continue;
        for (int n : {kVariants, 3}) {
            ModesEstimate e[kVariants];
            for (ModesEstimate& one : e)
                std::fill_n(one.frequencies, 6, std::nan(""));
            bool ok[kVariants];
            systems.estimate(lanes, n, e, ok, level);
            for (int v = 0; v < n; ++v) {
                ASSERT_TRUE(ok[v]);
                for (int s = 0; s < 6; ++s)
                    ASSERT_TRUE(std::isfinite(e[v].frequencies[s])) << v << " " << s;
                EXPECT_LE(estimateError(e[v], variants[static_cast<std::size_t>(v)]), 1.0);
                for (int s = 1; s < 6; ++s)
                    ties += e[v].frequencies[s] == e[v].frequencies[s - 1];
            }
        }
    }
    EXPECT_GT(ties, 0);
}
