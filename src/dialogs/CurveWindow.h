#pragma once

#include "dialogs/ChartDrawing.h"

#include <QSize>

#include <functional>
#include <initializer_list>

class QDialog;
class QLayout;
class QPushButton;
class QSlider;
class QWidget;

namespace quav {

class ChartArea;

/// The controls every curve window shares, in the frequency-step window's
/// style: the drawing area 1097 (317 x 210 dialog units), the slider 1098 under
/// it that moves the cursor (0-1000, steps of 5 %), "ﾃﾞｰﾀ表示" 1062 and "閉じる" 1.
struct CurveWindow {
    ChartArea* area = nullptr;
    QSlider* slider = nullptr;
    QPushButton* data = nullptr;
    QPushButton* close = nullptr;
};

/// Builds the shared controls on `dialog` and lays them out: `heading` (may be
/// null) above the area, on the right "荷重" over `choices` and the data button,
/// "閉じる" at the bottom. `chart` draws the curve for the area's size and the
/// slider's position; moving the slider repaints, "閉じる" accepts, the slider
/// has the focus.
CurveWindow buildCurveWindow(QDialog* dialog,
                             std::function<ChartDrawing(QSize size, int slider)> chart,
                             QLayout* heading, std::initializer_list<QWidget*> choices);

} // namespace quav
