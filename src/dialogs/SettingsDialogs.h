#pragma once

#include "dialogs/FormDialog.h"
#include "document/DocumentUi.h"

namespace quav {

/// 156 "計算条件設定".
class CalculationConditionsDialog : public FormDialog {
    Q_OBJECT
public:
    CalculationConditionsDialog(const CalculationRequest& request, QWidget* parent = nullptr);
    CalculationRequest values;
};

/// 152 "ﾓｰﾄﾞｱﾆﾒｰｼｮﾝ設定".
class ModeAnimationDialog : public FormDialog {
    Q_OBJECT
public:
    ModeAnimationDialog(const ModeAnimationValues& values, QWidget* parent = nullptr);
    ModeAnimationValues values;
};

/// 153 "表示設定"; the frame-count list is disabled when the count passed in is 0.
class DisplaySettingsDialog : public FormDialog {
    Q_OBJECT
public:
    DisplaySettingsDialog(const DisplaySettingsValues& values, QWidget* parent = nullptr);
    DisplaySettingsValues values;
};

/// 137 "グラウンド設定".
class GroundDialog : public FormDialog {
    Q_OBJECT
public:
    GroundDialog(const GroundValues& values, QWidget* parent = nullptr);
    GroundValues values;
};

} // namespace quav
