// The transmissibility window, the robustness settings and the sensitivity window.

#include "dialogs/MountAnalysisDialogs.h"
#include "DialogTestSupport.h"
#include "analysis/MountForces.h"
#include "dialogs/DialogUi.h"
#include "dialogs/SensitivityDialog.h"
#include "document/ModelFile.h"
#include "model/TextFormat.h"
#include "reports/ReportPieces.h"
#include "reports/SensitivityReport.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChartView>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QHorizontalBarSeries>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QValueAxis>

#include <cmath>
#include <functional>
#include <new>
#include <stdexcept>

using namespace quav;

class MountAnalysisDialogsTest : public QObject {
    Q_OBJECT

private slots:
    // Both ways of waiting for work off the thread: what it throws is the message, no more.
    void workThatThrowsIsAnError() {
        DialogUi ui;
        RunControl control;
        const struct {
            std::function<void()> work;
            std::string message;
        } cases[] = {
            {[] {}, ""},
            {[] { throw std::runtime_error("x"); }, "計算を中断しました: x"},
            {[] { throw std::bad_alloc(); }, "メモリが足りないため計算を中断しました"},
        };
        for (const auto& c : cases) {
            QCOMPARE(ui.runBusy(c.work), c.message);
            QVERIFY(!ui.busy());
            QCOMPARE(runWithProgressWindow(nullptr, QStringLiteral("t"), control, 1, c.work),
                     c.message);
        }
    }

    void transmissibilityOfTheForceLoads() {
        StudyRead r = loadModelFile(QUAV_EXAMPLES "/power_unit.quav");
        QVERIFY(r.ok());
        AnalysisModel& model = *r.model;
        // A second force load after the torque: the list skips the torque.
        model.addDynamicLoad("side", 40, model.centreOfGravity, Matrix::vector({0, 1, 0}),
                             Translational, 20);
        TransmissibilityDialog dialog(model);
        auto* loads = dialog.findChild<QComboBox*>();
        QCOMPARE(loads->count(), 2);
        QCOMPARE(loads->itemText(1), QStringLiteral("side"));

        dialog.selectLoad(1);
        const std::vector<TransmissibilityPoint> expected = transmissibility(model, 2);
        QCOMPARE(dialog.curves().size(), 1u);
        const PlotCurve& side = dialog.curves()[0];
        QCOMPARE(std::tuple(side.name, side.unit, side.points.size(), side.points.back().frequency,
                            side.points[7].value),
                 std::tuple(std::string("side"), std::string("-"), expected.size(), 100.0,
                            expected[7].transmissibility));

        // The first load kept beside it: two curves, listed with their isolation.
        dialog.selectLoad(0);
        for (auto* b : dialog.findChildren<QPushButton*>())
            if (b->text() == QStringLiteral("追加(&A)"))
                b->click();
        dialog.selectLoad(1);
        QCOMPARE(dialog.curves().size(), 2u);
        std::string listing;
        dialog.showText = [&listing](QWidget*, const std::string& text) { listing = text; };
        dialog.findChild<QPushButton*>(QStringLiteral("1062"))->click();
        QVERIFY(listing.starts_with(
            "周波数 [Hz]\t2nd order unbalance 伝達率 [-]\t2nd order unbalance 防振率 [%]\t"
            "side 伝達率 [-]\tside 防振率 [%]\r\n1\t"));
        QCOMPARE(std::count(listing.begin(), listing.end(), '\n'), long(expected.size() + 1));
        const std::string last = listing.substr(listing.rfind('\n', listing.size() - 2) + 1);
        QCOMPARE(last,
                 format("%g\t%g\t%g\t%g\t%g\r\n", 100.0, dialog.curves()[0].points.back().value,
                        (1 - dialog.curves()[0].points.back().value) * 100,
                        expected.back().transmissibility, expected.back().isolationPct));
    }

    void robustnessSettingsTakenBack() {
        RobustnessDialog dialog(RobustnessValues{});
        QCOMPARE(dialog.findChild<QLineEdit*>(QStringLiteral("1204"))->text(),
                 QStringLiteral("1000"));
        dialog.findChild<QLineEdit*>(QStringLiteral("1201"))->setText(QStringLiteral("7.5"));
        dialog.findChild<QLineEdit*>(QStringLiteral("1203"))->setText(QStringLiteral("0.002"));
        dialog.findChild<QCheckBox*>(QStringLiteral("1202"))->setChecked(true);
        dialog.findChild<QCheckBox*>(QStringLiteral("1206"))->setChecked(true);
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(std::tuple(dialog.values.tolerancePct, dialog.values.positionTolerance,
                            dialog.values.normal, dialog.values.perCharacteristic),
                 std::tuple(7.5, 0.002, true, true));

        // The torque direction: a vector of its own, which must not be zero.
        TorqueAxisDialog axis(TorqueAxisValues{}, "ﾓｰﾒﾝﾄ荷重 roll の方向");
        auto* choice = axis.findChild<QComboBox*>(QStringLiteral("1207"));
        auto* x = axis.findChild<QLineEdit*>(QStringLiteral("1208"));
        QVERIFY(choice->currentText().contains(QStringLiteral("roll")) && !x->isEnabled());
        choice->setCurrentIndex(4);
        QVERIFY(x->isEnabled());
        x->setText(QStringLiteral("0"));
        QString refusal;
        quav::test::closeNextMessage(&refusal);
        axis.accept();
        QApplication::processEvents();
        QVERIFY(axis.result() != QDialog::Accepted);
        QVERIFY(refusal.startsWith(QStringLiteral("ベクトル: 0 でない成分")));
        axis.findChild<QLineEdit*>(QStringLiteral("1210"))->setText(QStringLiteral("1"));
        axis.accept();
        QCOMPARE(std::tuple(axis.values.choice, axis.values.vector[2]), std::tuple(4, 1.0));
    }

    void sensitivityTableChartAndChoice() {
        StudyRead r = loadModelFile(QUAV_EXAMPLES "/power_unit.quav");
        QVERIFY(r.ok());
        const AnalysisModel& model = *r.model;
        const Sensitivities s =
            sensitivities(model, solveModes(model), sensitivityParameters(model, {}));
        std::vector<SensitivityParameter> chosen;
        SensitivityDialog dialog(model, s,
                                 [&chosen](const SensitivityParameter& p) { chosen.push_back(p); });
        QStringList messages;
        dialog.messages.inform = [&](QWidget*, const QString& text) { messages << text; };
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));

        // The nominal row, then a row per parameter; derivatives or elasticities as chosen.
        auto* table = dialog.findChild<QTableView*>(QStringLiteral("table"))->model();
        QCOMPARE(std::tuple(table->rowCount(), table->columnCount()), std::tuple(27, 28));
        QCOMPARE(table->headerData(10, Qt::Horizontal).toString(),
                 QStringLiteral("ﾓｰﾄﾞ1\nデカップリング率 [%] (y)"));
        auto* outputs = dialog.findChild<QComboBox*>(QStringLiteral("output"));
        QCOMPARE(std::tuple(outputs->count(), outputs->itemText(8)),
                 std::tuple(24, QStringLiteral("ﾓｰﾄﾞ3 デカップリング率 [%] (z)")));
        auto cell = [table](int row, int column) {
            return table->data(table->index(row, column)).toString();
        };
        QCOMPARE(cell(10, 1), QStringLiteral("front right(id 2)"));
        QCOMPARE(cell(10, 2), QStringLiteral("Y角度"));
        QCOMPARE(cell(10, 3), QStringLiteral("-110 [°]"));
        QCOMPARE(cell(1, 4), QString::fromStdString(format("%.6g", s.derivativeOf(0, 0))));
        dialog.findChild<QComboBox*>(QStringLiteral("form"))->setCurrentIndex(1);
        QCOMPARE(cell(1, 4), QString::fromStdString(format("%.6g", s.elasticityOf(0, 0))));
        QCOMPARE(cell(11, 4), QStringLiteral("-")); // thetaZ is 0: no elasticity

        // The chart: the chosen output's largest elasticities, largest on top, named.
        dialog.chooseOutput(kDecouplingColumn + 2);
        QCOMPARE(outputs->currentIndex(), kDecouplingColumn + 2);
        const std::vector<SensitivityBar>& bars = dialog.bars();
        QVERIFY(!bars.empty() && bars.size() <= SensitivityDialog::kMaxBars);
        double largest = 0.0;
        for (std::size_t p = 0; p < s.parameters.size(); ++p)
            if (std::isfinite(s.elasticityOf(p, kDecouplingColumn + 2)))
                largest = std::max(largest, std::fabs(s.elasticityOf(p, kDecouplingColumn + 2)));
        QCOMPARE(std::fabs(bars[0].elasticity), largest);
        for (std::size_t i = 1; i < bars.size(); ++i)
            QVERIFY(std::fabs(bars[i - 1].elasticity) >= std::fabs(bars[i].elasticity));
        QChart* chart = dialog.findChild<QChartView*>(QStringLiteral("chart"))->chart();
        auto* series = qobject_cast<QHorizontalBarSeries*>(chart->series().at(0));
        QVERIFY(series);
        QBarSet* set = series->barSets().at(0);
        QCOMPARE(set->count(), int(bars.size()));
        QCOMPARE(set->at(set->count() - 1), bars[0].elasticity);
        auto* categories = qobject_cast<QBarCategoryAxis*>(chart->axes(Qt::Vertical).at(0));
        const std::vector<std::string> names = parameterObjectNames(model, s.parameters);
        QCOMPARE(categories->categories().last(),
                 QString::fromStdString(sensitivityParameterLabel(s.parameters[bars[0].parameter],
                                                                  names[bars[0].parameter]))
                     .toHtmlEscaped());
        QCOMPARE(chart->axes(Qt::Horizontal).at(0)->titleText(),
                 QStringLiteral("弾性値 (p/y)·∂y/∂p [-]"));

        // A click on the top bar chooses its parameter and shows its row.
        emit set->clicked(set->count() - 1);
        QCOMPARE(chosen.size(), 1u);
        QCOMPARE(std::tuple(chosen[0].kind, chosen[0].object, chosen[0].component),
                 std::tuple(s.parameters[bars[0].parameter].kind,
                            s.parameters[bars[0].parameter].object,
                            s.parameters[bars[0].parameter].component));
        auto* view = dialog.findChild<QTableView*>(QStringLiteral("table"));
        QCOMPARE(view->currentIndex().row(), 1 + int(bars[0].parameter));

        // The spread for the tolerances entered joins the table; a bad value is refused.
        dialog.findChild<QLineEdit*>(QStringLiteral("1201"))->setText(QStringLiteral("-1"));
        dialog.findChild<QPushButton*>(QStringLiteral("spread"))->click();
        QVERIFY(messages.last().startsWith(QStringLiteral("入力エラー")));
        QVERIFY(dialog.tableText().find("\r\nstd\t") == std::string::npos);
        dialog.findChild<QLineEdit*>(QStringLiteral("1201"))->setText(QStringLiteral("1"));
        dialog.findChild<QPushButton*>(QStringLiteral("spread"))->click();
        const std::array<double, 6> spread = frequencySpread(model, solveModes(model), 1.0, 0.0);
        QVERIFY(dialog.findChild<QLabel*>(QStringLiteral("spreadLabel"))
                    ->text()
                    .contains(QString::fromStdString(format("ﾓｰﾄﾞ1 %.4g", spread[0]))));

        // "ｺﾋﾟｰ": the whole table as quav-cli prints it, spread included.
        const std::string expected = wholeReport(
            [&](const TextSink& sink) { return writeSensitivityTable(model, s, &spread, sink); });
        QCOMPARE(dialog.tableText(), expected);
        dialog.findChild<QPushButton*>(QStringLiteral("copy"))->click();
        QCOMPARE(QApplication::clipboard()->text(), QString::fromStdString(expected));
        QCOMPARE(messages.size(), 2);

        QTemporaryDir folder;
        const QString tsv = folder.filePath(QStringLiteral("sens.tsv"));
        dialog.saver.ask = [&](QWidget*, const QString&, const std::vector<SaveFormat>&) {
            return SaveRequest{tsv.toStdString(), SaveFormat::Tsv};
        };
        dialog.save();
        QCOMPARE(quav::test::fileText(tsv), "\xEF\xBB\xBF" + expected);
    }
};

QTEST_MAIN(MountAnalysisDialogsTest)
#include "MountAnalysisDialogsTest.moc"
