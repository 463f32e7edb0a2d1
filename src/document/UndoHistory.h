#pragma once

#include "model/AnalysisModel.h"
#include "optimizer/DesignParameter.h"
#include "optimizer/Objectives.h"
#include "optimizer/OptimizationConditions.h"

#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quav {

/// The result tables of a calculation, held apart from the model so that the
/// states the undo history keeps share one copy of them: edits never change
/// results, only a calculation does.
struct ModelResults {
    Matrix staticResults;
    Matrix dynamicResults;
    std::vector<Matrix> frequencyStepResults;
    Matrix eigenFrequencies;
    Matrix modeShapes;
    std::size_t bytes = 0; ///< what the tables hold, as approximateBytes counts it
};

/// Moves the result tables out of `model` (it keeps empty ones) and back.
ModelResults takeResults(AnalysisModel& model);
void putResults(AnalysisModel& model, ModelResults results);
ModelResults copyResults(const AnalysisModel& model);
/// Whether `model` holds exactly these results.
bool sameResults(const AnalysisModel& model, const ModelResults& results);

/// Memory a model holds, in bytes: its objects and what their strings and
/// large matrices hold on the heap (allocator overhead not counted).
std::size_t approximateBytes(const AnalysisModel& model);

/// What the optimiser's settings dialogs edit, and so what undo restores.
struct OptimizerSettings {
    std::vector<DesignParameter> parameters;
    std::vector<ParameterBinding> bindings;
    OptimizationConditions conditions;
    int parameterIdCounter = 0;
    std::vector<Objective> objectives;
};

/// The document as it was before an edit (or before an undo): the model
/// without its result tables, the results it had (shared), the model as last
/// calculated while the results were stale (shared), and the optimiser's
/// settings. No model: the state before the first mass element.
struct DocumentState {
    std::unique_ptr<AnalysisModel> model;
    std::shared_ptr<const ModelResults> results;
    std::shared_ptr<const AnalysisModel> calculatedModel;
    OptimizerSettings optimizer;
    std::size_t ownBytes = 0; ///< the model and settings, without the shared parts
};

/// The undo and redo lists of the document. Each step holds the state before
/// an edit and the edit's name. The oldest steps are dropped beyond
/// `kMaxSteps` steps or beyond `kMaxBytes` of memory held by all the kept
/// states together (shared results and calculated models counted once), but
/// the newest step is always kept, so the last edit can always be undone.
/// The history also knows which position is the saved one ("clean").
class UndoHistory {
public:
    static constexpr std::size_t kMaxSteps = 100;
    static constexpr std::size_t kMaxBytes = std::size_t{128} << 20;

    struct Step {
        std::string label;
        DocumentState state;
    };

    /// A new edit: `before` becomes the step to undo; the redo list goes.
    void push(std::string label, DocumentState before);
    /// Moves the newest undo step to the redo list, where `current` is kept
    /// under its name; returns the state to restore. Only when canUndo().
    DocumentState undo(DocumentState current);
    /// The reverse of undo. Only when canRedo().
    DocumentState redo(DocumentState current);

    bool canUndo() const { return !undo_.empty(); }
    bool canRedo() const { return !redo_.empty(); }
    /// The name of the edit undo (redo) would take back (do again); empty when none.
    std::string undoLabel() const { return canUndo() ? undo_.back().label : std::string(); }
    std::string redoLabel() const { return canRedo() ? redo_.back().label : std::string(); }
    std::size_t undoCount() const { return undo_.size(); }
    std::size_t redoCount() const { return redo_.size(); }
    /// Memory the kept states hold together, as the limit counts it.
    std::size_t bytes() const;

    /// The present state is the saved one.
    void markClean() { clean_ = undo_.size(); }
    bool isClean() const { return clean_ == undo_.size(); }
    /// Forgets every step; the present state is clean.
    void clear();

private:
    void trim();

    std::deque<Step> undo_; ///< oldest first
    std::vector<Step> redo_;
    /// How many undo steps lie behind the saved state; none once it is out of reach.
    std::optional<std::size_t> clean_ = 0;
};

} // namespace quav
