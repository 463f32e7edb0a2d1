#pragma once

#include "model/FrequencyTable.h"

#include <string>
#include <string_view>
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

} // namespace quav
