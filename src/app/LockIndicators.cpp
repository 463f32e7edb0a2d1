#include "app/LockIndicators.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QStatusBar>
#include <QtGui/qguiapplication_platform.h>

namespace quav {

namespace {

const char* const kTexts[4] = {"ｶﾅ", "CAP", "NUM", "SCRL"};

/// Kana, Caps, Num and Scroll Lock as the X server reports them (defined
/// last: Xlib's macros clash with Qt's names).
void readLockStates(bool on[4]);

} // namespace

LockIndicators::LockIndicators(QStatusBar* bar) : QObject(bar) {
    for (int i = 0; i < 4; ++i) {
        labels_[i] = new QLabel(QString::fromUtf8(kTexts[i]), bar);
        labels_[i]->setObjectName(QStringLiteral("indicator%1").arg(i + 1));
        labels_[i]->setAlignment(Qt::AlignCenter);
        labels_[i]->setMinimumWidth(
            labels_[i]->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 12);
        labels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        bar->addPermanentWidget(labels_[i]);
    }
    qApp->installEventFilter(this);
    update();
}

bool LockIndicators::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::KeyRelease || event->type() == QEvent::ApplicationActivate)
        update();
    return false;
}

void LockIndicators::update() {
    bool on[4] = {};
    readLockStates(on);
    for (int i = 0; i < 4; ++i)
        labels_[i]->setEnabled(on[i]);
}

} // namespace quav

#include <X11/XKBlib.h>

namespace quav {
namespace {

void readLockStates(bool on[4]) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    Display* display = x11 ? x11->display() : nullptr;
    if (!display)
        return;
    const char* const names[4] = {"Kana", "Caps Lock", "Num Lock", "Scroll Lock"};
    for (int i = 0; i < 4; ++i) {
        const Atom name = XInternAtom(display, names[i], True);
        Bool state = False;
        if (name != None && XkbGetNamedIndicator(display, name, nullptr, &state, nullptr, nullptr))
            on[i] = state;
    }
}

} // namespace
} // namespace quav
