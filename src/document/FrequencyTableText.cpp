#include "document/FrequencyTableText.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quav {

namespace {

std::string_view trimmed(std::string_view s) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v'; };
    while (!s.empty() && space(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && space(s.back()))
        s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> cells(std::string_view line) {
    const char separator = line.find('\t') != std::string_view::npos ? '\t' : ',';
    std::vector<std::string_view> out;
    for (;;) {
        const std::size_t end = line.find(separator);
        out.push_back(trimmed(line.substr(0, end)));
        if (end == std::string_view::npos)
            return out;
        line.remove_prefix(end + 1);
    }
}

/// A cell that is a number and nothing else ("1e3", "-0.5"; a leading '+' too).
bool number(std::string_view cell, double& value) {
    if (!cell.empty() && cell.front() == '+')
        cell.remove_prefix(1);
    if (cell.empty())
        return false;
    const auto [end, ec] = std::from_chars(cell.data(), cell.data() + cell.size(), value);
    return ec == std::errc() && end == cell.data() + cell.size();
}

std::string lineText(int line) {
    return std::to_string(line) + " 行目";
}

std::string cellText(int row, int column) {
    return "行 " + std::to_string(row + 1) + "「" + kTableColumnTitles[column] + "」";
}

} // namespace

const char* const kTableColumnTitles[kTableColumns] = {
    "f [Hz]", "動倍率 x", "動倍率 y", "動倍率 z", "損失係数 x", "損失係数 y", "損失係数 z"};

std::variant<FrequencyTable, TableCellProblem> tableFromCells(const TableCells& cells) {
    FrequencyTable table(cells.size());
    for (std::size_t r = 0; r < cells.size(); ++r) {
        for (int c = 0; c < kTableColumns; ++c) {
            double value = 0.0;
            if (!number(trimmed(cells[r][static_cast<std::size_t>(c)]), value))
                return TableCellProblem{static_cast<int>(r), c,
                                        cellText(static_cast<int>(r), c) +
                                            ": 数値を入力して下さい"};
            setTableCell(table[r], c, value);
        }
    }
    const auto problem = checkFrequencyTable(table);
    if (!problem)
        return table;
    if (problem->row < 0)
        return TableCellProblem{-1, -1,
                                "周波数特性: " + tableRuleText(problem->kind) + "(" +
                                    std::to_string(table.size()) + " 行)"};
    return TableCellProblem{problem->row, problem->column,
                            cellText(problem->row, problem->column) + ": " +
                                tableRuleText(problem->kind)};
}

TableCells cellsOf(const FrequencyTable& table) {
    TableCells cells(table.size());
    for (std::size_t r = 0; r < table.size(); ++r)
        for (int c = 0; c < kTableColumns; ++c)
            cells[r][static_cast<std::size_t>(c)] = shortestNumber(tableCell(table[r], c));
    return cells;
}

std::string frequencyTableHeading() {
    std::string heading;
    for (int c = 0; c < kTableColumns; ++c) {
        if (c)
            heading += ',';
        heading += kTableColumnNames[c];
    }
    return heading;
}

std::string shortestNumber(double v) {
    char text[40];
    int precision = 1;
    for (; precision <= 17; ++precision) {
        std::snprintf(text, sizeof text, "%.*g", precision, v);
        if (std::strtod(text, nullptr) == v)
            break;
    }
    // Whole numbers as they are written (300, not 3e+02), up to 17 digits.
    if (const char* e = std::strchr(text, 'e')) {
        const int exponent = std::atoi(e + 1);
        if (exponent >= precision && exponent < 17)
            std::snprintf(text, sizeof text, "%.*g", exponent + 1, v);
    }
    return text;
}

std::string frequencyTableCsv(const FrequencyTable& table) {
    std::string out = frequencyTableHeading() + "\n";
    for (const FrequencyTableRow& row : table) {
        for (int c = 0; c < kTableColumns; ++c) {
            if (c)
                out += ',';
            out += shortestNumber(tableCell(row, c));
        }
        out += '\n';
    }
    return out;
}

TableText readTableRows(std::string_view text, TableHeading heading) {
    TableText result;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    bool first = true;
    int lineNumber = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNumber;
        if (trimmed(line).empty())
            continue;
        const std::vector<std::string_view> row = cells(line);
        double value = 0.0;
        if (first) {
            first = false;
            const bool numeric = number(row.front(), value);
            if (!numeric || heading == TableHeading::Required) {
                bool isHeading = row.size() == kTableColumns;
                for (int c = 0; isHeading && c < kTableColumns; ++c)
                    isHeading = row[static_cast<std::size_t>(c)] == kTableColumnNames[c];
                if (!isHeading) {
                    result.error = lineText(lineNumber) + ": 見出し " + frequencyTableHeading() +
                                   " が必要です";
                    return result;
                }
                continue;
            }
        }
        if (row.size() != kTableColumns) {
            result.error = lineText(lineNumber) + ": " + std::to_string(kTableColumns) +
                           " 列の数値が必要です(" + std::to_string(row.size()) + " 列あります)";
            return result;
        }
        if (result.rows.size() == static_cast<std::size_t>(kMaxTableRows)) {
            result.error =
                lineText(lineNumber) + ": " + tableRuleText(FrequencyTableProblem::TooManyRows);
            return result;
        }
        FrequencyTableRow r;
        for (int c = 0; c < kTableColumns; ++c) {
            if (!number(row[static_cast<std::size_t>(c)], value)) {
                result.error =
                    lineText(lineNumber) + "、列 " + kTableColumnNames[c] + ": 数値ではありません";
                return result;
            }
            setTableCell(r, c, value);
        }
        result.rows.push_back(r);
        result.lines.push_back(lineNumber);
    }
    return result;
}

TableText readFrequencyTable(std::string_view text, TableHeading heading) {
    TableText result = readTableRows(text, heading);
    if (!result.ok())
        return result;
    // No rows is no table here: the text was meant to hold one.
    if (result.rows.size() < static_cast<std::size_t>(kMinTableRows)) {
        result.error = tableRuleText(FrequencyTableProblem::TooFewRows) + "(" +
                       std::to_string(result.rows.size()) + " 行)";
        return result;
    }
    if (const auto problem = checkFrequencyTable(result.rows))
        result.error = lineText(result.lines[static_cast<std::size_t>(problem->row)]) + "、列 " +
                       kTableColumnNames[problem->column] + ": " + tableRuleText(problem->kind);
    return result;
}

} // namespace quav
