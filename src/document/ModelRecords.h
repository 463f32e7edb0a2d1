#pragma once

#include "model/ModelElements.h"
#include "model/RecordFields.h"
#include "optimizer/DesignParameter.h"
#include "optimizer/OptimizationConditions.h"

namespace quav {

// The records of the model file and of its JSON form, one table each: the JSON
// keys in the order JSON writes them, the place of each field in the file
// record and the format that brought it. A new field of a record is one line
// here (and its place in a dialog).

const RecordLayout<SpringElement>& springRecord();
const RecordLayout<SpringCharacteristic>& characteristicRecord();
const RecordLayout<StaticLoad>& staticLoadRecord();
const RecordLayout<DynamicLoad>& dynamicLoadRecord();
const RecordLayout<ObservationPoint>& observationPointRecord();
const RecordLayout<ParameterBinding>& bindingRecord();
/// The parameter's own fields; in the file every parameter record starts with
/// the optimiser's `parameterIdCounter` (an i32) before them.
const RecordLayout<DesignParameter>& parameterRecord();
const RecordLayout<DisplacementCondition>& displacementConditionRecord();
/// A load case and its terms: JSON alone (the model file's extension block
/// keeps them in a section of its own).
const RecordLayout<LoadCase>& loadCaseRecord();
const RecordLayout<LoadTerm>& loadTermRecord();

} // namespace quav
