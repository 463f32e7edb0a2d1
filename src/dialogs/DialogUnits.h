#pragma once

#include <QSize>

namespace quav {

/// Pixels of a length given in dialog units: 1.75 pixels each way, the size
/// at which the charts' fixed pixel layouts fit their drawing areas with the
/// dialog font.
constexpr int dialogUnits(int units) {
    return (units * 7 + 2) / 4;
}

constexpr QSize dialogUnits(int width, int height) {
    return QSize(dialogUnits(width), dialogUnits(height));
}

} // namespace quav
