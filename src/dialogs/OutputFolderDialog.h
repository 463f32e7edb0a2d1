#pragma once

#include "dialogs/FormDialog.h"

#include <functional>

class QLineEdit;
class QPlainTextEdit;

namespace quav {

/// 161, where a run writes its files (解析結果保存先設定): a folder path,
/// chosen with the folder browser, and the name of the folder made in it.
/// Opens on `path` (empty: the working directory) and `folder` (empty: "Optimize").
class OutputFolderDialog : public FormDialog {
    Q_OBJECT
public:
    explicit OutputFolderDialog(QWidget* parent = nullptr, const QString& path = {},
                                const QString& folder = {});

    QString path() const;
    QString folderName() const;
    void accept() override;

    /// The folder browser: the chosen folder, or empty when cancelled.
    std::function<QString(QWidget* parent, const QString& title, const QString& start)> browse =
        browseFolder;

    static QString browseFolder(QWidget* parent, const QString& title, const QString& start);

private:
    void browsePath();

    QPlainTextEdit* path_;
    QLineEdit* folder_;
};

} // namespace quav
