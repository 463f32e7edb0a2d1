#pragma once

#include "document/DocumentUi.h"
#include "optimizer/EvolutionarySearch.h"

#include <optional>
#include <string>

namespace quav {

/// What the creation dialogs were last confirmed with: the next one opens
/// with the same values, so a row of similar mounts or loads is typed once.
/// Empty until a dialog of the kind was confirmed.
struct DialogMemory {
    std::optional<SpringValues> spring;
    std::optional<CharacteristicValues> characteristic;
    std::optional<LoadValues> staticLoad;
    std::optional<LoadValues> dynamicLoad;
    std::optional<ObservationPointValues> observationPoint;
    /// The analyses last ticked in the calculation conditions (the sweep range
    /// is the model's own).
    std::optional<CalculationRequest> analyses;
    /// The optimiser's output folder and the name of the folder made in it.
    std::string outputPath;
    std::string outputFolder;
    /// The search the run settings last chose: the grid of every combination,
    /// or the evolutionary search with `search`.
    bool evolutionarySearch = false;
    SearchSettings search;
};

} // namespace quav
