#include "DialogTestSupport.h"
#include "dialogs/CalculationLogDialog.h"
#include "dialogs/ConditionsDialog.h"
#include "dialogs/OptimizerRunControl.h"
#include "dialogs/OutputFolderDialog.h"
#include "dialogs/ParameterSettingsDialog.h"
#include "document/ModelFile.h"
#include "model/TextEncoding.h"
#include "optimizer/Optimizer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <thread>

using namespace quav;
using quav::test::child;

namespace {

/// The example: parameters "front Kxx" (5 values), "rear Kxx" (3), "rear x" (5) bound to
/// characteristics 6, 7 and springs 4, 5; a displacement condition on the mass element.
struct Example {
    std::unique_ptr<AnalysisModel> model;
    Optimizer optimizer;
    Example() {
        StudyRead r = loadModelFile(QUAV_EXAMPLES "/power_unit.quav");
        model = std::move(r.model);
        optimizer = std::move(r.optimizer);
    }
};

/// Selects the tree item reached by following `path` from the root.
void selectPath(QWidget& dialog, int treeId, const QStringList& path) {
    QTreeWidgetItem* item = child<QTreeWidget>(dialog, treeId)->topLevelItem(0);
    for (const QString& text : path) {
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < item->childCount() && !next; ++i)
            if (item->child(i)->text(0) == text)
                next = item->child(i);
        if (!next)
            qFatal("no tree item %s", qPrintable(text));
        item = next;
    }
    child<QTreeWidget>(dialog, treeId)->setCurrentItem(item);
}

QStringList texts(const QTreeWidgetItem* item) {
    QStringList list;
    for (int i = 0; i < item->childCount(); ++i)
        list << item->child(i)->text(0);
    return list;
}

/// The binding fields as shown: choice, min, max, increment, multiplier.
QStringList shown(QWidget& d) {
    return {child<QComboBox>(d, 1102)->currentText(), child<QLineEdit>(d, 1103)->text(),
            child<QLineEdit>(d, 1104)->text(), child<QLineEdit>(d, 1081)->text(),
            child<QLineEdit>(d, 1162)->text()};
}

/// log.txt as UTF-8 lines without the time stamps, which differ run to run.
QStringList logWithoutTimes(const QString& path) {
    QStringList lines = QString::fromStdString(cp932ToUtf8Lossy(quav::test::fileText(path)))
                            .split(QStringLiteral("\r\n"));
    lines.removeIf([](const QString& l) { return l.contains(QStringLiteral("日時：")); });
    return lines;
}

/// How long a low-priority run may take: seconds when idle, minutes on a busy machine.
constexpr int kPatience = 600000;

/// A study of 5 x 3 x 4001 combinations: long enough to stop or close during it.
void makeLong(Optimizer& optimizer) {
    DesignParameter& p = optimizer.parameters[2];
    optimizer.editParameter(2, p.name, p.maxValue, p.minValue, p.increment / 1000);
}

} // namespace

class OptimizerDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void parameterTreeAndBindings();
    void parameterListEdits();
    void conditionsScalarsOkAndCancel();
    void conditionsDisplacementEntries();
    void outputFolder();
    void runStoppedAndRestarted();
    void runOutlivesTheDialogAndStopsOnShutdown();
    void springsWithTablesAreMarkedInTheTrees();
};

// A tabled characteristic and its springs carry the mark in both trees; their ids stay.
void OptimizerDialogsTest::springsWithTablesAreMarkedInTheTrees() {
    Example ex;
    ex.model->springCharacteristics[1].frequencyTable = {{1, {1, 1, 1}, {0, 0, 0}},
                                                         {10, {2, 2, 2}, {0, 0, 0}}};
    ParameterSettingsDialog d(ex.optimizer, ex.model.get());
    const QStringList springs = {"front right", "front left", "rear right ※周波数特性",
                                 "rear left ※周波数特性"};
    QTreeWidgetItem* root = child<QTreeWidget>(d, 1056)->topLevelItem(0);
    QCOMPARE(texts(root->child(0)), springs);
    QCOMPARE(texts(root->child(1)), (QStringList{"front mount", "rear mount ※周波数特性"}));
    ConditionsDialog c(ex.optimizer, ex.model.get());
    QCOMPARE(texts(child<QTreeWidget>(c, 1170)->topLevelItem(0)->child(1)), springs);
}

void OptimizerDialogsTest::parameterTreeAndBindings() {
    Example ex;
    ParameterSettingsDialog d(ex.optimizer, ex.model.get());
    QTreeWidgetItem* root = child<QTreeWidget>(d, 1056)->topLevelItem(0);
    QCOMPARE(texts(root->child(0)->child(0)), (QStringList{"x", "y", "z", "Ry", "Rz"}));
    QCOMPARE(texts(root->child(1)->child(1)), (QStringList{"Kxx", "Kyy", "Kzz"}));
    QVERIFY(!child<QComboBox>(d, 1102)->isEnabled());
    QCOMPARE(child<QLabel>(d, 1180)->text(), QStringLiteral("組合せ数：75"));
    // A bound variable shows its parameter's range and the binding's multiplier.
    selectPath(d, 1056, {"ばね特性", "front mount", "Kyy"});
    QVERIFY(child<QComboBox>(d, 1102)->isEnabled());
    QCOMPARE(shown(d), (QStringList{"front Kxx", "225000", "325000", "25000", "0.2"}));
    // Another parameter proposes a multiplier of 1; "登録" rebinds in place.
    child<QComboBox>(d, 1102)->setCurrentIndex(2);
    QCOMPARE(shown(d), (QStringList{"rear Kxx", "170000", "270000", "50000", "1"}));
    child<QLineEdit>(d, 1162)->setText("0.25");
    child<QPushButton>(d, 1062)->click();
    QCOMPARE(std::tuple(ex.optimizer.bindings[1].parameterId, ex.optimizer.bindings[1].multiplier),
             std::tuple(2, 0.25));
    // A group item disables the choice and shows zeros.
    selectPath(d, 1056, {"ばね要素"});
    QVERIFY(!child<QComboBox>(d, 1102)->isEnabled() && !child<QPushButton>(d, 1062)->isEnabled());
    QCOMPARE(shown(d).mid(0, 4), (QStringList{"ﾊﾟﾗﾒｰﾀ設定なし", "0", "0", "0"}));
    // An unbound variable: registering none adds an empty binding, again removes it.
    selectPath(d, 1056, {"ばね要素", "rear left", "Rz"});
    QCOMPARE(shown(d), (QStringList{"ﾊﾟﾗﾒｰﾀ設定なし", "0", "0", "0", "1"}));
    child<QPushButton>(d, 1062)->click();
    const ParameterBinding& added = ex.optimizer.bindings.back();
    QCOMPARE(
        std::tuple(ex.optimizer.bindings.size(), added.objectId, added.target, added.parameterId),
        std::tuple(std::size_t(9), 5, 6, 0));
    child<QComboBox>(d, 1102)->setCurrentIndex(3);
    child<QLineEdit>(d, 1162)->setText("2x");
    QStringList messages;
    d.messages.inform = [&](QWidget*, const QString& text) { messages << text; };
    child<QPushButton>(d, 1062)->click(); // not a number: nothing registered
    QCOMPARE(ex.optimizer.bindings.back().parameterId, 0);
    QCOMPARE(messages, QStringList{"数値を入力してください。"});
}

void OptimizerDialogsTest::parameterListEdits() {
    Example ex;
    // Two springs of one name: each variable item binds its own spring.
    ex.model->springs[1].name = ex.model->springs[0].name;
    ParameterSettingsDialog d(ex.optimizer, ex.model.get());
    QStringList messages;
    bool confirmAnswer = false;
    d.messages.inform = [&](QWidget*, const QString& text) { messages << text; };
    d.messages.confirm = [&](QWidget*, const QString& text) {
        messages << text;
        return confirmAnswer;
    };
    std::optional<ParameterFields> answer = ParameterFields{"angle", 0, 30, 15};
    ParameterFields offered;
    d.editParameter = [&](QWidget*, const ParameterFields& f) {
        offered = f;
        return answer;
    };
    auto* list = child<QListWidget>(d, 1107);

    child<QPushButton>(d, 1108)->click(); // add
    QCOMPARE(offered.name, std::string());
    QCOMPARE(std::tuple(list->count(), list->item(3)->text()),
             std::tuple(4, QStringLiteral("angle")));
    QCOMPARE(child<QLabel>(d, 1180)->text(), QStringLiteral("組合せ数：225"));
    QCOMPARE(child<QComboBox>(d, 1102)->itemText(4), QStringLiteral("angle"));

    QTreeWidgetItem* springs = child<QTreeWidget>(d, 1056)->topLevelItem(0)->child(0);
    child<QTreeWidget>(d, 1056)->setCurrentItem(springs->child(1)->child(3)); // 2nd spring, Ry
    child<QComboBox>(d, 1102)->setCurrentIndex(4);
    child<QPushButton>(d, 1062)->click();
    QCOMPARE(std::tuple(ex.optimizer.bindings.back().objectId, ex.optimizer.bindings.back().target),
             std::tuple(ex.model->springs[1].id, 5));

    child<QPushButton>(d, 1113)->click(); // edit without a selection
    list->setCurrentRow(3);
    answer = ParameterFields{"angle2", 5, 25, 10};
    child<QPushButton>(d, 1113)->click();
    QCOMPARE(std::tuple(offered.name, offered.maxValue), std::tuple(std::string("angle"), 30.0));
    QCOMPARE(std::tuple(ex.optimizer.parameters[3].name, ex.optimizer.parameters[3].currentValue),
             std::tuple(std::string("angle2"), 5.0));
    QCOMPARE(list->item(3)->text(), QStringLiteral("angle2"));
    // Delete: Cancel keeps it; OK removes it and its bindings, the variable shows none.
    list->setCurrentRow(0);
    child<QPushButton>(d, 1114)->click();
    QCOMPARE(ex.optimizer.parameters.size(), std::size_t(4));
    confirmAnswer = true;
    list->setCurrentRow(0);
    child<QPushButton>(d, 1114)->click();
    QCOMPARE(std::tuple(ex.optimizer.parameters.size(), ex.optimizer.bindings.size()),
             std::tuple(std::size_t(3), std::size_t(6)));
    selectPath(d, 1056, {"ばね特性", "front mount", "Kxx"});
    QCOMPARE(shown(d), (QStringList{"ﾊﾟﾗﾒｰﾀ設定なし", "0", "0", "0", "1"}));
    child<QPushButton>(d, 1114)->click(); // nothing selected after the refresh
    QCOMPARE(messages, (QStringList{"リストから選択して下さい", "選択されたﾊﾟﾗﾒｰﾀを削除します",
                                    "選択されたﾊﾟﾗﾒｰﾀを削除します", "選択されたﾊﾟﾗﾒｰﾀを削除します",
                                    "リストから選択して下さい"}));
}

void OptimizerDialogsTest::conditionsScalarsOkAndCancel() {
    Example ex;
    const OptimizationConditions before = ex.optimizer.conditions;
    {
        ConditionsDialog d(ex.optimizer, ex.model.get());
        QVERIFY(child<QCheckBox>(d, 1150)->isChecked()); // z
        QVERIFY(!child<QCheckBox>(d, 1148)->isChecked());
        QStringList shown;
        for (int id : {1122, 1134, 1168, 1080, 1165})
            shown << child<QLineEdit>(d, id)->text();
        QCOMPARE(shown, (QStringList{"50", "14", "35", "20", "10"}));
        child<QCheckBox>(d, 1160)->setChecked(false);
        child<QLineEdit>(d, 1163)->setText("6");
        QVERIFY(!child<QCheckBox>(d, 1190)->isChecked());
        child<QCheckBox>(d, 1190)->setChecked(true); // every load case passes
        d.reject();
    }
    QCOMPARE(std::tuple(ex.optimizer.conditions.minFrequencyEnabled,
                        ex.optimizer.conditions.springRatio, ex.optimizer.conditions.loadCasesPass),
             std::tuple(1, 5.0, 0));

    ConditionsDialog d(ex.optimizer, ex.model.get());
    child<QCheckBox>(d, 1153)->setChecked(true);
    child<QCheckBox>(d, 1160)->setChecked(false);
    child<QLineEdit>(d, 1128)->setText("40");
    child<QLineEdit>(d, 1140)->setText("12.5");
    child<QCheckBox>(d, 1190)->setChecked(true);
    d.accept();
    QCOMPARE(d.result(), int(QDialog::Accepted));
    const OptimizationConditions& c = ex.optimizer.conditions;
    QCOMPARE(c.loadCasesPass, 1);
    {
        // Shown as stored, and cleared on OK.
        ConditionsDialog again(ex.optimizer, ex.model.get());
        QVERIFY(child<QCheckBox>(again, 1190)->isChecked());
        child<QCheckBox>(again, 1190)->setChecked(false);
        again.accept();
        QCOMPARE(c.loadCasesPass, 0);
    }
    QCOMPARE(std::tuple(c.modeConditionEnabled[5], c.modeContributionPct[5], c.modeMaxFrequency[5],
                        c.minFrequencyEnabled),
             std::tuple(1, 40.0, 12.5, 0));
    QCOMPARE(std::tuple(c.meanCouplingMax, c.displacementConditions.size()),
             std::tuple(before.meanCouplingMax, before.displacementConditions.size()));
}

void OptimizerDialogsTest::conditionsDisplacementEntries() {
    Example ex;
    ConditionsDialog d(ex.optimizer, ex.model.get());
    QStringList messages;
    d.messages.inform = [&](QWidget*, const QString& text) { messages << text; };
    QTreeWidgetItem* root = child<QTreeWidget>(d, 1170)->topLevelItem(0);
    QCOMPARE(texts(root->child(2)), (QStringList{"radiator", "exhaust flange"}));
    QVERIFY(!child<QLineEdit>(d, 1156)->isEnabled());
    auto* entries = child<QListWidget>(d, 1178);
    // The mass element's condition: absolute displacement under "weight", 4 mm.
    selectPath(d, 1170, {"質量要素"});
    QVERIFY(child<QLineEdit>(d, 1156)->isEnabled());
    QCOMPARE(std::tuple(entries->count(), entries->currentItem()->text()),
             std::tuple(1, QStringLiteral("設定0")));
    QVERIFY(child<QCheckBox>(d, 1177)->isChecked());
    QCOMPARE(child<QComboBox>(d, 1027)->currentText() + "|" + child<QLineEdit>(d, 1156)->text(),
             QStringLiteral("weight|0.004"));
    // Registering needs a load; with load 1 and z it is stored for the mass element.
    child<QComboBox>(d, 1027)->setCurrentIndex(0);
    child<QPushButton>(d, 1062)->click();
    QCOMPARE(messages, QStringList{"荷重を選択して下さい"});
    QCOMPARE(ex.optimizer.conditions.displacementConditions.size(), std::size_t(1));
    child<QComboBox>(d, 1027)->setCurrentIndex(1);
    child<QCheckBox>(d, 1177)->setChecked(false);
    child<QCheckBox>(d, 1173)->setChecked(true);
    child<QLineEdit>(d, 1156)->setText("0.002");
    child<QPushButton>(d, 1062)->click();
    child<QPushButton>(d, 1062)->click(); // the same condition again: one entry
    const auto& list = ex.optimizer.conditions.displacementConditions;
    QCOMPARE(list.size(), std::size_t(2));
    QCOMPARE(std::tuple(list[1].objectId, list[1].loadId),
             std::tuple(ex.model->massElementId, ex.model->staticLoads[0].id));
    QCOMPARE(list[1].directionFlags, (std::array<int, 7>{0, 0, 1, 0, 0, 0, 0}));
    QCOMPARE(entries->currentRow(), 1);
    // An observation point has none; "削除" on the empty list changes nothing.
    selectPath(d, 1170, {"観測点", "exhaust flange"});
    QCOMPARE(std::tuple(entries->count(), child<QLineEdit>(d, 1156)->text()),
             std::tuple(0, QStringLiteral("0")));
    child<QPushButton>(d, 1179)->click();
    QCOMPARE(list.size(), std::size_t(2));
    // Removing the first entry of the mass element leaves the second.
    selectPath(d, 1170, {"質量要素"});
    entries->setCurrentRow(0);
    child<QPushButton>(d, 1179)->click();
    QCOMPARE(list.size(), std::size_t(1));
    QCOMPARE(list[0].directionFlags[2], 1);
    // Cancel keeps what was registered and removed.
    d.reject();
    QCOMPARE(ex.optimizer.conditions.displacementConditions.size(), std::size_t(1));
    // A model without springs and observation points: the three items only.
    AnalysisModel bare;
    Optimizer empty;
    ConditionsDialog e(empty, &bare);
    root = child<QTreeWidget>(e, 1170)->topLevelItem(0);
    QCOMPARE(root->child(1)->childCount() + root->child(2)->childCount(), 0);
}

void OptimizerDialogsTest::outputFolder() {
    OutputFolderDialog d;
    QStringList messages;
    d.messages.inform = [&](QWidget*, const QString& text) { messages << text; };
    QCOMPARE(d.path(), QDir::currentPath());
    d.browse = [&](QWidget*, const QString&, const QString&) { return QString(); };
    child<QPushButton>(d, 1062)->click(); // cancelled: the folder stays
    QCOMPARE(messages, QStringList{"ディレクトリが選択されませんでした"});
    QCOMPARE(d.path(), QDir::currentPath());
    child<QLineEdit>(d, 1157)->clear();
    d.accept();
    QCOMPARE(d.result(), int(QDialog::Rejected));
    QCOMPARE(messages.size(), 2);
}

void OptimizerDialogsTest::runStoppedAndRestarted() {
    QTemporaryDir tmp;
    Example ex;
    prepareOutputDirectory(ex.optimizer, tmp.path().toStdString(), "Optimize");
    const QString out = tmp.filePath("Optimize");
    Optimizer study = ex.optimizer;
    makeLong(study);

    OptimizerRunControl control;
    QStringList messages;
    control.messages.inform = [&](QWidget*, const QString& text) { messages << text; };
    QSignalSpy finished(&control, &OptimizerRunControl::finished);
    CalculationLogDialog dialog(control, study, *ex.model, "power_unit.quav");
    dialog.show();
    auto* start = child<QPushButton>(dialog, 1062);
    auto* stop = child<QPushButton>(dialog, 1167);
    auto* log = child<QPlainTextEdit>(dialog, 1166);
    QCOMPARE(dialog.findChild<QSpinBox*>("threads")->value(),
             int(std::max(1u, std::thread::hardware_concurrency())));
    QVERIFY(!stop->isEnabled());

    {
        // A range that gives no values is refused before the folder is touched.
        Optimizer inverted = study;
        std::swap(inverted.parameters[0].minValue, inverted.parameters[0].maxValue);
        QVERIFY(!control.start(inverted, *ex.model, "inverted", 1));
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages[0].startsWith(QStringLiteral("計算を開始できません\n\nﾊﾟﾗﾒｰﾀ")));
        messages.clear();
        // Another run, of this program or another, keeps the folder to itself.
        const RunDirectoryLock other(out.toStdString());
        start->click();
        QVERIFY(!control.isRunning() && start->isEnabled());
        QCOMPARE(messages, QStringList{"出力ﾌｫﾙﾀﾞは他の最適化計算が使用中です：" + out});
        messages.clear();
    }
    start->click();
    QVERIFY(control.isRunning() && !start->isEnabled() && stop->isEnabled());
    QVERIFY(!control.start(study, *ex.model, "second", 1)); // one run at a time
    stop->click();
    QVERIFY(finished.wait(60000));
    QCOMPARE(finished.takeFirst().at(0).toInt(), int(RunStopped));
    QCOMPARE(messages, QStringList{"処理が中断されました"});
    QVERIFY(start->isEnabled() && !stop->isEnabled());
    QVERIFY(logWithoutTimes(out + "/log.txt").contains("処理が中断されました") &&
            log->toPlainText().contains("処理が中断されました"));
    // Restarted into the same folder on the example's study: its lines follow the first's.
    study = ex.optimizer;
    start->click();
    QVERIFY(finished.wait(60000));
    QCOMPARE(finished.takeFirst().at(0).toInt(), int(RunFinished));
    QCOMPARE(messages.last(), QStringLiteral("計算が正常に終了しました"));
    QCOMPARE(log->toPlainText().count(QStringLiteral("計算スタート日時")), 2);
    const QStringList logLines = logWithoutTimes(out + "/log.txt");
    QStringList shown = log->toPlainText().split('\n');
    shown.removeIf([](const QString& l) { return l.contains(QStringLiteral("日時：")); });
    QCOMPARE(shown.mid(shown.size() - (logLines.size() - 1)), logLines.mid(0, logLines.size() - 1));
    QCOMPARE(dialog.findChild<QLabel*>("processed")->text() + "|" +
                 dialog.findChild<QLabel*>("matches")->text(),
             QStringLiteral("75 / 75|3"));
    QCOMPARE(dialog.findChild<QProgressBar*>("progress")->value(), 1000);
    // The lock was on the folder itself: the run leaves only its own files.
    const QStringList files =
        QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    QVERIFY2(std::all_of(files.begin(), files.end(),
                         [](const QString& f) { return !f.startsWith('.'); }),
             qPrintable(files.join(' ')));
}

void OptimizerDialogsTest::runOutlivesTheDialogAndStopsOnShutdown() {
    QTemporaryDir tmp;
    Example ex;
    makeLong(ex.optimizer);
    prepareOutputDirectory(ex.optimizer, tmp.path().toStdString(), "a");
    OptimizerRunControl control;
    QStringList messages;
    control.messages.inform = [&](QWidget*, const QString& text) { messages << text; };
    QSignalSpy finished(&control, &OptimizerRunControl::finished);
    {
        CalculationLogDialog dialog(control, ex.optimizer, *ex.model, "power_unit.quav");
        QSignalSpy delivered(&control, &OptimizerRunControl::linesAdded);
        dialog.start();
        // The document may change once the dialog has closed: the run has its copies.
        QVERIFY(delivered.wait(kPatience));
    }
    ex.optimizer.parameters.clear();
    ex.model->springs.clear();
    QVERIFY(control.isRunning());
    {
        // Opened again, the dialog shows the run so far and cannot start another.
        CalculationLogDialog again(control, ex.optimizer, *ex.model, "power_unit.quav");
        QVERIFY(!child<QPushButton>(again, 1062)->isEnabled());
        QVERIFY(child<QPlainTextEdit>(again, 1166)->toPlainText().startsWith("計算スタート日時"));
    }
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, kPatience);
    QCOMPARE(std::tuple(finished.at(0).at(0).toInt(), messages),
             std::tuple(int(RunFinished), QStringList{"計算が正常に終了しました"}));
    QVERIFY(logWithoutTimes(tmp.filePath("a/log.txt")).contains("処理件数\t60015"));
    // Quitting during a run stops it and waits; its log is written, nothing is said.
    Example second;
    makeLong(second.optimizer);
    prepareOutputDirectory(second.optimizer, tmp.path().toStdString(), "b");
    QVERIFY(control.start(second.optimizer, *second.model, "power_unit.quav", 2));
    control.shutdown();
    QVERIFY(!control.isRunning());
    QVERIFY(logWithoutTimes(tmp.filePath("b/log.txt")).contains("処理が中断されました"));
    QTest::qWait(100);
    QCOMPARE(std::tuple(finished.size(), messages.size()), std::tuple(1, 1));
}

QTEST_MAIN(OptimizerDialogsTest)
#include "OptimizerDialogsTest.moc"
