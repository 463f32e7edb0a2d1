#pragma once

#include "analysis/LoadCaseAnalysis.h"

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QPushButton;
class QTableWidget;

namespace quav {

/// "荷重ケース": the solved cases, the worst first (cases that did not converge,
/// then the smallest margin ratio), one row each: name, verdict, Newton steps,
/// worst margin [%] and where it is; failing and unconverged rows in red. The
/// "ﾚﾎﾟｰﾄ" button opens the full report through `showText`; "3Dﾋﾞｭｰに表示" (or a
/// double-click on a row) hands the selected converged case to `showInView`,
/// which shows its deflected body in the 3-D view.
class LoadCaseDialog : public QDialog {
    Q_OBJECT
public:
    LoadCaseDialog(const AnalysisModel& model, std::vector<LoadCaseResult> results,
                   QWidget* parent = nullptr);

    /// Shows the report; set by the caller (the text window of the application).
    std::function<void(QWidget* parent, const std::string& text)> showText;

    /// Shows a case in the 3-D view; set by the caller. Without it the button is hidden.
    std::function<void(const LoadCaseResult& result)> showInView;

    QTableWidget* table() const { return table_; }
    /// The case of a table row (the rows are the worst first).
    const LoadCaseResult& resultOfRow(int row) const;
    /// The selected row's case to `showInView`; false when there is none to show.
    bool showSelectedInView();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::vector<std::size_t> order_;
    QPushButton* view_ = nullptr;
    const AnalysisModel& model_;
    std::vector<LoadCaseResult> results_;
    QTableWidget* table_;
};

} // namespace quav
