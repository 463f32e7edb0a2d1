#pragma once

#include "exchange/JsonReader.h"
#include "optimizer/Objectives.h"

#include <vector>

namespace quav {

/// The keys an objective has in JSON besides "kind" and "sense", in the order
/// they are written: "mode" for a frequency, "load" for a transmissibility,
/// "object" and "load" for a static displacement.
std::vector<std::pair<const char*, int>> objectiveJsonFields(const Objective& objective);

/// Reads the optimiser's "objectives": an array of 1 to kMaxObjectives objects
/// {"kind": "...", "sense": "min" | "max", and the kind's numbers}. An unknown
/// kind or key, a missing sense or number, or too many objectives throw a
/// JsonError; the numbers are checked against the model when a study starts.
std::vector<Objective> readObjectivesJson(JsonReader& in, const JsonPath& at);

} // namespace quav
