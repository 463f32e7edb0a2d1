#pragma once

#include "dialogs/ObjectTree.h"

#include <optional>
#include <string>
#include <vector>

namespace quav {

class AnalysisModel;
class Optimizer;

/// What the binding part of the parameter settings shows.
struct BindingFields {
    bool parameterEnabled = false; ///< the parameter choice can be changed
    int parameterChoice = 0;       ///< 0 "ﾊﾟﾗﾒｰﾀ設定なし", n the n-th parameter
    double minValue = 0.0, maxValue = 0.0, increment = 0.0;
    std::optional<double> multiplier; ///< a new multiplier to show; none leaves it
};

/// The parameter settings (最適化ﾊﾟﾗﾒｰﾀ設定) without the widgets: the object
/// tree, the variable in hand and its binding. Every change goes straight
/// into the optimiser; there is nothing to cancel.
class ParameterSettingsLogic {
public:
    ParameterSettingsLogic(Optimizer& optimizer, const AnalysisModel* model);

    /// Springs with their variables x, y, z, Ry, Rz and characteristics with
    /// Kxx, Kyy, Kzz, under the root "ﾊﾟﾗﾒｰﾀ設定ｵﾌﾞｼﾞｪｸﾄ".
    ObjectTreeItem objectTree() const;
    /// "ﾊﾟﾗﾒｰﾀ設定なし", then the parameters' names in list order.
    std::vector<std::string> parameterChoices() const;
    std::vector<std::string> parameterNames() const;
    /// "組合せ数：" and the number of combinations.
    std::string combinationText() const;

    /// A tree item was selected: an object or variable item makes its object
    /// the current one (group items keep it), and the item's variable code
    /// becomes the current variable. Shows the variable's binding.
    BindingFields select(const ObjectTreeItem& item);
    /// The fields for parameter choice `choice`: its range and a multiplier
    /// of 1.0, or zeros and the multiplier left alone for no parameter.
    BindingFields choose(int choice) const;
    /// True when a variable is selected, so a binding can be registered.
    bool hasVariable() const { return target_ != 0; }
    /// Binds the current variable to parameter choice `choice` (0 removes
    /// the binding) with `multiplier`. Nothing without a variable.
    void registerBinding(int choice, double multiplier);

private:
    Optimizer& optimizer_;
    const AnalysisModel* model_;
    int object_ = 0;
    int target_ = 0;
};

} // namespace quav
