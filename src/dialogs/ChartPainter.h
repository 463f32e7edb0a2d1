#pragma once

#include "dialogs/ChartDrawing.h"

#include <QImage>
#include <QWidget>

#include <functional>

class QPainter;

namespace quav {

/// The font of every chart text.
QFont chartFont();

/// Draws `drawing` on an area of `size` pixels, without antialiasing, so each
/// primitive covers exactly the pixels it names.
void paintChart(QPainter& painter, const ChartDrawing& drawing, QSize size);

/// `drawing` rendered into an image of `size` pixels.
QImage renderChart(const ChartDrawing& drawing, QSize size);

/// A drawing area that paints what `chart` makes for its current size, on
/// every paint.
class ChartArea : public QWidget {
public:
    using Producer = std::function<ChartDrawing(QSize)>;
    explicit ChartArea(Producer chart, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Producer chart_;
};

} // namespace quav
