#include "dialogs/ContributionChart.h"

#include "math/Matrix.h"
#include "model/TextFormat.h"

#include <cmath>

namespace quav {

namespace {

const char* dofName(int dof) {
    return kContributionChartEntries[static_cast<std::size_t>(7 + dof)];
}

/// The share [%] of degree of freedom `dof` in mode `n` (1 = lowest).
double share(const ContributionData& data, int dof, int n) {
    const double phi =
        data.modeShapes[static_cast<std::size_t>(dof)][static_cast<std::size_t>(6 - n)];
    return phi * phi * 100.0;
}

double frequency(const ContributionData& data, int n) {
    return data.frequencies[static_cast<std::size_t>(6 - n)];
}

double finiteOrZero(double v) {
    return std::isfinite(v) ? v : 0.0;
}

std::vector<std::string> modeCategories(const ContributionData& data) {
    std::vector<std::string> categories;
    for (int n = 1; n <= 6; ++n)
        categories.push_back(format("Mode%d\n%.2lf Hz", n, frequency(data, n)));
    return categories;
}

} // namespace

ContributionData ContributionData::fromResults(const Matrix& frequencies, const Matrix& modeShapes,
                                               const std::string& title) {
    ContributionData data;
    // Results of another shape (a model never calculated) leave zeros.
    const bool complete = frequencies.rows() * frequencies.cols() >= 6 && modeShapes.rows() >= 6 &&
                          modeShapes.cols() >= 6;
    for (int j = 0; complete && j < 6; ++j) {
        data.frequencies[static_cast<std::size_t>(j)] = frequencies[j];
        for (int i = 0; i < 6; ++i)
            data.modeShapes[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] =
                modeShapes(i, j);
    }
    data.title = title;
    return data;
}

ContributionBars contributionBars(const ContributionData& data, int entry) {
    ContributionBars bars;
    if (entry >= 1 && entry <= 6) {
        bars.title = format("<\"Mode%d\"における各自由度の寄与率>  Freq:%.02lf　[Hz]", entry,
                            frequency(data, entry));
        bars.categoryTitle = "自由度";
        BarSeries s{format("Mode%d", entry), kSeriesColour, {}};
        for (int i = 0; i < 6; ++i) {
            bars.categories.push_back(dofName(i));
            s.values.push_back(finiteOrZero(share(data, i, entry)));
        }
        bars.series.push_back(std::move(s));
        return bars;
    }
    bars.categoryTitle = "振動モード (固有振動数)";
    bars.categories = modeCategories(data);
    if (entry >= 7 && entry <= 12) {
        const int dof = entry - 7;
        bars.title = format("<自由度\" %s \"が各振動モードに占める寄与率>", dofName(dof));
        BarSeries s{dofName(dof), kSeriesColour, {}};
        for (int n = 1; n <= 6; ++n)
            s.values.push_back(finiteOrZero(share(data, dof, n)));
        bars.series.push_back(std::move(s));
        return bars;
    }
    bars.title = "<各振動モードにおける各自由度の寄与率>";
    bars.stacked = true;
    for (int i = 0; i < 6; ++i) {
        BarSeries s{dofName(i), kDofColours[static_cast<std::size_t>(i)], {}};
        for (int n = 1; n <= 6; ++n)
            s.values.push_back(finiteOrZero(share(data, i, n)));
        bars.series.push_back(std::move(s));
    }
    return bars;
}

std::string contributionTable(const ContributionData& data, char separator) {
    std::string out = "ﾓｰﾄﾞ";
    out += separator;
    out += "周波数 [Hz]";
    for (int i = 0; i < 6; ++i)
        out += separator + std::string(dofName(i)) + " [%]";
    out += "\r\n";
    for (int n = 1; n <= 6; ++n) {
        out += format("Mode%d%c%.17g", n, separator, frequency(data, n));
        for (int i = 0; i < 6; ++i)
            out += format("%c%.17g", separator, share(data, i, n));
        out += "\r\n";
    }
    return out;
}

} // namespace quav
