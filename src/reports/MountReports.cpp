#include "reports/MountReports.h"

#include "analysis/Constants.h"
#include "model/TextFormat.h"
#include "reports/ReportPieces.h"

#include <cmath>

namespace quav {

namespace {

/// `value` as %lf followed by a tab; "-" for a value that is not a number.
void appendValue(std::string& out, double value) {
    if (std::isfinite(value))
        appendFormat(out, "%lf\t", value);
    else
        out += "-\t";
}

/// Ends a line: the trailing tab of the last value goes.
void endLine(std::string& out) {
    if (!out.empty() && out.back() == '\t')
        out.pop_back();
    out += "\r\n";
}

void appendRow(std::string& out, const char* label, const std::array<double, 3>& v,
               const char* unit = nullptr) {
    out += label;
    out += '\t';
    for (double x : v)
        appendValue(out, x);
    if (unit)
        out += unit;
    endLine(out);
}

template <class Element> std::string nameOf(const std::vector<Element>& list, int number) {
    return number >= 1 && number <= static_cast<int>(list.size())
               ? list[static_cast<std::size_t>(number - 1)].name
               : std::string();
}

/// A phase in degrees: pi to double precision, so that a half turn prints as 180.
double degrees(double radians) {
    return radians * (180.0 / kPi);
}

const char* distributionName(ToleranceDistribution d) {
    return d == ToleranceDistribution::Normal ? "正規分布(許容差 = 3σ)" : "一様分布";
}

} // namespace

std::string energyDistributionReport(const EnergyDistribution& distribution) {
    const bool principal = distribution.frame == EnergyFrame::Principal;
    std::string out = "//////運動エネルギー分布//////\r\n\r\n";
    out += principal ? "座標系\t慣性主軸\r\n" : "座標系\t全体座標(重心)\r\n";
    if (principal) {
        out += "\r\n\t\t慣性主軸の方向(全体座標)\r\n\tx\ty\tz\r\n";
        // Each principal axis bears the name of the global axis it lies closest to.
        const char* names[3] = {"主軸x", "主軸y", "主軸z"};
        for (int i = 0; i < 3; ++i)
            appendRow(out, names[i],
                      {distribution.axes(0, i), distribution.axes(1, i), distribution.axes(2, i)});
    }
    out += "\r\n\t\t各自由度の運動エネルギー[%]\r\n";
    out += "No\t[Hz]\tx\ty\tz\tRx\tRy\tRz\t主成分\tデカップリング率[%]\r\n";
    for (const ModeEnergy& mode : distribution.modes) {
        appendFormat(out, "%d\t", mode.mode);
        appendValue(out, mode.frequency);
        for (double e : mode.energy)
            appendValue(out, e);
        out += std::isfinite(mode.decoupling) ? kDofNames[mode.dominant] : "-";
        out += '\t';
        appendValue(out, mode.decoupling);
        endLine(out);
    }
    return out;
}

std::string torqueRollAxisReport(const TorqueRollAxis& axis) {
    std::string out = "//////トルクロール軸//////\r\n\r\n";
    out += "\tx\ty\tz\r\n";
    // Labels fit one tab stop of the text window, so the columns stay in line.
    appendRow(out, "ﾄﾙｸ方向", axis.axis);
    appendRow(out, "ﾄﾙｸﾛｰﾙ軸", axis.tra);
    out += "なす角\t";
    appendValue(out, axis.traToAxisDeg);
    out += "[deg]\r\n\r\n";
    out += "No\t[Hz]\tなす角[deg]\tﾛｰﾙ[%]\r\n";
    for (const ModeRoll& mode : axis.modes) {
        appendFormat(out, "%d\t", mode.mode);
        appendValue(out, mode.frequency);
        if (mode.angleDeg)
            appendValue(out, *mode.angleDeg);
        else
            out += "-\t";
        appendValue(out, mode.rollEnergy);
        endLine(out);
    }
    out += "\r\n※なす角: モードの回転軸とﾄﾙｸﾛｰﾙ軸のなす角(回転を含まないモードは - で表記)\r\n"
           "※ﾛｰﾙ: モードの運動エネルギーのうちﾄﾙｸﾛｰﾙ軸まわりの回転の割合\r\n";
    return out;
}

bool writeMountForcesReport(const AnalysisModel& model, const MountForceLoads& loads,
                            const TextSink& sink) {
    ReportPieces pieces(sink);
    std::string& out = pieces.out;
    out = "//////マウント力//////\r\n\r\n";
    out += "※注記\r\n力はx,y,zの順に表記 [N]\r\n"
           "ﾛｰｶﾙはばね要素のローカル座標、ｸﾞﾛｰﾊﾞﾙは全体座標における力\r\n"
           "動荷重の力は振幅と荷重に対する位相[deg]で表記\r\n"
           "合力 = √(|Fx|^2 + |Fy|^2 + |Fz|^2): 各成分の振幅の二乗和の平方根。"
           "成分の位相がそろうとき力の大きさの最大値、そろわないときはそれより大きい"
           "(力の大きさの実効値の√2倍)\r\n\r\n";
    out += "//////静荷重//////\r\n\r\n";
    for (int l = 0; l < loads.staticCount(); ++l) {
        const StaticLoadForces load = loads.staticLoad(l);
        appendFormat(out, "荷重名\t%s\r\n", nameOf(model.staticLoads, load.load).c_str());
        out += "ばね\tID\tﾛｰｶﾙx\tﾛｰｶﾙy\tﾛｰｶﾙz\tｸﾞﾛｰﾊﾞﾙx\tｸﾞﾛｰﾊﾞﾙy\tｸﾞﾛｰﾊﾞﾙz\r\n";
        long double sum[3] = {};
        for (std::size_t s = 0; s < load.springs.size(); ++s) {
            const StaticSpringForce& f = load.springs[s];
            appendFormat(out, "%s\t%d\t", model.springs[s].name.c_str(), f.id);
            for (double x : f.local)
                appendValue(out, x);
            for (int g = 0; g < 3; ++g) {
                appendValue(out, f.global[g]);
                sum[g] += f.global[g];
            }
            endLine(out);
            if (!pieces.lineEnd())
                return false;
        }
        out += "合計\t\t\t\t\t";
        for (long double x : sum)
            appendValue(out, static_cast<double>(x));
        endLine(out);
        out += "\r\n";
    }
    out += "//////動荷重//////\r\n\r\n";
    for (int l = 0; l < loads.dynamicCount(); ++l) {
        const DynamicLoadForces load = loads.dynamicLoad(l);
        appendFormat(out, "荷重名\t%s\r\n", nameOf(model.dynamicLoads, load.load).c_str());
        appendFormat(out, "周波数\t%g\t[Hz]\r\n", load.frequency);
        out += "ばね\tID\tﾛｰｶﾙ振幅x\tﾛｰｶﾙ振幅y\tﾛｰｶﾙ振幅z\tﾛｰｶﾙ位相x[deg]\tﾛｰｶﾙ位相y[deg]\t"
               "ﾛｰｶﾙ位相z[deg]\tｸﾞﾛｰﾊﾞﾙ振幅x\tｸﾞﾛｰﾊﾞﾙ振幅y\tｸﾞﾛｰﾊﾞﾙ振幅z\tｸﾞﾛｰﾊﾞﾙ位相x[deg]\t"
               "ｸﾞﾛｰﾊﾞﾙ位相y[deg]\tｸﾞﾛｰﾊﾞﾙ位相z[deg]\t合力\r\n";
        for (std::size_t s = 0; s < load.springs.size(); ++s) {
            const DynamicSpringForce& f = load.springs[s];
            appendFormat(out, "%s\t%d\t", model.springs[s].name.c_str(), f.id);
            for (const auto* part : {&f.amplitude, &f.phase, &f.globalAmplitude, &f.globalPhase})
                for (double x : *part)
                    appendValue(out, part == &f.phase || part == &f.globalPhase ? degrees(x) : x);
            appendValue(out, f.total);
            endLine(out);
            if (!pieces.lineEnd())
                return false;
        }
        out += "\r\n";
    }
    return pieces.finish();
}

std::string mountForcesReport(const AnalysisModel& model, const MountForceLoads& loads) {
    return wholeReport(
        [&](const TextSink& sink) { return writeMountForcesReport(model, loads, sink); });
}

std::string robustnessReport(const RobustnessSettings& settings, const RobustnessResult& result) {
    std::string out = "//////ロバスト性//////\r\n\r\n";
    out += "許容差\r\n";
    appendFormat(out, "ばね定数\t±%g\t[%%]\t%s\r\n", settings.tolerancePct,
                 distributionName(settings.distribution));
    appendFormat(out, "位置\t±%g\t[m]\r\n", settings.positionTolerance);
    out += settings.vary == RateVariation::PerSpring
               ? "ばらつき\tばね要素ごと(同じ特性のばねも別々にばらつく)\r\n\r\n"
               : "ばらつき\tばね特性ごと(同じ特性のばねは同じ値)\r\n\r\n";
    appendFormat(out, "ｻﾝﾌﾟﾙ数\t%lld\t(指定 %lld)\r\n", static_cast<long long>(result.samples),
                 static_cast<long long>(result.requested));
    appendFormat(out, "乱数の種\t%llu\r\n", static_cast<unsigned long long>(settings.seed));
    if (!result.completed)
        out += "※中止されました。終了したｻﾝﾌﾟﾙのみの結果です\r\n";
    if (result.unconverged > 0)
        appendFormat(out,
                     "※%lld ｻﾝﾌﾟﾙは固有振動数が周波数特性のもとで収束しなかったため除きました\r\n",
                     static_cast<long long>(result.unconverged));
    const struct {
        const char* title;
        Spread ModeSpread::*field;
    } quantities[] = {{"固有振動数[Hz]", &ModeSpread::frequency},
                      {"デカップリング率[%]", &ModeSpread::decoupling}};
    for (const auto& q : quantities) {
        appendFormat(out, "\r\n\t\t%s\r\n", q.title);
        out += "No\t公称値\t最小\t最大\t平均\t標準偏差\r\n";
        for (const ModeSpread& mode : result.modes) {
            const Spread& s = mode.*q.field;
            appendFormat(out, "%d\t", mode.mode);
            for (double x : {s.nominal, s.min, s.max, s.mean, s.std})
                appendValue(out, x);
            endLine(out);
        }
    }
    if (result.windowShare)
        appendFormat(out, "\r\n範囲内\t%lf\t[%%]\t最適化条件の周波数範囲に入るｻﾝﾌﾟﾙの割合\r\n",
                     *result.windowShare);
    return out;
}

} // namespace quav
