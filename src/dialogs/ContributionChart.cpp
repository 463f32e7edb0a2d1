#include "dialogs/ContributionChart.h"

#include "math/Matrix.h"
#include "model/TextFormat.h"

#include <cmath>

namespace quav {

namespace {

constexpr int kAxisLeft = 50;
constexpr int kAxisRight = 650;

const char* dofName(int dof) {
    return kContributionChartEntries[static_cast<std::size_t>(7 + dof)];
}

/// A bar's size from a mode-vector component; a calculation that failed
/// leaves components that are not numbers, drawn as no bar at all.
double finiteOrZero(double v) {
    return std::isfinite(v) ? v : 0.0;
}

void text(ChartDrawing& d, int x, int y, std::string s, std::optional<Rgb> background = {}) {
    d.texts.push_back({x, y, std::move(s), kBlack, background});
}

/// White area, the base line and the vertical axis with its ticks, labels and unit.
ChartDrawing frame(int height) {
    ChartDrawing d;
    const int base = height - 50;
    d.lines.push_back({kAxisLeft, base, kAxisRight, base, kBlack});
    d.lines.push_back({kAxisLeft, base, kAxisLeft, base - 300, kBlack});
    for (int k = 1; k <= 10; ++k) {
        const int y = base - 30 * k;
        d.lines.push_back({kAxisLeft, y, kAxisLeft + 5, y, kBlack});
        text(d, 20, y - 10, format("%d", 10 * k));
    }
    text(d, 20, height - 390, "[％]");
    return d;
}

/// "Mode1" ... "Mode6" under the bars with each mode's frequency above them.
void modeAxisLabels(ChartDrawing& d, const ContributionData& data, int height) {
    for (int n = 1; n <= 6; ++n) {
        text(d, 100 * n, height - 20, format("Mode%d", n));
        text(d, 100 * n, height - 40,
             format("%.2lf", data.frequencies[static_cast<std::size_t>(6 - n)]));
    }
    text(d, 650, height - 40, "[Hz]");
}

/// One single-series bar with its share printed above it.
void shareBar(ChartDrawing& d, int x, double phi, int height) {
    const int base = height - 50;
    const int top = toPixel(base - finiteOrZero(phi * phi * 100.0) * 3.0);
    d.rects.push_back({x, top, x + 30, base, kSeriesColour});
    text(d, x, top - 20, format("%.2lf", phi * phi * 100.0), kWhite);
}

void overview(ChartDrawing& d, const ContributionData& data, int height) {
    text(d, 20, 0, "<各振動モードにおける各自由度の寄与率>");
    for (int i = 0; i < 6; ++i) {
        const int x = 350 + 50 * i;
        d.rects.push_back({x, 35, x + 20, 55, kDofColours[static_cast<std::size_t>(i)]});
        text(d, x + 23, 35, format(":%s", dofName(i)), kWhite);
    }
    modeAxisLabels(d, data, height);
    for (int n = 1; n <= 6; ++n) {
        const int x = 100 * n;
        // Each segment sits on the truncated heights of those below it, so a
        // full bar may stop a few pixels short of 100 %.
        int start = height - 50;
        for (int i = 0; i < 6; ++i) {
            const double phi =
                data.modeShapes[static_cast<std::size_t>(i)][static_cast<std::size_t>(6 - n)];
            const int h = toPixel(finiteOrZero(phi * phi * 300.0));
            d.rects.push_back(
                {x, start - h, x + 30, start, kDofColours[static_cast<std::size_t>(i)]});
            start -= h;
        }
    }
}

void modeChart(ChartDrawing& d, const ContributionData& data, int n, int height) {
    text(d, 20, 0, format("<\"Mode%d\"における各自由度の寄与率>", n));
    text(d, 70, 40, format("Freq:%.02lf　[Hz]", data.frequencies[static_cast<std::size_t>(6 - n)]));
    for (int i = 0; i < 6; ++i) {
        const int x = 100 + 100 * i;
        text(d, x, height - 40, dofName(i));
        shareBar(d, x,
                 data.modeShapes[static_cast<std::size_t>(i)][static_cast<std::size_t>(6 - n)],
                 height);
    }
}

void dofChart(ChartDrawing& d, const ContributionData& data, int dof, int height) {
    text(d, 20, 0, format("<自由度\" %s \"が各振動モードに占める寄与率>", dofName(dof)));
    modeAxisLabels(d, data, height);
    for (int n = 1; n <= 6; ++n)
        shareBar(d, 100 * n,
                 data.modeShapes[static_cast<std::size_t>(dof)][static_cast<std::size_t>(6 - n)],
                 height);
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

ChartDrawing contributionChart(const ContributionData& data, int entry, int height) {
    ChartDrawing d = frame(height);
    if (entry == 0)
        overview(d, data, height);
    else if (entry >= 1 && entry <= 6)
        modeChart(d, data, entry, height);
    else if (entry >= 7 && entry <= 12)
        dofChart(d, data, entry - 7, height);
    return d;
}

} // namespace quav
