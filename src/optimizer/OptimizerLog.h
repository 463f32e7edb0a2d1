#pragma once

#include "model/AnalysisModel.h"
#include "optimizer/Optimizer.h"

#include <ctime>
#include <string>
#include <vector>

namespace quav {

// The lines of the optimiser's log (UTF-8, without line ends).

/// `prefix` followed by the local time as "2024年3月5日9時7分3秒".
std::string timestampLine(const std::string& prefix, std::time_t when);

/// The name of the object with `id` as the log shows it: "質量要素" for id 1,
/// else the first spring, characteristic, observation point, static or dynamic
/// load with that id, else "未定義オブジェクト".
std::string logObjectName(const AnalysisModel& model, int id);

/// The name of a binding's variable: x, y, z, Rx, Ry, Rz for a spring element,
/// Kxx, Kyy, Kzz for a characteristic, "不明" otherwise.
std::string bindingVariableName(const AnalysisModel& model, const ParameterBinding& binding);

/// The start of a run's log after its timestamp: the initial model, the
/// enabled conditions, the parameters and the bindings.
std::vector<std::string> conditionsLog(const Optimizer& optimizer, const AnalysisModel& model,
                                       const std::string& documentTitle);

/// The line of one accepted variant: file name, mean coupling degree, the
/// parameters' current values, the frequencies from mode 1 up, and the share of
/// combinations done.
std::string resultLine(const std::string& fileName, const AnalysisModel& variant,
                       const std::vector<DesignParameter>& parameters, long long processed,
                       long long combinations);

/// `logText` (lines ended by LF) as log.txt bytes: CP932, lines ended by CR LF.
std::string logFileBytes(const std::string& logText);

} // namespace quav
