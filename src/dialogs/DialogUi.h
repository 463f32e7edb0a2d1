#pragma once

#include "document/DocumentUi.h"

#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace quav {

class OptimizerRunControl;

/// The desktop side of the dialog seam: each operation opens the real modal
/// dialog over `parent` (or a message box captioned "QUAV").
class DialogUi : public DocumentUi {
public:
    explicit DialogUi(QWidget* parent = nullptr);
    /// Stops an optimiser run in progress and waits for it.
    ~DialogUi() override;
    void setParent(QWidget* parent) { parent_ = parent; }
    /// Where the load case window shows a case's deflected body (the main
    /// window's 3-D view); none: the window offers no such button.
    std::function<void(const std::string& name, const std::array<double, 6>& displacement)>
        showCaseInView;
    /// True while `runBusy` waits for its work.
    bool busy() const { return busy_; }
    /// True while an optimiser run goes on (its log window may be closed).
    bool optimizerRunning() const;
    /// Before quitting: with a run in progress, asks whether to stop it; true
    /// when there is none or the user agrees.
    bool confirmStopOptimizer();
    /// Stops the run in progress and waits until it has written its files.
    void stopOptimizer();

    void message(const std::string& text) override;
    void warning(const std::string& text) override;
    void information(const std::string& text) override;
    /// OK and Cancel, as the dialogs' own questions (`MessageBoxes::confirmBox`).
    bool confirm(const std::string& text) override;
    Answer ask(const std::string& text) override;
    /// In the status bar of the parent, when it is a main window.
    void status(const std::string& text) override;
    void showText(const std::string& text) override;
    std::string runBusy(const std::function<void()>& work) override;

    bool runMassElement(MassElementValues& values) override;
    bool runSpring(SpringValues& values) override;
    bool runAssignCharacteristic(CharacteristicValues& values,
                                 const std::vector<CharacteristicValues>& defined) override;
    bool runCharacteristicList(CharacteristicListEditor& editor) override;
    bool runCharacteristicValues(CharacteristicValues& values) override;
    bool runLoad(LoadValues& values, const LoadDialogContext& context) override;
    bool runObservationPoint(ObservationPointValues& values) override;
    bool runLoadCase(LoadCaseValues& values, const LoadCaseContext& context) override;
    bool runLoadCaseChoice(LoadCaseChoice& choice) override;
    bool runMemo(std::string& memo) override;
    bool runCalculationConditions(CalculationRequest& request) override;

    bool runModeAnimation(ModeAnimationValues& values) override;
    bool runDisplaySettings(DisplaySettingsValues& values) override;
    bool runGround(GroundValues& values) override;

    void showContributionGraph(const Matrix& frequencies, const Matrix& modeShapes,
                               const std::string& title) override;
    void showFrequencyStepResults(CQUAVDoc& doc) override;
    void editDesignParameters(CQUAVDoc& doc) override;
    void editOptimizationConditions(CQUAVDoc& doc) override;
    void editObjectives(CQUAVDoc& doc) override;
    /// Asks for the output folder and the search, then runs the optimiser in
    /// its log window; a run with objectives that ended there shows its front.
    void runOptimizer(CQUAVDoc& doc) override;
    void showParetoFront(CQUAVDoc& doc) override;
    /// The Pareto window of the run folder `directory`, or why it cannot be shown.
    void showParetoFolder(const std::string& directory);

    /// Opens a model file in the application, asking about unsaved changes
    /// first (the main window's Open); the Pareto window's double-click uses it.
    std::function<bool(const std::string& path)> openModelFile;
    /// The folder browser of ﾊﾟﾚｰﾄ解: the chosen folder, or empty when cancelled.
    std::function<QString(QWidget* parent, const QString& title, const QString& start)>
        browseRunFolder;

    bool runRobustness(RobustnessValues& values) override;
    bool runTorqueAxis(TorqueAxisValues& values, const std::string& defaultText) override;
    std::string runWithProgress(const std::string& title, RunControl& control, std::int64_t total,
                                const std::function<void()>& work) override;
    void showTransmissibility(const AnalysisModel& model) override;
    void showLoadCases(const AnalysisModel& model,
                       const std::vector<LoadCaseResult>& results) override;
    void showSensitivity(CQUAVDoc& doc, const AnalysisModel& model,
                         const Sensitivities& result) override;

private:
    QWidget* parent_;
    bool busy_ = false;
    std::unique_ptr<OptimizerRunControl> run_;
};

} // namespace quav
