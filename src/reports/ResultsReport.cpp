#include "analysis/ModeMetrics.h"
#include "analysis/PointMotion.h"
#include "model/TextFormat.h"
#include "reports/ReportPieces.h"
#include "reports/Reports.h"

#include <algorithm>

namespace quav {

namespace {

constexpr const char* kNote =
    "※注記\r\n変位はx,y,zの順に表記\r\nばね要素については、ばね要素のローカル座標における変位を"
    "\"ばね変位\"として表記する\r\n\r\n";

void appendTranslation(std::string& out, const Matrix& u) {
    appendFormat(out, "\t変位\t%lf\t%lf\t%lf\t[m]\r\n", u[0], u[1], u[2]);
}

void appendRotation(std::string& out, const Matrix& u) {
    appendFormat(out, "\t回転\t%lf\t%lf\t%lf\t[rad]\r\n", u[3], u[4], u[5]);
}

void appendAbsolute(std::string& out, const Matrix& u) {
    appendFormat(out, "\t絶対変位\t%lf\t\t\t[m]\r\n", absoluteDisplacement(u));
}

void appendMotion(std::string& out, const Matrix& u) {
    appendTranslation(out, u);
    appendRotation(out, u);
    appendAbsolute(out, u);
}

/// Columns 0-5 of row `row` of a result table; zeros when the table has no
/// such row (a load added after the last calculation, or an analysis that was
/// not requested), so the report never reads past the results.
Matrix resultRow(const Matrix& table, std::size_t row) {
    Matrix c(6, 1);
    if (row < static_cast<std::size_t>(table.rows()) && table.cols() >= 6)
        for (int j = 0; j < 6; ++j)
            c[j] = table(static_cast<int>(row), j);
    return c;
}

/// The centre-of-gravity, load-point, spring and observation-point groups of
/// one load case whose centre-of-gravity motion is `c`.
bool appendLoadCase(ReportPieces& pieces, const AnalysisModel& model, const StaticLoad& load,
                    const Matrix& c) {
    std::string& out = pieces.out;
    const Matrix& g = model.centreOfGravity;
    out += "\t位置\t質量要素\r\n";
    appendMotion(out, c);
    out += "\r\n";

    appendFormat(out, "\t位置\t%s\r\n", load.name.c_str());
    appendMotion(out, pointTransfer(c, g, load.position));
    out += "\r\n";

    for (const auto& spring : model.springs) {
        const Matrix u = pointTransfer(c, g, spring.position);
        appendFormat(out, "\t位置\t%s\r\n", spring.name.c_str());
        appendTranslation(out, u);
        appendRotation(out, u);
        const Matrix local = springLocalDisplacement(spring, Matrix::vector({u[0], u[1], u[2]}));
        appendFormat(out, "\tばね変位\t%lf\t%lf\t%lf\t[m]\r\n", local[0], local[1], local[2]);
        appendAbsolute(out, u);
        out += "\r\n";
        if (!pieces.lineEnd())
            return false;
    }

    for (const auto& point : model.observationPoints) {
        appendFormat(out, "\t位置\t%s\r\n", point.name.c_str());
        appendMotion(out, pointTransfer(c, g, point.position));
        out += "\r\n";
        if (!pieces.lineEnd())
            return false;
    }
    out += "\r\n";
    return pieces.lineEnd();
}

} // namespace

std::string resultsReport(const AnalysisModel& model) {
    return wholeReport([&](const TextSink& sink) { return writeResultsReport(model, sink); });
}

bool writeResultsReport(const AnalysisModel& model, const TextSink& sink) {
    ReportPieces pieces(sink);
    std::string& out = pieces.out;
    if (model.calculated == 0) {
        out = "計算が実行されていません";
        return pieces.finish();
    }

    // Modes found with frequency tables, each at its own frequency, say so and how
    // many eigen solutions it took.
    const bool ownFrequencies = std::any_of(model.modeIterations.begin(),
                                            model.modeIterations.end(), [](int n) { return n; });
    out += "//////固有値解析結果//////\r\n\r\n";
    out += "\t\t各自由度の寄与率[%]\r\n";
    out += "No\t[Hz]\tx\ty\tz\tRx\tRy\tRz\r\n";
    if (ownFrequencies)
        out.insert(out.size() - 2, "\t周波数特性\t反復回数");
    for (int k = 1; k <= 6; ++k) {
        appendFormat(out, "%d\t%f\t", k, model.eigenFrequencies[6 - k]);
        for (int dof = 0; dof < 6; ++dof)
            appendFormat(out, "%f\t", contributionRatio(model.modeShapes, k, dof));
        if (ownFrequencies)
            appendFormat(out, "自身の周波数で決定\t%d\t",
                         model.modeIterations[static_cast<std::size_t>(k - 1)]);
        out += "\r\n";
    }
    if (ownFrequencies)
        out += "※周波数特性のあるばね特性は、各ﾓｰﾄﾞの固有振動数でのばね定数で計算しました"
               "(反復回数は固有値解析の回数)\r\n";
    out += "\r\n";

    out += "//////静解析結果//////\r\n\r\n";
    out += kNote;
    for (std::size_t i = 0; i < model.staticLoads.size(); ++i) {
        const StaticLoad& load = model.staticLoads[i];
        appendFormat(out, "荷重名\t%s\t\r\n", load.name.c_str());
        out += "\r\n";
        if (!appendLoadCase(pieces, model, load, resultRow(model.staticResults, i)))
            return false;
    }

    out += "//////動解析結果//////\r\n\r\n";
    out += kNote;
    for (std::size_t i = 0; i < model.dynamicLoads.size(); ++i) {
        const DynamicLoad& load = model.dynamicLoads[i];
        appendFormat(out, "荷重名\t%s\t\r\n", load.name.c_str());
        out += "\r\n";
        appendFormat(out, "\t周波数\t%g\t[Hz]\r\n", load.frequency);
        out += "\r\n";
        if (!appendLoadCase(pieces, model, load, resultRow(model.dynamicResults, i)))
            return false;
    }
    return pieces.finish();
}

} // namespace quav
