#pragma once

#include "analysis/Sensitivity.h"
#include "dialogs/MessageBoxes.h"
#include "dialogs/ResultSaving.h"
#include "dialogs/SensitivityChart.h"
#include "model/AnalysisModel.h"

#include <QDialog>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QChartView;
class QComboBox;
class QLabel;
class QLineEdit;
class QTableView;

namespace quav {

class SensitivityTableModel;

/// "感度": a table of the derivatives or the elasticities of every output by every
/// parameter (the list above it chooses which), its first-order frequency spread
/// for the tolerances entered, and a horizontal bar chart of one output's
/// elasticities, largest first. "ｺﾋﾟｰ" puts the whole table on the clipboard as
/// tab-separated text (as quav-cli sens prints it); "保存..." writes it (CSV,
/// TSV) or the chart (PNG, SVG). Choosing a bar or a row hands its parameter to
/// `select`. Works on its own copy of the model and the results.
class SensitivityDialog : public QDialog {
    Q_OBJECT
public:
    /// The most bars the chart shows: the largest.
    static constexpr std::size_t kMaxBars = 12;

    SensitivityDialog(const AnalysisModel& model, Sensitivities result,
                      std::function<void(const SensitivityParameter&)> select,
                      QWidget* parent = nullptr);
    ~SensitivityDialog() override;

    /// The table as "ｺﾋﾟｰ" puts it on the clipboard.
    std::string tableText() const;
    void copyTable();
    void save();
    /// Shows output column `output` in the chart.
    void chooseOutput(int output);
    /// As a click on bar `index` of the chart (0 = the largest).
    void chooseBar(int index);
    /// The bars shown now, largest first.
    const std::vector<SensitivityBar>& bars() const { return bars_; }
    /// The chart as it is shown now.
    QImage chartImage() const;

    MessageBoxes messages;
    ResultSaver saver;

private:
    void formChanged();
    void computeSpread();
    void chooseRow(int row);

    AnalysisModel model_;
    Sensitivities result_;
    std::function<void(const SensitivityParameter&)> select_;
    std::vector<std::string> labels_; ///< per parameter, as the chart names it
    std::optional<std::array<double, 6>> spread_;
    std::vector<SensitivityBar> bars_;

    SensitivityTableModel* table_;
    QTableView* view_;
    QComboBox* form_;
    QComboBox* output_;
    QLineEdit* tolerance_;
    QLineEdit* positionTolerance_;
    QLabel* spreadLabel_;
    QChartView* chart_;
};

} // namespace quav
