#include "dialogs/DialogUi.h"

#include "dialogs/CalculationLogDialog.h"
#include "dialogs/ConditionsDialog.h"
#include "dialogs/ContributionGraphDialog.h"
#include "dialogs/FrequencyStepDialog.h"
#include "dialogs/InfoDialogs.h"
#include "dialogs/LoadCaseDialog.h"
#include "dialogs/LoadCaseSettingsDialog.h"
#include "dialogs/ModelDialogs.h"
#include "dialogs/MountAnalysisDialogs.h"
#include "dialogs/ObjectivesDialog.h"
#include "dialogs/OptimizerRunControl.h"
#include "dialogs/OutputFolderDialog.h"
#include "dialogs/ParameterSettingsDialog.h"
#include "dialogs/ParetoDialog.h"
#include "dialogs/SensitivityDialog.h"
#include "dialogs/SettingsDialogs.h"
#include "document/AnalysisCommands.h"
#include "document/Document.h"
#include "document/ModelFile.h"
#include "document/ParetoFolder.h"
#include "document/ResultCommands.h"
#include "math/Matrix.h"
#include "model/Archive.h"
#include "model/Worker.h"

#include <QApplication>
#include <QEventLoop>
#include <QMainWindow>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>

#include <atomic>
#include <thread>

namespace quav {

namespace {

/// Runs a dialog and copies its values back on OK.
template <typename Dialog, typename Values, typename... Args>
bool runForm(Values& values, QWidget* parent, Args&&... args) {
    Dialog dialog(values, std::forward<Args>(args)..., parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    values = dialog.values;
    return true;
}

/// The optimiser's block of the model file, to tell whether a dialog changed it.
std::string optimizerBlock(const Optimizer& optimizer) {
    ArchiveWriter out;
    writeOptimizerBlock(out, optimizer);
    return out.takeBytes();
}

/// Runs an optimiser dialog, which edits the settings in place; a change to
/// what the model file keeps of the optimiser is one undo step `label`.
template <typename Dialog> void editOptimizer(CQUAVDoc& doc, QWidget* parent, const char* label) {
    const std::string before = optimizerBlock(doc.optimizer());
    DocumentState state = doc.captureState();
    Dialog dialog(doc.optimizer(), doc.model(), parent);
    dialog.exec();
    if (optimizerBlock(doc.optimizer()) != before)
        doc.commitEdit(label, std::move(state));
}

} // namespace

DialogUi::DialogUi(QWidget* parent)
    : browseRunFolder(OutputFolderDialog::browseFolder), parent_(parent) {}

DialogUi::~DialogUi() = default;

void DialogUi::message(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("QUAV"), QString::fromStdString(text),
                    QMessageBox::Ok, parent_);
    box.exec();
}

void DialogUi::warning(const std::string& text) {
    QMessageBox::warning(parent_, QStringLiteral("QUAV"), QString::fromStdString(text));
}

void DialogUi::information(const std::string& text) {
    QMessageBox::information(parent_, QStringLiteral("QUAV"), QString::fromStdString(text));
}

bool DialogUi::confirm(const std::string& text) {
    return MessageBoxes::confirmBox(parent_, QString::fromStdString(text));
}

Answer DialogUi::ask(const std::string& text) {
    const auto answer = QMessageBox::question(
        parent_, QStringLiteral("QUAV"), QString::fromStdString(text),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    return answer == QMessageBox::Yes  ? Answer::Yes
           : answer == QMessageBox::No ? Answer::No
                                       : Answer::Cancel;
}

void DialogUi::status(const std::string& text) {
    if (auto* window = qobject_cast<QMainWindow*>(parent_))
        window->statusBar()->showMessage(QString::fromStdString(text));
}

void DialogUi::showText(const std::string& text) {
    InfoTextDialog dialog(text, parent_);
    dialog.exec();
}

std::string DialogUi::runBusy(const std::function<void()>& work) {
    Worker worker;
    busy_ = true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (worker.finished())
            loop.quit();
    });
    // A calculation of a moment passes without a cursor flicker.
    QTimer cursor;
    cursor.setSingleShot(true);
    bool cursorShown = false;
    QObject::connect(&cursor, &QTimer::timeout, &loop, [&] {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        cursorShown = true;
    });
    worker.start([&](RunControl&) { work(); });
    poll.start(10);
    cursor.start(200);
    // Painting goes on; clicks and keys wait until the work is done.
    while (!worker.finished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.wait();
    if (cursorShown)
        QApplication::restoreOverrideCursor();
    busy_ = false;
    return worker.failed() ? interruptedCalculationText(worker.failure()) : std::string();
}

bool DialogUi::runMassElement(MassElementValues& values) {
    return runForm<MassElementDialog>(values, parent_);
}

bool DialogUi::runSpring(SpringValues& values) {
    return runForm<SpringDialog>(values, parent_);
}

bool DialogUi::runAssignCharacteristic(CharacteristicValues& values,
                                       const std::vector<CharacteristicValues>& defined) {
    return runForm<CharacteristicDialog>(values, parent_, &defined);
}

bool DialogUi::runCharacteristicList(CharacteristicListEditor& editor) {
    CharacteristicListDialog dialog(editor, parent_);
    return dialog.exec() == QDialog::Accepted;
}

bool DialogUi::runCharacteristicValues(CharacteristicValues& values) {
    return runForm<CharacteristicDialog>(
        values, parent_, static_cast<const std::vector<CharacteristicValues>*>(nullptr));
}

bool DialogUi::runLoad(LoadValues& values, const LoadDialogContext& context) {
    return runForm<LoadDialog>(values, parent_, context);
}

bool DialogUi::runObservationPoint(ObservationPointValues& values) {
    return runForm<ObservationPointDialog>(values, parent_);
}

bool DialogUi::runLoadCase(LoadCaseValues& values, const LoadCaseContext& context) {
    LoadCaseSettingsDialog dialog(values, context, parent_);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    values = dialog.values;
    return true;
}

bool DialogUi::runLoadCaseChoice(LoadCaseChoice& choice) {
    LoadCaseChoiceDialog dialog(choice, parent_);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    choice = dialog.choice;
    return true;
}

bool DialogUi::runMemo(std::string& memo) {
    MemoDialog dialog(memo, parent_);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    memo = dialog.memo();
    return true;
}

bool DialogUi::runCalculationConditions(CalculationRequest& request) {
    return runForm<CalculationConditionsDialog>(request, parent_);
}

bool DialogUi::runModeAnimation(ModeAnimationValues& values) {
    return runForm<ModeAnimationDialog>(values, parent_);
}

bool DialogUi::runDisplaySettings(DisplaySettingsValues& values) {
    return runForm<DisplaySettingsDialog>(values, parent_);
}

bool DialogUi::runGround(GroundValues& values) {
    return runForm<GroundDialog>(values, parent_);
}

void DialogUi::showContributionGraph(const Matrix& frequencies, const Matrix& modeShapes,
                                     const std::string& title) {
    ContributionGraphDialog dialog(ContributionData::fromResults(frequencies, modeShapes, title),
                                   parent_);
    dialog.exec();
}

void DialogUi::showFrequencyStepResults(CQUAVDoc& doc) {
    AnalysisModel* model = doc.model();
    if (!model)
        return;
    FrequencyStepTarget target = takeFrequencyStepTarget(*model);
    doc.updateAllViews(); // the pick is used up
    // Stale results are shown with the model they were calculated for.
    const bool stale = doc.resultState() == ResultState::Stale;
    FrequencyStepDialog dialog(stale ? *doc.resultsModel() : *model, target, parent_);
    if (stale)
        dialog.setNote(QString::fromUtf8(kStaleResultsMark));
    dialog.showText = [](QWidget* parent, const std::string& text) {
        InfoTextDialog window(text, parent);
        window.exec();
    };
    dialog.exec();
}

void DialogUi::editDesignParameters(CQUAVDoc& doc) {
    editOptimizer<ParameterSettingsDialog>(doc, parent_, "最適化ﾊﾟﾗﾒｰﾀの設定");
}

void DialogUi::editOptimizationConditions(CQUAVDoc& doc) {
    editOptimizer<ConditionsDialog>(doc, parent_, "最適化条件の設定");
}

void DialogUi::editObjectives(CQUAVDoc& doc) {
    if (!doc.model()) {
        message("モデルがありません");
        return;
    }
    DocumentState state = doc.captureState();
    ObjectivesDialog dialog(doc.optimizer(), *doc.model(), parent_);
    const std::vector<Objective> before = doc.optimizer().objectives;
    if (dialog.exec() == QDialog::Accepted && doc.optimizer().objectives != before)
        doc.commitEdit("目的関数の設定", std::move(state));
}

void DialogUi::showParetoFront(CQUAVDoc& doc) {
    const DialogMemory& memory = doc.dialogMemory();
    const std::string start = memory.outputPath.empty()
                                  ? doc.outputFolderStart()
                                  : memory.outputPath + "/" + memory.outputFolder;
    const QString folder = browseRunFolder(parent_, QStringLiteral("最適化の出力ﾌｫﾙﾀﾞを選択"),
                                           QString::fromStdString(start));
    if (!folder.isEmpty())
        showParetoFolder(folder.toStdString());
}

void DialogUi::showParetoFolder(const std::string& directory) {
    ParetoFolder folder;
    const std::string failure = runBusy([&] { folder = readParetoFolder(directory); });
    if (!failure.empty() || !folder.ok()) {
        message(failure.empty() ? folder.error : failure);
        return;
    }
    ParetoDialog dialog(std::move(folder), parent_);
    dialog.messages.inform = [this](QWidget*, const QString& text) { message(text.toStdString()); };
    dialog.openModel = openModelFile;
    dialog.exec();
}

void DialogUi::runOptimizer(CQUAVDoc& doc) {
    if (!doc.model()) {
        message("モデルがありません");
        return;
    }
    if (!run_) {
        run_ = std::make_unique<OptimizerRunControl>();
        run_->messages.inform = [this](QWidget*, const QString& text) {
            message(text.toStdString());
        };
    }
    // While a run goes on its log is shown again; a new one asks for its folder.
    if (!run_->isRunning()) {
        DialogMemory& memory = doc.dialogMemory();
        OutputFolderDialog folder(parent_, QString::fromStdString(doc.outputFolderStart()),
                                  QString::fromStdString(memory.outputFolder));
        folder.setSearch(memory.evolutionarySearch, memory.search, &doc.optimizer());
        if (folder.exec() != QDialog::Accepted)
            return;
        memory.outputPath = folder.path().toStdString();
        memory.outputFolder = folder.folderName().toStdString();
        memory.evolutionarySearch = folder.search().has_value();
        memory.search = folder.searchSettings();
        run_->setSearch(folder.search());
        prepareOutputDirectory(doc.optimizer(), memory.outputPath, memory.outputFolder);
    }
    bool ended = false;
    const QMetaObject::Connection watch = QObject::connect(
        run_.get(), &OptimizerRunControl::finished, [&ended](int status, const QString&) {
            ended = status == RunFinished || status == RunStopped;
        });
    CalculationLogDialog log(*run_, doc.optimizer(), *doc.model(), doc.title(), parent_);
    log.exec();
    QObject::disconnect(watch);
    // The front of the run that ended while its log was shown.
    if (ended && run_->runHasObjectives())
        showParetoFolder(run_->outputDirectory().toStdString());
}

bool DialogUi::optimizerRunning() const {
    return run_ && run_->isRunning();
}

bool DialogUi::confirmStopOptimizer() {
    return !optimizerRunning() || confirm("最適化の計算中です。\n計算を中止して終了しますか？");
}

void DialogUi::stopOptimizer() {
    if (run_)
        run_->shutdown();
}

bool DialogUi::runRobustness(RobustnessValues& values) {
    return runForm<RobustnessDialog>(values, parent_);
}

bool DialogUi::runTorqueAxis(TorqueAxisValues& values, const std::string& defaultText) {
    return runForm<TorqueAxisDialog>(values, parent_, defaultText);
}

std::string DialogUi::runWithProgress(const std::string& title, RunControl& control,
                                      std::int64_t total, const std::function<void()>& work) {
    busy_ = true;
    return runWithProgressWindow(parent_, QString::fromStdString(title), control, total, work);
    busy_ = false;
}

void DialogUi::showTransmissibility(const AnalysisModel& model) {
    TransmissibilityDialog dialog(model, parent_);
    dialog.showText = [](QWidget* parent, const std::string& text) {
        InfoTextDialog window(text, parent);
        window.exec();
    };
    dialog.exec();
}

void DialogUi::showLoadCases(const AnalysisModel& model,
                             const std::vector<LoadCaseResult>& results) {
    LoadCaseDialog dialog(model, results, parent_);
    if (showCaseInView)
        dialog.showInView = [this](const LoadCaseResult& r) {
            showCaseInView(r.name, r.displacement);
        };
    dialog.showText = [](QWidget* parent, const std::string& text) {
        InfoTextDialog window(text, parent);
        window.exec();
    };
    dialog.exec();
}

void DialogUi::showSensitivity(CQUAVDoc& doc, const AnalysisModel& model,
                               const Sensitivities& result) {
    SensitivityDialog dialog(
        model, result,
        [&doc](const SensitivityParameter& parameter) { selectSensitivityObject(doc, parameter); },
        parent_);
    dialog.exec();
}

} // namespace quav
