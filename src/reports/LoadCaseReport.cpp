#include "reports/LoadCaseReport.h"

#include "model/TextFormat.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace quav {

namespace {

const char* const kDirections[3] = {"x", "y", "z"};

void appendValue(std::string& out, double value) {
    if (std::isfinite(value))
        appendFormat(out, "%g\t", value);
    else
        out += "-\t";
}

void appendMargins(std::string& out, const std::array<std::optional<double>, 3>& margins) {
    for (const auto& m : margins) {
        if (m)
            appendValue(out, *m);
        else
            out += "-\t";
    }
}

void endLine(std::string& out) {
    if (!out.empty() && out.back() == '\t')
        out.pop_back();
    out += "\r\n";
}

void appendWorst(std::string& out, const AnalysisModel& model, const LoadCaseResult& r) {
    if (r.converged && r.worst.spring >= 0) {
        appendFormat(out, "%lf\t", r.worst.ratio * 100.0);
        out += worstMarginPlace(model, r);
    } else {
        out += "-\t";
    }
    endLine(out);
}

} // namespace

const char* caseVerdict(const LoadCaseResult& result) {
    return !result.converged ? "未収束" : result.pass ? "合格" : "不合格";
}

std::string worstMarginPlace(const AnalysisModel& model, const LoadCaseResult& result) {
    const WorstMargin& w = result.worst;
    if (w.spring < 0 || w.spring >= static_cast<int>(model.springs.size()))
        return {};
    return model.springs[static_cast<std::size_t>(w.spring)].name +
           (w.travel ? " ｽﾄﾛｰｸ " : " 荷重 ") + kDirections[w.direction];
}

std::vector<std::size_t> worstFirst(const std::vector<LoadCaseResult>& results) {
    std::vector<std::size_t> order(results.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    auto key = [&](std::size_t i) {
        const LoadCaseResult& r = results[i];
        const double ratio =
            r.worst.spring >= 0 ? r.worst.ratio : std::numeric_limits<double>::infinity();
        return std::pair<int, double>(r.converged ? 1 : 0, ratio);
    };
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return key(a) < key(b); });
    return order;
}

std::string loadCaseReport(const AnalysisModel& model, const std::vector<LoadCaseResult>& results) {
    std::string out = "//////荷重ケース//////\r\n\r\n";
    out += "※注記\r\n"
           "変位は重心の並進 x,y,z [m] と回転 Rx,Ry,Rz [rad](微小回転)\r\n"
           "ばねの変位と力はばね要素のローカル座標 x,y,z [m][N]、ｸﾞﾛｰﾊﾞﾙは全体座標の力 [N]\r\n"
           "ｽﾄﾛｰｸ余裕は変位の向きにある非線形特性の端までの距離 [m]、"
           "荷重余裕は定格荷重 - |力| [N]、負は超過\r\n"
           "最小余裕率は余裕をその限界(端までの変位、定格荷重)で割った値の最小 [%]\r\n\r\n";
    out += "ケース\t判定\t反復回数\t最小余裕率[%]\t場所\r\n";
    for (const LoadCaseResult& r : results) {
        appendFormat(out, "%s\t%s\t%d\t", r.name.c_str(), caseVerdict(r), r.iterations);
        appendWorst(out, model, r);
    }
    out += "\r\n";
    for (const LoadCaseResult& r : results) {
        appendFormat(out, "荷重ケース\t%s\r\n判定\t%s\r\n", r.name.c_str(), caseVerdict(r));
        if (!r.converged) {
            appendFormat(out, "理由\t%s\r\n\r\n", r.reason.c_str());
            continue;
        }
        appendFormat(out, "反復回数\t%d\r\n", r.iterations);
        out += "荷重\tFx\tFy\tFz\tMx\tMy\tMz\r\n\t";
        for (double f : r.load)
            appendValue(out, f);
        endLine(out);
        out += "変位\tx\ty\tz\tRx\tRy\tRz\r\n\t";
        for (double x : r.displacement)
            appendValue(out, x);
        endLine(out);
        out += "ばね\tID\t変位x\t変位y\t変位z\tﾛｰｶﾙx\tﾛｰｶﾙy\tﾛｰｶﾙz\tｸﾞﾛｰﾊﾞﾙx\tｸﾞﾛｰﾊﾞﾙy\t"
               "ｸﾞﾛｰﾊﾞﾙz\tｽﾄﾛｰｸ余裕x\tｽﾄﾛｰｸ余裕y\tｽﾄﾛｰｸ余裕z\t荷重余裕x\t荷重余裕y\t荷重余裕z\t判定"
               "\r\n";
        for (std::size_t s = 0; s < r.springs.size() && s < model.springs.size(); ++s) {
            const CaseSpring& c = r.springs[s];
            appendFormat(out, "%s\t%d\t", model.springs[s].name.c_str(), c.id);
            for (const auto* v : {&c.deflection, &c.local, &c.global})
                for (double x : *v)
                    appendValue(out, x);
            appendMargins(out, c.travelMargin);
            appendMargins(out, c.loadMargin);
            out += c.pass ? "合格" : "不合格";
            endLine(out);
        }
        if (!r.modes.empty()) {
            out += "動作点のモード\r\nNo\t[Hz]\tx\ty\tz\tRx\tRy\tRz\r\n";
            for (const CaseMode& m : r.modes) {
                appendFormat(out, "%d\t", m.mode);
                appendValue(out, m.frequency);
                for (double x : m.shape)
                    appendValue(out, x);
                endLine(out);
            }
        }
        out += "\r\n";
    }
    return out;
}

} // namespace quav
