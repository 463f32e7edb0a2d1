#include "analysis/ModelCheck.h"

#include "model/TextFormat.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace quav {

namespace {

const char* const kAxes[3] = {"xx", "yy", "zz"};
const char* const kDirections[3] = {"x", "y", "z"};
const char* const kCoordinates[3] = {"x", "y", "z"};

bool allFinite(const Matrix& m, int first = 0) {
    for (int i = first; i < m.size(); ++i)
        if (!std::isfinite(m[i]))
            return false;
    return true;
}

void add(std::vector<ModelProblem>& problems, int objectId, int target, std::string text) {
    problems.push_back({objectId, target, std::move(text)});
}

/// A position whose coordinates are not all finite, naming each coordinate with
/// its binding target 1-3 when `bindable`.
void checkPosition(std::vector<ModelProblem>& problems, const char* kind, const std::string& name,
                   int id, const char* field, const Matrix& position, bool bindable) {
    for (int i = 0; i < 3; ++i)
        if (!std::isfinite(position[i]))
            add(problems, id, bindable ? i + 1 : 0,
                elementLabel(kind, name, id) + ": " + field + " " + kCoordinates[i] +
                    " が数値ではありません");
}

void checkLoad(std::vector<ModelProblem>& problems, const char* kind, const StaticLoad& load) {
    auto problem = [&](const char* text) {
        add(problems, load.id, 0, elementLabel(kind, load.name, load.id) + text);
    };
    if (!std::isfinite(load.value))
        problem(": 値が数値ではありません");
    checkPosition(problems, kind, load.name, load.id, "位置", load.position, false);
    if (!allFinite(load.direction))
        problem(": 方向ﾍﾞｸﾄﾙが数値ではありません");
}

} // namespace

std::string elementLabel(const char* kind, const std::string& name, int id) {
    return std::string(kind) + " " + name + "(id " + std::to_string(id) + ")";
}

bool inertiaPositiveDefinite(const Matrix& inertia) {
    const Matrix& i = inertia;
    for (int r = 0; r < 3; ++r)
        for (int c = r; c < 3; ++c)
            if (!std::isfinite(i(r, c)))
                return false;
    const long double largest = std::max({i(0, 0), i(1, 1), i(2, 2)});
    const long double floor = 1e-12L * largest;
    // L D L^T of the upper triangle: d1, d2, d3 are the pivots.
    const long double d1 = i(0, 0);
    if (!(d1 > floor))
        return false;
    const long double l10 = i(0, 1) / d1, l20 = i(0, 2) / d1;
    const long double d2 = i(1, 1) - l10 * i(0, 1);
    if (!(d2 > floor))
        return false;
    const long double l21 = (i(1, 2) - l20 * i(0, 1)) / d2;
    const long double d3 = i(2, 2) - l20 * i(0, 2) - l21 * l21 * d2;
    return d3 > floor;
}

void checkCharacteristic(const SpringCharacteristic& c, std::vector<ModelProblem>& problems) {
    const std::string label = elementLabel("ばね特性", c.name, c.id);
    for (int d = 0; d < 3; ++d) {
        const double k = c.stiffness[d];
        if (!std::isfinite(k))
            add(problems, c.id, d + 1,
                label + ": ばね定数 " + kAxes[d] + " [N/m] が数値ではありません");
        else if (k < 0.0)
            add(problems, c.id, d + 1,
                label + format(": ばね定数 %s [N/m] が負です(%g)", kAxes[d], k));
    }
    for (int d = 0; d < 3; ++d) {
        const double v = c.damping[d];
        if (!std::isfinite(v))
            add(problems, c.id, 0,
                label + ": 減衰係数 " + kAxes[d] + " [N s/m] が数値ではありません");
        else if (v < 0.0)
            add(problems, c.id, 0,
                label + format(": 減衰係数 %s [N s/m] が負です(%g)", kAxes[d], v));
    }
    if (!(c.dynamicFactor > 0.0 && std::isfinite(c.dynamicFactor)))
        add(problems, c.id, 0, label + format(": 動的係数が正ではありません(%g)", c.dynamicFactor));
    if (const auto problem = checkFrequencyTable(c.frequencyTable))
        add(problems, c.id, 0,
            label + ": 周波数特性 " + tableCellText(*problem) + ": " +
                tableRuleText(problem->kind));
    for (int d = 0; d < 3; ++d)
        if (const auto problem = checkForceCurve(c.curves[static_cast<std::size_t>(d)]))
            add(problems, c.id, 0,
                label + ": 非線形特性 " + kDirections[d] + ": " + forceCurveProblemText(*problem));
    if (c.ratedLoad)
        for (int d = 0; d < 3; ++d) {
            const double r = (*c.ratedLoad)[static_cast<std::size_t>(d)];
            if (!(r > 0.0 && std::isfinite(r)))
                add(problems, c.id, 0,
                    label + format(": 定格荷重 %s [N] が正ではありません(%g)", kDirections[d], r));
        }
}

ModelValidation checkModel(const AnalysisModel& model) {
    ModelValidation v;
    v.zeroMass = model.mass == 0.0;
    v.zeroMoment =
        model.inertia(0, 0) == 0.0 || model.inertia(1, 1) == 0.0 || model.inertia(2, 2) == 0.0;
    v.noSprings = model.springs.empty();

    std::vector<ModelProblem>& p = v.problems;
    const int body = model.massElementId;
    if (!v.zeroMass && !(model.mass > 0.0 && std::isfinite(model.mass)))
        add(p, body, 0, format("質量が正ではありません(%g)", model.mass));
    if (!v.zeroMoment && !inertiaPositiveDefinite(model.inertia))
        add(p, body, 0,
            "慣性テンソルが正定値ではありません(Ixx, Iyy, Izz は正、"
            "Ixy² < Ixx Iyy などが必要です)");
    if (!allFinite(model.centreOfGravity))
        add(p, body, 0, "重心座標が数値ではありません");
    if (!allFinite(model.size))
        add(p, body, 0, "質量要素のサイズが数値ではありません");

    std::vector<int> used;
    for (const SpringElement& s : model.springs) {
        checkPosition(p, "ばね要素", s.name, s.id, "座標", s.position, true);
        // Element 0 of the angles is written by a binding only and read by no analysis.
        auto problem = [&](int target, const char* text) {
            add(p, s.id, target, elementLabel("ばね要素", s.name, s.id) + text);
        };
        if (!std::isfinite(s.angles[1]))
            problem(5, ": Y角度が数値ではありません");
        if (!std::isfinite(s.angles[2]))
            problem(6, ": Z角度が数値ではありません");
        if (!std::isfinite(s.size))
            problem(0, ": サイズが数値ではありません");
        used.push_back(s.characteristicId);
    }
    // Only characteristics that springs use enter an analysis (the first of each id).
    std::sort(used.begin(), used.end());
    std::unordered_set<int> seen;
    for (const SpringCharacteristic& c : model.springCharacteristics)
        if (seen.insert(c.id).second && std::binary_search(used.begin(), used.end(), c.id))
            checkCharacteristic(c, p);
    for (const StaticLoad& l : model.staticLoads)
        checkLoad(p, "静荷重", l);
    for (const DynamicLoad& l : model.dynamicLoads) {
        checkLoad(p, "動荷重", l);
        if (!std::isfinite(l.frequency))
            add(p, l.id, 0, elementLabel("動荷重", l.name, l.id) + ": 周波数が数値ではありません");
    }
    for (const ObservationPoint& o : model.observationPoints)
        checkPosition(p, "観測点", o.name, o.id, "座標", o.position, false);
    return v;
}

std::string describeValidation(const ModelValidation& v) {
    std::string text;
    if (v.zeroMass)
        text += "質量が0です\n";
    if (v.zeroMoment)
        text += "慣性モーメント(Ixx, Iyy, Izz)に0があります\n";
    if (v.noSprings)
        text += "ばね要素がありません\n";
    for (const ModelProblem& p : v.problems)
        text += p.text + "\n";
    return text;
}

std::string ignoredLoadsNote(const AnalysisModel& model) {
    std::string text;
    auto note = [&text](const char* kind, const StaticLoad& l) {
        if (l.type != Translational && l.type != Moment)
            text +=
                elementLabel(kind, l.name, l.id) +
                format(": 荷重の種類(%d)が並進荷重でもﾓｰﾒﾝﾄ荷重でもないため無視しました\n", l.type);
    };
    for (const StaticLoad& l : model.staticLoads)
        note("静荷重", l);
    for (const DynamicLoad& l : model.dynamicLoads)
        note("動荷重", l);
    return text;
}

} // namespace quav
