#pragma once

#include "analysis/LoadCaseAnalysis.h"

#include <string>
#include <vector>

namespace quav {

/// The "荷重ケース" report, in the style of the results report (tab-separated,
/// CR LF, UTF-8): a summary with one row per case (name, verdict, Newton steps,
/// the worst margin as a percentage of its limit and where it is), then per case
/// the motion of the centre of gravity and each spring's deflection, forces,
/// travel and load margins ("-" where a direction has no curve or rating), and
/// the modes at the operating point when they were solved.
std::string loadCaseReport(const AnalysisModel& model, const std::vector<LoadCaseResult>& results);

/// The verdict of a case as the report and the case table show it: "合格",
/// "不合格" or "未収束".
const char* caseVerdict(const LoadCaseResult& result);

/// Where a case's worst margin is: "front right ｽﾄﾛｰｸ x" or "rear left 荷重 z";
/// empty when the case has no margin.
std::string worstMarginPlace(const AnalysisModel& model, const LoadCaseResult& result);

/// The order of the case table: cases that did not converge first, then by
/// their worst margin ratio, smallest first (cases without any margin last);
/// equal cases keep the model's order. Indices into `results`.
std::vector<std::size_t> worstFirst(const std::vector<LoadCaseResult>& results);

} // namespace quav
