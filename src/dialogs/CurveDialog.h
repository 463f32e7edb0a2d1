#pragma once

#include "dialogs/CurvePlot.h"
#include "dialogs/MessageBoxes.h"
#include "dialogs/ResultSaving.h"

#include <QDialog>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QLayout;
class QListWidget;
class QPushButton;
class QSlider;

namespace quav {

class CurveChart;

/// What every curve window shares, in the frequency-step window's style: the
/// chart over the sweep with the slider 1098 under it whose steps are the
/// sweep's (the cursor is always on a step, from the first to the last), the
/// cursor's reading, the axis and marker switches, on the right the window's
/// own choices of the current curve under "荷重", the curves kept beside it
/// ("重ねて表示": "追加", "削除"), "ﾃﾞｰﾀ表示" 1062, "保存...", "画面ｺﾋﾟｰ" and
/// "閉じる" 1. The window resizes; the chart takes the room.
class CurveDialog : public QDialog {
public:
    /// The curves shown now: the kept ones, then the current one unless kept.
    const std::vector<PlotCurve>& curves() const { return curves_; }
    CurveChart* chart() const { return chart_; }
    QImage chartImage() const;
    /// "ﾃﾞｰﾀ表示"'s text: the table of `tableCurves`, headed, values as %g.
    std::string listing() const;
    /// The chart to the clipboard, and says so.
    void copyToClipboard();
    /// "保存...": the table as CSV or TSV, the chart as PNG or SVG.
    void save();
    /// A note above the chart, in grey (stale results say so here).
    void setNote(const QString& text);

    /// Shows "ﾃﾞｰﾀ表示"'s listing in the text window (modal).
    std::function<void(QWidget* parent, const std::string& text)> showText;
    ResultSaver saver;
    MessageBoxes messages;

protected:
    explicit CurveDialog(const QString& title, QWidget* parent);

    /// Lays the window out: `heading` (may be null) above the chart, the
    /// `choices` on the right; `focus` are the window's own controls in
    /// keyboard order, after the slider. `decibelOption` offers "dB".
    void buildWindow(QLayout* heading, std::initializer_list<QWidget*> choices,
                     std::initializer_list<QWidget*> focus, bool decibelOption,
                     std::vector<FrequencyMarker> markers);
    /// Makes the curves again from the window's choices and shows them.
    void refresh();
    /// "dB" is chosen and every curve shown can take it.
    bool decibels() const;

    virtual PlotCurve currentCurve() const = 0;
    virtual std::vector<PlotCurve> keptCurves() const = 0;
    virtual bool currentIsKept() const = 0;
    virtual void keepCurrent() = 0;
    virtual void dropKept(std::size_t i) = 0;
    /// The quantity the value axis is titled with ("振幅").
    virtual std::string quantity() const = 0;
    virtual bool decibelsAvailable() const { return false; }
    /// The columns of the listing and of a saved table.
    virtual std::vector<PlotCurve> tableCurves() const { return curves_; }

    QSlider* slider_ = nullptr;
    QLabel* note_ = nullptr;
    QPushButton* data_ = nullptr;
    QPushButton* close_ = nullptr;

private:
    void scalesChanged();
    void cursorChanged();

    std::vector<PlotCurve> curves_;
    CurveChart* chart_ = nullptr;
    QLabel* readout_ = nullptr;
    QListWidget* kept_ = nullptr;
    QPushButton* keep_ = nullptr;
    QPushButton* drop_ = nullptr;
    QCheckBox* logFrequency_ = nullptr;
    QCheckBox* logValue_ = nullptr;
    QCheckBox* decibel_ = nullptr;
};

/// At most this many curves are kept beside the current one.
inline constexpr std::size_t kMaxKeptCurves = 7;

} // namespace quav
