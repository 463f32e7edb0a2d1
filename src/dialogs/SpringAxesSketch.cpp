#include "dialogs/SpringAxesSketch.h"

#include "analysis/SystemAssembly.h"

#include <QPainter>

#include <cmath>

namespace quav {

namespace {

/// An isometric view with Z up: X towards the lower left, Y towards the lower right.
QPointF project(double x, double y, double z, QPointF origin, double length) {
    return origin + QPointF((y - x) * 0.866 * length, ((x + y) * 0.5 - z) * length);
}

} // namespace

SpringAxesSketch::SpringAxesSketch(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("springAxesSketch"));
    setMinimumSize(sizeHint());
    setToolTip(QStringLiteral("ばねﾛｰｶﾙ座標 x, y, z(赤, 緑, 青)と全体座標 X, Y, Z"));
}

void SpringAxesSketch::setAngles(double yAngle, double zAngle) {
    if (std::isfinite(yAngle))
        yAngle_ = yAngle;
    if (std::isfinite(zAngle))
        zAngle_ = zAngle;
    update();
}

void SpringAxesSketch::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), palette().base());
    const QPointF origin(width() / 2.0, height() / 2.0 + 8);
    const double length = std::min(width(), height()) * 0.36;

    p.setPen(QPen(QColor(150, 150, 150), 1, Qt::DashLine));
    const char* const global[3] = {"X", "Y", "Z"};
    for (int i = 0; i < 3; ++i) {
        const double e[3] = {double(i == 0), double(i == 1), double(i == 2)};
        const QPointF end = project(e[0], e[1], e[2], origin, length * 0.8);
        p.drawLine(origin, end);
        p.drawText(end + QPointF(3, 0), QString::fromLatin1(global[i]));
    }

    SpringElement spring;
    spring.angles[1] = yAngle_;
    spring.angles[2] = zAngle_;
    const Matrix axes = springOrientation(spring); // columns: local x, y, z in global axes
    const QColor colours[3] = {Qt::red, QColor(0, 160, 0), Qt::blue};
    const char* const local[3] = {"x", "y", "z"};
    QFont bold = font();
    bold.setBold(true);
    p.setFont(bold);
    for (int i = 0; i < 3; ++i) {
        const QPointF end = project(axes(0, i), axes(1, i), axes(2, i), origin, length);
        p.setPen(QPen(colours[i], 2));
        p.drawLine(origin, end);
        p.drawText(end + QPointF(3, -2), QString::fromLatin1(local[i]));
    }
    p.setFont(font());
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(QRectF(0, 0, width(), 16), Qt::AlignCenter, QStringLiteral("ばねﾛｰｶﾙ座標"));
}

} // namespace quav
