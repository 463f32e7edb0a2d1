#pragma once

#include "cli/AnalysisCommands.h"
#include "model/AnalysisModel.h"

#include <string>
#include <vector>

namespace quav {

/// `quav-cli cases`: solves the model's load cases (those named in `names`, in
/// the model's order, or all) and prints the "荷重ケース" report, JSON or CSV
/// (loadCasesCsv). Returns 0 when every case converged (a failing margin is a result),
/// 1 when a case did not (the others are printed) or the model is refused, 2
/// for a model without cases or a name that is not a case.
int casesCommand(const AnalysisModel& model, const std::vector<std::string>& names, bool modes,
                 TableFormat format);

} // namespace quav
