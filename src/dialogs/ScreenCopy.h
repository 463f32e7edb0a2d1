#pragma once

#include "dialogs/MessageBoxes.h"

class QImage;
class QWidget;

namespace quav {

/// Puts a picture of what `owner` shows on the clipboard as an image and tells
/// the user so: the screen copy of the 3-D view and of a graph area.
void copyScreenToClipboard(QWidget* owner, const QImage& picture, const MessageBoxes& messages);

} // namespace quav
