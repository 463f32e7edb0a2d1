#include "document/UndoHistory.h"

#include <unordered_set>

namespace quav {

namespace {

std::size_t heapBytes(const std::string& s) {
    return s.capacity() > std::string().capacity() ? s.capacity() + 1 : 0;
}

std::size_t heapBytes(const Matrix& m) {
    return m.size() > Matrix::inlineCapacity ? static_cast<std::size_t>(m.size()) * sizeof(double)
                                             : 0;
}

/// The elements' storage and their names' heap.
template <class Element> std::size_t listBytes(const std::vector<Element>& elements) {
    std::size_t bytes = elements.capacity() * sizeof(Element);
    for (const Element& e : elements)
        bytes += heapBytes(e.name);
    return bytes;
}

std::size_t resultBytes(const ModelResults& r) {
    std::size_t bytes = heapBytes(r.staticResults) + heapBytes(r.dynamicResults) +
                        heapBytes(r.eigenFrequencies) + heapBytes(r.modeShapes) +
                        r.frequencyStepResults.capacity() * sizeof(Matrix);
    for (const Matrix& m : r.frequencyStepResults)
        bytes += heapBytes(m);
    return bytes;
}

std::size_t settingsBytes(const OptimizerSettings& s) {
    std::size_t bytes =
        s.parameters.capacity() * sizeof(DesignParameter) +
        s.bindings.capacity() * sizeof(ParameterBinding) +
        s.conditions.displacementConditions.capacity() * sizeof(DisplacementCondition) +
        s.objectives.capacity() * sizeof(Objective);
    for (const DesignParameter& p : s.parameters)
        bytes += heapBytes(p.name);
    return bytes;
}

} // namespace

ModelResults takeResults(AnalysisModel& m) {
    ModelResults r;
    r.staticResults = std::move(m.staticResults);
    r.dynamicResults = std::move(m.dynamicResults);
    r.frequencyStepResults = std::move(m.frequencyStepResults);
    r.eigenFrequencies = std::move(m.eigenFrequencies);
    r.modeShapes = std::move(m.modeShapes);
    m.staticResults = Matrix();
    m.dynamicResults = Matrix();
    m.frequencyStepResults.clear();
    m.eigenFrequencies = Matrix();
    m.modeShapes = Matrix();
    r.bytes = resultBytes(r);
    return r;
}

void putResults(AnalysisModel& m, ModelResults r) {
    m.staticResults = std::move(r.staticResults);
    m.dynamicResults = std::move(r.dynamicResults);
    m.frequencyStepResults = std::move(r.frequencyStepResults);
    m.eigenFrequencies = std::move(r.eigenFrequencies);
    m.modeShapes = std::move(r.modeShapes);
}

ModelResults copyResults(const AnalysisModel& m) {
    ModelResults r;
    r.staticResults = m.staticResults;
    r.dynamicResults = m.dynamicResults;
    r.frequencyStepResults = m.frequencyStepResults;
    r.eigenFrequencies = m.eigenFrequencies;
    r.modeShapes = m.modeShapes;
    r.bytes = resultBytes(r);
    return r;
}

bool sameResults(const AnalysisModel& m, const ModelResults& r) {
    return m.staticResults == r.staticResults && m.dynamicResults == r.dynamicResults &&
           m.eigenFrequencies == r.eigenFrequencies && m.modeShapes == r.modeShapes &&
           m.frequencyStepResults == r.frequencyStepResults;
}

std::size_t approximateBytes(const AnalysisModel& m) {
    std::size_t bytes = sizeof(AnalysisModel) + heapBytes(m.memo) + listBytes(m.springs) +
                        listBytes(m.springCharacteristics) + listBytes(m.staticLoads) +
                        listBytes(m.dynamicLoads) + listBytes(m.observationPoints) +
                        heapBytes(m.staticResults) + heapBytes(m.dynamicResults) +
                        m.frequencyStepResults.capacity() * sizeof(Matrix);
    for (const Matrix& step : m.frequencyStepResults)
        bytes += heapBytes(step);
    return bytes;
}

void UndoHistory::push(std::string label, DocumentState before) {
    if (clean_ && *clean_ > undo_.size())
        clean_.reset(); // the saved state was among the steps undone, now gone
    redo_.clear();
    before.ownBytes =
        (before.model ? approximateBytes(*before.model) : 0) + settingsBytes(before.optimizer);
    undo_.push_back({std::move(label), std::move(before)});
    trim();
}

DocumentState UndoHistory::undo(DocumentState current) {
    Step step = std::move(undo_.back());
    undo_.pop_back();
    current.ownBytes =
        (current.model ? approximateBytes(*current.model) : 0) + settingsBytes(current.optimizer);
    redo_.push_back({step.label, std::move(current)});
    return std::move(step.state);
}

DocumentState UndoHistory::redo(DocumentState current) {
    Step step = std::move(redo_.back());
    redo_.pop_back();
    current.ownBytes =
        (current.model ? approximateBytes(*current.model) : 0) + settingsBytes(current.optimizer);
    undo_.push_back({step.label, std::move(current)});
    return std::move(step.state);
}

std::size_t UndoHistory::bytes() const {
    std::size_t total = 0;
    std::unordered_set<const void*> shared;
    auto add = [&](const Step& s) {
        total += s.state.ownBytes;
        if (s.state.results && shared.insert(s.state.results.get()).second)
            total += s.state.results->bytes;
        if (s.state.calculatedModel && shared.insert(s.state.calculatedModel.get()).second)
            total += approximateBytes(*s.state.calculatedModel);
    };
    for (const Step& s : undo_)
        add(s);
    for (const Step& s : redo_)
        add(s);
    return total;
}

void UndoHistory::trim() {
    while (undo_.size() > 1 && (undo_.size() + redo_.size() > kMaxSteps || bytes() > kMaxBytes)) {
        undo_.pop_front();
        if (clean_)
            clean_ = *clean_ == 0 ? std::nullopt : std::optional<std::size_t>(*clean_ - 1);
    }
}

void UndoHistory::clear() {
    undo_.clear();
    redo_.clear();
    clean_ = 0;
}

} // namespace quav
