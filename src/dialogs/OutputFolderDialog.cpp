#include "dialogs/OutputFolderDialog.h"

#include "dialogs/DialogFields.h"
#include "dialogs/DialogUnits.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace quav {

QString OutputFolderDialog::browseFolder(QWidget*, const QString& title, const QString& start) {
    // Like the system's folder browser: directories only, no owner window.
    return QFileDialog::getExistingDirectory(nullptr, title, start, QFileDialog::ShowDirsOnly);
}

OutputFolderDialog::OutputFolderDialog(QWidget* parent, const QString& path, const QString& folder)
    : FormDialog(161, QStringLiteral("解析結果保存先設定"), parent) {
    path_ = new QPlainTextEdit(path.isEmpty() ? QDir::currentPath() : path, this);
    path_->setObjectName(QStringLiteral("1156"));
    path_->setReadOnly(true);
    showAsReadOnly(path_);
    path_->setFixedSize(dialogUnits(200, 30));
    auto* browse = new QPushButton(QStringLiteral("参照"), this);
    browse->setObjectName(QStringLiteral("1062"));
    folder_ = new QLineEdit(folder.isEmpty() ? QStringLiteral("Optimize") : folder, this);
    folder_->setObjectName(QStringLiteral("1157"));

    connect(browse, &QPushButton::clicked, this, &OutputFolderDialog::browsePath);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("保存先ﾊﾟｽ"), this), 0, 0, Qt::AlignTop);
    grid->addWidget(path_, 0, 1);
    grid->addWidget(browse, 0, 2, Qt::AlignTop);
    grid->addWidget(new QLabel(QStringLiteral("ﾌｫﾙﾀﾞ名"), this), 1, 0);
    grid->addWidget(folder_, 1, 1);
    grid->addWidget(okCancel(), 2, 0, 1, 3);
}

QString OutputFolderDialog::path() const {
    return path_->toPlainText();
}

QString OutputFolderDialog::folderName() const {
    return folder_->text();
}

void OutputFolderDialog::browsePath() {
    const QString chosen = browse(this, QStringLiteral("ディレクトリを選択"), path());
    if (chosen.isEmpty()) {
        messages.inform(this, QStringLiteral("ディレクトリが選択されませんでした"));
        return;
    }
    path_->setPlainText(chosen);
}

void OutputFolderDialog::accept() {
    // Without a folder name the run would write into the chosen folder itself,
    // over files of the same names.
    if (folder_->text().trimmed().isEmpty()) {
        messages.inform(this, QStringLiteral("ﾌｫﾙﾀﾞ名を入力して下さい"));
        folder_->setFocus();
        return;
    }
    QDialog::accept();
}

} // namespace quav
