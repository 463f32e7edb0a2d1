#pragma once

#include "dialogs/MessageBoxes.h"
#include "dialogs/ParameterEditDialog.h"
#include "dialogs/ParameterSettingsLogic.h"

#include <QDialog>

#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTreeWidget;

namespace quav {

/// The design parameters and their bindings (最適化ﾊﾟﾗﾒｰﾀ設定). Every change
/// takes effect in the optimiser at once; "OK" only closes.
class ParameterSettingsDialog : public QDialog {
public:
    ParameterSettingsDialog(Optimizer& optimizer, const AnalysisModel* model,
                            QWidget* parent = nullptr);

    MessageBoxes messages;
    /// Runs the parameter edit dialog on `fields`; the values on OK, else none.
    std::function<std::optional<ParameterFields>(QWidget* parent, const ParameterFields& fields)>
        editParameter = runParameterEditDialog;

    static std::optional<ParameterFields> runParameterEditDialog(QWidget* parent,
                                                                 const ParameterFields& fields);

private:
    void treeSelectionChanged();
    void parameterChosen(int choice);
    void registerBinding();
    void addParameter();
    void editSelectedParameter();
    void deleteSelectedParameter();
    void showFields(const BindingFields& fields);
    void refresh();

    Optimizer& optimizer_;
    ParameterSettingsLogic logic_;
    bool updating_ = false; // choices set by the dialog, not by the user
    QTreeWidget* tree_;
    QComboBox* choice_;
    QLineEdit* min_;
    QLineEdit* max_;
    QLineEdit* increment_;
    QLineEdit* multiplier_;
    QPushButton* register_;
    QListWidget* list_;
    QLabel* count_;
};

} // namespace quav
