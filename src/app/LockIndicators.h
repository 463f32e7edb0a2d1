#pragma once

#include <QObject>

class QLabel;
class QStatusBar;

namespace quav {

/// The status bar's keyboard indicators "ｶﾅ", "CAP", "NUM" and "SCRL": each is
/// dimmed while its lock is off. The lock states come from the X server; on
/// other platforms the indicators stay dimmed.
class LockIndicators : public QObject {
    Q_OBJECT
public:
    explicit LockIndicators(QStatusBar* bar);
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void update();
    QLabel* labels_[4];
};

} // namespace quav
