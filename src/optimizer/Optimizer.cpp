#include "optimizer/Optimizer.h"

#include <algorithm>
#include <utility>

namespace quav {

namespace {

bool validIndex(int index, std::size_t size) {
    return index >= 0 && static_cast<std::size_t>(index) < size;
}

} // namespace

int Optimizer::addParameter(const std::string& name, double maxValue, double minValue,
                            double increment) {
    DesignParameter p;
    p.id = ++parameterIdCounter;
    p.name = name;
    p.maxValue = maxValue;
    p.minValue = minValue;
    p.increment = increment;
    p.currentValue = minValue;
    parameters.push_back(std::move(p));
    return parameters.back().id;
}

bool Optimizer::editParameter(int index, const std::string& name, double maxValue, double minValue,
                              double increment) {
    if (!validIndex(index, parameters.size()))
        return false;
    DesignParameter& p = parameters[index];
    p.name = name;
    p.maxValue = maxValue;
    p.minValue = minValue;
    p.increment = increment;
    p.currentValue = minValue;
    return true;
}

bool Optimizer::deleteParameter(int index) {
    if (!validIndex(index, parameters.size()))
        return false;
    const int id = parameters[index].id;
    std::erase_if(bindings, [id](const ParameterBinding& b) { return b.parameterId == id; });
    parameters.erase(parameters.begin() + index);
    return true;
}

const DesignParameter* Optimizer::findParameter(int id) const {
    for (const auto& p : parameters)
        if (p.id == id)
            return &p;
    return nullptr;
}

DesignParameter* Optimizer::findParameter(int id) {
    return const_cast<DesignParameter*>(std::as_const(*this).findParameter(id));
}

void Optimizer::resetValues() {
    for (auto& p : parameters)
        p.currentValue = p.minValue - p.increment;
}

void Optimizer::stepValue(int index) {
    if (validIndex(index, parameters.size()))
        parameters[index].currentValue += parameters[index].increment;
}

void Optimizer::setBinding(int objectId, int target, int parameterId, double multiplier) {
    auto it = std::find_if(bindings.begin(), bindings.end(), [&](const ParameterBinding& b) {
        return b.objectId == objectId && b.target == target;
    });
    if (it == bindings.end()) {
        bindings.push_back({objectId, target, parameterId, multiplier});
    } else if (parameterId != 0) {
        it->parameterId = parameterId;
        it->multiplier = multiplier;
    } else {
        bindings.erase(it);
    }
}

Optimizer::BindingLookup Optimizer::findBinding(int objectId, int target) const {
    for (const auto& b : bindings)
        if (b.objectId == objectId && b.target == target)
            return {findParameter(b.parameterId), b.multiplier};
    return {};
}

void Optimizer::clearStudy() {
    parameters.clear();
    bindings.clear();
    conditions.reset();
    objectives.clear();
    matchCount = 0;
}

void Optimizer::adoptFileContent(Optimizer&& loaded) {
    clearStudy();
    parameters = std::move(loaded.parameters);
    bindings = std::move(loaded.bindings);
    conditions = std::move(loaded.conditions);
    objectives = std::move(loaded.objectives);
    if (!parameters.empty())
        parameterIdCounter = loaded.parameterIdCounter;
}

} // namespace quav
