#pragma once

#include "dialogs/ChartDrawing.h"

#include <array>
#include <string>

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

/// Colours of the degrees of freedom x ... Rz in the overview, and of the
/// single-series bars.
inline constexpr std::array<Rgb, 6> kDofColours = {Rgb{0, 99, 255},   Rgb{255, 0, 99},
                                                   Rgb{99, 255, 0},   Rgb{99, 255, 255},
                                                   Rgb{255, 99, 255}, Rgb{255, 255, 99}};
inline constexpr Rgb kSeriesColour{0, 99, 255};

/// The chart of list entry `entry` (0 overview, 1-6 mode n, 7-12 degree of
/// freedom x ... Rz) for a drawing area `height` pixels high. Layout in fixed
/// pixels from the area's bottom: base line at height - 50, 3 pixels per
/// percent, bars 30 wide at x = 100, 200, ... 600.
ChartDrawing contributionChart(const ContributionData& data, int entry, int height);

} // namespace quav
