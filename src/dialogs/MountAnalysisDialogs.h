#pragma once

#include "analysis/FrequencyStepCurve.h"
#include "analysis/MountForces.h"
#include "analysis/Robustness.h"
#include "dialogs/FormDialog.h"
#include "document/DocumentUi.h"

#include <QDialog>

#include <functional>
#include <vector>

class QComboBox;

namespace quav {

class ChartArea;

/// "ロバスト性": the tolerances and samples of a robustness run.
class RobustnessDialog : public FormDialog {
    Q_OBJECT
public:
    RobustnessDialog(const RobustnessValues& values, QWidget* parent = nullptr);
    RobustnessValues values;
};

/// "伝達率": the force transmissibility of one force load over the sweep, drawn
/// as the frequency-step window draws its curve (black area, red curve, slider
/// cursor), with its listing. Reads the model, which must stay unchanged while
/// the dialog is open.
class TransmissibilityDialog : public QDialog {
    Q_OBJECT
public:
    TransmissibilityDialog(const AnalysisModel& model, QWidget* parent = nullptr);

    /// The curve shown now: (frequency, T).
    const std::vector<CurvePoint>& curve() const { return curve_; }
    /// The drawing area as it is shown now.
    QImage chartImage() const;
    /// Chooses the n-th force load of the list.
    void selectLoad(int n);

    /// Shows "ﾃﾞｰﾀ表示"'s listing in the text window (modal).
    std::function<void(QWidget* parent, const std::string& text)> showText;

private:
    void loadChanged();

    const AnalysisModel& model_;
    std::vector<int> loads_; ///< indices of the force loads in `dynamicLoads`
    std::vector<TransmissibilityPoint> points_;
    std::vector<CurvePoint> curve_;
    QComboBox* loadList_;
    ChartArea* area_;
};

/// Runs `work` on a thread of its own while a modal progress window over `parent`
/// shows `control.done` of `total`; "中止" sets `control.stop`. Returns when
/// `work` has finished.
void runWithProgressWindow(QWidget* parent, const QString& title, RunControl& control,
                           std::int64_t total, const std::function<void()>& work);

} // namespace quav
