#pragma once

#include "model/AnalysisModel.h"
#include "optimizer/Optimizer.h"

#include <memory>
#include <string>

namespace quav {

/// A whole model file as JSON: the model, its results and its optimiser block,
/// under the model's own field names. Doubles are written so that they read
/// back bit for bit; non-finite numbers are the strings "NaN", "Infinity" and
/// "-Infinity". Pretty-printed with two spaces, ending with a line feed.
std::string modelToJson(const AnalysisModel& model, const Optimizer& optimizer);

/// A model read from JSON, or why it was refused (with the key path of the
/// problem, such as "springs[2].position").
struct JsonModel {
    std::unique_ptr<AnalysisModel> model;
    Optimizer optimizer;
    std::string error;
    bool ok() const { return model != nullptr; }
};

/// Reads JSON written by `modelToJson` or by hand. Missing keys take the
/// defaults of a new model and its elements; an element without an id gets a
/// new one; ids must be unique and not above `lastId`; texts must have a
/// code page 932 form; sweep results must match the sweep settings and the
/// dynamic loads. The optimiser's parameter id counter is
/// `optimizer.parameterIdCounter` when it is given, else 0.
JsonModel modelFromJson(const std::string& text);

} // namespace quav
