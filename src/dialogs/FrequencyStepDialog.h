#pragma once

#include "dialogs/CurveDialog.h"
#include "dialogs/FrequencyStepPlot.h"

class QButtonGroup;
class QComboBox;

namespace quav {

/// The frequency-step results window (周波数ｽﾃｯﾌﾟ解析結果): the amplitude of
/// one point over the sweep for one dynamic load, frame and direction, with a
/// cursor on the sweep's steps and a listing; further points, loads and
/// directions can be kept on the chart beside it. Opens on `target` and
/// offers every other point of the model in the list 1100. Reads the model,
/// which must stay unchanged while the dialog is open.
class FrequencyStepDialog : public CurveDialog {
public:
    FrequencyStepDialog(const AnalysisModel& model, const FrequencyStepTarget& target,
                        QWidget* parent = nullptr);

private:
    struct Choice {
        std::size_t target = 0; ///< in `targets_`
        FrequencyStepChoice curve;
        bool operator==(const Choice&) const = default;
    };

    PlotCurve currentCurve() const override;
    std::vector<PlotCurve> keptCurves() const override;
    bool currentIsKept() const override;
    void keepCurrent() override;
    void dropKept(std::size_t i) override;
    std::string quantity() const override { return "振幅"; }
    bool decibelsAvailable() const override;

    Choice current() const;
    PlotCurve curveOf(const Choice& c) const;
    void targetChanged();
    void frameChanged(int frame);

    const AnalysisModel& model_;
    std::vector<FrequencyStepTarget> targets_;
    std::vector<Choice> kept_;
    QComboBox* points_;
    QComboBox* loads_;
    QButtonGroup* frame_;
    QButtonGroup* direction_;
};

} // namespace quav
