#include "dialogs/CurveChart.h"

#include "model/TextFormat.h"

#include <QGraphicsEllipseItem>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QMouseEvent>
#include <QRubberBand>
#include <QValueAxis>

#include <algorithm>

namespace quav {

namespace {

/// Curve colours in the order curves are added; red first, as the single
/// curve has always been drawn.
const QColor kCurveColours[] = {QColor(220, 0, 0),   QColor(0, 90, 200),   QColor(0, 150, 60),
                                QColor(230, 130, 0), QColor(140, 60, 180), QColor(0, 160, 170),
                                QColor(120, 80, 40), QColor(200, 0, 140)};
const QColor kNaturalColour(70, 70, 70);
const QColor kLoadColour(0, 100, 190);
const QColor kCursorColour(40, 40, 40);
constexpr qreal kOverlayZ = 10;

QColor curveColour(std::size_t i) {
    return kCurveColours[i % std::size(kCurveColours)];
}

QAbstractAxis* makeAxis(AxisScale scale, const QString& title) {
    QAbstractAxis* axis;
    if (scale == AxisScale::Logarithmic) {
        auto* log = new QLogValueAxis;
        log->setBase(10);
        log->setLabelFormat(QStringLiteral("%g"));
        log->setMinorTickCount(8); // 2 ... 9 of each decade
        log->setMinorGridLinePen(QPen(QColor(225, 225, 225), 1, Qt::DotLine));
        axis = log;
    } else {
        auto* linear = new QValueAxis;
        linear->setTickType(QValueAxis::TicksDynamic);
        linear->setTickAnchor(0.0);
        linear->setLabelFormat(QStringLiteral("%g"));
        axis = linear;
    }
    axis->setTitleText(title.toHtmlEscaped());
    return axis;
}

void setRange(QAbstractAxis* axis, const AxisRange& r) {
    if (auto* linear = qobject_cast<QValueAxis*>(axis)) {
        linear->setTickInterval(r.tickInterval);
        linear->setRange(r.min, r.max);
    } else if (auto* log = qobject_cast<QLogValueAxis*>(axis)) {
        // The axis finds its decades through log(v) / log(10), which puts
        // 0.01 a hair above -2 and would drop its label: widen by a hair.
        log->setRange(r.min * (1 - 1e-9), r.max * (1 + 1e-9));
    }
}

} // namespace

CurveChart::CurveChart(QWidget* parent) : QChartView(parent) {
    auto* c = new QChart;
    c->setBackgroundRoundness(0);
    c->setMargins(QMargins(4, 4, 4, 4));
    c->legend()->setAlignment(Qt::AlignBottom);
    c->legend()->setShowToolTips(true);
    setChart(c);
    setRenderHint(QPainter::Antialiasing);
    setFocusPolicy(Qt::NoFocus); // the slider moves the cursor by keyboard
    setMinimumSize(360, 240);
    viewport()->setCursor(Qt::CrossCursor);
    band_ = new QRubberBand(QRubberBand::Rectangle, viewport());
    connect(c, &QChart::plotAreaChanged, this, [this] { placeOverlays(); });
    rebuild();
}

void CurveChart::setCurves(std::vector<PlotCurve> curves, const QString& valueTitle) {
    curves_ = std::move(curves);
    valueTitle_ = valueTitle;
    rebuild();
}

void CurveChart::setScales(AxisScale frequency, AxisScale value) {
    xScale_ = frequency;
    yScale_ = value;
    rebuild();
}

void CurveChart::setMarkers(std::vector<FrequencyMarker> markers) {
    markers_ = std::move(markers);
    placeOverlays();
}

void CurveChart::showMarkers(FrequencyMarker::Kind kind, bool shown) {
    (kind == FrequencyMarker::NaturalFrequency ? naturalShown_ : loadShown_) = shown;
    placeOverlays();
}

void CurveChart::setHorizontalTitle(const QString& title) {
    horizontalTitle_ = title;
    rebuild();
}

void CurveChart::setCursorShown(bool shown) {
    cursorShown_ = shown;
    placeOverlays();
}

void CurveChart::setCursorStep(std::size_t step) {
    cursor_ = step;
    placeOverlays();
}

std::optional<std::size_t> CurveChart::cursorStep() const {
    if (curves_.empty() || curves_.front().points.empty())
        return std::nullopt;
    return std::min(cursor_, curves_.front().points.size() - 1);
}

void CurveChart::rebuild() {
    QChart* c = chart();
    clearOverlays();
    c->removeAllSeries();
    for (QAbstractAxis* a : c->axes()) {
        c->removeAxis(a);
        delete a;
    }
    QAbstractAxis* ax = makeAxis(xScale_, horizontalTitle_);
    QAbstractAxis* ay = makeAxis(yScale_, valueTitle_);
    c->addAxis(ax, Qt::AlignBottom);
    c->addAxis(ay, Qt::AlignLeft);
    for (std::size_t i = 0; i < curves_.size(); ++i) {
        auto runs = drawableRuns(curves_[i].points, xScale_, yScale_);
        if (runs.empty()) // still named in the legend
            runs.emplace_back();
        for (std::size_t r = 0; r < runs.size(); ++r) {
            auto* series = new QLineSeries;
            // Legend texts are rich text: a name holding "<" must not read as a tag.
            series->setName(QString::fromStdString(curves_[i].name).toHtmlEscaped());
            series->setPen(QPen(curveColour(i), 1.5));
            QList<QPointF> points;
            points.reserve(static_cast<qsizetype>(runs[r].size()));
            for (const auto& p : runs[r])
                points.append(QPointF(p.frequency, p.value));
            series->replace(points);
            c->addSeries(series);
            series->attachAxis(ax);
            series->attachAxis(ay);
            if (r > 0) // one legend entry per curve
                for (QLegendMarker* m : c->legend()->markers(series))
                    m->setVisible(false);
        }
    }
    fullX_ = shownX_ = frequencyAxisRange(curves_, xScale_);
    fullY_ = shownY_ = valueAxisRange(curves_, xScale_, yScale_);
    applyRanges();
}

void CurveChart::applyRanges() {
    const auto horizontal = chart()->axes(Qt::Horizontal);
    const auto vertical = chart()->axes(Qt::Vertical);
    if (!horizontal.isEmpty())
        setRange(horizontal.first(), shownX_);
    if (!vertical.isEmpty())
        setRange(vertical.first(), shownY_);
    placeOverlays();
}

void CurveChart::resetZoom() {
    shownX_ = fullX_;
    shownY_ = fullY_;
    applyRanges();
}

void CurveChart::zoomTo(const QRect& band) {
    const QRectF plot = chart()->plotArea();
    const QRectF area = chart()->mapFromScene(mapToScene(band)).boundingRect().intersected(plot);
    if (area.width() < 4 || area.height() < 4)
        return; // a click, not a band
    shownX_ = zoomedRange(shownX_, (area.left() - plot.left()) / plot.width(),
                          (area.right() - plot.left()) / plot.width(), xScale_, 8);
    shownY_ = zoomedRange(shownY_, (plot.bottom() - area.bottom()) / plot.height(),
                          (plot.bottom() - area.top()) / plot.height(), yScale_, 5);
    applyRanges();
}

QImage CurveChart::image() {
    return grab().toImage();
}

QPointF CurveChart::position(double frequency, double value) const {
    const QRectF plot = chart()->plotArea();
    return {plot.left() + axisFraction(frequency, shownX_, xScale_) * plot.width(),
            plot.bottom() - axisFraction(value, shownY_, yScale_) * plot.height()};
}

bool CurveChart::visible(double frequency, double value) const {
    const auto inside = [](double v, const AxisRange& r, AxisScale s) {
        if (!std::isfinite(v) || (s == AxisScale::Logarithmic && !(v > 0)))
            return false;
        const double f = axisFraction(v, r, s);
        return f >= -1e-9 && f <= 1 + 1e-9;
    };
    return inside(frequency, shownX_, xScale_) && inside(value, shownY_, yScale_);
}

void CurveChart::clearOverlays() {
    for (QGraphicsItem* item : overlays_)
        delete item;
    overlays_.clear();
}

void CurveChart::placeOverlays() {
    clearOverlays();
    QChart* c = chart();
    const QRectF plot = c->plotArea();
    if (plot.width() <= 0 || plot.height() <= 0)
        return;
    const auto add = [this](QGraphicsItem* item) {
        item->setZValue(kOverlayZ);
        overlays_.push_back(item);
    };
    const double anyValue = shownY_.min; // a value every axis can place
    QFont small = font();
    small.setPixelSize(11);
    // Labels of markers close together stack down their lines instead of overlapping.
    struct Placed {
        double x, top, bottom;
    };
    std::vector<Placed> placed;
    std::vector<const FrequencyMarker*> order;
    for (const auto& m : markers_)
        order.push_back(&m);
    std::stable_sort(order.begin(), order.end(),
                     [](auto* a, auto* b) { return a->frequency < b->frequency; });
    for (const FrequencyMarker* m : order) {
        const bool natural = m->kind == FrequencyMarker::NaturalFrequency;
        if (!(natural ? naturalShown_ : loadShown_) || !visible(m->frequency, anyValue))
            continue;
        const QColor colour = natural ? kNaturalColour : kLoadColour;
        const double x = position(m->frequency, anyValue).x();
        auto* line = new QGraphicsLineItem(x, plot.top(), x, plot.bottom(), c);
        line->setPen(QPen(colour, 1, natural ? Qt::DashLine : Qt::DashDotLine));
        add(line);
        auto* label = new QGraphicsSimpleTextItem(QString::fromStdString(m->label), c);
        label->setFont(small);
        label->setBrush(colour);
        const double length = label->boundingRect().width();
        const double thickness = label->boundingRect().height();
        double top = plot.top() + 4;
        for (bool clash = true; clash;) {
            clash = false;
            for (const Placed& p : placed)
                if (std::fabs(p.x - x) < thickness && top < p.bottom + 4 && top + length > p.top) {
                    top = p.bottom + 6;
                    clash = true;
                }
        }
        if (top + length > plot.bottom()) {
            delete label;
            continue;
        }
        // Reads upwards beside its line.
        label->setRotation(-90);
        label->setPos(x + 1, top + length);
        placed.push_back({x, top, top + length});
        add(label);
    }

    // A logarithmic frequency axis of two decades or less also labels 2 and 5
    // of each decade: its own labels would be only 1, 10 and 100.
    const auto horizontal = c->axes(Qt::Horizontal);
    if (xScale_ == AxisScale::Logarithmic && !horizontal.isEmpty() &&
        shownX_.max <= shownX_.min * 100.0) {
        const QAbstractAxis* axis = horizontal.first();
        for (double decade = std::pow(10.0, std::floor(std::log10(shownX_.min)));
             decade < shownX_.max; decade *= 10.0)
            for (double m : {2.0, 5.0}) {
                if (!visible(m * decade, anyValue))
                    continue;
                auto* label = new QGraphicsSimpleTextItem(QString::number(m * decade), c);
                label->setFont(axis->labelsFont());
                label->setBrush(axis->labelsBrush());
                const double x = position(m * decade, anyValue).x();
                label->setPos(x - label->boundingRect().width() / 2, plot.bottom() + 6);
                add(label);
            }
    }

    const auto step = cursorShown_ ? cursorStep() : std::nullopt;
    if (!step)
        return;
    const double f = curves_.front().points[*step].frequency;
    if (!visible(f, anyValue))
        return;
    const double x = position(f, anyValue).x();
    auto* line = new QGraphicsLineItem(x, plot.top(), x, plot.bottom(), c);
    line->setPen(QPen(kCursorColour, 1));
    add(line);
    for (std::size_t i = 0; i < curves_.size(); ++i) {
        if (*step >= curves_[i].points.size() || !visible(f, curves_[i].points[*step].value))
            continue;
        const QPointF p = position(f, curves_[i].points[*step].value);
        auto* dot = new QGraphicsEllipseItem(p.x() - 4, p.y() - 4, 8, 8, c);
        dot->setPen(QPen(curveColour(i), 2));
        dot->setBrush(Qt::white);
        add(dot);
    }
    auto* text = new QGraphicsSimpleTextItem(QString::fromStdString(format("%g Hz", f)), c);
    text->setFont(small);
    const QRectF box = text->boundingRect();
    // Beside the line, on the side with room.
    const double left = x + 4 + box.width() <= plot.right() ? x + 4 : x - 4 - box.width();
    auto* back = new QGraphicsRectItem(left - 2, plot.top() + 2, box.width() + 4, box.height(), c);
    back->setPen(Qt::NoPen);
    back->setBrush(QColor(255, 255, 255, 220));
    add(back);
    text->setPos(left, plot.top() + 2);
    add(text);
    text->setZValue(kOverlayZ + 1);
}

void CurveChart::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        resetZoom();
        event->accept();
        return;
    }
    if (event->button() != Qt::LeftButton) {
        QChartView::mousePressEvent(event);
        return;
    }
    pressed_ = event->position().toPoint();
    pressing_ = true;
    event->accept();
}

void CurveChart::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (pressing_ && (at - pressed_).manhattanLength() > 3) {
        band_->setGeometry(QRect(pressed_, at).normalized());
        band_->show();
    }
    event->accept();
}

void CurveChart::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressing_) {
        QChartView::mouseReleaseEvent(event);
        return;
    }
    pressing_ = false;
    event->accept();
    if (band_->isVisible()) {
        band_->hide();
        zoomTo(band_->geometry());
        return;
    }
    if (curves_.empty() || curves_.front().points.empty())
        return;
    const QRectF plot = chart()->plotArea();
    const QPointF at = chart()->mapFromScene(mapToScene(event->position().toPoint()));
    const double fraction = std::clamp((at.x() - plot.left()) / plot.width(), 0.0, 1.0);
    const std::size_t step =
        nearestStep(curves_.front().points, axisValue(fraction, shownX_, xScale_), xScale_);
    if (cursorPicked)
        cursorPicked(step);
    else
        setCursorStep(step);
}

} // namespace quav
