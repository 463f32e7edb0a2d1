#pragma once

#include "dialogs/MessageBoxes.h"
#include "dialogs/ResultSaving.h"
#include "document/FrequencyTableText.h"

#include <QDialog>

#include <functional>
#include <vector>

class QTableWidget;

namespace quav {

class CurveChart;

/// "周波数特性": a characteristic's table of dynamic-to-static rate ratios and loss
/// factors against frequency. Rows are added, removed, pasted from the clipboard
/// (cells a spreadsheet copies, or CSV lines), read from or written to a CSV file;
/// two charts show the ratios and the loss factors on a logarithmic frequency
/// axis as the cells change, and a click on a chart selects the row nearest to it.
/// OK refuses a cell that is no number or breaks a rule, naming its row and column,
/// and stays open with the cell selected. Removing every row leaves no table.
class FrequencyTableDialog : public QDialog {
    Q_OBJECT
public:
    explicit FrequencyTableDialog(const FrequencyTable& table, QWidget* parent = nullptr);

    /// The table as OK took it.
    const FrequencyTable& table() const { return table_; }

    void accept() override;

    /// Replaceable for tests: message boxes, the CSV file to read (empty:
    /// cancelled) and where "CSV保存..." writes.
    MessageBoxes messages;
    std::function<QString(QWidget* parent)> askOpen = askOpenCsv;
    ResultSaver saver;

    static QString askOpenCsv(QWidget* parent);

    /// The buttons' actions, as their clicks run them.
    void addRow();
    void removeRows();
    void paste();
    void importCsv();
    void exportCsv();

private:
    TableCells cells() const;
    void setCells(const TableCells& cells);
    /// Puts `rows` into the table from row `first` on, adding rows as needed.
    void putRows(int first, const std::vector<FrequencyTableRow>& rows);
    void replot();
    void selectRow(std::size_t plotted);

    QTableWidget* grid_;
    CurveChart* ratios_;
    CurveChart* losses_;
    std::vector<int> plottedRows_; ///< the row of each point the charts show
    FrequencyTable table_;
};

} // namespace quav
