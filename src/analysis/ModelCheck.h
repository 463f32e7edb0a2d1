#pragma once

#include "model/AnalysisModel.h"

#include <string>
#include <vector>

namespace quav {

/// One reason a model cannot be calculated: which object and variable, and the
/// line the user reads, naming the object and the dialog's field.
struct ModelProblem {
    int objectId = 0; ///< the element at fault (the mass element's id for its fields)
    /// The variable as optimiser bindings number it (1-3: a spring's x, y, z or a
    /// characteristic's Kxx, Kyy, Kzz; 4-6: a spring's angles), 0 for any other.
    int target = 0;
    std::string text;
};

/// The checks a model must pass before any analysis runs. The first three are
/// the model's long-standing checks; `problems` holds what makes the model
/// impossible as a physical system: a mass that is negative or not a number, an
/// inertia tensor that is not positive definite, negative rates or damping, a
/// dynamic factor that is not positive, a frequency table that breaks its rules,
/// and inputs that are not finite.
struct ModelValidation {
    bool zeroMass = false;   ///< `mass` is exactly 0
    bool zeroMoment = false; ///< Ixx, Iyy or Izz is exactly 0
    bool noSprings = false;  ///< `springs` is empty
    std::vector<ModelProblem> problems;
    int count() const {
        return int(zeroMass) + int(zeroMoment) + int(noSprings) + static_cast<int>(problems.size());
    }
};

ModelValidation checkModel(const AnalysisModel& model);

/// The reasons, one line each (ended by '\n'), in the user's language.
std::string describeValidation(const ModelValidation& validation);

/// Whether the symmetric inertia tensor (its upper triangle is read) is positive
/// definite: its Cholesky factorisation, in long double, has every pivot above
/// 1e-12 of the largest of Ixx, Iyy, Izz (a smaller pivot is rounding of a
/// singular tensor). False for values that are not finite.
bool inertiaPositiveDefinite(const Matrix& inertia);

/// Whether the spring characteristic can be a real mount: rates and damping
/// finite and >= 0 (a rate of 0 is a free direction), the dynamic factor finite
/// and > 0, a frequency table (if any) that checkFrequencyTable passes, named by
/// row and column, force-deflection curves that checkForceCurve passes and rated
/// loads > 0. Each problem is appended to `problems`.
void checkCharacteristic(const SpringCharacteristic& c, std::vector<ModelProblem>& problems);

/// How the messages name an element: "ばね要素 front right(id 2)".
std::string elementLabel(const char* kind, const std::string& name, int id);

/// Loads whose type is neither a force nor a moment act as no load at all; the
/// calculation names each of them. One line each, '\n'-ended; empty when none.
std::string ignoredLoadsNote(const AnalysisModel& model);

} // namespace quav
