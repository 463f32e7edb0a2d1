#include "document/InputRules.h"

#include "analysis/CalculationDriver.h"
#include "analysis/ModelCheck.h"
#include "analysis/Robustness.h"
#include "math/Matrix.h"
#include "model/TextFormat.h"

#include <cmath>

namespace quav {

namespace {

const char* const kPositive = "0 より大きい値を入力して下さい";
const char* const kNotNegative = "0 以上の値を入力して下さい";
const char* const kNotZero = "0 以外の値を入力して下さい";

FieldProblem problem(int field, const std::string& label, const char* rule) {
    return {field, label + ": " + rule};
}

bool wholeNumberIn(double x, double low, double high) {
    return x >= low && x <= high && std::floor(x) == x;
}

} // namespace

std::optional<FieldProblem> inputProblem(const MassElementValues& v) {
    if (!(v.mass > 0.0))
        return problem(1000, "質量[kg]", kPositive);
    const struct {
        int id;
        const char* label;
        double value;
    } moments[] = {{1001, "Ixx", v.ixx}, {1002, "Iyy", v.iyy}, {1003, "Izz", v.izz}};
    for (const auto& m : moments)
        if (!(m.value > 0.0))
            return problem(m.id, m.label, kPositive);
    Matrix inertia(3, 3);
    inertia(0, 0) = v.ixx;
    inertia(1, 1) = v.iyy;
    inertia(2, 2) = v.izz;
    inertia(0, 1) = v.ixy;
    inertia(1, 2) = v.iyz;
    inertia(0, 2) = v.izx;
    if (!inertiaPositiveDefinite(inertia))
        return FieldProblem{1004, "慣性[kg・m^2]: 慣性テンソルが正定値になるよう入力して下さい"
                                  "(Ixy² < Ixx・Iyy、Iyz² < Iyy・Izz、Izx² < Izz・Ixx などが"
                                  "必要です)"};
    for (int i = 0; i < 3; ++i)
        if (v.size[i] == 0.0)
            return problem(1010 + i, "サイズ[m]", kNotZero);
    return std::nullopt;
}

std::optional<FieldProblem> inputProblem(const SpringValues& v) {
    if (v.name.empty())
        return FieldProblem{1019, "名前を入力して下さい"};
    if (v.size == 0.0f)
        return problem(1018, "サイズ[m]", kNotZero);
    return std::nullopt;
}

std::optional<FieldProblem> inputProblem(const CharacteristicValues& v, bool nameRequired) {
    if (nameRequired && v.name.empty())
        return FieldProblem{1019, "名前を入力して下さい"};
    const char* const rows[3] = {"xx", "yy", "zz"};
    for (int i = 0; i < 3; ++i)
        if (!(v.stiffness[i] >= 0.0))
            return problem(1013 + i, std::string("ばね定数[N/m] ") + rows[i], kNotNegative);
    for (int i = 0; i < 3; ++i)
        if (!(v.damping[i] >= 0.0))
            return problem(1115 + i, std::string("減衰係数[N s/m] ") + rows[i], kNotNegative);
    if (!(v.dynamicFactor > 0.0))
        return problem(1017, "動的係数", kPositive);
    if (const auto table = checkFrequencyTable(v.frequencyTable))
        return FieldProblem{kFrequencyTableButton, "周波数特性 " + tableCellText(*table) + ": " +
                                                       tableRuleText(table->kind)};
    return curvesProblem(v.curves, v.ratedLoad);
}

std::optional<FieldProblem> curvesProblem(const std::array<ForceCurve, 3>& curves,
                                          const std::optional<Vec3>& ratedLoad) {
    const char* const axes[3] = {"x", "y", "z"};
    for (int d = 0; d < 3; ++d)
        if (const auto p = checkForceCurve(curves[static_cast<std::size_t>(d)]))
            return FieldProblem{kCurvesButton, std::string("非線形特性 ") + axes[d] + " 方向 " +
                                                   forceCurveProblemText(*p)};
    if (ratedLoad)
        for (int d = 0; d < 3; ++d)
            if (!((*ratedLoad)[static_cast<std::size_t>(d)] > 0.0))
                return problem(kCurvesButton, std::string("定格荷重[N] ") + axes[d] + " 方向",
                               kPositive);
    return std::nullopt;
}

std::optional<FieldProblem> inputProblem(const LoadCaseValues& v, const LoadCaseContext& context) {
    std::vector<LoadCase> cases = context.cases;
    LoadCase edited{v.name, {}, v.gLoad};
    // A term per row, so that a term's place is the row of its factor.
    for (std::size_t i = 0; i < v.factors.size(); ++i)
        edited.terms.push_back({static_cast<int>(i), v.factors[i]});
    const bool isNew = context.index < 0 || context.index >= static_cast<int>(cases.size());
    const int at = isNew ? static_cast<int>(cases.size()) : context.index;
    if (isNew)
        cases.push_back(std::move(edited));
    else
        cases[static_cast<std::size_t>(at)] = std::move(edited);
    const std::optional<LoadCaseProblem> p = checkLoadCases(cases);
    if (!p)
        return std::nullopt;
    if (p->caseIndex == at && p->termIndex >= 0)
        return FieldProblem{kCaseFactorTable, p->text};
    for (int i = 0; i < 3; ++i)
        if (p->caseIndex == at && !std::isfinite(v.gLoad[static_cast<std::size_t>(i)]))
            return FieldProblem{kCaseGLoadField + i, p->text};
    return FieldProblem{kCaseNameField, p->text};
}

std::optional<FieldProblem> inputProblem(const LoadValues& v, bool dynamic) {
    if (v.name.empty())
        return FieldProblem{1019, "荷重名を入力して下さい"};
    if (v.direction[0] == 0.0 && v.direction[1] == 0.0 && v.direction[2] == 0.0)
        return FieldProblem{1029, "方向ﾍﾞｸﾄﾙ: 0 でない成分を入力して下さい"};
    if (v.value == 0.0)
        return problem(1032, "値", kNotZero);
    if (v.type != Translational && v.type != Moment)
        return FieldProblem{1033, "荷重の種類を選択して下さい(並進荷重 または ﾓｰﾒﾝﾄ荷重)"};
    if (dynamic && !(v.frequency > 0.0))
        return problem(1065, "周波数[Hz]", kPositive);
    return std::nullopt;
}

std::optional<FieldProblem> inputProblem(const CalculationRequest& r) {
    if (!r.frequencyStep || (r.start == 0.0 && r.end == 0.0))
        return std::nullopt;
    if (!(r.start >= 0.0))
        return problem(1079, "周波数設定(開始)[Hz]", kNotNegative);
    if (!(r.end > r.start))
        return FieldProblem{1080, "周波数設定(終了)[Hz]: 開始より大きい値を入力して下さい"};
    if (!(r.step > 0.0))
        return problem(1081, "ｽﾃｯﾌﾟ幅[Hz]", kPositive);
    const double steps = std::trunc((r.end - r.start) / r.step) + 1.0;
    if (!(steps <= kMaxSweepSteps))
        return FieldProblem{1081, format("ｽﾃｯﾌﾟ幅[Hz]: ステップ数が %.0f になります。上限 %d "
                                         "以下になる値を入力して下さい",
                                         steps, kMaxSweepSteps)};
    return std::nullopt;
}

std::optional<FieldProblem> inputProblem(const RobustnessValues& v) {
    if (!(v.tolerancePct >= 0.0 && v.tolerancePct < 100.0))
        return FieldProblem{1201, "ばね定数の許容差[±%]: 0 以上 100 未満の値を入力して下さい"};
    if (!(v.positionTolerance >= 0.0))
        return problem(1203, "位置の許容差[±m]", kNotNegative);
    if (!wholeNumberIn(v.samples, 1.0, static_cast<double>(kMaxRobustnessSamples)))
        return FieldProblem{1204, format("ｻﾝﾌﾟﾙ数: 1 から %lld までの整数を入力して下さい",
                                         static_cast<long long>(kMaxRobustnessSamples))};
    // Seeds are whole numbers a double holds exactly.
    if (!wholeNumberIn(v.seed, 0.0, 9007199254740992.0))
        return FieldProblem{1205, "乱数の種: 0 から 9007199254740992 までの整数を入力して下さい"};
    return std::nullopt;
}

std::string inputErrorText(const FieldProblem& p) {
    return "入力エラー\n\n" + p.message;
}

} // namespace quav
