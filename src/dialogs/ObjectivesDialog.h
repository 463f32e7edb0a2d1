#pragma once

#include "dialogs/MessageBoxes.h"
#include "optimizer/Objectives.h"

#include <QDialog>

#include <array>
#include <vector>

class QComboBox;

namespace quav {

class Optimizer;

/// 目的関数: up to kMaxObjectives rows, each a kind (or "なし"), the numbers
/// the kind needs (a mode, a dynamic load, an object and a static load of the
/// model, chosen from lists) and a sense. OK writes the objectives into the
/// optimiser after the rules `quav-cli optimize` applies (objectivesProblem);
/// refused, the dialog stays open and says why. Cancel changes nothing.
class ObjectivesDialog : public QDialog {
    Q_OBJECT
public:
    ObjectivesDialog(Optimizer& optimizer, const AnalysisModel& model, QWidget* parent = nullptr);

    /// The objectives as the rows show them now, rows set to "なし" left out.
    std::vector<Objective> objectives() const;
    /// Shows `objectives` in the rows (at most kMaxObjectives).
    void showObjectives(const std::vector<Objective>& objectives);
    void accept() override;

    MessageBoxes messages;

private:
    struct Row {
        QComboBox* kind;
        QComboBox* number; ///< the mode, the dynamic load or the object
        QComboBox* load;   ///< the static load of a displacement
        QComboBox* sense;
    };
    /// Fills a row's number lists for its kind, keeping `number` and `load`
    /// selected (listed as unknown when the model has no such entry).
    void fillRow(Row& row, int number, int load);

    Optimizer& optimizer_;
    const AnalysisModel& model_;
    std::array<Row, kMaxObjectives> rows_{};
};

} // namespace quav
