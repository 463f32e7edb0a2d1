#pragma once

#include "model/AnalysisModel.h"
#include "optimizer/Optimizer.h"

#include <memory>
#include <string>

namespace quav {

/// A model and its optimiser: what a model file (and its JSON form) holds, what
/// the document edits and what a run or a shard starts from. A copy copies the
/// model. The optimiser knows nothing of the model: whoever needs both is given
/// the study, or the two.
struct Study {
    /// null: no model (a new document before its first mass element).
    std::unique_ptr<AnalysisModel> model;
    Optimizer optimizer;

    Study() = default;
    Study(std::unique_ptr<AnalysisModel> m, Optimizer o)
        : model(std::move(m)), optimizer(std::move(o)) {}
    Study(const Study& other);
    Study& operator=(const Study& other);
    Study(Study&&) noexcept = default;
    Study& operator=(Study&&) noexcept = default;
    ~Study() = default;
};

/// A study read from a file or a text, or, when it has no model, why it was
/// refused.
struct StudyRead : Study {
    std::string error;
    bool ok() const { return model != nullptr; }
};

} // namespace quav
