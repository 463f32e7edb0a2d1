#pragma once

#include "model/AnalysisModel.h"
#include "model/TextFormat.h"
#include "optimizer/Optimizer.h"
#include "optimizer/Study.h"

#include <string>
#include <string_view>

namespace quav {

/// Writes a whole model file as JSON to `sink`, piece by piece (memory does
/// not grow with the model): the model, its results and its optimiser block,
/// under the model's own field names, pretty-printed with two spaces and
/// ending with a line feed. Doubles read back bit for bit; non-finite numbers
/// are the strings "Infinity", "-Infinity", "NaN" and "-NaN" (the sign of a
/// NaN is kept), and a NaN with another bit pattern is "NaN(0x...)" with its
/// bits (16 hex digits; 8 for the single-precision spring size). A model that
/// cannot be a model file (see checkModelFile) is refused before anything is
/// written, so whatever is written reads back. Returns why nothing or not all
/// was written, or an empty string.
std::string writeModelJson(const AnalysisModel& model, const Optimizer& optimizer,
                           const TextSink& sink);

/// `writeModelJson` into a string, whatever the model's size (for tests and
/// small models).
std::string modelToJson(const AnalysisModel& model, const Optimizer& optimizer);

/// Reads JSON written by `writeModelJson` or by hand, under the rules of the
/// model file's reader, so that every model one reader takes the other takes
/// too: lists of at most maxListEntries entries and a model whose model file
/// is at most maxModelFileBytes (refused as soon as the text goes beyond,
/// before memory is spent on it). Strict: an unknown or repeated key, an
/// integer beyond 32 bits, a number beyond a double, a spring size beyond
/// single precision and text without a code page 932 form are refused.
/// Missing keys take the defaults of a new model and its elements; an element
/// without an "id" gets a new one above every id in the file (refused when
/// none is left); ids are otherwise taken as they are. Sweep results must
/// match the sweep settings and the dynamic loads. The optimiser's
/// `parameterIdCounter` is the file's, or the largest parameter id. A refusal
/// names the key path of the problem, such as "springs[2].position".
StudyRead modelFromJson(std::string_view text);

/// `modelFromJson` on a regular file, read piece by piece.
StudyRead readJsonModelFile(const std::string& path);

} // namespace quav
