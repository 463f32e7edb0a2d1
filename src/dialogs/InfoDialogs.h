#pragma once

#include "dialogs/MessageBoxes.h"
#include "dialogs/ResultSaving.h"

#include <QDialog>

#include <string>

class QIcon;

namespace quav {

/// 135 "情報": a report or listing, read-only, scrollable, selectable and
/// copyable; "保存..." writes it as text or TSV. OK and "ｷｬﾝｾﾙ" both just
/// close it.
class InfoTextDialog : public QDialog {
    Q_OBJECT
public:
    explicit InfoTextDialog(const std::string& text, QWidget* parent = nullptr);

    /// "保存...": the text as it was given (tab-separated, CR LF).
    void save();

    ResultSaver saver;
    MessageBoxes messages;

private:
    std::string text_;
};

/// 100 "QUAVのﾊﾞｰｼﾞｮﾝ情報".
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

/// The program's icon: a box on two mounts, drawn rather than shipped.
QIcon programIcon();

/// The version as the About box shows it ("%2.2lf" of 3.03).
QString versionText();

} // namespace quav
