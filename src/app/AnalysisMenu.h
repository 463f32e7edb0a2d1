#pragma once

#include "document/DocumentUi.h"

#include <QObject>

class QMainWindow;
class QMenu;

namespace quav {

class CQUAVDoc;

/// Command ids of the analysis menu's items.
namespace cmd {
enum : int {
    EnergyDistribution = 32841,
    TorqueRollAxisReport = 32842,
    MountForcesReport = 32843,
    Transmissibility = 32844,
    Robustness = 32845,
    Sensitivity = 32846,
    LoadCases = 32847,
};
}

/// The menu "解析(&A)" of the mount analyses, placed before the help menu of
/// `window`: each item runs its document command through `ui`. It keeps the
/// robustness settings and the torque direction last confirmed while the window
/// lives.
class AnalysisMenu : public QObject {
    Q_OBJECT
public:
    AnalysisMenu(QMainWindow* window, CQUAVDoc& doc, DocumentUi& ui);

    QMenu* menu() const { return menu_; }

private:
    QMenu* menu_;
    RobustnessValues robustness_;
    TorqueAxisValues torqueAxis_;
};

} // namespace quav
