#pragma once

#include "dialogs/ObjectTree.h"
#include "optimizer/OptimizationConditions.h"

#include <array>
#include <string>
#include <vector>

namespace quav {

class AnalysisModel;
class Optimizer;

/// One displacement condition as the conditions dialog shows it.
struct DisplacementEntry {
    std::array<int, 7> directionFlags{}; ///< x, y, z, Local_x, Local_y, Local_z, absolute
    int loadChoice = 0; ///< 0 "荷重を選んでください", n the n-th static load
    double limit = 0.0; ///< [m]
};

/// The displacement part of the conditions (制約条件・目標設定) without the
/// widgets: the object in hand and its conditions, which are added and
/// removed in the optimiser at once. The scalar conditions are edited on a
/// copy and written by `applyScalars` (OK).
class ConditionsLogic {
public:
    ConditionsLogic(Optimizer& optimizer, const AnalysisModel* model);

    /// "質量要素", then "ばね要素" and "観測点" with one item per element, under
    /// the root "変位制約条件設定ｵﾌﾞｼﾞｪｸﾄ".
    ObjectTreeItem objectTree() const;
    /// "荷重を選んでください", then the static loads' names in model order.
    std::vector<std::string> loadChoices() const;

    /// The object whose conditions are shown (0: none, input disabled).
    void selectObject(int objectId) { object_ = objectId; }
    int selectedObject() const { return object_; }

    /// "設定0", "設定1", ... for the selected object's conditions, list order.
    std::vector<std::string> entries() const;
    /// Entry `index` of `entries()`; cleared fields for no entry. A condition
    /// whose load no longer exists shows the first load.
    DisplacementEntry entry(int index) const;
    /// Adds a condition for the selected object unless an equal one exists.
    /// Returns the message to show instead ("荷重を選択して下さい"), or empty.
    std::string registerEntry(const DisplacementEntry& entry);
    /// Removes entry `index` of `entries()`; nothing for no entry.
    void removeEntry(int index);

    /// Writes every scalar field of `edited` into the optimiser's conditions;
    /// the displacement conditions stay as they are.
    void applyScalars(const OptimizationConditions& edited);

private:
    /// Index in the optimiser's list of entry `index`, or -1.
    int conditionIndex(int index) const;

    Optimizer& optimizer_;
    const AnalysisModel* model_;
    int object_ = 0;
};

} // namespace quav
