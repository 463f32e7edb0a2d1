#include "analysis/PointMotion.h"

#include "analysis/SystemAssembly.h"

#include <cmath>

namespace quav {

Matrix rotationFromAngles(double a, double b, double c) {
    const double ca = std::cos(a), sa = std::sin(a);
    const double cb = std::cos(b), sb = std::sin(b);
    const double cc = std::cos(c), sc = std::sin(c);
    return Matrix(3, 3,
                  {cb * cc, -cb * sc, sb,                                    //
                   sa * sb * cc + ca * sc, ca * cc - sa * sb * sc, -sa * cb, //
                   sa * sc - ca * sb * cc, ca * sb * sc + sa * cc, ca * cb});
}

Matrix pointTransfer(const Matrix& motion, const Matrix& from, const Matrix& to) {
    const Matrix r = rotationFromAngles(motion[3], motion[4], motion[5]);
    const Matrix t = Matrix::vector({motion[0], motion[1], motion[2]});
    // Both points are moved by t before the rotation is applied about the moved
    // reference point; this keeps the arithmetic of the system's own results.
    const Matrix movedFrom = from + t;
    const Matrix moved = (movedFrom + r * ((to + t) - movedFrom)) - to;
    Matrix result(6, 1);
    for (int i = 0; i < 3; ++i) {
        result[i] = moved[i];
        result[i + 3] = motion[i + 3];
    }
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
