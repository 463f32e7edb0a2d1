#pragma once

#include "analysis/FrequencyStepCurve.h"
#include "analysis/MountForces.h"
#include "analysis/Robustness.h"
#include "dialogs/CurveDialog.h"
#include "dialogs/FormDialog.h"
#include "document/DocumentUi.h"

#include <QDialog>

#include <functional>
#include <vector>

class QComboBox;

namespace quav {

/// "ロバスト性": the tolerances and samples of a robustness run.
class RobustnessDialog : public FormDialog {
    Q_OBJECT
public:
    RobustnessDialog(const RobustnessValues& values, QWidget* parent = nullptr);
    RobustnessValues values;
};

/// "トルクロール軸": the torque direction, the model's default (`defaultText`
/// says which), x, y, z or a vector of its own.
class TorqueAxisDialog : public FormDialog {
    Q_OBJECT
public:
    TorqueAxisDialog(const TorqueAxisValues& values, const std::string& defaultText,
                     QWidget* parent = nullptr);
    void accept() override;
    TorqueAxisValues values;

private:
    class QComboBox* choice_;
};

/// "伝達率": the force transmissibility of one force load over the sweep, drawn
/// as the frequency-step window draws its curves, other force loads kept beside
/// it, with its listing (transmissibility and isolation of each load). Reads
/// the model, which must stay unchanged while the dialog is open.
class TransmissibilityDialog : public CurveDialog {
public:
    TransmissibilityDialog(const AnalysisModel& model, QWidget* parent = nullptr);

    /// Chooses the n-th force load of the list.
    void selectLoad(int n);

private:
    PlotCurve currentCurve() const override;
    std::vector<PlotCurve> keptCurves() const override;
    bool currentIsKept() const override;
    void keepCurrent() override;
    void dropKept(std::size_t i) override;
    std::string quantity() const override { return "伝達率"; }
    std::vector<PlotCurve> tableCurves() const override;

    /// T, and with `isolation` (1 - T) 100, of the n-th force load of the list.
    PlotCurve curveOf(int n, bool isolation = false) const;

    const AnalysisModel& model_;
    std::vector<int> loads_; ///< indices of the force loads in `dynamicLoads`
    std::vector<int> kept_;  ///< kept loads, as positions in the list
    QComboBox* loadList_;
};

/// Runs `work` on a thread of its own while a modal progress window over `parent`
/// shows `control.done` of `total`; "中止" sets `control.stop`. Returns when
/// `work` has finished: empty, or the message of what it threw.
std::string runWithProgressWindow(QWidget* parent, const QString& title, RunControl& control,
                                  std::int64_t total, const std::function<void()>& work);

} // namespace quav
