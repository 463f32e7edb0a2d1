// The load case dialogs, the curve editor behind "非線形特性..." and the load case table.

#include "DialogTestSupport.h"
#include "dialogs/CurveChart.h"
#include "dialogs/ForceCurveDialog.h"
#include "dialogs/LoadCaseDialog.h"
#include "dialogs/LoadCaseSettingsDialog.h"
#include "dialogs/ModelDialogs.h"
#include "exchange/ModelJson.h"

#include <QBrush>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>

using namespace quav;
using quav::test::closeNextMessage;

namespace {

QLineEdit* edit(QWidget* dialog, int id) {
    return dialog->findChild<QLineEdit*>(QString::number(id));
}

const LoadCaseContext kContext{{"F", "T"}, {{"idle", {}, {0, 0, -1}}}, -1};

} // namespace

class LoadCaseEditingTest : public QObject {
    Q_OBJECT

private slots:
    void caseDialogTakesRefusesAndCancels() {
        const struct {
            const char *what, *name, *factor, *gy;
            const char* refusal; // "": accepted
            const char* focused; // object name of the field named
        } cases[] = {
            {"ok", "WOT 1st", "12.5", "0.8", "", ""},
            {"name taken", "idle", "1", "0", "名前が重複しています", "1019"},
            {"no name", "", "1", "0", "名前は 1～255", "1019"},
            {"factor", "a", "x", "0", "係数 (T): 数値", "1210"},
            {"g-load", "a", "1", "-", "数値を入力", "1212"},
        };
        for (const auto& c : cases) {
            const QString refusal = QString::fromUtf8(c.refusal);
            const LoadCaseValues initial{"", {0, 0}, {0, 0, 0}};
            LoadCaseSettingsDialog d(initial, kContext);
            d.show();
            QCOMPARE(d.factors()->rowCount(), 2);
            QCOMPARE(d.factors()->item(1, 0)->text(), QStringLiteral("T"));
            QString message;
            d.messages.inform = [&](QWidget*, const QString& text) { message = text; };
            edit(&d, 1019)->setText(QString::fromUtf8(c.name));
            d.factors()->item(1, 1)->setText(c.factor);
            edit(&d, 1212)->setText(c.gy);
            if (!refusal.isEmpty() && std::string(c.focused) != "1210")
                closeNextMessage(&message);
            d.accept();
            QApplication::processEvents();
            if (refusal.isEmpty()) {
                QVERIFY2(d.result() == QDialog::Accepted, c.what);
                QCOMPARE(d.values.name, std::string(c.name));
                QCOMPARE(d.values.factors, (std::vector<double>{0, 12.5}));
                QCOMPARE(d.values.gLoad[1], 0.8);
                continue;
            }
            QVERIFY2(d.result() != QDialog::Accepted, c.what);
            QVERIFY2(message.contains(refusal), qPrintable(message));
            QVERIFY2(d.focusWidget(), c.what);
            QCOMPARE(d.focusWidget()->objectName(), QString::fromUtf8(c.focused));
            // Cancel hands nothing back: the caller keeps its values.
            d.reject();
            QCOMPARE(d.result(), int(QDialog::Rejected));
        }
    }

    void choiceNeedsACase() {
        LoadCaseChoiceDialog d({"荷重ケースの削除", {"idle", "bump"}, -1});
        QCOMPARE(d.windowTitle(), QStringLiteral("荷重ケースの削除"));
        d.accept();
        QVERIFY(d.result() != QDialog::Accepted);
        d.list()->setCurrentRow(1);
        d.accept();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(d.choice.index, 1);
    }

    void curveEditorPastesPlotsAndRefuses() {
        ForceCurveDialog d({}, std::nullopt);
        QString message;
        d.messages.inform = [&](QWidget*, const QString& text) { message = text; };
        d.tabs()->setCurrentIndex(2);
        QApplication::clipboard()->setText(
            QStringLiteral("変位\t力\r\n-0.01\t-3000\r\n0\t0\r\n0.004\t1200\r\n0.006\t4000\r\n"));
        d.paste();
        QCOMPARE(d.table(2)->rowCount(), 4);
        QCOMPARE(d.table(2)->item(3, 1)->text(), QStringLiteral("4000"));
        QCOMPARE(d.table(0)->rowCount(), 0);
        // Rated loads at plus and minus across the curve's deflections.
        for (int i = 0; i < 3; ++i)
            edit(&d, 1134 + i)->setText(QStringLiteral("3500"));
        bool upper = false, lower = false;
        for (const PlotCurve& c : d.chart()->curves()) {
            if (c.name == "定格 z +")
                upper = c.points.front().value == 3500 && c.points.front().frequency == -0.01 &&
                        c.points.back().frequency == 0.006;
            lower = lower || (c.name == "定格 z -" && c.points.back().value == -3500);
        }
        QVERIFY(upper && lower);
        QCOMPARE(d.chart()->curves()[2].points.size(), std::size_t(4));

        // Only the first line may be a heading; a row of other than two numbers is refused whole.
        for (const char* text : {"1\t2\t3\n", "0\t0\nabc\t1\n"}) {
            message.clear();
            QApplication::clipboard()->setText(QString::fromLatin1(text));
            d.paste();
            QVERIFY2(message.contains(QStringLiteral("2 つの数値")), text);
        }
        QCOMPARE(d.table(2)->rowCount(), 4);

        // A force that does not rise: the direction and the point are named.
        d.tabs()->setCurrentIndex(1);
        QApplication::clipboard()->setText(QStringLiteral("0,0\n0.01,100\n0.02,50\n"));
        d.paste();
        d.tabs()->setCurrentIndex(0);
        d.accept();
        QVERIFY(d.result() != QDialog::Accepted);
        QVERIFY2(message.contains(QStringLiteral("非線形特性 y 方向 点 3: 力が前の点より")),
                 qPrintable(message));
        QCOMPARE(d.tabs()->currentIndex(), 1);
        QCOMPARE(d.table(1)->currentRow(), 2);

        d.table(1)->item(2, 1)->setText(QStringLiteral("abc"));
        d.accept();
        QVERIFY(message.contains(QStringLiteral("y 方向 点 3: 力[N]が数値ではありません")));
        d.table(1)->item(2, 1)->setText(QStringLiteral("150"));
        edit(&d, 1135)->clear();
        d.accept();
        QVERIFY(message.contains(QStringLiteral("定格荷重[N] y 方向")));
        edit(&d, 1135)->setText(QStringLiteral("0"));
        d.accept();
        QVERIFY(message.contains(QStringLiteral("定格荷重[N] y 方向: 0 より大きい")));
        for (int i = 0; i < 3; ++i)
            edit(&d, 1134 + i)->clear();
        d.accept();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(d.curves()[1], (ForceCurve{{0, 0}, {0.01, 100}, {0.02, 150}}));
        QCOMPARE(d.curves()[2].size(), std::size_t(4));
        QVERIFY(d.curves()[0].empty());
        QVERIFY(!d.ratedLoad());
    }

    void curvesReachTheCharacteristicThroughItsOk() {
        CharacteristicValues v{"k", {1e5, 1e5, 1e5}, {}, 1.0, {}, {}, std::nullopt};
        CharacteristicDialog d(v, nullptr);
        QTimer::singleShot(0, [] {
            auto* editor = qobject_cast<ForceCurveDialog*>(QApplication::activeModalWidget());
            QVERIFY(editor);
            QApplication::clipboard()->setText(
                QStringLiteral("-0.002\t-200\r\n0\t0\r\n0.002\t300"));
            editor->paste();
            for (int i = 0; i < 3; ++i)
                edit(editor, 1134 + i)->setText(QString::number(1000 * (i + 1)));
            editor->accept();
        });
        d.findChild<QPushButton*>(QString::number(kCurvesButton))->click();
        QCOMPARE(d.values.curves[0], (ForceCurve{{-0.002, -200}, {0, 0}, {0.002, 300}}));
        QCOMPARE(d.values.ratedLoad, (std::optional<Vec3>{Vec3{1000, 2000, 3000}}));
        QVERIFY(d.findChild<QLabel*>(QStringLiteral("1119"))->text().contains(u'x'));
        d.accept();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(d.values.curves[0].size(), std::size_t(3));
    }

    // The load case table: worst first, failures in red, the report one click away (its
    // way to the 3-D view: MainFrameTest).
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

QTEST_MAIN(LoadCaseEditingTest)
#include "LoadCaseEditingTest.moc"
