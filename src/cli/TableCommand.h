#pragma once

#include "model/AnalysisModel.h"

#include <string>

namespace quav {

/// What `quav-cli table` did to a model.
struct TableEdit {
    int exitCode = 0;     ///< 0 success, 2 a bad option, CSV file or characteristic
    bool changed = false; ///< the model is to be written to the output file
};

/// Characteristic `id`'s frequency table: printed on stdout as CSV when neither
/// `csvPath` nor `clear` is given (the heading alone without a table, with a
/// note on stderr); set from the CSV file `csvPath`, whose heading is required;
/// or removed with `clear`. A change leaves the model not calculated, as an edit
/// in the desktop application does. Messages go to stderr.
TableEdit tableCommand(AnalysisModel& model, int id, const std::string& csvPath, bool clear);

} // namespace quav
