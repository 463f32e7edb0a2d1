#pragma once

// A dialog seam for tests: each dialog the code under test opens takes the
// next scripted answer, which must be for a dialog of that kind; messages and
// texts are recorded.

#include "analysis/LoadCaseAnalysis.h"
#include "analysis/Sensitivity.h"
#include "document/CharacteristicListEditor.h"
#include "document/DocumentUi.h"
#include "model/Worker.h"

#include <deque>
#include <exception>
#include <functional>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

namespace quav::test {

class ScriptedUi : public DocumentUi {
public:
    /// The next dialog of kind V gets `answer`: it may change the values and
    /// returns true for OK.
    template <class V> void expect(std::function<bool(V&)> answer) {
        script_.push_back({&typeid(V), [answer](void* v) { return answer(*static_cast<V*>(v)); }});
    }
    template <class V> void ok(std::function<void(V&)> fill = {}) {
        expect<V>([fill](V& v) {
            if (fill)
                fill(v);
            return true;
        });
    }
    template <class V> void cancel() {
        expect<V>([](V&) { return false; });
    }
    /// The answer to the next question (`confirm`: Yes is OK, anything else Cancel).
    void answer(Answer a) { answers_.push_back(a); }
    bool scriptDone() const { return script_.empty() && answers_.empty(); }

    /// The questions asked, in order.
    std::vector<std::string> questions;

    std::vector<std::string> messages;
    std::vector<std::string> warnings;
    std::vector<std::string> informations;
    std::vector<std::string> texts;
    std::vector<std::string> statuses;
    /// Windows opened that have no values of their own (graphs, optimiser).
    std::vector<std::string> windows;
    /// Dialogs opened with nothing scripted for them, or of another kind.
    std::vector<std::string> unexpected;
    /// What the last load dialog was given.
    LoadDialogContext lastLoadContext;
    std::vector<CharacteristicValues> lastDefined;
    /// What the last load case dialog was given.
    LoadCaseContext lastCaseContext;

    void message(const std::string& text) override { messages.push_back(text); }
    void warning(const std::string& text) override { warnings.push_back(text); }
    void information(const std::string& text) override { informations.push_back(text); }
    bool confirm(const std::string& text) override { return ask(text) == Answer::Yes; }
    Answer ask(const std::string& text) override {
        questions.push_back(text);
        if (answers_.empty()) {
            unexpected.push_back("question " + text);
            return Answer::Cancel;
        }
        const Answer a = answers_.front();
        answers_.pop_front();
        return a;
    }
    void status(const std::string& text) override { statuses.push_back(text); }
    void showText(const std::string& text) override { texts.push_back(text); }
    /// When set, the next work off the window's thread throws this instead of running.
    std::exception_ptr failWork;

    std::string runBusy(const std::function<void()>& work) override { return runWork(work); }

    bool runMassElement(MassElementValues& v) override { return run(v); }
    bool runSpring(SpringValues& v) override { return run(v); }
    bool runAssignCharacteristic(CharacteristicValues& v,
                                 const std::vector<CharacteristicValues>& defined) override {
        lastDefined = defined;
        return run(v);
    }
    bool runCharacteristicList(CharacteristicListEditor& editor) override { return run(editor); }
    bool runCharacteristicValues(CharacteristicValues& v) override { return run(v); }
    bool runLoad(LoadValues& v, const LoadDialogContext& context) override {
        lastLoadContext = context;
        return run(v);
    }
    bool runObservationPoint(ObservationPointValues& v) override { return run(v); }
    bool runLoadCase(LoadCaseValues& v, const LoadCaseContext& context) override {
        lastCaseContext = context;
        return run(v);
    }
    bool runLoadCaseChoice(LoadCaseChoice& c) override { return run(c); }
    bool runMemo(std::string& memo) override { return run(memo); }
    bool runCalculationConditions(CalculationRequest& r) override { return run(r); }
    bool runModeAnimation(ModeAnimationValues& v) override { return run(v); }
    bool runDisplaySettings(DisplaySettingsValues& v) override { return run(v); }
    bool runGround(GroundValues& v) override { return run(v); }

    void showContributionGraph(const Matrix&, const Matrix&, const std::string& title) override {
        windows.push_back("graph " + title);
    }
    void showFrequencyStepResults(CQUAVDoc&) override { windows.push_back("frequency step"); }
    void editDesignParameters(CQUAVDoc&) override { windows.push_back("parameters"); }
    void editOptimizationConditions(CQUAVDoc&) override { windows.push_back("conditions"); }
    void runOptimizer(CQUAVDoc&) override { windows.push_back("optimizer run"); }
    void editObjectives(CQUAVDoc&) override { windows.push_back("objectives"); }
    void showParetoFront(CQUAVDoc&) override { windows.push_back("pareto"); }
    bool runRobustness(RobustnessValues& v) override { return run(v); }
    bool runTorqueAxis(TorqueAxisValues& v, const std::string&) override { return run(v); }
    std::string runWithProgress(const std::string& title, RunControl&, std::int64_t,
                                const std::function<void()>& work) override {
        windows.push_back("progress " + title);
        return runWork(work);
    }
    void showTransmissibility(const AnalysisModel&) override {
        windows.push_back("transmissibility");
    }
    void showSensitivity(CQUAVDoc&, const AnalysisModel&, const Sensitivities& s) override {
        windows.push_back("sensitivity");
        sensitivityValues = s.values;
    }
    std::vector<double> sensitivityValues; ///< of the last sensitivity window
    void showLoadCases(const AnalysisModel&, const std::vector<LoadCaseResult>& results) override {
        windows.push_back("load cases");
        loadCases = results;
    }
    std::vector<LoadCaseResult> loadCases;

private:
    std::string runWork(const std::function<void()>& work) {
        if (!failWork)
            return runCaught(work);
        const std::exception_ptr failure = std::exchange(failWork, nullptr);
        return runCaught([failure] { std::rethrow_exception(failure); });
    }

    template <class V> bool run(V& values) {
        if (script_.empty() || *script_.front().type != typeid(V)) {
            unexpected.push_back(typeid(V).name());
            return false;
        }
        auto step = std::move(script_.front());
        script_.pop_front();
        return step.answer(&values);
    }

    struct Step {
        const std::type_info* type;
        std::function<bool(void*)> answer;
    };
    std::deque<Step> script_;
    std::deque<Answer> answers_;
};

} // namespace quav::test
