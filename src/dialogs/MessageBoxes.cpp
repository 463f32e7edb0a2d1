#include "dialogs/MessageBoxes.h"

#include <QMessageBox>

namespace quav {

namespace {

// Messages keep the system's CR LF line ends; a label wants plain line feeds.
QString displayed(const QString& text) {
    QString s = text;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

} // namespace

void MessageBoxes::informBox(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, QStringLiteral("QUAV"), displayed(text));
}

void MessageBoxes::warnBox(QWidget* parent, const QString& text) {
    QMessageBox::warning(parent, QStringLiteral("QUAV"), text);
}

bool MessageBoxes::confirmBox(QWidget* parent, const QString& text) {
    return QMessageBox::question(parent, QStringLiteral("QUAV"), displayed(text),
                                 QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Cancel) == QMessageBox::Ok;
}

} // namespace quav
