#pragma once

#include "math/Matrix.h"
#include "model/AnalysisModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <vector>

// What the core tests share: tolerances named once, small mount layouts whose
// answers can be worked out by hand, and their variations.
namespace quav::testing {

/// Results that only rounding separates from the exact value.
constexpr double kTight = 1e-12;
/// The 3.141592 circle constant leaves cross terms and couplings of this relative
/// order where exact angles would give none.
constexpr double kCircleConstantSlack = 1e-6;

/// A fresh folder under /tmp, removed with everything in it at the end.
class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/quav-test-XXXXXX";
        path_ = ::mkdtemp(pattern);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    std::string str() const { return path_.string(); }
    /// The names of the entries in the folder.
    std::set<std::string> names() const {
        std::set<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(path_))
            out.insert(e.path().filename().string());
        return out;
    }
    std::size_t entryCount() const { return names().size(); }

private:
    std::filesystem::path path_;
};

inline std::string fileContent(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline Matrix v3(double x, double y, double z) {
    return Matrix::vector({x, y, z});
}

/// Same dimensions, every element within `tolerance`.
inline void expectNear(const Matrix& a, const Matrix& b, double tolerance) {
    ASSERT_EQ(a.rows(), b.rows());
    ASSERT_EQ(a.cols(), b.cols());
    for (int i = 0; i < a.size(); ++i)
        EXPECT_NEAR(a[i], b[i], tolerance) << "element " << i;
}

/// Four springs with one characteristic at (+-a, +-b, c) relative to the CoG, mass
/// 120 kg, inertia diag(4, 6, 9). Springs on the +y side have the Y angle `yAngle`
/// [deg], those on the -y side its negative, so with `zAngle` = 0 the layout is
/// symmetric about the CoG's xz and yz planes (V-mounts tilted towards each other).
inline AnalysisModel fourMountModel(double a, double b, double c, const Matrix& rates,
                                    double dynamicFactor = 1.0,
                                    const Matrix& damping = Matrix::column(3), double yAngle = 0.0,
                                    double zAngle = 0.0) {
    AnalysisModel m;
    m.mass = 120.0;
    m.setCentreOfGravity(v3(0.1, -0.2, 0.3));
    m.setInertia(Matrix(3, 3, {4.0, 0, 0, 0, 6.0, 0, 0, 0, 9.0}));
    for (double sx : {-1.0, 1.0}) {
        for (double sy : {-1.0, 1.0}) {
            m.addSpring("mount", v3(0.1 + sx * a, -0.2 + sy * b, 0.3 + c),
                        v3(0.0, sy * yAngle, zAngle), 0.05f);
            m.springs.back().selected = 1;
        }
    }
    m.assignCharacteristic("rubber", rates, dynamicFactor, damping);
    return m;
}

/// Rotation by the angle `t` [rad] about the unit axis (ux, uy, uz).
inline Matrix axisRotation(double ux, double uy, double uz, double t) {
    const double c = std::cos(t), s = std::sin(t), k = 1.0 - c;
    return Matrix(3, 3,
                  {c + ux * ux * k, ux * uy * k - uz * s, ux * uz * k + uy * s, //
                   uy * ux * k + uz * s, c + uy * uy * k, uy * uz * k - ux * s, //
                   uz * ux * k - uy * s, uz * uy * k + ux * s, c + uz * uz * k});
}

/// R diag(d) R^T, made exactly symmetric.
inline Matrix rotatedInertia(const Matrix& r, double d0, double d1, double d2) {
    Matrix d(3, 3);
    d(0, 0) = d0;
    d(1, 1) = d1;
    d(2, 2) = d2;
    Matrix i = r * d * r.transposed();
    for (int p = 0; p < 3; ++p)
        for (int q = p + 1; q < 3; ++q)
            i(q, p) = i(p, q);
    return i;
}

/// The 6 x 6 mass matrix about the CoG in global axes: diag(m, m, m) and the inertia.
inline Matrix massMatrix(const AnalysisModel& m) {
    Matrix mm(6, 6);
    for (int i = 0; i < 3; ++i) {
        mm(i, i) = m.mass;
        for (int j = 0; j < 3; ++j)
            mm(3 + i, 3 + j) = m.inertia(i, j);
    }
    return mm;
}

/// Deterministic pseudo-random numbers in [-1, 1).
struct Lcg {
    unsigned long long state;
    double next() {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(state >> 11) / 4503599627370496.0 - 1.0;
    }
};

/// A symmetric n x n matrix of random signs and magnitudes over six decades.
inline Matrix randomSymmetric(Lcg& rng, int n) {
    Matrix a(n, n);
    for (int i = 0; i < n; ++i)
        for (int j = i; j < n; ++j)
            a(i, j) = a(j, i) = rng.next() * std::pow(10.0, 3 * rng.next());
    return a;
}

/// A body of 50-250 kg with a randomly rotated inertia on `springs` randomly
/// placed and inclined mounts, each with a characteristic of its own.
inline AnalysisModel randomMountModel(Lcg& rng, int springs) {
    AnalysisModel m;
    m.mass = 50 + 200 * std::fabs(rng.next());
    m.setCentreOfGravity(v3(rng.next(), rng.next(), rng.next()));
    double u[3] = {rng.next(), rng.next(), rng.next()};
    const double n = std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2]);
    m.setInertia(rotatedInertia(axisRotation(u[0] / n, u[1] / n, u[2] / n, 3 * rng.next()),
                                2 + rng.next(), 5 + 2 * rng.next(), 6 + 3 * rng.next()));
    for (int s = 0; s < springs; ++s) {
        m.addSpring("s", v3(rng.next(), rng.next(), rng.next()),
                    v3(0, 90 * rng.next(), 180 * rng.next()), 0.05f);
        m.springs.back().selected = 1;
        m.assignCharacteristic(
            "c" + std::to_string(s),
            v3(1e5 * (1.1 + rng.next()), 1e5 * (1.1 + rng.next()), 1e5 * (1.1 + rng.next())),
            1.0 + 0.5 * std::fabs(rng.next()), Matrix::column(3));
    }
    return m;
}

/// A random rotation about a random axis.
inline Matrix randomRotation(Lcg& rng) {
    double u[3] = {rng.next(), rng.next(), rng.next()};
    const double n = std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2]);
    return axisRotation(u[0] / n, u[1] / n, u[2] / n, 4 * rng.next());
}

/// A family of random models of one kind, and how many the eigen checks take.
struct ModelFamily {
    const char* name;
    int count;
    std::function<AnalysisModel(Lcg&)> make;
};

/// The random and awkward models eigen solutions are checked on.
inline std::vector<ModelFamily> modelFamilies() {
    return {
        {"random", 1500,
         [](Lcg& rng) { return randomMountModel(rng, 3 + int(8 * std::fabs(rng.next()))); }},
        {"single product of inertia", 300,
         [](Lcg& rng) {
             AnalysisModel m = randomMountModel(rng, 4);
             const int i = int(3 * std::fabs(rng.next())), j = (i + 1) % 3;
             Matrix inertia(3, 3, {3, 0, 0, 0, 5, 0, 0, 0, 7});
             inertia(i, j) = inertia(j, i) = rng.next();
             m.setInertia(inertia);
             return m;
         }},
        {"near-equal moments", 400,
         [](Lcg& rng) {
             AnalysisModel m = randomMountModel(rng, 4);
             const double split = std::pow(10.0, -2 - 12 * std::fabs(rng.next()));
             const double d = 3 + rng.next();
             m.setInertia(rotatedInertia(randomRotation(rng), d, d * (1 + split),
                                         rng.next() > 0 ? d * (1 - split) : 2 * d));
             return m;
         }},
        // Repeated frequencies.
        {"symmetric layouts", 400,
         [](Lcg& rng) {
             const double k = 1e5 * (1.5 + rng.next());
             const Matrix rates = rng.next() > 0 ? v3(k, k, k) : v3(k, 0.4 * k, 1.7 * k);
             AnalysisModel m = fourMountModel(0.2 + 0.1 * rng.next(), 0.2 + 0.1 * rng.next(),
                                              0.2 * rng.next(), rates, 1.2, Matrix::column(3),
                                              rng.next() > 0 ? 0.0 : 30 * rng.next());
             if (rng.next() > 0)
                 m.setInertia(Matrix(3, 3, {5, 0, 0, 0, 5, 0, 0, 0, 5}));
             return m;
         }},
        // Rates over three decades, each direction of each mount its own. Wider spreads
        // leave the small eigenvalues less well defined than 1e-12 by the rounding of
        // the assembled system itself, whichever precision then solves it.
        {"rates decades apart", 500,
         [](Lcg& rng) {
             AnalysisModel m = randomMountModel(rng, 4 + int(4 * std::fabs(rng.next())));
             for (auto& c : m.springCharacteristics)
                 for (int i = 0; i < 3; ++i)
                     c.stiffness[i] *= std::pow(10.0, 1.5 * rng.next());
             return m;
         }},
        {"free directions", 100,
         [](Lcg& rng) {
             AnalysisModel m = fourMountModel(0.3, 0.2, 0.1 * rng.next(),
                                              v3(0, 0, 2e5 * (1 + std::fabs(rng.next()))));
             m.setInertia(rotatedInertia(randomRotation(rng), 4, 6, 9));
             return m;
         }},
    };
}

} // namespace quav::testing
