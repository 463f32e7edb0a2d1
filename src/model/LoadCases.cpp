#include "model/LoadCases.h"

#include "model/TextEncoding.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace quav {

std::optional<ForceCurveProblem> checkForceCurve(const ForceCurve& curve) {
    using P = ForceCurveProblem;
    if (curve.empty())
        return std::nullopt;
    if (curve.size() < static_cast<std::size_t>(kMinForcePoints))
        return P{P::TooFewPoints, -1, -1};
    if (curve.size() > static_cast<std::size_t>(kMaxForcePoints))
        return P{P::TooManyPoints, -1, -1};
    bool origin = false;
    for (std::size_t i = 0; i < curve.size(); ++i) {
        const ForcePoint& p = curve[i];
        const int at = static_cast<int>(i);
        if (!std::isfinite(p.deflection))
            return P{P::NotFinite, at, 0};
        if (!std::isfinite(p.force))
            return P{P::NotFinite, at, 1};
        if (i > 0 && !(p.deflection > curve[i - 1].deflection))
            return P{P::DeflectionNotIncreasing, at, 0};
        if (i > 0 && !(p.force > curve[i - 1].force))
            return P{P::ForceNotIncreasing, at, 1};
        origin = origin || (p.deflection == 0.0 && p.force == 0.0);
    }
    if (!origin)
        return P{P::NoOrigin, -1, -1};
    return std::nullopt;
}

std::string forceCurveProblemText(const ForceCurveProblem& problem) {
    const std::string at =
        problem.point >= 0 ? "点 " + std::to_string(problem.point + 1) + ": " : std::string();
    const char* column = problem.column == 0 ? "変位" : "力";
    switch (problem.kind) {
    case ForceCurveProblem::TooFewPoints:
        return "点が " + std::to_string(kMinForcePoints) + " 点以上必要です";
    case ForceCurveProblem::TooManyPoints:
        return "点は " + std::to_string(kMaxForcePoints) + " 点までです";
    case ForceCurveProblem::NotFinite:
        return at + column + "が数値ではありません";
    case ForceCurveProblem::DeflectionNotIncreasing:
        return at + "変位が前の点より大きくありません";
    case ForceCurveProblem::ForceNotIncreasing:
        return at + "力が前の点より大きくありません";
    case ForceCurveProblem::NoOrigin:
        return "点 (0, 0) がありません";
    }
    return {};
}

CurveValue curveValueAt(const ForceCurve& curve, double deflection) {
    // The segment holding the deflection: the first whose right end lies beyond
    // it, the end segments continuing outwards.
    const auto last = curve.end() - 1;
    auto right = std::upper_bound(curve.begin() + 1, last, deflection,
                                  [](double d, const ForcePoint& p) { return d < p.deflection; });
    const ForcePoint& a = *(right - 1);
    const ForcePoint& b = *right;
    const double rate = (b.force - a.force) / (b.deflection - a.deflection);
    return {a.force + rate * (deflection - a.deflection), rate};
}

double travelMargin(const ForceCurve& curve, double deflection) {
    return deflection >= 0.0 ? curve.back().deflection - deflection
                             : deflection - curve.front().deflection;
}

std::optional<LoadCaseProblem> checkLoadCases(const std::vector<LoadCase>& cases) {
    if (cases.size() > static_cast<std::size_t>(kMaxLoadCases))
        return LoadCaseProblem{-1, -1,
                               "荷重ケースは " + std::to_string(kMaxLoadCases) + " 個までです"};
    std::set<std::string> names;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const LoadCase& c = cases[i];
        const int at = static_cast<int>(i);
        const std::string label = "荷重ケース " + std::to_string(i + 1) + " (" + c.name + ")";
        const auto stored = utf8ToCp932(c.name);
        if (!stored)
            return LoadCaseProblem{at, -1, label + ": 名前に保存できない文字があります"};
        if (stored->empty() || stored->size() > static_cast<std::size_t>(kMaxCaseNameBytes))
            return LoadCaseProblem{
                at, -1, label + ": 名前は 1～" + std::to_string(kMaxCaseNameBytes) + " バイトです"};
        if (!names.insert(c.name).second)
            return LoadCaseProblem{at, -1, label + ": 名前が重複しています"};
        if (c.terms.size() > static_cast<std::size_t>(kMaxCaseTerms))
            return LoadCaseProblem{
                at, -1, label + ": 静荷重は " + std::to_string(kMaxCaseTerms) + " 個までです"};
        for (std::size_t t = 0; t < c.terms.size(); ++t)
            if (!std::isfinite(c.terms[t].factor))
                return LoadCaseProblem{at, static_cast<int>(t),
                                       label + ": 係数 " + std::to_string(t + 1) +
                                           " が数値ではありません"};
        if (!std::all_of(c.gLoad.begin(), c.gLoad.end(), [](double g) { return std::isfinite(g); }))
            return LoadCaseProblem{at, -1, label + ": 加速度 [G] が数値ではありません"};
    }
    return std::nullopt;
}

} // namespace quav
