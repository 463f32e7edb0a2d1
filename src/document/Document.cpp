#include "document/Document.h"

#include "document/ModelFile.h"

#include <sys/stat.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>

namespace quav {

namespace fs = std::filesystem;

CQUAVDoc::CQUAVDoc() = default;

CQUAVDoc::~CQUAVDoc() = default;

AnalysisModel& CQUAVDoc::createModel() {
    replaceModel(std::make_unique<AnalysisModel>());
    return *study_.model;
}

void CQUAVDoc::replaceModel(std::unique_ptr<AnalysisModel> model) {
    study_.optimizer.clearStudy();
    study_.model = std::move(model);
}

void CQUAVDoc::newDocument() {
    replaceModel(nullptr);
    path_.clear();
    modified_ = false;
    history_.clear();
    results_.reset();
    calculatedModel_.reset();
    announce(DocumentEvent::Reset);
    announce(DocumentEvent::StateChanged);
}

FileResult CQUAVDoc::open(const std::string& path) {
    StudyRead read = loadModelFile(path);
    if (!read.ok())
        return {read.error};
    replaceModel(std::move(read.model));
    study_.optimizer.adoptFileContent(std::move(read.optimizer));
    path_ = path;
    modified_ = false;
    history_.clear();
    results_.reset();
    calculatedModel_.reset();
    announce(DocumentEvent::Reset);
    announce(DocumentEvent::StateChanged);
    return {};
}

void CQUAVDoc::adoptModel(std::unique_ptr<AnalysisModel> model, Optimizer optimizer,
                          const std::string& path) {
    replaceModel(std::move(model));
    if (!path.empty())
        study_.optimizer.adoptFileContent(std::move(optimizer));
    path_ = path;
    modified_ = path.empty();
    history_.clear();
    results_.reset();
    calculatedModel_.reset();
    announce(DocumentEvent::Reset);
    announce(DocumentEvent::StateChanged);
}

FileResult CQUAVDoc::saveAs(const std::string& path) {
    return saveAs(path, [](const AnalysisModel& model, const Optimizer& optimizer,
                           const std::string& to) { return saveModelFile(model, optimizer, to); });
}

FileResult CQUAVDoc::saveAs(const std::string& path, const ModelWriter& writer) {
    if (!study_.model)
        return {"保存するモデルがありません（質量要素を設定してください）"};
    FileResult result = writer(*study_.model, study_.optimizer, path);
    if (!result.ok())
        return result;
    path_ = path;
    modified_ = false;
    history_.markClean();
    announce(DocumentEvent::StateChanged);
    return result;
}

void CQUAVDoc::setModified(bool modified) {
    const bool was = isModified();
    modified_ = modified;
    if (!modified)
        history_.markClean();
    if (isModified() != was)
        announce(DocumentEvent::StateChanged);
}

namespace {

/// Holds a model's result tables aside while it lives, so that a copy of the
/// model made meanwhile leaves them out.
class ResultsAside {
public:
    explicit ResultsAside(AnalysisModel& model) : model_(model), results_(takeResults(model)) {}
    ResultsAside(const ResultsAside&) = delete;
    ResultsAside& operator=(const ResultsAside&) = delete;
    ~ResultsAside() { putResults(model_, std::move(results_)); }

private:
    AnalysisModel& model_;
    ModelResults results_;
};

} // namespace

DocumentState CQUAVDoc::captureState() {
    DocumentState state;
    state.optimizer = {study_.optimizer.parameters, study_.optimizer.bindings,
                       study_.optimizer.conditions, study_.optimizer.parameterIdCounter,
                       study_.optimizer.objectives};
    state.calculatedModel = calculatedModel_;
    if (!study_.model)
        return state;
    if (!results_ || !sameResults(*study_.model, *results_))
        results_ = std::make_shared<const ModelResults>(copyResults(*study_.model));
    state.results = results_;
    const ResultsAside aside(*study_.model);
    state.model = std::make_unique<AnalysisModel>(*study_.model);
    return state;
}

void CQUAVDoc::commitEdit(const std::string& label, DocumentState before) {
    ++editCount_;
    history_.push(label, std::move(before));
    announce(DocumentEvent::StateChanged);
}

void CQUAVDoc::beginEdit(const std::string& label, bool invalidatesResults) {
    DocumentState before = captureState();
    if (invalidatesResults && study_.model && study_.model->calculated) {
        // Shown, never edited: picks act on the model itself, so the copy shows
        // no selection of its own.
        auto calculated = std::make_shared<AnalysisModel>(*study_.model);
        calculated->setSpringSelection(-2);
        calculated->setLoadSelection(-2);
        calculated->setObservationPointSelection(-2);
        calculatedModel_ = std::move(calculated);
        study_.model->calculated = 0;
    }
    commitEdit(label, std::move(before));
}

void CQUAVDoc::restore(DocumentState state) {
    ++editCount_;
    if (!state.model) {
        replaceModel(nullptr);
    } else {
        ModelResults results = state.results ? *state.results : ModelResults();
        if (study_.model)
            *study_.model = std::move(*state.model);
        else
            replaceModel(std::move(state.model));
        putResults(*study_.model, std::move(results));
    }
    study_.optimizer.parameters = std::move(state.optimizer.parameters);
    study_.optimizer.bindings = std::move(state.optimizer.bindings);
    study_.optimizer.conditions = std::move(state.optimizer.conditions);
    study_.optimizer.parameterIdCounter = state.optimizer.parameterIdCounter;
    study_.optimizer.objectives = std::move(state.optimizer.objectives);
    results_ = std::move(state.results);
    calculatedModel_ = std::move(state.calculatedModel);
}

bool CQUAVDoc::undo() {
    if (!history_.canUndo())
        return false;
    restore(history_.undo(captureState()));
    announce(DocumentEvent::ModelChanged);
    announce(DocumentEvent::StateChanged);
    return true;
}

bool CQUAVDoc::redo() {
    if (!history_.canRedo())
        return false;
    restore(history_.redo(captureState()));
    announce(DocumentEvent::ModelChanged);
    announce(DocumentEvent::StateChanged);
    return true;
}

ResultState CQUAVDoc::resultState() const {
    if (!study_.model)
        return ResultState::None;
    if (study_.model->calculated)
        return ResultState::Current;
    return calculatedModel_ ? ResultState::Stale : ResultState::None;
}

const AnalysisModel* CQUAVDoc::resultsModel() const {
    switch (resultState()) {
    case ResultState::Current:
        return study_.model.get();
    case ResultState::Stale:
        return calculatedModel_.get();
    case ResultState::None:
        break;
    }
    return nullptr;
}

void CQUAVDoc::calculationFinished() {
    calculatedModel_.reset();
    setModified();
}

std::string CQUAVDoc::outputFolderStart() const {
    if (!dialogMemory_.outputPath.empty())
        return dialogMemory_.outputPath;
    if (path_.empty())
        return {};
    return fs::absolute(fs::path(path_)).parent_path().string();
}

std::string CQUAVDoc::title() const {
    return path_.empty() ? std::string("無題") : fs::path(path_).filename().string();
}

void CQUAVDoc::announce(DocumentEvent event) {
    for (const Listener& listener : listeners_)
        listener(event);
}

FileTimes fileTimes(const std::string& path) {
    FileTimes times;
    std::error_code ec;
    const auto written = fs::last_write_time(path, ec);
    if (ec)
        return times;
    times.modified = std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(written));
    times.created = times.modified;
    struct statx sx {};
    if (statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME, &sx) == 0 && (sx.stx_mask & STATX_BTIME))
        times.created = static_cast<std::time_t>(sx.stx_btime.tv_sec);
    times.ok = true;
    return times;
}

} // namespace quav
