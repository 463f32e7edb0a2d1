#include "DialogTestSupport.h"
#include "dialogs/CalculationLogDialog.h"
#include "dialogs/DialogUi.h"
#include "dialogs/ObjectivesDialog.h"
#include "dialogs/OptimizerRunControl.h"
#include "dialogs/OutputFolderDialog.h"
#include "dialogs/ParetoDialog.h"
#include "document/Document.h"
#include "document/ModelFile.h"
#include "document/ParetoFolder.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>

#include <algorithm>
#include <tuple>

using namespace quav;
using quav::test::child;
using quav::test::fileText;

namespace {

/// The example's study, every condition off (75 pass): decoupling against transmissibility.
Study exampleStudy() {
    StudyRead r = loadModelFile(QUAV_EXAMPLES "/power_unit.quav");
    Study s(std::move(r.model), std::move(r.optimizer));
    s.optimizer.resetConditions();
    s.optimizer.objectives = {*parseObjective("max:decouplingMin"),
                              *parseObjective("min:transmissibility:1")};
    return s;
}

/// Sets row `row` (from 1) of the objectives dialog: kind (0 = なし), number (data), sense.
void setRow(QWidget& dialog, int row, int kind, int number, bool maximise) {
    const QString n = QString::number(row);
    child<QComboBox>(dialog, "kind" + n)->setCurrentIndex(kind);
    auto* numbers = child<QComboBox>(dialog, "number" + n);
    if (number)
        numbers->setCurrentIndex(numbers->findData(number));
    child<QComboBox>(dialog, "sense" + n)->setCurrentIndex(maximise ? 1 : 0);
}

/// The files of a run's folder but its log, whose times differ from run to run.
QStringList resultFiles(const QString& directory) {
    QStringList files = QDir(directory).entryList(QDir::Files, QDir::Name);
    files.removeAll(QStringLiteral("log.txt"));
    return files;
}

/// Runs `study` through the log dialog as 最適化実行 does, into `directory`.
void runInLog(OptimizerRunControl& control, Study& study, const QString& directory) {
    QVERIFY(QDir().mkpath(directory));
    study.optimizer.outputDirectory = directory.toStdString();
    CalculationLogDialog log(control, study.optimizer, *study.model, "power_unit.quav");
    log.start();
    QVERIFY(control.isRunning()); // its end comes through the event loop
    QTRY_VERIFY_WITH_TIMEOUT(!control.isRunning(), 120000);
    QCOMPARE(control.lastStatus(), int(RunFinished));
}

} // namespace

class ParetoDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void objectivesAcceptedRefusedAndCancelled();
    void objectivesEditIsOneUndoStep();
    void searchChoiceReachesTheRunAsQuavCliRunsIt();
    void paretoWindowShowsTheRunsFolder();
    void runWithObjectivesOpensItsFront();
};

void ParetoDialogsTest::objectivesAcceptedRefusedAndCancelled() {
    Study s = exampleStudy();
    s.optimizer.objectives.clear();
    enum Kind { None, Decoupling, Mean, Frequency, Transmissibility, Displacement };
    struct Case {
        const char* what;
        std::vector<std::tuple<int, int, bool>> rows; // kind, number, maximise
        const char* refusal;                          // null: accepted
    };
    const Case cases[] = {
        {"three objectives",
         {{Frequency, 1, true}, {Transmissibility, 1, false}, {Displacement, 4, false}},
         nullptr},
        {"twice the same",
         {{Mean, 0, false}, {Mean, 0, false}},
         "同じ目的関数が二度指定されています"},
        {"a moment load",
         {{Transmissibility, 2, false}},
         "モーメント荷重には力の伝達率がありません"},
        {"none at all", {}, nullptr},
    };
    for (const Case& c : cases) {
        const std::vector<Objective> before = s.optimizer.objectives;
        ObjectivesDialog dialog(s.optimizer, *s.model);
        QStringList told;
        dialog.messages.inform = [&](QWidget*, const QString& t) { told << t; };
        for (int row = 1; row <= 4; ++row)
            setRow(dialog, row, None, 0, false);
        int row = 1;
        for (const auto& [kind, number, maximise] : c.rows)
            setRow(dialog, row++, kind, number, maximise);
        const std::vector<Objective> shown = dialog.objectives();
        dialog.accept();
        if (c.refusal) {
            QVERIFY2(dialog.result() != QDialog::Accepted, c.what);
            QCOMPARE(told.size(), 1);
            QVERIFY2(told[0].contains(QString::fromUtf8(c.refusal)), qPrintable(told[0]));
            QCOMPARE(s.optimizer.objectives, before);
        } else {
            QVERIFY2(dialog.result() == QDialog::Accepted, c.what);
            QVERIFY(told.isEmpty());
            QCOMPARE(s.optimizer.objectives, shown);
            QCOMPARE(s.optimizer.objectives.size(), c.rows.size());
        }
    }
    // The displacement row took the second number list (the static load, id 8 first).
    Study t = exampleStudy();
    t.optimizer.objectives = {*parseObjective("min:staticDisplacement:4:8"),
                              *parseObjective("min:transmissibility:9")};
    ObjectivesDialog shown(t.optimizer, *t.model);
    QCOMPARE(shown.objectives(), t.optimizer.objectives);
    QCOMPARE(child<QComboBox>(shown, "load1")->currentData().toInt(), 8);
    // A load the model lacks is listed as unknown and refused, as quav-cli refuses it.
    QCOMPARE(child<QComboBox>(shown, "number2")->currentText(), QStringLiteral("9: (不明)"));
    QStringList told;
    shown.messages.inform = [&](QWidget*, const QString& text) { told << text; };
    shown.accept();
    QCOMPARE(told.size(), 1);
    QVERIFY(told[0].contains(QStringLiteral("動荷重番号は1～2です")));
    // Cancel leaves the optimiser as it was, whatever the rows show.
    setRow(shown, 2, None, 0, false);
    shown.reject();
    QCOMPARE(t.optimizer.objectives.size(), std::size_t(2));
    QCOMPARE(t.optimizer.objectives[1].load, 9);
}

void ParetoDialogsTest::objectivesEditIsOneUndoStep() {
    CQUAVDoc doc;
    Study s = exampleStudy();
    doc.adoptModel(std::move(s.model));
    doc.setModified(false);
    DialogUi ui;
    const auto answer = [](bool ok) {
        QTimer::singleShot(0, [ok] {
            auto* dialog = qobject_cast<ObjectivesDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            setRow(*dialog, 1, 3, 2, true);
            ok ? dialog->accept() : dialog->reject();
        });
    };
    answer(false);
    ui.editObjectives(doc);
    QVERIFY(doc.optimizer().objectives.empty());
    QVERIFY(!doc.isModified());
    answer(true);
    ui.editObjectives(doc);
    QCOMPARE(doc.optimizer().objectives,
             std::vector<Objective>{*parseObjective("max:frequency:2")});
    QVERIFY(doc.isModified());
    QCOMPARE(doc.history().undoLabel(), std::string("目的関数の設定"));
    QVERIFY(doc.undo());
    QVERIFY(doc.optimizer().objectives.empty());
    QVERIFY(doc.redo());
    QCOMPARE(doc.optimizer().objectives.size(), std::size_t(1));
}

void ParetoDialogsTest::searchChoiceReachesTheRunAsQuavCliRunsIt() {
    QTemporaryDir dir;
    Study study = exampleStudy();

    OutputFolderDialog settings(nullptr, dir.path(), QStringLiteral("gui"));
    QStringList told;
    settings.messages.inform = [&](QWidget*, const QString& t) { told << t; };
    settings.setSearch(false, SearchSettings{}, &study.optimizer);
    QVERIFY(!child<QSpinBox>(settings, "population")->isEnabled());
    child<QRadioButton>(settings, "evolutionary")->setChecked(true);
    child<QSpinBox>(settings, "population")->setValue(8);
    child<QSpinBox>(settings, "generations")->setValue(3);
    child<QLineEdit>(settings, "seed")->setText("7");
    child<QCheckBox>(settings, "discrete")->setChecked(true);
    // Without objectives the search is refused with the core's own words.
    const std::vector<Objective> objectives = study.optimizer.objectives;
    study.optimizer.objectives.clear();
    settings.accept();
    QCOMPARE(settings.result(), int(QDialog::Rejected));
    QCOMPARE(told, QStringList{QString::fromStdString(
                       searchSettingsProblem(*settings.search(), study.optimizer))});
    QVERIFY(told[0].startsWith(QStringLiteral("進化的探索には目的関数が必要です")));
    study.optimizer.objectives = objectives;
    settings.accept();
    QCOMPARE(settings.result(), int(QDialog::Accepted));
    QCOMPARE(settings.search()->population, 8);

    OptimizerRunControl control;
    control.messages.inform = [](QWidget*, const QString&) {};
    control.setSearch(settings.search());
    prepareOutputDirectory(study.optimizer, settings.path().toStdString(),
                           settings.folderName().toStdString());
    runInLog(control, study, dir.filePath("gui"));
    QVERIFY(control.lines().contains(QStringLiteral("探索方法\tNSGA-II")));

    // quav-cli with the same seed writes the same files (log.txt's times aside).
    const QString file = dir.filePath("study.quav");
    QVERIFY(saveModelFile(*study.model, study.optimizer, file.toStdString()).ok());
    QProcess cli;
    cli.start(QUAV_CLI, {"optimize", file, "--out", dir.filePath("cli"), "--search", "nsga2",
                         "--population", "8", "--generations", "3", "--seed", "7", "--discrete"});
    QVERIFY(cli.waitForFinished(120000));
    QCOMPARE(cli.exitCode(), 0);
    const QStringList files = resultFiles(dir.filePath("gui"));
    QCOMPARE(files, resultFiles(dir.filePath("cli")));
    QVERIFY(files.contains("pareto.csv") && files.contains("No1.quav"));
    for (const QString& name : files)
        QVERIFY2(fileText(dir.filePath("gui/" + name)) == fileText(dir.filePath("cli/" + name)),
                 qPrintable(name));

    // The grid again: the search is not kept for it.
    control.setSearch(std::nullopt);
    runInLog(control, study, dir.filePath("grid"));
    QVERIFY(!control.lines().contains(QStringLiteral("探索方法\tNSGA-II")));
    QVERIFY(QFile::exists(dir.filePath("grid/No75.quav")));
}

void ParetoDialogsTest::paretoWindowShowsTheRunsFolder() {
    QTemporaryDir dir;
    Study study = exampleStudy();
    OptimizerRunControl control;
    control.messages.inform = [](QWidget*, const QString&) {};
    runInLog(control, study, dir.path());

    ParetoFolder folder = readParetoFolder(dir.path().toStdString());
    QVERIFY2(folder.ok(), folder.error.c_str());
    QCOMPARE(folder.accepted.size(), std::size_t(75)); // every combination passes
    QVERIFY(!folder.front.empty() && folder.front.size() < 75);
    // Each front member's values are those computed from its file (the run's front itself:
    // OptimizerRun.TheFrontIsTheOneEvaluatingEveryVariantFromOutsideFinds).
    for (const ParetoMember& f : folder.front) {
        const ParetoMember& a = folder.accepted[static_cast<std::size_t>(f.number - 1)];
        QCOMPARE(std::tie(a.objectives, a.parameters), std::tie(f.objectives, f.parameters));
    }

    // A folder a run writes into, or that is no finished study with objectives, says why.
    {
        const RunDirectoryLock writing(dir.path().toStdString());
        QVERIFY(!readParetoFolder(dir.path().toStdString()).ok());
    }
    QTemporaryDir other;
    const std::string original = other.filePath("original.quav").toStdString();
    QVERIFY(saveModelFile(*study.model, study.optimizer, original).ok());
    QCOMPARE(readParetoFolder(other.path().toStdString()).error,
             std::string("pareto.csvがありません"));
    Optimizer without = study.optimizer;
    without.objectives.clear();
    QVERIFY(saveModelFile(*study.model, without, original).ok());
    QCOMPARE(readParetoFolder(other.path().toStdString()).error,
             std::string("目的関数のない計算の結果です"));

    const ParetoFolder kept = folder;
    ParetoDialog window(std::move(folder));
    QStringList told;
    window.messages.inform = [&](QWidget*, const QString& t) { told << t; };
    const auto* table = child<QTableWidget>(window, "front");
    // The points drawn, and the table: a row a front member, its file, 3 parameters, 2 objectives.
    QCOMPARE(std::tuple(window.acceptedPoints(), window.frontPoints(), table->rowCount(),
                        table->columnCount()),
             std::tuple(75, int(kept.front.size()), int(kept.front.size()), 1 + 3 + 2));
    QVERIFY(table->horizontalHeaderItem(4)->text().startsWith(QStringLiteral("最小非連成率 [%]")));

    // A click near the last front point shows its parameters and selects its row.
    const ParetoMember& last = kept.front.back();
    window.choosePoint(true, QPointF(last.objectives[0] * 1.0001, last.objectives[1]));
    const QString shown = window.shownVariant();
    QVERIFY2(shown.startsWith(QStringLiteral("No%1.quav  (ﾊﾟﾚｰﾄ解)").arg(last.number)),
             qPrintable(shown));
    for (std::size_t i = 0; i < kept.parameterNames.size(); ++i)
        QVERIFY(shown.contains(QString::fromStdString(kept.parameterNames[i]) + " = " +
                               QString::number(last.parameters[i], 'g', 10)));
    QCOMPARE(table->selectionModel()->selectedRows().value(0).row(), int(kept.front.size()) - 1);
    // A grey point off the front says so.
    const ParetoMember* off = nullptr;
    for (const ParetoMember& a : kept.accepted)
        if (std::none_of(kept.front.begin(), kept.front.end(),
                         [&](const ParetoMember& f) { return f.number == a.number; }))
            off = &a;
    QVERIFY(off);
    window.choosePoint(false, QPointF(off->objectives[0], off->objectives[1]));
    QVERIFY(window.shownVariant().startsWith(QStringLiteral("No%1.quav\n").arg(off->number)));

    // Ctrl+C on the table copies the whole front, one line a member.
    window.chooseRow(0);
    QTest::keySequence(window.findChild<QTableWidget*>("front"), QKeySequence::Copy);
    QCOMPARE(QApplication::clipboard()->text().count('\n'), int(kept.front.size()) + 1);
    QCOMPARE(told.size(), 1);

    // Double-clicking a row opens that variant's file; the window then closes.
    std::string opened;
    window.openModel = [&](const std::string& path) {
        opened = path;
        return true;
    };
    emit child<QTableWidget>(window, "front")->cellDoubleClicked(0, 0);
    QCOMPARE(opened, variantFilePath(dir.path().toStdString(), kept.front[0].number));
    QCOMPARE(window.result(), int(QDialog::Accepted));

    // Another pair of axes shows the same points.
    window.setAxes(1, 0);
    QCOMPARE(window.acceptedPoints(), 75);
    QCOMPARE(child<QComboBox>(window, "xObjective")->currentIndex(), 1);
}

void ParetoDialogsTest::runWithObjectivesOpensItsFront() {
    // 最適化実行 as the user goes through it: settings, the log, its message, the front.
    QTemporaryDir dir;
    Study study = exampleStudy();
    CQUAVDoc doc;
    doc.adoptModel(std::move(study.model));
    doc.optimizer() = std::move(study.optimizer);
    DialogUi ui;
    bool started = false;
    QStringList seen;
    int accepted = -1, front = -1;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
        QWidget* w = QApplication::activeModalWidget();
        if (auto* settings = dynamic_cast<OutputFolderDialog*>(w)) {
            child<QPlainTextEdit>(*settings, "1156")->setPlainText(dir.path());
            seen << "settings";
            settings->accept();
        } else if (auto* log = dynamic_cast<CalculationLogDialog*>(w)) {
            if (!started) {
                started = true;
                log->start();
            } else if (!ui.optimizerRunning()) {
                log->accept();
            }
        } else if (auto* box = dynamic_cast<QMessageBox*>(w)) {
            seen << box->text();
            box->accept();
        } else if (auto* pareto = dynamic_cast<ParetoDialog*>(w)) {
            accepted = pareto->acceptedPoints();
            front = pareto->frontPoints();
            pareto->accept();
        }
    });
    poll.start(20);
    ui.runOptimizer(doc);
    poll.stop();
    QCOMPARE(seen,
             (QStringList{"settings", QString::fromStdString(runStatusMessage(RunFinished))}));
    QCOMPARE(accepted, 75);
    const ParetoFolder folder = readParetoFolder(dir.filePath("Optimize").toStdString());
    QCOMPARE(front, int(folder.front.size()));
    QVERIFY(!doc.dialogMemory().evolutionarySearch);
}

QTEST_MAIN(ParetoDialogsTest)
#include "ParetoDialogsTest.moc"
