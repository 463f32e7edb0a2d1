#pragma once

#include "dialogs/ConditionsLogic.h"
#include "dialogs/MessageBoxes.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTreeWidget;

namespace quav {

/// The optimiser's conditions (制約条件・目標設定). The scalar conditions are
/// written on OK and discarded on "ｷｬﾝｾﾙ"; displacement conditions are added
/// and removed at once and stay either way.
class ConditionsDialog : public QDialog {
public:
    ConditionsDialog(Optimizer& optimizer, const AnalysisModel* model, QWidget* parent = nullptr);

    void accept() override;

    MessageBoxes messages;

private:
    struct ModeRow {
        QCheckBox* enabled;
        QLineEdit* contribution;
        QLineEdit* frequency;
    };

    void objectSelected();
    void refreshEntries();
    void showEntry(int index);
    void registerEntry();
    void removeEntry();

    ConditionsLogic logic_;
    OptimizationConditions scalars_;
    std::array<ModeRow, 6> modes_{};
    QCheckBox* couplingEnabled_;
    QLineEdit* couplingMax_;
    QCheckBox* minEnabled_;
    QLineEdit* minFrequency_;
    QCheckBox* maxEnabled_;
    QLineEdit* maxFrequency_;
    QCheckBox* ratioEnabled_;
    QLineEdit* ratio_;
    QLineEdit* tolerance_;
    QTreeWidget* tree_;
    QComboBox* load_;
    QLineEdit* limit_;
    std::array<QCheckBox*, 7> directions_{};
    QPushButton* register_;
    QListWidget* entries_;
    QPushButton* remove_;
};

} // namespace quav
