#include "dialogs/ParameterSettingsLogic.h"

#include "model/AnalysisModel.h"
#include "model/TextFormat.h"
#include "optimizer/Optimizer.h"
#include "optimizer/Variant.h"

namespace quav {

ParameterSettingsLogic::ParameterSettingsLogic(Optimizer& optimizer, const AnalysisModel* model)
    : optimizer_(optimizer), model_(model) {}

ObjectTreeItem ParameterSettingsLogic::objectTree() const {
    ObjectTreeItem root{"ﾊﾟﾗﾒｰﾀ設定ｵﾌﾞｼﾞｪｸﾄ", 0, 0, {}};
    root.add("ばね要素");
    root.add("ばね特性");
    if (!model_)
        return root;
    ObjectTreeItem& springs = root.children[0];
    ObjectTreeItem& characteristics = root.children[1];
    static const char* const springVariables[] = {"x", "y", "z", "Ry", "Rz"};
    static const int springTargets[] = {1, 2, 3, 5, 6};
    for (const auto& s : model_->springs) {
        ObjectTreeItem& item = springs.add(model_->markedSpringName(s), s.id);
        for (int i = 0; i < 5; ++i)
            item.add(springVariables[i], s.id, springTargets[i]);
    }
    static const char* const rates[] = {"Kxx", "Kyy", "Kzz"};
    for (const auto& c : model_->springCharacteristics) {
        ObjectTreeItem& item = characteristics.add(
            c.frequencyTable.empty() ? c.name : c.name + kFrequencyTableMark, c.id);
        for (int i = 0; i < 3; ++i)
            item.add(rates[i], c.id, i + 1);
    }
    return root;
}

std::vector<std::string> ParameterSettingsLogic::parameterChoices() const {
    std::vector<std::string> choices = parameterNames();
    choices.insert(choices.begin(), "ﾊﾟﾗﾒｰﾀ設定なし");
    return choices;
}

std::vector<std::string> ParameterSettingsLogic::parameterNames() const {
    std::vector<std::string> names;
    for (const auto& p : optimizer_.parameters)
        names.push_back(p.name);
    return names;
}

std::string ParameterSettingsLogic::combinationText() const {
    return format("組合せ数：%lld",
                  static_cast<long long>(combinationCount(optimizer_.parameters)));
}

BindingFields ParameterSettingsLogic::select(const ObjectTreeItem& item) {
    if (item.objectId != 0)
        object_ = item.objectId;
    target_ = item.target;
    BindingFields fields;
    if (target_ == 0)
        return fields;
    fields.parameterEnabled = true;
    const Optimizer::BindingLookup binding = optimizer_.findBinding(object_, target_);
    fields.multiplier = binding.multiplier;
    if (binding.parameter) {
        // The choice by position, not by name: names may repeat or be empty.
        fields.parameterChoice =
            static_cast<int>(binding.parameter - optimizer_.parameters.data()) + 1;
        fields.minValue = binding.parameter->minValue;
        fields.maxValue = binding.parameter->maxValue;
        fields.increment = binding.parameter->increment;
    }
    return fields;
}

BindingFields ParameterSettingsLogic::choose(int choice) const {
    BindingFields fields;
    fields.parameterEnabled = target_ != 0;
    if (choice < 1 || choice > static_cast<int>(optimizer_.parameters.size()))
        return fields;
    const DesignParameter& p = optimizer_.parameters[static_cast<std::size_t>(choice - 1)];
    fields.parameterChoice = choice;
    fields.minValue = p.minValue;
    fields.maxValue = p.maxValue;
    fields.increment = p.increment;
    fields.multiplier = 1.0;
    return fields;
}

void ParameterSettingsLogic::registerBinding(int choice, double multiplier) {
    if (target_ == 0)
        return;
    const int id = choice >= 1 && choice <= static_cast<int>(optimizer_.parameters.size())
                       ? optimizer_.parameters[static_cast<std::size_t>(choice - 1)].id
                       : 0;
    optimizer_.setBinding(object_, target_, id, multiplier);
}

} // namespace quav
