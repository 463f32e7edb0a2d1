#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace quav {

/// One row of a spring characteristic's frequency table: at `f` the dynamic
/// rate of local direction d is the static rate times `ratio[d]`, with the loss
/// factor `loss[d]` (d = 0, 1, 2: the spring's local x, y, z).
struct FrequencyTableRow {
    double f = 0.0;                ///< [Hz], > 0, strictly increasing down the table
    std::array<double, 3> ratio{}; ///< dynamic-to-static rate ratio, > 0
    std::array<double, 3> loss{};  ///< loss factor eta, >= 0
    bool operator==(const FrequencyTableRow&) const = default;
};

/// A characteristic's rates against frequency, as mount suppliers measure them.
/// Empty means no table: the characteristic's `dynamicFactor` applies.
using FrequencyTable = std::vector<FrequencyTableRow>;

inline constexpr int kMinTableRows = 2;
inline constexpr int kMaxTableRows = 64;

/// What marks a spring or characteristic with a table in lists and the view.
inline constexpr const char* kFrequencyTableMark = " ※周波数特性";

/// The columns of a table, in the order of its CSV and of its editor:
/// 0 f, 1-3 ratio x, y, z, 4-6 loss x, y, z.
inline constexpr int kTableColumns = 7;
/// The CSV heading of each column.
inline constexpr const char* kTableColumnNames[kTableColumns] = {
    "f", "ratio_x", "ratio_y", "ratio_z", "loss_x", "loss_y", "loss_z"};

/// Cell `column` of a row, by the column numbering above.
double tableCell(const FrequencyTableRow& row, int column);
void setTableCell(FrequencyTableRow& row, int column, double value);

/// Why a table cannot be a characteristic's.
struct FrequencyTableProblem {
    enum Kind {
        TooFewRows,  ///< fewer than kMinTableRows
        TooManyRows, ///< more than kMaxTableRows
        NotFinite,   ///< a cell that is not a finite number
        FrequencyNotPositive,
        FrequencyNotIncreasing, ///< f not above the row before
        RatioNotPositive,
        LossNegative,
    };
    Kind kind = TooFewRows;
    int row = -1;    ///< 0-based; -1 for the row count
    int column = -1; ///< by the column numbering above; -1 for the row count
};

/// The first problem of the table, rows in order and each row's cells left to
/// right; none for a table a characteristic may carry (2 to 64 rows, every
/// cell finite, f > 0 and strictly increasing, ratios > 0, losses >= 0). An
/// empty table is no table and has no problem.
std::optional<FrequencyTableProblem> checkFrequencyTable(const FrequencyTable& table);

/// The rule a problem breaks, in the user's language ("0 より大きい値が必要です").
std::string tableRuleText(FrequencyTableProblem::Kind kind);

/// Where a problem is, in the user's language: "行 3、列 ratio_y" (rows counted
/// from 1), or "行数" for the row count.
std::string tableCellText(const FrequencyTableProblem& problem);

/// The ratios and loss factors of a table at `frequency` [Hz]: interpolated
/// linearly in ln f between the rows around it; below the first row the first
/// row holds, above the last the last (0 Hz and below take the first row).
/// The table must pass checkFrequencyTable.
struct TableValues {
    std::array<double, 3> ratio{};
    std::array<double, 3> loss{};
};
TableValues tableValuesAt(const FrequencyTable& table, double frequency);

} // namespace quav
