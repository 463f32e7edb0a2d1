#pragma once

#include "document/UserQuestions.h"
#include "model/FrequencyTable.h"
#include "model/LoadCases.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quav {

class AnalysisModel;
class CQUAVDoc;
class CharacteristicListEditor;
class Matrix;
struct RunControl;
struct Sensitivities;
struct LoadCaseResult;

using Vec3 = std::array<double, 3>;

// What the editing dialogs show and take back. Each dialog works on one of
// these; only the command that opened it writes into the model, after OK.

struct MassElementValues {
    double mass = 0.0;
    Vec3 centreOfGravity{};
    Vec3 size{};
    double ixx = 0.0, iyy = 0.0, izz = 0.0, ixy = 0.0, iyz = 0.0, izx = 0.0;
};

struct SpringValues {
    std::string name;
    Vec3 position{};
    double yAngle = 0.0; ///< [deg]
    double zAngle = 0.0; ///< [deg]
    float size = 0.0f;
};

struct CharacteristicValues {
    std::string name;
    Vec3 stiffness{}; ///< xx, yy, zz [N/m]
    Vec3 damping{};   ///< xx, yy, zz [N s/m]
    double dynamicFactor = 0.0;
    FrequencyTable frequencyTable{}; ///< empty: none
    /// Force-deflection curves along local x, y, z (empty: linear) and the rated
    /// loads [N] (none: no load margin).
    std::array<ForceCurve, 3> curves{};
    std::optional<Vec3> ratedLoad{};
};

struct LoadValues {
    std::string name;
    Vec3 direction{};
    Vec3 position{};
    double value = 0.0;
    int type = 0;           ///< index of the type box: 0 translational, 1 moment, -1 free text
    double frequency = 0.0; ///< dynamic loads only [Hz]
};

/// What the load dialogs need besides the load: the body's weight point.
struct LoadDialogContext {
    bool dynamic = false;
    double mass = 0.0;
    Vec3 centreOfGravity{};
};

/// The load case dialog: the case's name, one factor for each static load of
/// the model in the model's order (0: the load is not part of the case), and
/// the body acceleration in units of standard gravity.
struct LoadCaseValues {
    std::string name;
    std::vector<double> factors;
    Vec3 gLoad{};
};

/// What the load case dialog shows besides the case: the static loads' names
/// (a factor row each) and the model's cases, whose names the case may not take.
struct LoadCaseContext {
    std::vector<std::string> loads;
    std::vector<LoadCase> cases;
    int index = -1; ///< the edited case's place in `cases`; -1 for a new case
};

/// The case an edit or a deletion acts on: `index` into `names`, -1 for none.
struct LoadCaseChoice {
    std::string title; ///< what the choice is for ("荷重ケースの編集")
    std::vector<std::string> names;
    int index = -1;
};

struct ObservationPointValues {
    std::string name;
    Vec3 position{};
};

/// The calculation conditions dialog: the four analyses (all ticked the first
/// time, then as last confirmed) and the sweep range.
struct CalculationRequest {
    bool eigen = true;
    bool staticAnalysis = true;
    bool dynamic = true;
    bool frequencyStep = true;
    double start = 0.0; ///< [Hz]
    double end = 0.0;   ///< [Hz]
    double step = 1.0;  ///< increment [Hz]
};

struct ModeAnimationValues {
    double scale = 0.0;
    int frames = 16;
    bool showUndeformed = false;
};

/// `frames` 0 disables the frame-count list (the static display has no animation).
struct DisplaySettingsValues {
    double scale = 0.0;
    int frames = 16;
    bool showDisplacementData = false;
    bool showUndeformed = false;
};

struct GroundValues {
    bool show = false;
    float level = 0.0f; ///< [m]
};

/// The torque direction of the torque roll axis ("トルクロール軸"): the model's
/// default (the first torque load's), a global axis, or a vector.
struct TorqueAxisValues {
    int choice = 0; ///< 0 the model's default, 1 x, 2 y, 3 z, 4 `vector`
    Vec3 vector{1.0, 0.0, 0.0};
};

/// The robustness run ("ロバスト性"): spring rate and position tolerances and
/// the samples; the command checks the values.
struct RobustnessValues {
    double tolerancePct = 5.0;      ///< every rate within +-P [%]
    bool normal = false;            ///< normal with P as 3 sigma instead of uniform
    double positionTolerance = 0.0; ///< every spring coordinate within +- [m]
    /// Every spring bound to a characteristic varies with it in lockstep, rather
    /// than each spring on its own.
    bool perCharacteristic = false;
    double samples = 1000.0;
    double seed = 1.0;
};

/// The one way the document's commands and the operation tree reach dialogs
/// and message boxes. The desktop application implements it with real modal
/// dialogs; tests script the answers. Every `run...` returns true for OK and
/// leaves the values as the user left them.
class DocumentUi : public UserQuestions {
public:
    /// A line in the status bar: what a command did, or what it expects next.
    virtual void status(const std::string& text) = 0;
    /// The read-only text window; lines end with CR LF.
    virtual void showText(const std::string& text) = 0;
    /// Runs `work` (which must not touch anything the window reads) while the
    /// window stays painted and refuses input; returns when `work` has finished:
    /// empty, or the message of what `work` threw (`interruptedCalculationText`).
    [[nodiscard]] virtual std::string runBusy(const std::function<void()>& work) = 0;

    virtual bool runMassElement(MassElementValues& values) = 0;
    virtual bool runSpring(SpringValues& values) = 0;
    /// The assign dialog; `defined` are the model's characteristics, in order,
    /// whose values selecting a list entry copies into the fields.
    virtual bool runAssignCharacteristic(CharacteristicValues& values,
                                         const std::vector<CharacteristicValues>& defined) = 0;
    /// The characteristic list: its edit and delete buttons call `editor`.
    virtual bool runCharacteristicList(CharacteristicListEditor& editor) = 0;
    virtual bool runCharacteristicValues(CharacteristicValues& values) = 0;
    virtual bool runLoad(LoadValues& values, const LoadDialogContext& context) = 0;
    virtual bool runObservationPoint(ObservationPointValues& values) = 0;
    virtual bool runLoadCase(LoadCaseValues& values, const LoadCaseContext& context) = 0;
    virtual bool runLoadCaseChoice(LoadCaseChoice& choice) = 0;
    virtual bool runMemo(std::string& memo) = 0;
    virtual bool runCalculationConditions(CalculationRequest& request) = 0;

    virtual bool runModeAnimation(ModeAnimationValues& values) = 0;
    virtual bool runDisplaySettings(DisplaySettingsValues& values) = 0;
    virtual bool runGround(GroundValues& values) = 0;

    // Result graphs and the optimiser, each a modal window of its own.
    /// The contribution charts, on copies of the frequencies (6 x 1, Hz) and
    /// the mode shapes (6 x 6, mode k in column 6 - k).
    virtual void showContributionGraph(const Matrix& frequencies, const Matrix& modeShapes,
                                       const std::string& title) = 0;
    /// The response over the sweep of the first picked object (its pick is
    /// cleared), or of the centre of gravity.
    virtual void showFrequencyStepResults(CQUAVDoc& doc) = 0;
    virtual void editDesignParameters(CQUAVDoc& doc) = 0;
    virtual void editOptimizationConditions(CQUAVDoc& doc) = 0;
    /// The study's objectives (目的関数); a change is one undo step.
    virtual void editObjectives(CQUAVDoc& doc) = 0;
    /// Asks for the output folder, then runs the optimiser in its log window.
    virtual void runOptimizer(CQUAVDoc& doc) = 0;
    /// Asks for a finished run's folder and shows its Pareto front.
    virtual void showParetoFront(CQUAVDoc& doc) = 0;

    // The mount analyses.
    virtual bool runRobustness(RobustnessValues& values) = 0;
    /// The torque direction; `defaultText` says what the model's default is.
    virtual bool runTorqueAxis(TorqueAxisValues& values, const std::string& defaultText) = 0;
    /// Runs `work` off the GUI thread while a progress window shows `control.done`
    /// of `total`; its stop button sets `control.stop`. Returns when `work` has
    /// finished, as `runBusy` does.
    [[nodiscard]] virtual std::string runWithProgress(const std::string& title, RunControl& control,
                                                      std::int64_t total,
                                                      const std::function<void()>& work) = 0;
    /// The force transmissibility of the model's force loads over its sweep, one
    /// load at a time; the model must stay unchanged while it is shown.
    virtual void showTransmissibility(const AnalysisModel& model) = 0;
    /// The sensitivities of `model` (a copy of the document's, which they were
    /// computed on); choosing a parameter selects its springs in `doc`.
    virtual void showSensitivity(CQUAVDoc& doc, const AnalysisModel& model,
                                 const Sensitivities& result) = 0;
    /// The table of solved load cases of `model` (a copy of the document's), the
    /// worst first, with their report.
    virtual void showLoadCases(const AnalysisModel& model,
                               const std::vector<LoadCaseResult>& results) = 0;
};

} // namespace quav
