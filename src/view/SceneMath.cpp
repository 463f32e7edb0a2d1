#include "view/SceneMath.h"

#include "analysis/Constants.h"

#include <cmath>

namespace quav {

Mat4 Mat4::operator*(const Mat4& b) const {
    Mat4 r;
    for (int c = 0; c < 4; ++c) {
        for (int row = 0; row < 4; ++row) {
            long double sum = 0.0L;
            for (int k = 0; k < 4; ++k)
                sum += static_cast<long double>(m[k * 4 + row]) * b.m[c * 4 + k];
            r.m[c * 4 + row] = static_cast<double>(sum);
        }
    }
    return r;
}

Mat4& Mat4::translate(double x, double y, double z) {
    Mat4 t;
    t.m[12] = x;
    t.m[13] = y;
    t.m[14] = z;
    return *this = *this * t;
}

Mat4& Mat4::rotate(double degrees, double x, double y, double z) {
    const double length = std::sqrt(x * x + y * y + z * z);
    if (length == 0.0)
        return *this; // glRotate with a zero axis leaves the matrix alone
    x /= length;
    y /= length;
    z /= length;
    const double a = degrees * kRadiansPerDegree;
    const double c = std::cos(a), s = std::sin(a), k = 1.0 - c;
    Mat4 r;
    r.m[0] = x * x * k + c;
    r.m[1] = y * x * k + z * s;
    r.m[2] = x * z * k - y * s;
    r.m[4] = x * y * k - z * s;
    r.m[5] = y * y * k + c;
    r.m[6] = y * z * k + x * s;
    r.m[8] = x * z * k + y * s;
    r.m[9] = y * z * k - x * s;
    r.m[10] = z * z * k + c;
    return *this = *this * r;
}

Mat4& Mat4::scale(double x, double y, double z) {
    Mat4 s;
    s.m[0] = x;
    s.m[5] = y;
    s.m[10] = z;
    return *this = *this * s;
}

Point3 Mat4::apply(const Point3& p) const {
    double r[3];
    for (int row = 0; row < 3; ++row) {
        const long double sum = static_cast<long double>(m[row]) * p.x +
                                static_cast<long double>(m[4 + row]) * p.y +
                                static_cast<long double>(m[8 + row]) * p.z + m[12 + row];
        r[row] = static_cast<double>(sum);
    }
    return {r[0], r[1], r[2]};
}

bool Mat4::finite() const {
    for (double v : m) {
        if (!std::isfinite(v))
            return false;
    }
    return true;
}

Mat4 perspective(double fovyDegrees, double aspect, double zNear, double zFar) {
    const double f = 1.0 / std::tan(fovyDegrees * kRadiansPerDegree / 2.0);
    Mat4 p;
    p.m[0] = f / aspect;
    p.m[5] = f;
    p.m[10] = (zFar + zNear) / (zNear - zFar);
    p.m[11] = -1.0;
    p.m[14] = 2.0 * zFar * zNear / (zNear - zFar);
    p.m[15] = 0.0;
    return p;
}

namespace {

Point3 cross(const Point3& a, const Point3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Point3 normalised(const Point3& v) {
    const double n = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return n == 0.0 ? v : Point3{v.x / n, v.y / n, v.z / n};
}

} // namespace

Mat4 lookAt(const Point3& eye, const Point3& centre, const Point3& up) {
    const Point3 f = normalised({centre.x - eye.x, centre.y - eye.y, centre.z - eye.z});
    const Point3 s = normalised(cross(f, up));
    const Point3 u = cross(s, f);
    Mat4 r;
    r.m[0] = s.x;
    r.m[4] = s.y;
    r.m[8] = s.z;
    r.m[1] = u.x;
    r.m[5] = u.y;
    r.m[9] = u.z;
    r.m[2] = -f.x;
    r.m[6] = -f.y;
    r.m[10] = -f.z;
    return r.translate(-eye.x, -eye.y, -eye.z);
}

} // namespace quav
