#pragma once

#include "document/DocumentUi.h"

#include <optional>
#include <string>

namespace quav {

/// A value a dialog refuses: the field (its resource id, as the dialog's
/// controls carry it) and the rule, in the user's language.
struct FieldProblem {
    int field = 0;
    std::string message;
};

/// The characteristic dialogs' "周波数特性..." button, which a table problem names.
inline constexpr int kFrequencyTableButton = 1121;
/// The characteristic dialogs' "非線形特性..." button, which a curve problem names.
inline constexpr int kCurvesButton = 1130;
/// The load case dialog's fields: the name, the factor table, gx (gy, gz follow).
inline constexpr int kCaseNameField = 1019;
inline constexpr int kCaseFactorTable = 1210;
inline constexpr int kCaseGLoadField = 1211;

// The rules the values of each dialog must meet. A dialog checks them before OK
// closes it (and keeps itself open, the field focused); the command that opened
// it checks them again after OK, for front ends without such a dialog. None
// gives no problem.

/// Mass > 0, Ixx, Iyy, Izz > 0, the inertia tensor positive definite, sizes not 0.
std::optional<FieldProblem> inputProblem(const MassElementValues& values);
/// A name; a size other than 0.
std::optional<FieldProblem> inputProblem(const SpringValues& values);
/// Rates and damping >= 0 (0 is a free direction), dynamic factor > 0, a frequency
/// table (if any) that checkFrequencyTable passes (field kFrequencyTableButton),
/// curves and rated loads that curvesProblem passes (field kCurvesButton);
/// a name when `nameRequired` (the assign dialog; the list's values dialog takes
/// any name).
std::optional<FieldProblem> inputProblem(const CharacteristicValues& values, bool nameRequired);
/// A name, a direction that is not zero, a value other than 0, a load type from
/// the list; a dynamic load's frequency > 0.
std::optional<FieldProblem> inputProblem(const LoadValues& values, bool dynamic);
/// The rules of checkLoadCases for the case among the context's cases: the
/// name (1 to 255 bytes in code page 932, unique), finite factors (the table)
/// and a finite g-load.
std::optional<FieldProblem> inputProblem(const LoadCaseValues& values,
                                         const LoadCaseContext& context);
/// The curves of a characteristic (checkForceCurve) and its rated loads (> 0),
/// named by direction and point.
std::optional<FieldProblem> curvesProblem(const std::array<ForceCurve, 3>& curves,
                                          const std::optional<Vec3>& ratedLoad);
/// The sweep, when it is asked for and its range set (0 to 0 Hz is "not set"):
/// start >= 0, end > start, step > 0 and at most kMaxSweepSteps steps.
std::optional<FieldProblem> inputProblem(const CalculationRequest& request);
/// 0 <= tolerance < 100 %, a position tolerance >= 0, whole numbers of samples
/// (1 to the limit) and seeds.
std::optional<FieldProblem> inputProblem(const RobustnessValues& values);

/// "入力エラー" and the rule, as a command shows a value its dialog let through.
std::string inputErrorText(const FieldProblem& problem);

} // namespace quav
