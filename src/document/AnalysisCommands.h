#pragma once

namespace quav {

class CQUAVDoc;
class DocumentUi;
struct RobustnessValues;
struct TorqueAxisValues;
struct SensitivityParameter;

// The commands of the analysis menu. Each works on the model as it is (what it
// needs is computed afresh; the document and its results stay unchanged).
// Without a model: "モデルがありません"; a model the calculation refuses: "ｴﾗｰ"
// with the reasons.

/// "エネルギー分布": the kinetic energy distribution of the modes with their
/// decoupling rates, in global and in principal axes, in the text window.
void showEnergyDistribution(CQUAVDoc& doc, DocumentUi& ui);

/// "トルクロール軸": the torque direction asked for (starting from `values`, which
/// keep what was confirmed): the first static torque load's (else the first
/// dynamic torque load's, else x), a global axis or a vector; the report in the
/// text window.
void showTorqueRollAxis(CQUAVDoc& doc, DocumentUi& ui, TorqueAxisValues& values);

/// "マウント力": every spring's force per static and per dynamic load.
void showMountForces(CQUAVDoc& doc, DocumentUi& ui);

/// "伝達率": the transmissibility window, once the model has a force load and a
/// valid sweep.
void showTransmissibility(CQUAVDoc& doc, DocumentUi& ui);

/// "ロバスト性...": the settings (starting from `values`, which keep what was
/// confirmed), then the run with its progress window, then its report. Values out
/// of range: "入力エラー".
void runRobustness(CQUAVDoc& doc, DocumentUi& ui, RobustnessValues& values);

/// "感度...": the sensitivities of every rate, position and angle, computed with
/// the progress window, then shown in their window.
void showSensitivity(CQUAVDoc& doc, DocumentUi& ui);

/// What choosing a parameter in the sensitivity window does: the spring it
/// belongs to, or every spring bound to its characteristic, becomes the selection
/// (nothing else stays selected) and the views are redrawn.
void selectSensitivityObject(CQUAVDoc& doc, const SensitivityParameter& parameter);

} // namespace quav
