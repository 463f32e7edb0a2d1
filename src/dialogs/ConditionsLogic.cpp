#include "dialogs/ConditionsLogic.h"

#include "model/AnalysisModel.h"
#include "model/TextFormat.h"
#include "optimizer/Optimizer.h"

namespace quav {

ConditionsLogic::ConditionsLogic(Optimizer& optimizer, const AnalysisModel* model)
    : optimizer_(optimizer), model_(model) {}

ObjectTreeItem ConditionsLogic::objectTree() const {
    ObjectTreeItem root{"変位制約条件設定ｵﾌﾞｼﾞｪｸﾄ", 0, 0, {}};
    root.add("質量要素", model_ ? model_->massElementId : 0);
    root.add("ばね要素");
    root.add("観測点");
    if (model_) {
        for (const auto& s : model_->springs)
            root.children[1].add(model_->markedSpringName(s), s.id);
        for (const auto& p : model_->observationPoints)
            root.children[2].add(p.name, p.id);
    }
    return root;
}

std::vector<std::string> ConditionsLogic::loadChoices() const {
    std::vector<std::string> choices{"荷重を選んでください"};
    if (model_)
        for (const auto& l : model_->staticLoads)
            choices.push_back(l.name);
    return choices;
}

int ConditionsLogic::conditionIndex(int index) const {
    const auto& list = optimizer_.conditions.displacementConditions;
    int k = 0;
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i].objectId == object_ && k++ == index)
            return static_cast<int>(i);
    return -1;
}

std::vector<std::string> ConditionsLogic::entries() const {
    std::vector<std::string> names;
    for (const auto& c : optimizer_.conditions.displacementConditions)
        if (c.objectId == object_)
            names.push_back(format("設定%d", static_cast<int>(names.size())));
    return names;
}

DisplacementEntry ConditionsLogic::entry(int index) const {
    DisplacementEntry e;
    const int i = conditionIndex(index);
    if (i < 0)
        return e;
    const DisplacementCondition& c =
        optimizer_.conditions.displacementConditions[static_cast<std::size_t>(i)];
    e.directionFlags = c.directionFlags;
    e.limit = c.limit;
    const std::size_t loads = model_ ? model_->staticLoads.size() : 0;
    e.loadChoice = loads > 0 ? 1 : 0;
    for (std::size_t k = 0; k < loads; ++k)
        if (model_->staticLoads[k].id == c.loadId) {
            e.loadChoice = static_cast<int>(k) + 1;
            break;
        }
    return e;
}

std::string ConditionsLogic::registerEntry(const DisplacementEntry& entry) {
    const std::size_t loads = model_ ? model_->staticLoads.size() : 0;
    if (entry.loadChoice < 1 || static_cast<std::size_t>(entry.loadChoice) > loads)
        return "荷重を選択して下さい";
    DisplacementCondition c;
    c.directionFlags = entry.directionFlags;
    c.objectId = object_;
    c.loadId = model_->staticLoads[static_cast<std::size_t>(entry.loadChoice - 1)].id;
    c.limit = entry.limit;
    optimizer_.conditions.addDisplacementCondition(c);
    return {};
}

void ConditionsLogic::removeEntry(int index) {
    const int i = conditionIndex(index);
    if (i >= 0)
        optimizer_.conditions.removeDisplacementCondition(i);
}

void ConditionsLogic::applyScalars(const OptimizationConditions& edited) {
    auto displacements = std::move(optimizer_.conditions.displacementConditions);
    optimizer_.conditions = edited;
    optimizer_.conditions.displacementConditions = std::move(displacements);
}

} // namespace quav
