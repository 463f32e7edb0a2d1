#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace quav {

/// The message boxes a dialog shows, replaceable so that tests can answer
/// them. By default: modal boxes captioned "QUAV".
struct MessageBoxes {
    /// A message with an OK button.
    std::function<void(QWidget* parent, const QString& text)> inform = informBox;
    /// A question with OK and Cancel; true for OK.
    std::function<bool(QWidget* parent, const QString& text)> confirm = confirmBox;
    /// A refusal with a warning sign and an OK button, the text shown as it is.
    std::function<void(QWidget* parent, const QString& text)> warn = warnBox;

    static void informBox(QWidget* parent, const QString& text);
    static void warnBox(QWidget* parent, const QString& text);
    static bool confirmBox(QWidget* parent, const QString& text);
};

} // namespace quav
