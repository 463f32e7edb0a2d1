#pragma once

#include "model/AnalysisModel.h"
#include "model/FileIo.h"
#include "optimizer/Optimizer.h"

#include <string>

namespace quav {

/// Writes the model and its optimiser block as JSON (writeModelJson) to `path`
/// through a temporary file renamed over it, as the model file is saved: a
/// failure leaves the previous file as it was.
FileResult saveModelJsonFile(const AnalysisModel& model, const Optimizer& optimizer,
                             const std::string& path);

/// Whether `path` names a JSON model: its extension is ".json", in any case.
bool isJsonModelPath(const std::string& path);

} // namespace quav
