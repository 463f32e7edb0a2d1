#pragma once

#include "dialogs/ConditionsLogic.h"
#include "dialogs/FormDialog.h"

#include <array>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTreeWidget;

namespace quav {

/// 160, the optimiser's conditions (制約条件・目標設定). The scalar conditions
/// are written on OK and discarded on "ｷｬﾝｾﾙ"; displacement conditions are
/// added and removed at once and stay either way.
class ConditionsDialog : public FormDialog {
    Q_OBJECT
public:
    ConditionsDialog(Optimizer& optimizer, const AnalysisModel* model, QWidget* parent = nullptr);

    void accept() override;

private:
    /// The switches of the scalar conditions while the dialog edits them.
    struct Switches {
        std::array<bool, 6> mode{};
        bool meanCoupling = false, minFrequency = false, maxFrequency = false, springRatio = false,
             loadCases = false;
    };

    void objectSelected();
    void refreshEntries();
    void showEntry(int index);
    void registerEntry();
    void removeEntry();

    ConditionsLogic logic_;
    OptimizationConditions scalars_;
    Switches switches_;
    QTreeWidget* tree_;
    QComboBox* load_;
    QLineEdit* limit_;
    std::array<QCheckBox*, 7> directions_{};
    QPushButton* register_;
    QListWidget* entries_;
    QPushButton* remove_;
};

} // namespace quav
