#pragma once

#include <array>
#include <string>
#include <vector>

namespace quav {

class Matrix;

/// What the contribution charts show, copied from the model when the dialog
/// opens so the charts do not follow later changes. Storage order: mode k
/// (1 = lowest frequency) is index 6 - k.
struct ContributionData {
    std::array<double, 6> frequencies{};               ///< [Hz]
    std::array<std::array<double, 6>, 6> modeShapes{}; ///< [dof][storage index], unit columns
    std::string title;                                 ///< the document's title (not drawn)

    /// From the natural frequencies (6 x 1) and the mode shapes (6 x 6).
    static ContributionData fromResults(const Matrix& frequencies, const Matrix& modeShapes,
                                        const std::string& title);
};

/// The entries of the chart list: "ALL", "Mode1" ... "Mode6", "x" ... "Rz".
inline constexpr std::array<const char*, 13> kContributionChartEntries = {
    "ALL", "Mode1", "Mode2", "Mode3", "Mode4", "Mode5", "Mode6", "x", "y", "z", "Rx", "Ry", "Rz"};

struct Rgb {
    unsigned char r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

/// Colours of the degrees of freedom x ... Rz in the overview, and of the
/// single-series bars.
inline constexpr std::array<Rgb, 6> kDofColours = {Rgb{0, 99, 255},   Rgb{255, 0, 99},
                                                   Rgb{99, 255, 0},   Rgb{99, 255, 255},
                                                   Rgb{255, 99, 255}, Rgb{255, 255, 99}};
inline constexpr Rgb kSeriesColour{0, 99, 255};

/// One series of bars: a share [%] per category.
struct BarSeries {
    std::string name;
    Rgb colour;
    std::vector<double> values;
};

/// A contribution chart as the dialog draws it: its heading, the categories
/// along the bottom (modes with their frequencies, or degrees of freedom) and
/// the bars, stacked in the overview. Shares are phi^2 100 [%]; a component
/// that is not a number (a failed calculation) gives no bar.
struct ContributionBars {
    std::string title;
    std::string categoryTitle;
    std::vector<std::string> categories;
    std::vector<BarSeries> series;
    bool stacked = false;
};

/// The chart of list entry `entry`: 0 the overview (every mode, one stacked
/// bar per mode, a series per degree of freedom), 1-6 mode n, 7-12 degree of
/// freedom x ... Rz.
ContributionBars contributionBars(const ContributionData& data, int entry);

/// Every mode's frequency and share of each degree of freedom, one row per
/// mode from Mode1, under the heading "ﾓｰﾄﾞ, 周波数 [Hz], x [%] ... Rz [%]";
/// CR LF line ends, shares as %.17g.
std::string contributionTable(const ContributionData& data, char separator);

} // namespace quav
