#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace quav {

// Load cases and the nonlinear force-deflection curves of mounts. Both are
// optional parts of a model: a model without them is the format-303 model.

/// One point of a force-deflection curve, in the spring's local axis.
struct ForcePoint {
    double deflection = 0.0; ///< [m]
    double force = 0.0;      ///< [N]
    bool operator==(const ForcePoint&) const = default;
};

/// The force against deflection of one local direction of a mount: linear
/// between points, the last segment's slope continued beyond either end. Empty
/// means no curve: the direction is linear with the static rate.
using ForceCurve = std::vector<ForcePoint>;

inline constexpr int kMinForcePoints = 2;
inline constexpr int kMaxForcePoints = 64;

/// Why a curve cannot be a characteristic's.
struct ForceCurveProblem {
    enum Kind {
        TooFewPoints,
        TooManyPoints,
        NotFinite,
        DeflectionNotIncreasing, ///< deflection not above the point before
        ForceNotIncreasing,      ///< force not above the point before
        NoOrigin,                ///< (0, 0) is not one of the points
    };
    Kind kind = TooFewPoints;
    int point = -1;  ///< 0-based; -1 for the whole curve
    int column = -1; ///< 0 deflection, 1 force; -1 for the whole curve or point
};

/// The first problem of the curve, points in order; none for an empty curve
/// or one of 2 to 64 finite points, deflection and force strictly increasing,
/// that holds the point (0, 0).
std::optional<ForceCurveProblem> checkForceCurve(const ForceCurve& curve);

/// The problem in the user's language, with its point counted from 1
/// ("点 3: 力が前の点より大きくありません").
std::string forceCurveProblemText(const ForceCurveProblem& problem);

/// The force [N] and tangent rate [N/m] of a valid, non-empty curve at
/// `deflection` [m]. At a point the segment to its right gives the rate.
struct CurveValue {
    double force = 0.0;
    double rate = 0.0;
};
CurveValue curveValueAt(const ForceCurve& curve, double deflection);

/// The distance [m] from `deflection` to the curve's end in the direction the
/// deflection goes (the upper end for 0 and above, the lower end below 0);
/// negative beyond that end.
double travelMargin(const ForceCurve& curve, double deflection);

/// A share of one static load in a load case.
struct LoadTerm {
    int load = 0; ///< id of a static load
    double factor = 1.0;
    bool operator==(const LoadTerm&) const = default;
};

/// A named load case: a weighted sum of the model's static loads and a body
/// acceleration, gLoad in units of standard gravity along global x, y, z
/// ([0, 0, -1] is the weight).
struct LoadCase {
    std::string name;
    std::vector<LoadTerm> terms;
    std::array<double, 3> gLoad{};
    bool operator==(const LoadCase&) const = default;
};

inline constexpr int kMaxLoadCases = 1000;
inline constexpr int kMaxCaseNameBytes = 255;
/// Terms of one case: far beyond any real case.
inline constexpr int kMaxCaseTerms = 10000;
/// Standard gravity [m/s^2].
inline constexpr double kStandardGravity = 9.80665;

/// Why a list of load cases cannot be a model's: the first problem, in the
/// user's language, with the case it belongs to; empty when there is none.
/// Names 1 to 255 bytes in code page 932 and unique, at most 1,000 cases and
/// 10,000 terms each, every number finite. Whether a term's load exists is the
/// analysis's to say (a load may be deleted after the case was made).
struct LoadCaseProblem {
    int caseIndex = -1; ///< 0-based; -1 for the list
    int termIndex = -1; ///< 0-based, or -1
    std::string text;
};
std::optional<LoadCaseProblem> checkLoadCases(const std::vector<LoadCase>& cases);

} // namespace quav
