#include "analysis/PointMotion.h"

#include "analysis/AnalysisKernels.h"
#include "analysis/SystemAssembly.h"

#include <cmath>

namespace quav {

namespace detail {

void rotationFromAngles(double a, double b, double c, double* r) {
    const double ca = std::cos(a), sa = std::sin(a);
    const double cb = std::cos(b), sb = std::sin(b);
    const double cc = std::cos(c), sc = std::sin(c);
    const double m[9] = {cb * cc,
                         -cb * sc,
                         sb, //
                         sa * sb * cc + ca * sc,
                         ca * cc - sa * sb * sc,
                         -sa * cb, //
                         sa * sc - ca * sb * cc,
                         ca * sb * sc + sa * cc,
                         ca * cb};
    for (int i = 0; i < 9; ++i)
        r[i] = m[i];
}

void pointTransfer(const double* motion, const double* from, const double* to, double* result) {
    double r[9];
    rotationFromAngles(motion[3], motion[4], motion[5], r);
    // Both points are moved by t before the rotation is applied about the moved
    // reference point; this keeps the arithmetic of the system's own results.
    double movedFrom[3], offset[3];
    for (int i = 0; i < 3; ++i) {
        movedFrom[i] = from[i] + motion[i];
        offset[i] = (to[i] + motion[i]) - movedFrom[i];
    }
    for (int i = 0; i < 3; ++i) {
        long double sum = 0.0L;
        for (int k = 0; k < 3; ++k)
            sum += static_cast<long double>(r[i * 3 + k]) * offset[k];
        result[i] = (movedFrom[i] + static_cast<double>(sum)) - to[i];
        result[i + 3] = motion[i + 3];
    }
}

} // namespace detail

Matrix rotationFromAngles(double a, double b, double c) {
    Matrix r(3, 3);
    detail::rotationFromAngles(a, b, c, r.data());
    return r;
}

Matrix pointTransfer(const Matrix& motion, const Matrix& from, const Matrix& to) {
    Matrix result(6, 1);
    detail::pointTransfer(motion.data(), from.data(), to.data(), result.data());
    return result;
}

Matrix springLocalDisplacement(const SpringElement& spring, const Matrix& translation) {
    return springOrientation(spring).transposed() * translation;
}

double absoluteDisplacement(const Matrix& motion) {
    long double sum = 0.0L;
    for (int i = 0; i < 3; ++i)
        sum += static_cast<long double>(motion[i]) * motion[i];
    return static_cast<double>(std::sqrt(sum));
}

} // namespace quav
