#pragma once

#include "analysis/Sensitivity.h"
#include "model/AnalysisModel.h"

#include <cstddef>
#include <string>
#include <vector>

namespace quav {

// What the sensitivity window shows, without Qt: the names of the outputs and
// parameters in the window's language and the bars of one output.

/// An output column as the window names it: "ﾓｰﾄﾞ1 固有振動数 [Hz]",
/// "ﾓｰﾄﾞ1 デカップリング率 [%]", "<load name> x [m]" ... "<load name> Rz [rad]".
std::string sensitivityOutputLabel(const AnalysisModel& model, int output);

/// A parameter as the window names it: its object's name and id, then the rate
/// ("Kxx"...), the coordinate ("x"...) or the angle ("Y角度", "Z角度").
std::string sensitivityParameterLabel(const SensitivityParameter& parameter,
                                      const std::string& objectName);

/// The column headings of the table before the outputs: "種類", "対象", "成分", "値".
inline constexpr int kParameterColumns = 4;
/// The cell of parameter column `column` (0-3) of a parameter: "ばね定数", "座標" or
/// "角度"; the object's name and id; the component; the value as %g with its unit.
std::string sensitivityParameterCell(const SensitivityParameter& parameter,
                                     const std::string& objectName, int column);

/// One bar: the parameter's row and its elasticity.
struct SensitivityBar {
    std::size_t parameter = 0;
    double elasticity = 0.0;
};

/// The bars of output `output`: the elasticities that are numbers, largest magnitude
/// first (ties in parameter order), at most `limit` of them.
std::vector<SensitivityBar> sensitivityBars(const Sensitivities& s, int output, std::size_t limit);

} // namespace quav
