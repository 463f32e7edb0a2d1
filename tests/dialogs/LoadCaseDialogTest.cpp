// The load case table: worst first, failures in red, the report one click away.

#include "dialogs/LoadCaseDialog.h"
#include "exchange/ModelJson.h"

#include <QBrush>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

using namespace quav;

class LoadCaseDialogTest : public QObject {
    Q_OBJECT

private slots:
    void worstFirstInRed() {
        StudyRead file = readJsonModelFile(QUAV_EXAMPLES "/power_unit_cases.json");
        QVERIFY(file.ok());
        AnalysisModel& model = *file.model;
        model.loadCases.push_back({"gone", {{999, 1.0}}, {}});
        const std::vector<LoadCaseResult> results = analyseLoadCases(model);
        LoadCaseDialog dialog(model, results);
        QTableWidget* table = dialog.table();
        QCOMPARE(table->rowCount(), 21);
        // The case that cannot be solved, then the deepest overload, and so on.
        QCOMPARE(table->item(0, 0)->text(), QStringLiteral("gone"));
        QCOMPARE(table->item(0, 1)->text(), QStringLiteral("未収束"));
        QVERIFY(table->item(0, 4)->text().contains(QStringLiteral("id 999")));
        QCOMPARE(table->item(1, 0)->text(), QStringLiteral("3g bump + WOT 1st"));
        double previous = -1e300;
        int failing = 0;
        for (int row = 1; row < table->rowCount(); ++row) {
            const double ratio = table->item(row, 3)->text().toDouble();
            QVERIFY(ratio >= previous);
            previous = ratio;
            const bool red = table->item(row, 0)->foreground().color() == Qt::red;
            QCOMPARE(red, ratio < 0);
            QCOMPARE(table->item(row, 1)->text() == QStringLiteral("不合格"), red);
            failing += red ? 1 : 0;
        }
        QVERIFY(failing > 0 && failing < 20);

        std::string shown;
        dialog.showText = [&](QWidget*, const std::string& text) { shown = text; };
        dialog.findChild<QPushButton*>(QStringLiteral("report"))->click();
        QVERIFY(shown.rfind("//////荷重ケース//////", 0) == 0);
    }
};

QTEST_MAIN(LoadCaseDialogTest)
#include "LoadCaseDialogTest.moc"
