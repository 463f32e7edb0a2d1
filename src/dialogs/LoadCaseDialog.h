#pragma once

#include "analysis/LoadCaseAnalysis.h"

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QTableWidget;

namespace quav {

/// "荷重ケース": the solved cases, the worst first (cases that did not converge,
/// then the smallest margin ratio), one row each: name, verdict, Newton steps,
/// worst margin [%] and where it is; failing and unconverged rows in red. The
/// "ﾚﾎﾟｰﾄ" button opens the full report through `showText`.
class LoadCaseDialog : public QDialog {
    Q_OBJECT
public:
    LoadCaseDialog(const AnalysisModel& model, std::vector<LoadCaseResult> results,
                   QWidget* parent = nullptr);

    /// Shows the report; set by the caller (the text window of the application).
    std::function<void(QWidget* parent, const std::string& text)> showText;

    QTableWidget* table() const { return table_; }

private:
    const AnalysisModel& model_;
    std::vector<LoadCaseResult> results_;
    QTableWidget* table_;
};

} // namespace quav
