#pragma once

#include "dialogs/CurvePlot.h"

#include <QChartView>

#include <functional>
#include <optional>

class QGraphicsItem;
class QRubberBand;

namespace quav {

/// Curves over frequency on Qt Charts: labelled axes with their ticks and
/// grid, linear or logarithmic each, a legend, vertical markers, a cursor on a
/// sweep step, a rubber band that zooms in and a right click (or
/// `resetZoom`) that shows everything again. A left click without a drag
/// asks for the cursor at the nearest step through `cursorPicked`.
class CurveChart : public QChartView {
public:
    explicit CurveChart(QWidget* parent = nullptr);

    /// Shows `curves`, their whole range; the cursor stays on its step (the
    /// last one when the curves have fewer).
    void setCurves(std::vector<PlotCurve> curves, const QString& valueTitle);
    void setScales(AxisScale frequency, AxisScale value);
    /// The horizontal axis' title ("周波数 [Hz]" until told otherwise) and whether
    /// the cursor is drawn, for curves over something other than a sweep.
    void setHorizontalTitle(const QString& title);
    void setCursorShown(bool shown);
    void setMarkers(std::vector<FrequencyMarker> markers);
    void showMarkers(FrequencyMarker::Kind kind, bool shown);
    /// Puts the cursor on a step of the curves (clamped to the last one).
    void setCursorStep(std::size_t step);

    const std::vector<PlotCurve>& curves() const { return curves_; }
    std::optional<std::size_t> cursorStep() const;
    /// The ranges shown now.
    const AxisRange& frequencyRange() const { return shownX_; }
    const AxisRange& valueRange() const { return shownY_; }
    AxisScale frequencyScale() const { return xScale_; }
    AxisScale valueScale() const { return yScale_; }
    /// Shows the part of the plot between two points of the view (a rubber band).
    void zoomTo(const QRect& band);
    void resetZoom();
    bool zoomed() const { return shownX_ != fullX_ || shownY_ != fullY_; }
    /// The chart as it is drawn now.
    QImage image();

    std::function<void(std::size_t step)> cursorPicked;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void rebuild();
    void applyRanges();
    void placeOverlays();
    QPointF position(double frequency, double value) const;
    bool visible(double frequency, double value) const;
    void clearOverlays();

    std::vector<PlotCurve> curves_;
    QString valueTitle_;
    QString horizontalTitle_ = QStringLiteral("周波数 [Hz]");
    bool cursorShown_ = true;
    std::vector<FrequencyMarker> markers_;
    bool naturalShown_ = true, loadShown_ = true;
    AxisScale xScale_ = AxisScale::Linear, yScale_ = AxisScale::Linear;
    AxisRange fullX_, fullY_, shownX_, shownY_;
    std::size_t cursor_ = 0;
    std::vector<QGraphicsItem*> overlays_;
    QRubberBand* band_ = nullptr;
    QPoint pressed_;
    bool pressing_ = false;
};

} // namespace quav
