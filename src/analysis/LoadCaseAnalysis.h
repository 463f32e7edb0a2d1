#pragma once

#include "model/AnalysisModel.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace quav {

// The static solution of load cases with mounts whose force-deflection curves
// stiffen into their snubbers. Units N, m, rad; global axes unless said; DOF
// order x, y, z, Rx, Ry, Rz; the body's motion is taken at its centre of
// gravity with small rotations.
//
// Method: the body's motion x = (u, theta) solves
//   R(x) = F - sum_s [L f_s ; r_s x L f_s] = 0,  f_s = curve(L^T (u + theta x r_s))
// (L the spring's local axes, r_s = spring position - CoG, each local direction
// through its curve or, without one, its static rate). Newton steps from x = 0
// on the tangent system (the stiffness assembled with each direction's tangent
// rate), each followed by an exact line search: along the step the potential
// energy's derivative -dx . R(x + a dx) rises monotonically for monotone curves
// and is brought to zero in (0, 1] by regula falsi, so the energy falls at
// every step and the solution, unique for monotone curves, is reached. A full
// step that already meets the tolerance is taken as it is: with linear mounts
// the answer is K^-1 F after one step.

/// Converged when |R| <= kCaseTolerance (|F| + 1 N) (Euclidean norms of the six
/// generalised components).
inline constexpr double kCaseTolerance = 1e-10;
/// Newton steps before a case is given up.
inline constexpr int kMaxCaseIterations = 50;

/// The generalised load of a case about the CoG (N, N m): each term's static
/// load times its factor (a force F at p adds F and (p - CoG) x F; a moment its
/// moment; a load of another type nothing) plus mass x 9.80665 x gLoad at the
/// CoG. Terms naming no static load are skipped here; the analysis refuses them.
std::array<double, 6> caseLoad(const AnalysisModel& model, const LoadCase& loadCase);

/// One spring in a solved case; every vector along the spring's local x, y, z
/// except `global`.
struct CaseSpring {
    int id = 0;
    std::array<double, 3> deflection{}; ///< [m]
    std::array<double, 3> local{};      ///< force [N]
    std::array<double, 3> global{};     ///< the same force in global x, y, z [N]
    /// [m] to the curve's end in the direction the deflection goes (negative past
    /// it); none for a direction without a curve.
    std::array<std::optional<double>, 3> travelMargin{};
    /// rated load - |local force| [N]; none without a rated load.
    std::array<std::optional<double>, 3> loadMargin{};
    bool pass = true; ///< every margin >= 0
};

/// The smallest margin of a case relative to its limit: a travel margin over
/// the distance from 0 to the curve's end it heads for, a load margin over the
/// rated load. Negative when the case fails.
struct WorstMargin {
    double ratio = 0.0;
    int spring = -1;    ///< index into `springs`; -1 when the case has no margin
    int direction = 0;  ///< local 0, 1, 2
    bool travel = true; ///< a travel margin, or a load margin
};

/// One mode at a case's operating point.
struct CaseMode {
    int mode = 0;                  ///< 1 = lowest
    double frequency = 0.0;        ///< [Hz]
    std::array<double, 6> shape{}; ///< as ModalSolution stores it
};

struct LoadCaseResult {
    std::string name;
    bool converged = false;
    int iterations = 0;                   ///< Newton steps taken
    std::array<double, 6> displacement{}; ///< u [m], theta [rad] at the CoG
    std::array<double, 6> load{};         ///< the applied load about the CoG
    double residual = 0.0;                ///< |R| at the answer [N, N m]
    bool pass = false;                    ///< converged and every spring passes
    std::vector<CaseSpring> springs;      ///< model order
    WorstMargin worst;
    std::vector<CaseMode> modes; ///< with modes asked for and converged; mode 1 first
    std::string reason;          ///< why the case failed to converge, in the user's language
};

/// Solves one case. The model must pass checkModel; `modes` adds the six modes
/// with each curved direction's tangent rate (times the dynamic factor) in place
/// of its rate. Refused with a reason: a term naming no static load, a
/// non-finite load, a tangent system that cannot be solved (a free direction),
/// no convergence within kMaxCaseIterations steps.
LoadCaseResult analyseLoadCase(const AnalysisModel& model, const LoadCase& loadCase,
                               bool modes = false);

/// Every case of the model, in order.
std::vector<LoadCaseResult> analyseLoadCases(const AnalysisModel& model, bool modes = false);

} // namespace quav
