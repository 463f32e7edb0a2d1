#include "analysis/ElasticAxes.h"
#include "model/TextEncoding.h"
#include "model/TextFormat.h"
#include "reports/Reports.h"

namespace quav {

std::string elasticCentreReport(const AnalysisModel& model) {
    const Matrix e = elasticAxes(model);
    const std::array<bool, 3> defined = elasticAxesDefined(model, e);
    std::string out = "弾性中心\r\n\tx方向\ty方向\tz方向\r\n";
    const char* labels[3] = {"x座標", "y座標", "z座標"};
    for (int i = 0; i < 3; ++i) {
        out += labels[i];
        for (int j = 0; j < 3; ++j) {
            // A direction without stiffness has no axis: its cells are no coordinates.
            if (defined[static_cast<std::size_t>(j)])
                appendFormat(out, "\t%lf", e(i, j));
            else
                out += "\t未定義";
        }
        out += "\r\n";
    }
    out += "\r\n\r\n";
    out +=
        "実際には弾性主軸を計算しています。\r\n"
        "弾性主軸はxyzの各方向に対して、２つの座標値が計算されます（例えばx方向なら、ｙとｚ値）。"
        "\r\n"
        "したがって、x方向のx値、y方向のｙ値、z方向のz値は計算されないのですが、表示上は0で表示し"
        "ています。\r\n"
        "これらの軸が一点で交わればそれが弾性中心になります。";
    if (!defined[0] || !defined[1] || !defined[2])
        out += "\r\n未定義: その方向のばね定数の和が0のため、弾性主軸がありません。";
    return out;
}

std::string reportToCp932(const std::string& report) {
    return utf8ToCp932Lossy(report);
}

} // namespace quav
