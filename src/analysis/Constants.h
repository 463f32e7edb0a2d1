#pragma once

namespace quav {

// The system's circle constant is 3.141592, not pi to double precision; every
// conversion below derives from it, so results match the system's own numbers.

/// Degrees to radians: 3.141592 / 180.
inline constexpr double kRadiansPerDegree = 0.01745328888888889;
/// Hertz to radians per second: 2 x 3.141592.
inline constexpr double kTwoPi = 6.283184;
/// Radians per second to hertz: 1 / 6.283184.
inline constexpr double kHertzPerRadian = 0.15915497620314795;

/// Pi to double precision, for the angles between two directions that newer
/// analyses report (a right angle prints as 90, not 90.0000187). The model's own
/// angles and the long-standing analyses keep the constants above.
inline constexpr double kPi = 3.141592653589793;

} // namespace quav
