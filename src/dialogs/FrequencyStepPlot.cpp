#include "dialogs/FrequencyStepPlot.h"

#include <cmath>

namespace quav {

namespace {

constexpr const char* kDofNames[6] = {"x", "y", "z", "Rx", "Ry", "Rz"};

/// The first selected element of `items`, deselected; or null.
template <class Items> typename Items::value_type* takeSelected(Items& items) {
    for (auto& item : items)
        if (item.selected) {
            item.selected = 0;
            return &item;
        }
    return nullptr;
}

template <class Element> FrequencyStepTarget targetAt(const Element& e) {
    FrequencyStepTarget target;
    target.name = e.name;
    target.position = e.position;
    target.id = e.id;
    return target;
}

FrequencyStepTarget springTarget(const SpringElement& s) {
    FrequencyStepTarget target = targetAt(s);
    target.spring = s;
    return target;
}

FrequencyStepTarget centreOfGravity(const AnalysisModel& model) {
    FrequencyStepTarget target;
    target.name = "質量要素";
    target.position = model.centreOfGravity;
    target.id = model.massElementId;
    return target;
}

bool validLoad(const AnalysisModel& model, int load) {
    return load >= 0 && static_cast<std::size_t>(load) < model.dynamicLoads.size();
}

} // namespace

CurveTarget FrequencyStepTarget::curveTarget(bool local) const {
    CurveTarget target;
    target.position = position;
    target.spring = spring ? &*spring : nullptr;
    target.local = local && spring;
    return target;
}

FrequencyStepTarget takeFrequencyStepTarget(AnalysisModel& model) {
    if (const SpringElement* s = takeSelected(model.springs))
        return springTarget(*s);
    if (const ObservationPoint* p = takeSelected(model.observationPoints))
        return targetAt(*p);
    if (const StaticLoad* l = takeSelected(model.staticLoads))
        return targetAt(*l);
    if (const DynamicLoad* l = takeSelected(model.dynamicLoads))
        return targetAt(*l);
    return centreOfGravity(model);
}

std::vector<FrequencyStepTarget> frequencyStepTargets(const AnalysisModel& model) {
    std::vector<FrequencyStepTarget> targets{centreOfGravity(model)};
    for (const auto& s : model.springs)
        targets.push_back(springTarget(s));
    for (const auto& p : model.observationPoints)
        targets.push_back(targetAt(p));
    for (const auto& l : model.staticLoads)
        targets.push_back(targetAt(l));
    for (const auto& l : model.dynamicLoads)
        targets.push_back(targetAt(l));
    return targets;
}

bool isResponsePerForce(const AnalysisModel& model, int load, int dof) {
    if (!validLoad(model, load) || dof < 0 || dof > 2)
        return false;
    const DynamicLoad& l = model.dynamicLoads[static_cast<std::size_t>(load)];
    return l.type == Translational && std::isfinite(l.value) && l.value != 0;
}

PlotCurve frequencyStepPlotCurve(const AnalysisModel& model, const FrequencyStepTarget& target,
                                 const FrequencyStepChoice& choice, bool decibels) {
    const bool local = choice.local && target.spring;
    const int dof = choice.dof >= 0 && choice.dof < 6 ? choice.dof : 0;
    PlotCurve curve;
    curve.name = target.name + (local ? " ﾛｰｶﾙ " : " ｸﾞﾛｰﾊﾞﾙ ") + kDofNames[dof];
    if (validLoad(model, choice.load))
        curve.name += " / " + model.dynamicLoads[static_cast<std::size_t>(choice.load)].name;
    curve.unit = dof < 3 ? "m" : "rad";
    curve.points = frequencyStepCurve(model, choice.load, target.curveTarget(local), dof);
    if (decibels && isResponsePerForce(model, choice.load, dof)) {
        const double force =
            std::fabs(model.dynamicLoads[static_cast<std::size_t>(choice.load)].value);
        for (auto& p : curve.points)
            p.value = decibel(p.value / force);
        curve.unit = "dB re 1 m/N";
    }
    return curve;
}

} // namespace quav
