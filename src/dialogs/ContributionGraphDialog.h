#pragma once

#include "dialogs/ContributionChart.h"
#include "dialogs/MessageBoxes.h"
#include "dialogs/ResultSaving.h"

#include <QDialog>

class QChartView;
class QComboBox;

namespace quav {

/// The contribution charts (グラフ): one list chooses the overview of all
/// modes, one mode or one degree of freedom, drawn as bars with a share axis
/// [%], its grid and a legend; "画面ｺﾋﾟｰ" puts the chart on the clipboard,
/// "保存..." writes the table of shares (CSV, TSV) or the chart (PNG, SVG).
/// Draws from its own copy of the results; the window resizes.
class ContributionGraphDialog : public QDialog {
public:
    explicit ContributionGraphDialog(ContributionData data, QWidget* parent = nullptr);

    /// The chart as it is shown now.
    QImage chartImage() const;
    /// The chart shown now.
    const ContributionBars& bars() const { return bars_; }
    /// Copies the chart to the clipboard and says so.
    void copyToClipboard();
    void save();

    MessageBoxes messages;
    ResultSaver saver;

private:
    void entryChanged();

    ContributionData data_;
    ContributionBars bars_;
    QComboBox* list_;
    QChartView* view_;
};

} // namespace quav
