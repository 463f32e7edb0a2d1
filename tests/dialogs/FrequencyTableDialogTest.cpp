// The frequency table editor and the characteristic dialogs' way to it.
#include "dialogs/FrequencyTableDialog.h"
#include "DialogTestSupport.h"
#include "dialogs/CurveChart.h"
#include "dialogs/ModelDialogs.h"

#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

using namespace quav;

namespace {

const FrequencyTable kTable = {{10, {1.2, 1.1, 1.1}, {0.08, 0.06, 0.06}},
                               {100, {1.5, 1.3, 1.3}, {0.1, 0.07, 0.07}},
                               {200, {1.8, 1.5, 1.5}, {0.12, 0.08, 0.08}}};

QTableWidget* grid(QWidget* d) {
    return d->findChild<QTableWidget*>(QStringLiteral("1122"));
}

void click(QWidget* d, const char* id) {
    d->findChild<QPushButton*>(QString::fromLatin1(id))->click();
}

/// The editor with its message boxes kept instead of shown.
struct Editor {
    explicit Editor(const FrequencyTable& table) : dialog(table) {
        dialog.messages.inform = [this](QWidget*, const QString& text) { messages << text; };
    }
    FrequencyTableDialog dialog;
    QStringList messages;
};

} // namespace

class FrequencyTableDialogTest : public QObject {
    Q_OBJECT
private slots:
    // OK refuses a cell by row and column and stays on it; no rows at all is no table.
    void refusalsNameTheCellAndKeepTheDialogOpen() {
        Editor e(kTable);
        QTableWidget* g = grid(&e.dialog);
        QCOMPARE(g->rowCount(), 3);
        QCOMPARE(g->item(1, 3)->text(), QStringLiteral("1.3"));
        g->item(2, 2)->setText(QStringLiteral("-1"));
        e.dialog.accept();
        QCOMPARE(e.dialog.result(), int(QDialog::Rejected));
        QCOMPARE(e.messages.value(0), QStringLiteral("行 3「動倍率 y」: 0 より大きい値が必要です"));
        QCOMPARE(std::pair(g->currentRow(), g->currentColumn()), std::pair(2, 2));
        g->item(2, 2)->setText(QStringLiteral("abc"));
        e.dialog.accept();
        QCOMPARE(e.messages.value(1), QStringLiteral("行 3「動倍率 y」: 数値を入力して下さい"));
        g->item(2, 2)->setText(QStringLiteral(" 1.45 "));
        g->item(0, 0)->setText(QStringLiteral("100"));
        e.dialog.accept();
        QVERIFY(
            e.messages.value(2).startsWith(QStringLiteral("行 2「f [Hz]」: 周波数は前の行より")));
        g->item(0, 0)->setText(QStringLiteral("10"));
        e.dialog.accept();
        QCOMPARE(e.dialog.result(), int(QDialog::Accepted));
        FrequencyTable expected = kTable;
        expected[2].ratio[1] = 1.45;
        QCOMPARE(e.dialog.table(), expected);

        Editor none(kTable);
        grid(&none.dialog)->selectAll();
        click(&none.dialog, "1124");
        QCOMPARE(grid(&none.dialog)->rowCount(), 0);
        none.dialog.accept();
        QCOMPARE(none.dialog.result(), int(QDialog::Accepted));
        QVERIFY(none.dialog.table().empty());
        Editor one(kTable);
        grid(&one.dialog)->setCurrentCell(0, 0);
        click(&one.dialog, "1124");
        click(&one.dialog, "1124");
        one.dialog.accept();
        QCOMPARE(one.messages.value(0), QStringLiteral("周波数特性: 行が 2 行以上必要です(1 行)"));
    }

    // Pasted cells go in from the current row on; a CSV file reads and writes the table.
    void pasteImportAndExport() {
        Editor e(kTable);
        QTableWidget* g = grid(&e.dialog);
        QApplication::clipboard()->setText(QStringLiteral(
            "300\t2\t1.6\t1.6\t0.13\t0.09\t0.09\r\n400\t2.1\t1.7\t1.7\t0.14\t0.1\t0.1\r\n"));
        g->setCurrentCell(2, 0);
        click(&e.dialog, "1125");
        QCOMPARE(g->rowCount(), 4);
        QCOMPARE(g->item(2, 0)->text() + g->item(3, 6)->text(), QStringLiteral("3000.1"));
        QApplication::clipboard()->setText(QStringLiteral("1\t2\n"));
        click(&e.dialog, "1125");
        QVERIFY(e.messages.value(0).contains(QStringLiteral("7 列の数値が必要です")));
        QCOMPARE(g->rowCount(), 4);
        g->setCurrentCell(1, 0);
        click(&e.dialog, "1123");
        QCOMPARE(std::pair(g->rowCount(), g->currentRow()), std::pair(5, 2));

        e.dialog.askOpen = [](QWidget*) {
            return QStringLiteral(QUAV_EXAMPLES "/rubber_mount.csv");
        };
        click(&e.dialog, "1126");
        QCOMPARE(g->rowCount(), 12);
        QCOMPARE(g->item(11, 0)->text(), QStringLiteral("200"));

        QTemporaryDir folder;
        QString path = folder.filePath(QStringLiteral("t.csv"));
        e.dialog.saver.ask = [&](QWidget*, const QString&, const std::vector<SaveFormat>&) {
            return SaveRequest{path.toStdString(), SaveFormat::Csv};
        };
        click(&e.dialog, "1127");
        Editor back({});
        back.dialog.askOpen = [&](QWidget*) { return path; };
        click(&back.dialog, "1126");
        back.dialog.accept();
        e.dialog.accept();
        QCOMPARE(back.dialog.table(), e.dialog.table());
        QCOMPARE(e.dialog.table().size(), std::size_t{12});
    }

    // Ratios and losses over a log frequency axis, a row a point; a click selects the row.
    void chartsFollowTheCells() {
        Editor e(kTable);
        auto* ratios = e.dialog.findChild<CurveChart*>(QStringLiteral("1128"));
        auto* losses = e.dialog.findChild<CurveChart*>(QStringLiteral("1129"));
        QCOMPARE(ratios->frequencyScale(), AxisScale::Logarithmic);
        QCOMPARE(ratios->curves().size(), std::size_t{3});
        QCOMPARE(ratios->curves()[1].points[2].value, 1.5);
        QCOMPARE(losses->curves()[0].points[1].value, 0.1);
        grid(&e.dialog)->item(1, 4)->setText(QStringLiteral("x")); // no longer drawn
        QCOMPARE(losses->curves()[0].points.size(), std::size_t{2});
        ratios->cursorPicked(1);
        QCOMPARE(grid(&e.dialog)->currentRow(), 2);
    }

    // "周波数特性..." edits the table; the characteristic's OK refuses a bad one on the button.
    void characteristicDialogsOpenTheEditor() {
        CharacteristicDialog d({"c", {1, 1, 1}, {}, 1}, nullptr);
        auto* state = d.findChild<QLabel*>(QStringLiteral("1120"));
        QCOMPARE(state->text(), QStringLiteral("周波数特性なし"));
        QTimer::singleShot(0, [] {
            auto* editor = qobject_cast<FrequencyTableDialog*>(QApplication::activeModalWidget());
            QVERIFY(editor);
            editor->askOpen = [](QWidget*) {
                return QStringLiteral(QUAV_EXAMPLES "/rubber_mount.csv");
            };
            editor->importCsv();
            editor->accept();
        });
        click(&d, "1121");
        QCOMPARE(d.values.frequencyTable.size(), std::size_t{12});
        QCOMPARE(state->text(), QStringLiteral("12 行 (1～200 Hz)"));
        d.accept();
        QCOMPARE(d.result(), int(QDialog::Accepted));

        CharacteristicValues bad{"c", {1, 1, 1}, {}, 1, kTable};
        bad.frequencyTable[1].loss[0] = -0.5;
        CharacteristicDialog refusing(bad, nullptr);
        QString message;
        quav::test::closeNextMessage(&message);
        refusing.accept();
        QCOMPARE(refusing.result(), int(QDialog::Rejected));
        QCOMPARE(message, QStringLiteral("周波数特性 行 2、列 loss_x: 0 以上の値が必要です"));
        QCOMPARE(refusing.focusWidget(), refusing.findChild<QWidget*>(QStringLiteral("1121")));
    }
};

QTEST_MAIN(FrequencyTableDialogTest)
#include "FrequencyTableDialogTest.moc"
