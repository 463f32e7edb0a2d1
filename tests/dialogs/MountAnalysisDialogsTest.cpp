// The transmissibility window and the robustness settings.

#include "dialogs/MountAnalysisDialogs.h"
#include "analysis/MountForces.h"
#include "document/ModelFile.h"
#include "model/TextFormat.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace quav;

class MountAnalysisDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void transmissibilityOfTheForceLoads() {
        ModelReadResult r = loadModelFile(QUAV_EXAMPLES "/power_unit.quav");
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
        const std::string last = listing.substr(listing.rfind("\n", listing.size() - 2) + 1);
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
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(std::tuple(dialog.values.tolerancePct, dialog.values.positionTolerance,
                            dialog.values.normal),
                 std::tuple(7.5, 0.002, true));
    }
};

QTEST_MAIN(MountAnalysisDialogsTest)
#include "MountAnalysisDialogsTest.moc"
