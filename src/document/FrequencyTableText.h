#pragma once

#include "model/FrequencyTable.h"

#include <array>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quav {

// Frequency tables as text: the CSV that quav-cli and the table editor read and
// write, and the cells a spreadsheet puts on the clipboard.

/// The CSV heading: f,ratio_x,ratio_y,ratio_z,loss_x,loss_y,loss_z.
std::string frequencyTableHeading();

/// The heading, then one row a line; numbers as the shortest decimal that reads
/// back as the same double. Lines end in LF.
std::string frequencyTableCsv(const FrequencyTable& table);

/// Whether the text must begin with the heading.
enum class TableHeading { Required, Optional };

/// Rows read from text, or why they were not: one row a line of seven numbers
/// (f, ratio x, y, z, loss x, y, z) separated by commas, or by tabs when the line
/// holds one (cells as a spreadsheet copies them). Blank lines are skipped, a
/// UTF-8 byte order mark and white space around cells ignored. A first line whose
/// first cell is not a number must be the heading. More than kMaxTableRows rows
/// are refused as soon as they are seen.
struct TableText {
    std::vector<FrequencyTableRow> rows;
    /// The line (from 1) each row came from.
    std::vector<int> lines;
    /// Why the text was refused, naming the line and column, in the user's
    /// language; empty when it was read.
    std::string error;
    bool ok() const { return error.empty(); }
};

/// The rows as they are: only what each cell holds is checked.
TableText readTableRows(std::string_view text, TableHeading heading);

/// A whole table: the rows, and the rules of checkFrequencyTable, a problem
/// named by its line and column.
TableText readFrequencyTable(std::string_view text, TableHeading heading);

/// The shortest decimal ("%.*g") that reads back as exactly `v`.
std::string shortestNumber(double v);

/// The table editor's column titles, with units: "f [Hz]", "動倍率 x", ...,
/// "損失係数 z".
extern const char* const kTableColumnTitles[kTableColumns];

/// The table editor's cells as typed, a row of texts per table row.
using TableCells = std::vector<std::array<std::string, kTableColumns>>;

/// A cell of the editor that holds no number or breaks a rule, and why, naming
/// the row (from 1) and the column's title in the user's language.
struct TableCellProblem {
    int row = -1;    ///< from 0; -1 for the number of rows
    int column = -1; ///< -1 for the number of rows
    std::string message;
};

/// The table the cells make: numbers written in the C locale ("1e3", " 0.5 "),
/// then the rules of checkFrequencyTable. No rows at all is no table (an empty
/// table). The first cell, row by row, that is refused.
std::variant<FrequencyTable, TableCellProblem> tableFromCells(const TableCells& cells);

/// The cells of a table as the editor shows them (shortest decimals).
TableCells cellsOf(const FrequencyTable& table);

} // namespace quav
