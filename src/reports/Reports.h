#pragma once

#include "model/AnalysisModel.h"
#include "model/TextFormat.h"

#include <ctime>
#include <string>

namespace quav {

// The text reports. Each is UTF-8 text with tab-separated columns and CR LF
// line ends, ready for the text window or a spreadsheet. The results report
// grows with loads x (springs + observation points) and the input listing
// with the elements: both are also written piece by piece to a sink (each
// piece ends at a line end), so that their size never matters; the write
// functions return false when the sink refused a piece and the report stopped.

/// Natural frequencies with contribution ratios, then the static and dynamic
/// displacements of the centre of gravity, the load point, every spring (also
/// in its own axes) and every observation point, per load case.
/// "計算が実行されていません" when the model holds no valid results.
std::string resultsReport(const AnalysisModel& model);
bool writeResultsReport(const AnalysisModel& model, const TextSink& sink);

/// The saved model's input data. `title` is the document title (the file name);
/// `created` and `modified` are the file's times, printed "%Y/%m/%d  %X" in
/// local time.
std::string inputListing(const AnalysisModel& model, const std::string& title, std::time_t created,
                         std::time_t modified);
bool writeInputListing(const AnalysisModel& model, const std::string& title, std::time_t created,
                       std::time_t modified, const TextSink& sink);

/// The elastic principal axes as a table with its explanatory note.
std::string elasticCentreReport(const AnalysisModel& model);

/// A report as CP932 bytes for a file; characters without a CP932 form become '?'.
std::string reportToCp932(const std::string& report);

} // namespace quav
