#include "document/Document.h"

#include "document/ModelFile.h"

#include <sys/stat.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>

namespace quav {

namespace fs = std::filesystem;

CQUAVDoc::CQUAVDoc() = default;

CQUAVDoc::~CQUAVDoc() {
    optimizer_.attach(nullptr);
}

AnalysisModel& CQUAVDoc::createModel() {
    replaceModel(std::make_unique<AnalysisModel>());
    return *model_;
}

void CQUAVDoc::replaceModel(std::unique_ptr<AnalysisModel> model) {
    optimizer_.attach(nullptr);
    model_ = std::move(model);
    optimizer_.attach(model_.get());
}

void CQUAVDoc::newDocument() {
    replaceModel(nullptr);
    path_.clear();
    modified_ = false;
    announce(DocumentEvent::Reset);
    announce(DocumentEvent::StateChanged);
}

FileResult CQUAVDoc::open(const std::string& path) {
    ModelReadResult read = loadModelFile(path);
    if (!read.ok())
        return {read.error};
    replaceModel(std::move(read.model));
    optimizer_.adoptFileContent(std::move(read.optimizer));
    path_ = path;
    modified_ = false;
    announce(DocumentEvent::Reset);
    announce(DocumentEvent::StateChanged);
    return {};
}

FileResult CQUAVDoc::saveAs(const std::string& path) {
    if (!model_)
        return {"保存するモデルがありません（質量要素を設定してください）"};
    FileResult result = saveModelFile(*model_, optimizer_, path);
    if (!result.ok())
        return result;
    path_ = path;
    modified_ = false;
    announce(DocumentEvent::StateChanged);
    return result;
}

void CQUAVDoc::setModified(bool modified) {
    if (modified_ == modified)
        return;
    modified_ = modified;
    announce(DocumentEvent::StateChanged);
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
