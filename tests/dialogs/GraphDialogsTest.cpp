#include "dialogs/ChartPainter.h"
#include "dialogs/ContributionGraphDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QPushButton>
#include <QtTest>

using namespace quav;

namespace {

QColor colour(Rgb c) {
    return QColor(c.r, c.g, c.b);
}

/// Modes chosen so every bar height is exact: mode 1 shares x, y, z, Rx
/// equally (75 pixels each), mode 2 is pure z, mode 6 is 99.95 % x.
ContributionData knownModes() {
    ContributionData d;
    d.frequencies = {30.0, 25.0, 20.0, 15.0, 10.0, 5.5};
    for (int i = 0; i < 4; ++i)
        d.modeShapes[i][5] = 0.5;
    d.modeShapes[2][4] = 1.0;
    d.modeShapes[3][3] = 1.0;
    d.modeShapes[4][2] = 1.0;
    d.modeShapes[5][1] = 1.0;
    d.modeShapes[0][0] = std::sqrt(1.0 - 5e-4);
    for (int i = 1; i < 6; ++i)
        d.modeShapes[i][0] = 0.01;
    d.title = "model.quav";
    return d;
}

const ChartText* findText(const ChartDrawing& d, const std::string& s) {
    for (const auto& t : d.texts)
        if (t.text == s)
            return &t;
    return nullptr;
}

} // namespace

class GraphDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void contributionChartTexts();
    void contributionChartPixels();
    void contributionDialogRepaintsAndCopies();
};

void GraphDialogsTest::contributionChartTexts() {
    const ContributionData data = knownModes();
    struct Case {
        int entry;
        std::string text;
        int x, y;
    };
    const int b = 400;
    const Case cases[] = {
        {0, "<各振動モードにおける各自由度の寄与率>", 20, 0},
        {0, ":Rz", 350 + 250 + 23, 35},
        {0, "Mode6", 600, b - 20},
        {0, "5.50", 100, b - 40}, // mode 1 is storage index 5
        {0, "[Hz]", 650, b - 40},
        {0, "100", 20, b - 50 - 300 - 10},
        {0, "[％]", 20, b - 390},
        {1, "<\"Mode1\"における各自由度の寄与率>", 20, 0},
        {1, "Freq:5.50　[Hz]", 70, 40},
        {1, "Rx", 400, b - 40},
        {1, "25.00", 100, b - 50 - 75 - 20},
        {2, "100.00", 300, b - 50 - 300 - 20},
        {12, "<自由度\" Rz \"が各振動モードに占める寄与率>", 20, 0},
        {12, "100.00", 500, b - 50 - 300 - 20}, // Rz is all of mode 5
        {12, "0.00", 100, b - 50 - 20},
    };
    for (const auto& c : cases) {
        const ChartText* t = findText(contributionChart(data, c.entry, b), c.text);
        QVERIFY2(t, c.text.c_str());
        QCOMPARE(t->x, c.x);
        QCOMPARE(t->y, c.y);
    }
}

void GraphDialogsTest::contributionChartPixels() {
    const ContributionData data = knownModes();
    const QSize size(723, 494);
    const int base = size.height() - 50;
    const QImage all = renderChart(contributionChart(data, 0, size.height()), size);
    const QColor white(Qt::white), black(Qt::black);
    struct Pixel {
        int x, y;
        QColor expected;
    };
    const Pixel overview[] = {
        // Base line from x 50 up to 650, the vertical axis and the top tick.
        {50, base, black},
        {649, base, black},
        {650, base, white},
        {52, base - 140, white},
        {54, base - 300, black},
        {55, base - 300, white},
        // Mode 1: x, y, z, Rx stacked 75 pixels each, 30 wide.
        {100, base - 1, colour(kDofColours[0])},
        {129, base - 75, colour(kDofColours[0])},
        {130, base - 1, white},
        {100, base - 76, colour(kDofColours[1])},
        {100, base - 151, colour(kDofColours[2])},
        {100, base - 300, colour(kDofColours[3])},
        {100, base - 301, white},
        // Mode 6 is 299.85 pixels of x truncated to 299, the rest to nothing:
        // its top pixel row stays white.
        {600, base - 299, colour(kDofColours[0])},
        {600, base - 300, white},
        // Legend squares 20 x 20 from (350 + 50 i, 35).
        {350, 35, colour(kDofColours[0])},
        {369, 54, colour(kDofColours[0])},
        {370, 54, white},
        {350, 55, white},
        {600, 35, colour(kDofColours[5])},
    };
    for (const auto& p : overview)
        QVERIFY2(all.pixelColor(p.x, p.y) == p.expected,
                 qPrintable(QStringLiteral("(%1, %2)").arg(p.x).arg(p.y)));

    // Single-series bars: the x chart shows mode 1 at 25 % and mode 6 at
    // 99.95 %, whose top is trunc(base - 299.85).
    const QImage x = renderChart(contributionChart(data, 7, size.height()), size);
    const QColor series = colour(kSeriesColour);
    QCOMPARE(x.pixelColor(100, base - 75), series);
    QCOMPARE(x.pixelColor(100, base - 76), white);
    QCOMPARE(x.pixelColor(629, base - 299), series);
    QCOMPARE(x.pixelColor(630, base - 1), white);
    QCOMPARE(x.pixelColor(200, base - 1), white); // mode 2 has no x
}

void GraphDialogsTest::contributionDialogRepaintsAndCopies() {
    ContributionData data = knownModes();
    ContributionGraphDialog dialog(data);
    QStringList messages;
    dialog.messages.inform = [&](QWidget*, const QString& text) { messages << text; };
    dialog.show();
    auto* list = dialog.findChild<QComboBox*>(QStringLiteral("1049"));
    QCOMPARE(list->count(), 13);
    QCOMPARE(list->currentText(), QStringLiteral("ALL"));

    // The dialog draws from its copy, and repaints for the chosen entry.
    data.modeShapes = {};
    const QSize size = dialog.chartImage().size();
    for (int entry : {0, 3, 9}) {
        list->setCurrentIndex(entry);
        QCOMPARE(dialog.chartImage(),
                 renderChart(contributionChart(knownModes(), entry, size.height()), size));
    }

    dialog.findChild<QPushButton*>(QStringLiteral("1050"))->click();
    QCOMPARE(QApplication::clipboard()->image(), dialog.chartImage());
    QCOMPARE(messages, QStringList{QStringLiteral("画面を画像としてｸﾘｯﾌﾟﾎﾞｰﾄﾞへｺﾋﾟｰしました。\r\n"
                                                  "画像編集ｿﾌﾄ等へ貼り付けてください。")});
}

QTEST_MAIN(GraphDialogsTest)
#include "GraphDialogsTest.moc"
