#pragma once

#include "dialogs/MessageBoxes.h"
#include "dialogs/SaveFormat.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

class QImage;
class QWidget;

namespace quav {

/// "保存..." of a result window: asks for a file, makes the bytes of the chosen
/// format and writes them through a temporary file that replaces the target,
/// so a failed write leaves the previous file as it was and says why.
struct ResultSaver {
    /// Asks where to save and in which of the `offered` formats; the file
    /// dialog by default, starting at `name` in the last folder used. An empty
    /// path means cancelled.
    std::function<SaveRequest(QWidget* parent, const QString& name,
                              const std::vector<SaveFormat>& offered)>
        ask = askSaveFile;

    /// True when a file was written; a failure is told through `messages`.
    bool save(QWidget* owner, const MessageBoxes& messages, const QString& name,
              const std::vector<SaveFormat>& offered,
              const std::function<QByteArray(SaveFormat)>& bytes) const;

    static SaveRequest askSaveFile(QWidget* parent, const QString& name,
                                   const std::vector<SaveFormat>& offered);
};

QByteArray pngBytes(const QImage& image);
/// `widget` as it is drawn now, as an SVG drawing of its size titled `title`.
QByteArray svgBytes(QWidget* widget, const QString& title);

} // namespace quav
