#include "app/DocumentFiles.h"

#include "app/FileNames.h"
#include "document/Document.h"
#include "document/UserQuestions.h"
#include "exchange/BulkDataReader.h"
#include "exchange/BulkDataWriter.h"
#include "exchange/ModelJson.h"
#include "exchange/ModelJsonFile.h"
#include "exchange/UniversalFile.h"
#include "model/FileIo.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenu>
#include <QSettings>

#include <algorithm>
#include <filesystem>

namespace quav {

namespace {

const QString kFilter = QStringLiteral("QUAVﾌｧｲﾙ(*.quav)");
const QString kJsonFilter = QStringLiteral("JSONﾓﾃﾞﾙ(*.json)");
const QString kDeckFilter = QStringLiteral("Nastranﾊﾞﾙｸﾃﾞｰﾀ(*.bdf *.dat *.nas *.blk)");
const QString kRecentGroup = QStringLiteral("Recent File List");
constexpr int kRecentCount = 4;

std::string absolute(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::absolute(path, ec);
    return ec ? path : p.lexically_normal().string();
}

std::string folderOf(const std::string& path) {
    return std::filesystem::path(absolute(path)).parent_path().string();
}

} // namespace

DocumentFiles::DocumentFiles(CQUAVDoc& doc, UserQuestions& questions, QWidget* window)
    : QObject(window), doc_(doc), questions_(questions), window_(window) {}

bool DocumentFiles::maybeSave() {
    if (!doc_.isModified())
        return true;
    const Answer answer = questions_.ask(
        QStringLiteral("%1 への変更を保存しますか?").arg(displayPath(doc_.title())).toStdString());
    if (answer == Answer::Yes)
        return save();
    return answer == Answer::No;
}

void DocumentFiles::newDocument() {
    if (maybeSave())
        doc_.newDocument();
}

void DocumentFiles::open() {
    if (!maybeSave())
        return;
    const QString start = doc_.path().empty() ? QDir::currentPath()
                                              : QFile::decodeName(folderOf(doc_.path()).c_str());
    const QString path = QFileDialog::getOpenFileName(window_, QStringLiteral("開く"), start,
                                                      kFilter + QStringLiteral(";;") + kJsonFilter +
                                                          QStringLiteral(";;すべてのﾌｧｲﾙ(*)"));
    if (!path.isEmpty())
        openPath(pathBytes(path), false);
}

bool DocumentFiles::openPath(const std::string& path, bool askFirst) {
    if (askFirst && !maybeSave())
        return false;
    FileResult result;
    if (isJsonModelPath(path)) {
        // A JSON model is the file's own, opened and saved as it is.
        StudyRead json = readJsonModelFile(path);
        if (json.ok())
            doc_.adoptModel(std::move(json.model), std::move(json.optimizer), path);
        else
            result.error = json.error;
    } else {
        result = doc_.open(path);
    }
    if (!result.ok()) {
        warn(QStringLiteral("%1 を開けません。\n%2")
                 .arg(displayPath(path), QString::fromStdString(result.error)));
        std::error_code ec;
        if (!std::filesystem::exists(path, ec))
            forget(absolute(path));
        return false;
    }
    remember(absolute(path));
    return true;
}

bool DocumentFiles::save() {
    if (doc_.path().empty())
        return saveAs();
    const FileResult result = saveTo(doc_.path());
    if (!result.ok()) {
        warn(
            QStringLiteral("保存できませんでした。\n%1").arg(QString::fromStdString(result.error)));
        return false;
    }
    return true;
}

bool DocumentFiles::saveAs() {
    if (!doc_.model()) {
        warn(QStringLiteral("保存するモデルがありません。\n質量要素を設定してください。"));
        return false;
    }
    // The dialog shows names Qt can read; a name it cannot (a CP932 name) is
    // offered as its folder, and saving in place keeps the name itself.
    QString suggestion = QFile::decodeName(doc_.path().c_str());
    if (suggestion.isEmpty() || pathBytes(suggestion) != doc_.path())
        suggestion = QDir(doc_.path().empty() ? QDir::currentPath()
                                              : QFile::decodeName(folderOf(doc_.path()).c_str()))
                         .filePath(QStringLiteral("無題.quav"));
    const QString chosen =
        QFileDialog::getSaveFileName(window_, QStringLiteral("名前を付けて保存"), suggestion,
                                     kFilter + QStringLiteral(";;") + kJsonFilter);
    if (chosen.isEmpty())
        return false;
    std::string path = pathBytes(chosen);
    if (std::filesystem::path(path).extension().empty())
        path += ".quav";
    const FileResult result = saveTo(path);
    if (!result.ok()) {
        warn(QStringLiteral("%1 に保存できませんでした。\n%2")
                 .arg(displayPath(path), QString::fromStdString(result.error)));
        return false;
    }
    remember(absolute(path));
    return true;
}

void DocumentFiles::warn(const QString& text) {
    questions_.warning(text.toStdString());
}

FileResult DocumentFiles::saveTo(const std::string& path) {
    return isJsonModelPath(path) ? doc_.saveAs(path, saveModelJsonFile) : doc_.saveAs(path);
}

// ---------------------------------------------------------- bulk-data decks --

void DocumentFiles::importBulkData() {
    if (!maybeSave())
        return;
    const QString path =
        QFileDialog::getOpenFileName(window_, QStringLiteral("ｲﾝﾎﾟｰﾄ"), QDir::currentPath(),
                                     kDeckFilter + QStringLiteral(";;すべてのﾌｧｲﾙ(*)"));
    if (!path.isEmpty())
        importBulkDataPath(pathBytes(path));
}

bool DocumentFiles::importBulkDataPath(const std::string& path) {
    BulkDataImport imported = readBulkDataFile(path);
    if (!imported.ok()) {
        warn(QStringLiteral("%1 を読み込めません。\n%2")
                 .arg(displayPath(path), QString::fromStdString(imported.error)));
        return false;
    }
    doc_.adoptModel(std::move(imported.model));
    if (!imported.warnings.empty()) {
        QStringList lines;
        for (const std::string& w : imported.warnings)
            lines << QString::fromStdString(w);
        questions_.information(QStringLiteral("%1 を読み込みました。次のカードは使いません。\n%2")
                                   .arg(displayPath(path), lines.join(QLatin1Char('\n')))
                                   .toStdString());
    }
    return true;
}

void DocumentFiles::exportBulkData() {
    if (!doc_.model()) {
        warn(QStringLiteral("書き出すモデルがありません。\n質量要素を設定してください。"));
        return;
    }
    const QString start =
        QDir(doc_.path().empty() ? QDir::currentPath()
                                 : QFile::decodeName(folderOf(doc_.path()).c_str()))
            .filePath(QFileInfo(QFile::decodeName(doc_.title().c_str())).completeBaseName() +
                      QStringLiteral(".bdf"));
    const QString chosen =
        QFileDialog::getSaveFileName(window_, QStringLiteral("ｴｸｽﾎﾟｰﾄ"), start, kDeckFilter);
    if (chosen.isEmpty())
        return;
    std::string path = pathBytes(chosen);
    if (std::filesystem::path(path).extension().empty())
        path += ".bdf";
    exportBulkDataPath(path);
}

bool DocumentFiles::exportBulkDataPath(const std::string& path) {
    if (!doc_.model()) {
        warn(QStringLiteral("書き出すモデルがありません。\n質量要素を設定してください。"));
        return false;
    }
    const BulkDataDeck deck = writeBulkData(*doc_.model());
    const FileResult result =
        deck.ok() ? writeFileAtomically(path, deck.text) : FileResult{deck.error};
    if (!result.ok()) {
        warn(QStringLiteral("%1 に書き出せませんでした。\n%2")
                 .arg(displayPath(path), QString::fromStdString(result.error)));
        return false;
    }
    return true;
}

// ---------------------------------------------------------- universal files --

void DocumentFiles::exportUniversalFile() {
    const AnalysisModel* model = doc_.model();
    if (!model || model->dynamicLoads.empty()) {
        warn(QStringLiteral(
            "動荷重がありません。\n周波数応答を書き出すには動荷重を設定してください。"));
        return;
    }
    QStringList loads;
    for (const DynamicLoad& l : model->dynamicLoads)
        loads << QStringLiteral("%1 %2").arg(l.id).arg(QString::fromStdString(l.name));
    bool chosenLoad = false;
    const QString load =
        QInputDialog::getItem(window_, QStringLiteral("UFF(周波数応答)"), QStringLiteral("動荷重:"),
                              loads, 0, false, &chosenLoad);
    if (!chosenLoad)
        return;
    const int index = static_cast<int>(loads.indexOf(load));
    const QString start =
        QDir(doc_.path().empty() ? QDir::currentPath()
                                 : QFile::decodeName(folderOf(doc_.path()).c_str()))
            .filePath(QFileInfo(QFile::decodeName(doc_.title().c_str())).completeBaseName() +
                      QStringLiteral(".uff"));
    const QString chosen = QFileDialog::getSaveFileName(window_, QStringLiteral("ｴｸｽﾎﾟｰﾄ"), start,
                                                        QStringLiteral("UFF(*.uff *.unv)"));
    if (chosen.isEmpty())
        return;
    std::string path = pathBytes(chosen);
    if (std::filesystem::path(path).extension().empty())
        path += ".uff";
    exportUniversalFilePath(path, index);
}

bool DocumentFiles::exportUniversalFilePath(const std::string& path, int loadIndex) {
    if (!doc_.model()) {
        warn(QStringLiteral("書き出すモデルがありません。\n質量要素を設定してください。"));
        return false;
    }
    const UniversalFile uff =
        writeResponseUniversalFile(*doc_.model(), loadIndex, std::time(nullptr));
    const FileResult result =
        uff.ok() ? writeFileAtomically(path, uff.text) : FileResult{uff.error};
    if (!result.ok()) {
        warn(QStringLiteral("%1 に書き出せませんでした。\n%2")
                 .arg(displayPath(path), QString::fromStdString(result.error)));
        return false;
    }
    return true;
}

// ------------------------------------------------------------- recent files --

std::vector<std::string> DocumentFiles::recentFiles() const {
    QSettings settings;
    settings.beginGroup(kRecentGroup);
    std::vector<std::string> files;
    for (int i = 1; i <= kRecentCount; ++i) {
        // Kept as bytes; an entry an earlier version kept as text reads as its UTF-8.
        const QByteArray f = settings.value(QStringLiteral("File%1").arg(i)).toByteArray();
        if (!f.isEmpty())
            files.push_back(f.toStdString());
    }
    return files;
}

void DocumentFiles::storeRecent(const std::vector<std::string>& files) {
    QSettings settings;
    settings.beginGroup(kRecentGroup);
    for (int i = 1; i <= kRecentCount; ++i) {
        const QString key = QStringLiteral("File%1").arg(i);
        if (i <= static_cast<int>(files.size()))
            settings.setValue(key, QByteArray::fromStdString(files[i - 1]));
        else
            settings.remove(key);
    }
    refreshRecentMenu();
}

void DocumentFiles::remember(const std::string& path) {
    std::vector<std::string> files = recentFiles();
    std::erase(files, path);
    files.insert(files.begin(), path);
    files.resize(std::min<std::size_t>(files.size(), kRecentCount));
    storeRecent(files);
}

void DocumentFiles::forget(const std::string& path) {
    std::vector<std::string> files = recentFiles();
    if (std::erase(files, path) > 0)
        storeRecent(files);
}

void DocumentFiles::attachRecentMenu(QMenu* menu, QAction* placeholder) {
    recentMenu_ = menu;
    placeholder_ = placeholder;
    refreshRecentMenu();
}

void DocumentFiles::refreshRecentMenu() {
    if (!recentMenu_)
        return;
    qDeleteAll(recentActions_);
    recentActions_.clear();
    const std::vector<std::string> files = recentFiles();
    placeholder_->setVisible(files.empty());
    for (int i = 0; i < static_cast<int>(files.size()); ++i) {
        auto* action = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(
                                       displayPath(files[static_cast<std::size_t>(i)])),
                                   recentMenu_);
        action->setObjectName(QString::number(57616 + i));
        const std::string path = files[static_cast<std::size_t>(i)];
        connect(action, &QAction::triggered, this, [this, path] { openPath(path); });
        recentMenu_->insertAction(placeholder_, action);
        recentActions_ << action;
    }
}

} // namespace quav
