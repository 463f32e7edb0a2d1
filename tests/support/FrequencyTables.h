#pragma once

#include "model/AnalysisModel.h"

#include <cmath>

// Frequency tables for the tests: an elastomer whose rates stiffen and whose
// loss rises with frequency, and the flat table that stands for a dynamic factor.
namespace quav::testing {

/// `rows` rows from 1 Hz to 200 Hz, evenly spaced in ln f: the ratio rises from
/// 1.1 to 2.0 (local x) and a little less across (y, z), the loss factor from
/// 0.05 to 0.15.
inline FrequencyTable rubberTable(int rows = 20) {
    FrequencyTable table;
    for (int i = 0; i < rows; ++i) {
        const double s = static_cast<double>(i) / (rows - 1);
        FrequencyTableRow row;
        row.f = std::exp(s * std::log(200.0));
        row.ratio = {1.1 + 0.9 * s, 1.05 + 0.7 * s, 1.05 + 0.7 * s};
        row.loss = {0.05 + 0.1 * s, 0.04 + 0.08 * s, 0.04 + 0.08 * s};
        table.push_back(row);
    }
    return table;
}

/// Rows whose ratio is `factor` and whose loss is 0: the dynamic factor as a table.
inline FrequencyTable flatTable(double factor, int rows = 3) {
    FrequencyTable table;
    for (int i = 0; i < rows; ++i)
        table.push_back({std::pow(10.0, i), {factor, factor, factor}, {0, 0, 0}});
    return table;
}

/// The model with `table` on every characteristic.
inline AnalysisModel withTables(AnalysisModel m, const FrequencyTable& table) {
    for (SpringCharacteristic& c : m.springCharacteristics)
        c.frequencyTable = table;
    return m;
}

} // namespace quav::testing
