#pragma once

// Transforms of the 3-D view's scene. Standard C++ only: the scene computes
// every item's placement here, the GL renderer loads the result as it is.

namespace quav {

/// An RGB colour, each component 0 to 1.
struct Rgb {
    float r = 1.0f;
    float g = 1.0f;
    float b = 1.0f;
    bool operator==(const Rgb&) const = default;
};

/// A point or direction in the scene.
struct Point3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    bool operator==(const Point3&) const = default;
};

/// A 4 x 4 homogeneous transform, stored column by column as OpenGL loads it:
/// element (row r, column c) is m[c * 4 + r]. The composing operations multiply
/// on the right, as the GL matrix stack does: translate then rotate means
/// "rotate the object, then move it".
struct Mat4 {
    double m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    static Mat4 identity() { return {}; }
    bool operator==(const Mat4&) const = default;
    double operator()(int row, int col) const { return m[col * 4 + row]; }

    Mat4 operator*(const Mat4& b) const;
    Mat4& translate(double x, double y, double z);
    /// Rotation by `degrees` about the axis (x, y, z) (normalised here), as glRotate;
    /// degrees become radians with the system's circle constant.
    Mat4& rotate(double degrees, double x, double y, double z);
    Mat4& scale(double x, double y, double z);

    /// The transformed point (w = 1, no perspective division).
    Point3 apply(const Point3& p) const;
    /// True when no element is infinite or NaN.
    bool finite() const;
};

/// gluPerspective: vertical field of view [deg], aspect width / height, clip planes.
Mat4 perspective(double fovyDegrees, double aspect, double zNear, double zFar);
/// gluLookAt.
Mat4 lookAt(const Point3& eye, const Point3& centre, const Point3& up);

} // namespace quav
