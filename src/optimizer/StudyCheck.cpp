#include "optimizer/StudyCheck.h"

#include "analysis/ModelCheck.h"
#include "model/TextFormat.h"
#include "optimizer/OptimizerLog.h"
#include "optimizer/Variant.h"

#include <algorithm>
#include <cmath>

namespace quav {

std::string parameterRangeProblem(double minValue, double maxValue, double increment) {
    if (!std::isfinite(minValue) || !std::isfinite(maxValue) || !std::isfinite(increment))
        return "最小値、最大値、増分に数値でない値があります";
    if (maxValue < minValue)
        return format("最大値(%g)が最小値(%g)より小さいです", maxValue, minValue);
    if (!(increment > 0.0))
        return format("増分(%g)が正ではありません", increment);
    return {};
}

std::optional<std::int64_t> exactCombinationCount(const std::vector<DesignParameter>& parameters) {
    std::int64_t product = 1;
    for (const DesignParameter& p : parameters) {
        const std::int64_t count = valueCount(p);
        // valueCount clamps at its own limit: a count that reaches it is beyond any run.
        if (count >= maxValueCount || __builtin_mul_overflow(product, count, &product))
            return std::nullopt;
    }
    return product;
}

StudyRefusal checkStudy(const Optimizer& optimizer, const AnalysisModel& model) {
    StudyRefusal refusal;
    bool rangesSound = true;
    for (const DesignParameter& p : optimizer.parameters) {
        const std::string problem = parameterRangeProblem(p.minValue, p.maxValue, p.increment);
        if (!problem.empty()) {
            refusal.settings += elementLabel("ﾊﾟﾗﾒｰﾀ", p.name, p.id) + ": " + problem + "\n";
            rangesSound = false;
        }
    }
    if (rangesSound && !exactCombinationCount(optimizer.parameters))
        refusal.settings += "組合せ数が多すぎます(64ビット整数の範囲を超えます)\n";
    for (const ParameterBinding& b : optimizer.bindings)
        if (optimizer.findParameter(b.parameterId) && !std::isfinite(b.multiplier))
            refusal.settings += "ﾊﾞｲﾝﾄﾞ " + logObjectName(model, b.objectId) + " の " +
                                bindingVariableName(model, b) + ": 係数が数値ではありません\n";
    refusal.settings += objectivesProblem(optimizer.objectives, model);
    if (optimizer.conditions.loadCasesPass) {
        if (model.loadCases.empty())
            refusal.settings += "荷重ケースの条件が有効ですが、モデルに荷重ケースがありません\n";
        // A case that names a deleted load fails in every variant alike.
        for (const LoadCase& c : model.loadCases)
            for (const LoadTerm& t : c.terms)
                if (std::none_of(model.staticLoads.begin(), model.staticLoads.end(),
                                 [&](const StaticLoad& l) { return l.id == t.load; })) {
                    refusal.settings += "荷重ケース " + c.name + ": 静荷重 id " +
                                        std::to_string(t.load) + " がありません\n";
                    break;
                }
    }

    const ModelValidation v = checkModel(model);
    ModelValidation fixed = v;
    fixed.problems.clear();
    for (const ModelProblem& p : v.problems) {
        const bool bound =
            p.target != 0 && std::any_of(optimizer.bindings.begin(), optimizer.bindings.end(),
                                         [&](const ParameterBinding& b) {
                                             return b.objectId == p.objectId &&
                                                    b.target == p.target &&
                                                    optimizer.findParameter(b.parameterId);
                                         });
        if (!bound)
            fixed.problems.push_back(p);
    }
    refusal.model = describeValidation(fixed);
    return refusal;
}

} // namespace quav
