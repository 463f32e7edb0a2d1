#include "app/DocumentFiles.h"

#include "document/Document.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>

namespace quav {

namespace {

const QString kFilter = QStringLiteral("QUAVﾌｧｲﾙ(*.quav)");
const QString kRecentGroup = QStringLiteral("Recent File List");
constexpr int kRecentCount = 4;

void warn(QWidget* parent, const QString& text) {
    QMessageBox::warning(parent, QStringLiteral("QUAV"), text);
}

} // namespace

DocumentFiles::DocumentFiles(CQUAVDoc& doc, QWidget* window)
    : QObject(window), doc_(doc), window_(window) {}

bool DocumentFiles::maybeSave() {
    if (!doc_.isModified())
        return true;
    const auto answer = QMessageBox::question(
        window_, QStringLiteral("QUAV"),
        QStringLiteral("%1 への変更を保存しますか?").arg(QString::fromStdString(doc_.title())),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (answer == QMessageBox::Yes)
        return save();
    return answer == QMessageBox::No;
}

void DocumentFiles::newDocument() {
    if (maybeSave())
        doc_.newDocument();
}

void DocumentFiles::open() {
    if (!maybeSave())
        return;
    const QString start = doc_.path().empty()
                              ? QDir::currentPath()
                              : QFileInfo(QString::fromStdString(doc_.path())).absolutePath();
    const QString path = QFileDialog::getOpenFileName(
        window_, QStringLiteral("開く"), start, kFilter + QStringLiteral(";;すべてのﾌｧｲﾙ(*)"));
    if (!path.isEmpty())
        openPath(path, false);
}

bool DocumentFiles::openPath(const QString& path, bool askFirst) {
    if (askFirst && !maybeSave())
        return false;
    const FileResult result = doc_.open(QDir::toNativeSeparators(path).toStdString());
    if (!result.ok()) {
        warn(window_, QStringLiteral("%1 を開けません。\n%2")
                          .arg(path, QString::fromStdString(result.error)));
        if (!QFileInfo::exists(path))
            forget(path);
        return false;
    }
    remember(QFileInfo(path).absoluteFilePath());
    return true;
}

bool DocumentFiles::save() {
    if (doc_.path().empty())
        return saveAs();
    const FileResult result = doc_.saveAs(doc_.path());
    if (!result.ok()) {
        warn(
            window_,
            QStringLiteral("保存できませんでした。\n%1").arg(QString::fromStdString(result.error)));
        return false;
    }
    return true;
}

bool DocumentFiles::saveAs() {
    if (!doc_.model()) {
        warn(window_, QStringLiteral("保存するモデルがありません。\n質量要素を設定してください。"));
        return false;
    }
    QString suggestion = QString::fromStdString(doc_.path());
    if (suggestion.isEmpty())
        suggestion = QDir::current().filePath(QStringLiteral("無題.quav"));
    QString path = QFileDialog::getSaveFileName(window_, QStringLiteral("名前を付けて保存"),
                                                suggestion, kFilter);
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".quav");
    const FileResult result = doc_.saveAs(path.toStdString());
    if (!result.ok()) {
        warn(window_, QStringLiteral("%1 に保存できませんでした。\n%2")
                          .arg(path, QString::fromStdString(result.error)));
        return false;
    }
    remember(QFileInfo(path).absoluteFilePath());
    return true;
}

// ------------------------------------------------------------- recent files --

QStringList DocumentFiles::recentFiles() const {
    QSettings settings;
    settings.beginGroup(kRecentGroup);
    QStringList files;
    for (int i = 1; i <= kRecentCount; ++i) {
        const QString f = settings.value(QStringLiteral("File%1").arg(i)).toString();
        if (!f.isEmpty())
            files << f;
    }
    return files;
}

void DocumentFiles::storeRecent(const QStringList& files) {
    QSettings settings;
    settings.beginGroup(kRecentGroup);
    for (int i = 1; i <= kRecentCount; ++i) {
        const QString key = QStringLiteral("File%1").arg(i);
        if (i <= files.size())
            settings.setValue(key, files[i - 1]);
        else
            settings.remove(key);
    }
    refreshRecentMenu();
}

void DocumentFiles::remember(const QString& path) {
    QStringList files = recentFiles();
    files.removeAll(path);
    files.prepend(path);
    storeRecent(files.mid(0, kRecentCount));
}

void DocumentFiles::forget(const QString& path) {
    QStringList files = recentFiles();
    if (files.removeAll(path) > 0)
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
    const QStringList files = recentFiles();
    placeholder_->setVisible(files.isEmpty());
    for (int i = 0; i < files.size(); ++i) {
        auto* action =
            new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QDir::toNativeSeparators(files[i])),
                        recentMenu_);
        action->setObjectName(QString::number(57616 + i));
        const QString path = files[i];
        connect(action, &QAction::triggered, this, [this, path] { openPath(path); });
        recentMenu_->insertAction(placeholder_, action);
        recentActions_ << action;
    }
}

} // namespace quav
