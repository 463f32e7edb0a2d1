#pragma once

#include "document/DialogMemory.h"
#include "document/UndoHistory.h"
#include "model/AnalysisModel.h"
#include "model/FileIo.h"
#include "optimizer/Study.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quav {

/// What a document announces to the windows that show it.
enum class DocumentEvent {
    ModelChanged, ///< redraw: the model, its selection or the display changed
    Reset,        ///< a new or opened document replaced the model (or none)
    StateChanged, ///< the modified flag, the path, the title or the undo history changed
};

/// Whether the model has results, and whether they describe it.
enum class ResultState {
    None,    ///< no results: never calculated, or the calculation failed
    Current, ///< the last calculation's results, of the model as it is
    Stale,   ///< the model was edited since: the results are those of the model as calculated
};

/// The one document of the application: a study (at most one model and its
/// optimiser), the file it came from and whether it has unsaved changes.
/// Standard C++ only; the editing commands operate on it through the dialog
/// seam (`DocumentUi`).
class CQUAVDoc {
public:
    using Listener = std::function<void(DocumentEvent)>;

    CQUAVDoc();
    CQUAVDoc(const CQUAVDoc&) = delete;
    CQUAVDoc& operator=(const CQUAVDoc&) = delete;
    ~CQUAVDoc();

    /// The model, or nullptr before the first mass element and after New.
    AnalysisModel* model() { return study_.model.get(); }
    const AnalysisModel* model() const { return study_.model.get(); }
    Optimizer& optimizer() { return study_.optimizer; }
    const Optimizer& optimizer() const { return study_.optimizer; }
    const Study& study() const { return study_; }

    /// A model with the defaults of a new one; the optimiser starts empty.
    /// Only while there is none.
    AnalysisModel& createModel();

    /// Drops the model and the file name; the optimiser is cleared.
    void newDocument();
    /// Reads the file into a fresh model and swaps it in only when the whole
    /// file was read; otherwise nothing changes and `error` says why.
    FileResult open(const std::string& path);
    /// Takes a model read from another format as the document. Without `path`
    /// (a bulk-data deck) it is a new document: no file yet, modified, so that
    /// closing asks to save it, and the optimiser starts without settings. With
    /// `path` (a model as JSON) it is that file's, unmodified, with `optimizer`'s
    /// parameters, bindings and conditions.
    void adoptModel(std::unique_ptr<AnalysisModel> model, Optimizer optimizer = {},
                    const std::string& path = {});
    /// Writes the model (and the optimiser's block) atomically to `path`; on
    /// success the document takes that path and is no longer modified; on
    /// failure the flag and the previous file stay.
    FileResult saveAs(const std::string& path);
    /// How a model is written in another format (JSON); saveModelFile's form.
    using ModelWriter =
        std::function<FileResult(const AnalysisModel&, const Optimizer&, const std::string&)>;
    /// `saveAs` through `writer` instead of the model file's own form.
    FileResult saveAs(const std::string& path, const ModelWriter& writer);

    /// Unsaved changes: the undo history is away from the saved position, or
    /// something outside it (a calculation) changed the model.
    bool isModified() const { return modified_ || !history_.isClean(); }
    /// true: changed outside the undo history; false: the present state is the
    /// saved one.
    void setModified(bool modified = true);
    /// The full path of the file, empty while the document has none.
    const std::string& path() const { return path_; }
    /// The file name shown in the window title and the input listing, or
    /// "無題" for a document never saved.
    std::string title() const;

    /// Asks every window to redraw.
    void updateAllViews() { announce(DocumentEvent::ModelChanged); }
    /// Registers a window; it hears every event until the document goes.
    void addListener(Listener listener) { listeners_.push_back(std::move(listener)); }

    // --- Undo -----------------------------------------------------------------
    /// Called by an editing command just before it changes the model or the
    /// optimiser's settings: records the present state as the undo step
    /// `label` and marks the document modified. An edit of what the
    /// calculation reads (`invalidatesResults`) makes current results stale:
    /// `calculated` is cleared and the model as calculated is kept for the
    /// result displays until the next calculation.
    void beginEdit(const std::string& label, bool invalidatesResults = true);
    /// The present state, for an edit that only later knows whether it changed
    /// anything (a dialog working in place); `commitEdit` records it.
    DocumentState captureState();
    void commitEdit(const std::string& label, DocumentState before);
    /// Counts the edits recorded and the steps taken back or given again: a
    /// display of something worked out from the model (a load case's body)
    /// knows by it that the model has changed since.
    std::uint64_t editCount() const { return editCount_; }
    /// Takes back the last edit (gives it again); the model, its results and
    /// their state, the optimiser's settings and the selection return as they
    /// were. False when there is nothing to take back (give again).
    bool undo();
    bool redo();
    const UndoHistory& history() const { return history_; }

    // --- Results --------------------------------------------------------------
    ResultState resultState() const;
    /// The model whose results the result displays show: the model itself while
    /// its results are current, the model as last calculated while they are
    /// stale, nullptr without results.
    const AnalysisModel* resultsModel() const;
    /// After a calculation ran (well or not): the results are the model's own,
    /// and the document is modified.
    void calculationFinished();

    /// The values the creation dialogs last confirmed, for the next one; kept
    /// while the application runs (New and Open leave them).
    DialogMemory& dialogMemory() { return dialogMemory_; }
    /// Where the optimiser's output folder dialog opens: the folder chosen last
    /// while the application runs, else the model file's folder, else empty
    /// (the working directory).
    std::string outputFolderStart() const;

private:
    void announce(DocumentEvent event);
    void replaceModel(std::unique_ptr<AnalysisModel> model);
    void restore(DocumentState state);

    Study study_;
    std::string path_;
    bool modified_ = false;
    std::vector<Listener> listeners_;
    UndoHistory history_;
    /// The results of the last calculation, shared with the undo states that
    /// hold the same.
    std::shared_ptr<const ModelResults> results_;
    /// While the results are stale: the model as it was calculated.
    std::shared_ptr<const AnalysisModel> calculatedModel_;
    std::uint64_t editCount_ = 0;
    DialogMemory dialogMemory_;
};

/// A file's creation time where the file system keeps one (else its
/// modification time) and its modification time; zero when it cannot be read.
struct FileTimes {
    std::time_t created = 0;
    std::time_t modified = 0;
    bool ok = false;
};
FileTimes fileTimes(const std::string& path);

} // namespace quav
