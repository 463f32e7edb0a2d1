#pragma once

#include "model/AnalysisModel.h"
#include "optimizer/Optimizer.h"

#include <cstdint>
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

/// What a run tells at the end of its log about the variants that did not pass:
/// how many failed each enabled condition (a variant counts under every
/// condition it fails; the load-case condition has a line per case, counting the
/// variants whose first failing case it is), how many were not judged at all, and the variant that
/// failed the fewest conditions (the first of them in the enumeration) with its
/// parameter values. Runs over parts of one enumeration add up (merge).
struct RejectionSummary {
    std::vector<std::pair<std::string, std::int64_t>> conditions; ///< names, in order
    std::int64_t notPhysical = 0;                                 ///< a bound rate turned negative
    std::int64_t notCalculated = 0;                               ///< the calculation failed
    /// The closest variant's number in the whole enumeration (from 1); 0: none judged.
    std::int64_t closestNumber = 0;
    int closestFailures = 0;
    std::string closestValues; ///< "\t%g" per parameter, as the result lines print them

    /// Takes `number`'s verdict: `failed` as RunInput::evaluate gives it.
    void add(std::int64_t number, const std::vector<int>& failed,
             const std::vector<DesignParameter>& parameters);
    /// Adds another part's summary of the same study.
    void merge(const RejectionSummary& other);

    /// The numbers of the conditions in `conditions` (emptySummary sets them; add
    /// needs them).
    std::vector<int> numbers_;
};

/// The summary's enabled conditions, named, counts at 0.
RejectionSummary emptySummary(const OptimizationConditions& conditions, const AnalysisModel& model);

/// The summary as the log's last lines (UTF-8, without line ends).
std::vector<std::string> summaryLines(const RejectionSummary& summary);

/// Reads what summaryLines wrote; false when `lines` are not such a summary.
bool parseSummaryLines(const std::vector<std::string>& lines, RejectionSummary& summary);

/// `logText` (lines ended by LF) as log.txt bytes: CP932, lines ended by CR LF.
std::string logFileBytes(const std::string& logText);

/// What the user is told when a run (or a search) ends with `status`: its status
/// text with `failure` when there is one, and, when `fileFailures` files could not
/// be written, how many with the last reason.
std::string runEndMessage(int status, const std::string& failure, std::int64_t fileFailures,
                          const std::string& lastFailure);

} // namespace quav
