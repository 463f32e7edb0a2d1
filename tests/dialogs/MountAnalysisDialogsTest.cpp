// The transmissibility window and the robustness settings.

#include "dialogs/MountAnalysisDialogs.h"
#include "analysis/MountForces.h"
#include "document/ModelFile.h"

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
        QCOMPARE(dialog.curve().size(), expected.size());
        QCOMPARE(dialog.curve().back().frequency, 100.0);
        QCOMPARE(dialog.curve()[7].value, expected[7].transmissibility);
        // The frequency-step window's look: a red curve on black.
        const QImage image = dialog.chartImage();
        int red = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                red += image.pixelColor(x, y) == QColor(255, 0, 0);
        QVERIFY(red > image.width() / 2);
        QCOMPARE(image.pixelColor(image.width() - 1, 0), QColor(0, 0, 0));

        std::string listing;
        dialog.showText = [&listing](QWidget*, const std::string& text) { listing = text; };
        for (auto* b : dialog.findChildren<QPushButton*>())
            if (b->text() == QStringLiteral("ﾃﾞｰﾀ表示"))
                b->click();
        QVERIFY(listing.starts_with("[Hz]\t伝達率\t防振率[%]\r\n1\t"));
        QCOMPARE(std::count(listing.begin(), listing.end(), '\n'), 200L);
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
