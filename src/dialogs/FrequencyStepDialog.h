#pragma once

#include "dialogs/FrequencyStepPlot.h"

#include <QDialog>

#include <functional>

class QButtonGroup;
class QComboBox;
class QSlider;

namespace quav {

class ChartArea;

/// The frequency-step results window (周波数ｽﾃｯﾌﾟ解析結果): the amplitude of
/// one point over the sweep for one dynamic load, frame and direction, with a
/// slider cursor and a text listing. Reads the model, which must stay
/// unchanged while the dialog is open.
class FrequencyStepDialog : public QDialog {
public:
    FrequencyStepDialog(const AnalysisModel& model, FrequencyStepTarget target,
                        QWidget* parent = nullptr);

    /// The curve shown now.
    const std::vector<CurvePoint>& curve() const { return curve_; }
    /// The drawing area as it is shown now.
    QImage chartImage() const;

    /// Shows "ﾃﾞｰﾀ表示"'s listing in the text window (modal).
    std::function<void(QWidget* parent, const QString& text)> showText;

private:
    void controlsChanged();
    void frameChanged(int frame);

    const AnalysisModel& model_;
    FrequencyStepTarget target_;
    std::vector<CurvePoint> curve_;
    QComboBox* loads_;
    QButtonGroup* frame_;
    QButtonGroup* direction_;
    QSlider* slider_;
    ChartArea* area_;
};

} // namespace quav
