#include "dialogs/ChartPainter.h"

#include <QPainter>

namespace quav {

namespace {

QColor colour(Rgb c) {
    return QColor(c.r, c.g, c.b);
}

/// The last pixel of a line that stops before its end point: lines here run
/// along an axis, and a diagonal one simply ends on its end point.
QPoint lastPixel(const ChartLine& l) {
    if (l.x1 == l.x2)
        return {l.x2, l.y2 > l.y1 ? l.y2 - 1 : l.y2 + 1};
    if (l.y1 == l.y2)
        return {l.x2 > l.x1 ? l.x2 - 1 : l.x2 + 1, l.y2};
    return {l.x2, l.y2};
}

} // namespace

QFont chartFont() {
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPixelSize(12);
    return font;
}

void paintChart(QPainter& painter, const ChartDrawing& drawing, QSize size) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(QPoint(0, 0), size), colour(drawing.background));
    for (const auto& r : drawing.rects)
        if (r.right > r.left && r.bottom > r.top)
            painter.fillRect(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top),
                             colour(r.colour));
    for (const auto& p : drawing.polylines) {
        painter.setPen(QPen(colour(p.colour), 1));
        QPolygon polygon;
        for (const auto& pt : p.points)
            polygon << QPoint(pt.x, pt.y);
        if (polygon.size() == 1)
            painter.drawPoint(polygon.first());
        else
            painter.drawPolyline(polygon);
    }
    for (const auto& l : drawing.lines) {
        if (l.x1 == l.x2 && l.y1 == l.y2)
            continue;
        painter.setPen(QPen(colour(l.colour), 1));
        painter.drawLine(QPoint(l.x1, l.y1), lastPixel(l));
    }
    const QFont font = chartFont();
    painter.setFont(font);
    const QFontMetrics metrics(font);
    for (const auto& t : drawing.texts) {
        const QString s = QString::fromStdString(t.text);
        if (t.background)
            painter.fillRect(QRect(t.x, t.y, metrics.horizontalAdvance(s), metrics.height()),
                             colour(*t.background));
        painter.setPen(colour(t.colour));
        painter.drawText(QPoint(t.x, t.y + metrics.ascent()), s);
    }
    painter.restore();
}

QImage renderChart(const ChartDrawing& drawing, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    paintChart(painter, drawing, size);
    return image;
}

ChartArea::ChartArea(Producer chart, QWidget* parent) : QWidget(parent), chart_(std::move(chart)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ChartArea::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintChart(painter, chart_(size()), size());
}

} // namespace quav
