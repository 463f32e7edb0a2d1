#include "analysis/ElasticAxes.h"
#include "model/TextEncoding.h"
#include "model/TextFormat.h"
#include "reports/Reports.h"

namespace quav {

std::string elasticCentreReport(const AnalysisModel& model) {
    const Matrix e = elasticAxes(model);
    std::string out = "弾性中心\r\n\tx方向\ty方向\tz方向\r\n";
    const char* labels[3] = {"x座標", "y座標", "z座標"};
    for (int i = 0; i < 3; ++i) {
        out += labels[i];
        out += "\t";
        appendFormat(out, "%lf\t%lf\t%lf\r\n", e(i, 0), e(i, 1), e(i, 2));
    }
    out += "\r\n\r\n";
    out +=
        "実際には弾性主軸を計算しています。\r\n"
        "弾性主軸はxyzの各方向に対して、２つの座標値が計算されます（例えばx方向なら、ｙとｚ値）。"
        "\r\n"
        "したがって、x方向のx値、y方向のｙ値、z方向のz値は計算されないのですが、表示上は0で表示し"
        "ています。\r\n"
        "これらの軸が一点で交わればそれが弾性中心になります。";
    return out;
}

std::string reportToCp932(const std::string& report) {
    return utf8ToCp932Lossy(report);
}

} // namespace quav
