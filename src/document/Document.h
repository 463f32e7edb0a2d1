#pragma once

#include "model/AnalysisModel.h"
#include "model/FileIo.h"
#include "optimizer/Optimizer.h"

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
    StateChanged, ///< the modified flag, the path or the title changed
};

/// The one document of the application: at most one model, the optimiser
/// attached to it, the file it came from and whether it has unsaved changes.
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
    AnalysisModel* model() { return model_.get(); }
    const AnalysisModel* model() const { return model_.get(); }
    Optimizer& optimizer() { return optimizer_; }
    const Optimizer& optimizer() const { return optimizer_; }

    /// A model with the defaults of a new one, attached to the optimiser.
    /// Only while there is none.
    AnalysisModel& createModel();

    /// Drops the model and the file name; the optimiser is cleared.
    void newDocument();
    /// Reads the file into a fresh model and swaps it in only when the whole
    /// file was read; otherwise nothing changes and `error` says why.
    FileResult open(const std::string& path);
    /// Writes the model (and the optimiser's block) atomically to `path`; on
    /// success the document takes that path and is no longer modified; on
    /// failure the flag and the previous file stay.
    FileResult saveAs(const std::string& path);

    bool isModified() const { return modified_; }
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

private:
    void announce(DocumentEvent event);
    void replaceModel(std::unique_ptr<AnalysisModel> model);

    std::unique_ptr<AnalysisModel> model_;
    Optimizer optimizer_;
    std::string path_;
    bool modified_ = false;
    std::vector<Listener> listeners_;
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
