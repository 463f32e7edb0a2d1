#pragma once

#include "optimizer/DesignParameter.h"
#include "optimizer/Objectives.h"
#include "optimizer/OptimizationConditions.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quav {

/// The optimiser of one study: design parameters, their bindings to model
/// variables, the acceptance conditions and the run's output settings and
/// counters. Bindings name model objects by id; the model itself is the
/// study's (Study.h).
///
/// Every operation here only edits data and runs on the GUI thread.
class Optimizer {
public:
    /// What `findBinding` answers: the bound parameter (nullptr when there is
    /// no binding or it names no existing parameter) and its multiplier (1.0
    /// when there is no binding).
    struct BindingLookup {
        const DesignParameter* parameter = nullptr;
        double multiplier = 1.0;
    };

    // --- Parameters -----------------------------------------------------------
    /// Appends a parameter under the id ++`parameterIdCounter`, with
    /// `currentValue` = `minValue`; returns the id. The range is not checked.
    int addParameter(const std::string& name, double maxValue, double minValue, double increment);
    /// Overwrites name and range of the parameter at `index` and sets its
    /// `currentValue` to `minValue`; the id stays. False for a bad index.
    bool editParameter(int index, const std::string& name, double maxValue, double minValue,
                       double increment);
    /// Removes every binding to the parameter at `index`, then the parameter.
    /// False for a bad index.
    bool deleteParameter(int index);
    const DesignParameter* findParameter(int id) const;
    DesignParameter* findParameter(int id);
    /// `currentValue` = `minValue` - `increment` for every parameter.
    void resetValues();
    /// `currentValue` += `increment` for the parameter at `index`.
    void stepValue(int index);

    // --- Bindings ---------------------------------------------------------------
    /// Replaces the binding of (objectId, target) in place, removes it when
    /// `parameterId` is 0, or appends a new one (also with `parameterId` 0).
    void setBinding(int objectId, int target, int parameterId, double multiplier);
    BindingLookup findBinding(int objectId, int target) const;

    // --- Study content --------------------------------------------------------
    /// Empties parameters, bindings, displacement conditions and objectives,
    /// resets the conditions and zeroes `matchCount`, as for another model.
    /// `outputDirectory`, `logText` and `parameterIdCounter` stay.
    void clearStudy();
    void resetConditions() { conditions.reset(); }
    /// `clearStudy`, then takes the parameters, bindings, conditions and
    /// objectives of `loaded` (what a model file brought), and its
    /// `parameterIdCounter` when it has parameters; the run settings stay.
    void adoptFileContent(Optimizer&& loaded);

    std::vector<DesignParameter> parameters;
    std::vector<ParameterBinding> bindings;
    OptimizationConditions conditions;
    /// What a study trades (1 to kMaxObjectives, or none): with objectives a run
    /// also writes the Pareto front of its accepted variants.
    std::vector<Objective> objectives;
    std::string outputDirectory;
    std::string logText;
    /// The last parameter id issued: ids start at 1 and are never reused. A
    /// new document keeps counting (clearStudy leaves it alone); a model file
    /// stores it and gives it back when it holds parameters.
    int parameterIdCounter = 0;
    /// Run counters (64-bit: a product of value counts soon passes 32 bits).
    std::int64_t matchCount = 0;
    std::int64_t combinationCount = 0;
    std::int64_t processedCount = 0;
};

} // namespace quav
