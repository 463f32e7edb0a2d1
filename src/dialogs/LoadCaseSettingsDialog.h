#pragma once

#include "dialogs/FormDialog.h"
#include "dialogs/MessageBoxes.h"
#include "document/DocumentUi.h"

class QListWidget;
class QTableWidget;

namespace quav {

/// 162 "荷重ケース設定": the case's name, a row per static load of the model with
/// its factor (0: not used) and the g-load gx, gy, gz. OK refuses a factor that
/// is no number (naming the load, its cell selected) and what checkLoadCases
/// refuses (naming the field), and stays open.
class LoadCaseSettingsDialog : public FormDialog {
    Q_OBJECT
public:
    LoadCaseSettingsDialog(const LoadCaseValues& values, const LoadCaseContext& context,
                           QWidget* parent = nullptr);
    void accept() override;
    LoadCaseValues values;

    QTableWidget* factors() const { return table_; }
    /// Replaceable for tests.
    MessageBoxes messages;

private:
    LoadCaseContext context_;
    QTableWidget* table_;
};

/// 163: the list of the model's cases to edit or delete one of; OK needs a
/// selected case.
class LoadCaseChoiceDialog : public QDialog {
    Q_OBJECT
public:
    LoadCaseChoiceDialog(const LoadCaseChoice& choice, QWidget* parent = nullptr);
    void accept() override;
    LoadCaseChoice choice;
    QListWidget* list() const { return list_; }

private:
    QListWidget* list_;
};

} // namespace quav
