#include "model/FrequencyTable.h"

#include <algorithm>
#include <cmath>

namespace quav {

double tableCell(const FrequencyTableRow& row, int column) {
    if (column == 0)
        return row.f;
    return column <= 3 ? row.ratio[static_cast<std::size_t>(column - 1)]
                       : row.loss[static_cast<std::size_t>(column - 4)];
}

void setTableCell(FrequencyTableRow& row, int column, double value) {
    if (column == 0)
        row.f = value;
    else if (column <= 3)
        row.ratio[static_cast<std::size_t>(column - 1)] = value;
    else
        row.loss[static_cast<std::size_t>(column - 4)] = value;
}

std::optional<FrequencyTableProblem> checkFrequencyTable(const FrequencyTable& table) {
    using P = FrequencyTableProblem;
    if (table.empty())
        return std::nullopt;
    const auto rows = static_cast<int>(std::min<std::size_t>(table.size(), kMaxTableRows + 1));
    if (rows < kMinTableRows)
        return P{P::TooFewRows, -1, -1};
    if (rows > kMaxTableRows)
        return P{P::TooManyRows, -1, -1};
    for (int r = 0; r < rows; ++r) {
        const FrequencyTableRow& row = table[static_cast<std::size_t>(r)];
        for (int c = 0; c < kTableColumns; ++c) {
            const double v = tableCell(row, c);
            if (!std::isfinite(v))
                return P{P::NotFinite, r, c};
            if (c == 0 && !(v > 0.0))
                return P{P::FrequencyNotPositive, r, c};
            if (c == 0 && r > 0 && !(v > table[static_cast<std::size_t>(r - 1)].f))
                return P{P::FrequencyNotIncreasing, r, c};
            if (c >= 1 && c <= 3 && !(v > 0.0))
                return P{P::RatioNotPositive, r, c};
            if (c >= 4 && !(v >= 0.0))
                return P{P::LossNegative, r, c};
        }
    }
    return std::nullopt;
}

std::string tableRuleText(FrequencyTableProblem::Kind kind) {
    switch (kind) {
    case FrequencyTableProblem::TooFewRows:
        return "行が " + std::to_string(kMinTableRows) + " 行以上必要です";
    case FrequencyTableProblem::TooManyRows:
        return "行は " + std::to_string(kMaxTableRows) + " 行までです";
    case FrequencyTableProblem::NotFinite:
        return "数値ではありません";
    case FrequencyTableProblem::FrequencyNotPositive:
        return "0 より大きい周波数が必要です";
    case FrequencyTableProblem::FrequencyNotIncreasing:
        return "周波数は前の行より大きい値が必要です";
    case FrequencyTableProblem::RatioNotPositive:
        return "0 より大きい値が必要です";
    case FrequencyTableProblem::LossNegative:
        return "0 以上の値が必要です";
    }
    return {};
}

std::string tableCellText(const FrequencyTableProblem& problem) {
    if (problem.row < 0)
        return "行数";
    return "行 " + std::to_string(problem.row + 1) + "、列 " + kTableColumnNames[problem.column];
}

TableValues tableValuesAt(const FrequencyTable& table, double frequency) {
    TableValues v;
    const FrequencyTableRow* lo = &table.front();
    const FrequencyTableRow* hi = lo;
    double t = 0.0;
    if (frequency >= table.back().f) {
        lo = hi = &table.back();
    } else if (frequency > table.front().f) {
        // The first row above f; f lies in [row before, it).
        const auto above =
            std::upper_bound(table.begin(), table.end(), frequency,
                             [](double x, const FrequencyTableRow& row) { return x < row.f; });
        hi = &*above;
        lo = hi - 1;
        t = std::log(frequency / lo->f) / std::log(hi->f / lo->f);
    }
    for (std::size_t d = 0; d < 3; ++d) {
        v.ratio[d] = lo->ratio[d] + t * (hi->ratio[d] - lo->ratio[d]);
        v.loss[d] = lo->loss[d] + t * (hi->loss[d] - lo->loss[d]);
    }
    return v;
}

} // namespace quav
