#pragma once

#include "dialogs/ContributionChart.h"
#include "dialogs/MessageBoxes.h"

#include <QDialog>

class QComboBox;

namespace quav {

class ChartArea;

/// The contribution charts (グラフ): one list chooses the overview of all
/// modes, one mode or one degree of freedom; "画面ｺﾋﾟｰ" puts the drawing area
/// on the clipboard. Draws from its own copy of the results.
class ContributionGraphDialog : public QDialog {
public:
    explicit ContributionGraphDialog(ContributionData data, QWidget* parent = nullptr);

    /// The drawing area as it is shown now.
    QImage chartImage() const;
    /// Copies the drawing area to the clipboard and says so.
    void copyToClipboard();

    MessageBoxes messages;

private:
    ContributionData data_;
    QComboBox* list_;
    ChartArea* area_;
};

} // namespace quav
