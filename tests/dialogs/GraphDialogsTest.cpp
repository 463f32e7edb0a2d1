#include "analysis/CalculationDriver.h"
#include "dialogs/ChartPainter.h"
#include "dialogs/ContributionGraphDialog.h"
#include "dialogs/FrequencyStepDialog.h"
#include "document/ModelFile.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
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

/// The example model with its results.
std::unique_ptr<AnalysisModel> calculatedExample() {
    ModelReadResult r = loadModelFile(QUAV_EXAMPLES "/power_unit.quav");
    calculate(*r.model, CalculationConditions{});
    return std::move(r.model);
}

template <class T> T* child(QWidget& w, int id) {
    return w.findChild<T*>(QString::number(id));
}

} // namespace

class GraphDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void contributionChartTexts();
    void contributionChartPixels();
    void contributionDialogRepaintsAndCopies();
    void frequencyStepTargetFromSelection();
    void frequencyStepFrameAndDirectionRules();
    void frequencyStepMappingAndCursor();
    void frequencyStepDegenerateCurves();
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
        QCOMPARE(std::tuple(t->x, t->y), std::tuple(c.x, c.y));
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
    // Mode 2 has no x.
    QCOMPARE((QList{x.pixelColor(100, base - 75), x.pixelColor(100, base - 76),
                    x.pixelColor(629, base - 299), x.pixelColor(630, base - 1),
                    x.pixelColor(200, base - 1)}),
             (QList{series, white, series, white, white}));
}

void GraphDialogsTest::contributionDialogRepaintsAndCopies() {
    ContributionData data = knownModes();
    ContributionGraphDialog dialog(data);
    QStringList messages;
    dialog.messages.inform = [&](QWidget*, const QString& text) { messages << text; };
    dialog.show();
    auto* list = dialog.findChild<QComboBox*>(QStringLiteral("1049"));
    QCOMPARE(std::tuple(list->count(), list->currentText()), std::tuple(13, QStringLiteral("ALL")));
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

void GraphDialogsTest::frequencyStepTargetFromSelection() {
    auto model = calculatedExample();
    model->observationPoints[1].selected = 1;
    model->springs[2].selected = 1;
    model->springs[3].selected = 1;
    model->dynamicLoads[0].selected = 1;
    // Springs first, each pick used once; then observation points, then loads.
    const char* const expected[] = {"rear right", "rear left", "exhaust flange",
                                    "2nd order unbalance", "質量要素"};
    for (const char* name : expected) {
        FrequencyStepTarget target = takeFrequencyStepTarget(*model);
        QCOMPARE(target.name, std::string(name));
        FrequencyStepDialog dialog(*model, target);
        QCOMPARE(child<QLineEdit>(dialog, 1100)->text(), QString::fromUtf8(name));
        QCOMPARE(child<QRadioButton>(dialog, 1095)->isEnabled(), target.spring.has_value());
    }
    QCOMPARE(takeFrequencyStepTarget(*model).position, model->centreOfGravity);
}

void GraphDialogsTest::frequencyStepFrameAndDirectionRules() {
    auto model = calculatedExample();
    model->springs[0].selected = 1;
    FrequencyStepDialog dialog(*model, takeFrequencyStepTarget(*model));
    QString listing;
    dialog.showText = [&](QWidget*, const QString& text) { listing = text; };
    auto* local = child<QRadioButton>(dialog, 1095);
    auto* ry = child<QRadioButton>(dialog, 1092);
    ry->click();
    local->click();
    QVERIFY(child<QRadioButton>(dialog, 1088)->isChecked());
    for (int id : {1091, 1092, 1093})
        QVERIFY(!child<QRadioButton>(dialog, id)->isEnabled());
    child<QRadioButton>(dialog, 1090)->click();
    child<QComboBox>(dialog, 1027)->setCurrentIndex(1);
    // The second load's z in the spring's own axes, as `quav-cli sweep` reads it.
    CurveTarget target{model->springs[0].position, &model->springs[0], true};
    const auto expected = frequencyStepCurve(*model, 1, target, 2);
    QCOMPARE(std::tuple(dialog.curve().size(), dialog.curve().back().value),
             std::tuple(expected.size(), expected.back().value));
    QVERIFY(expected.back().value > 0);

    child<QRadioButton>(dialog, 1094)->click(); // global: rotations back, direction kept
    QVERIFY(ry->isEnabled() && child<QRadioButton>(dialog, 1090)->isChecked());

    child<QPushButton>(dialog, 1062)->click();
    QCOMPARE(listing, QString::fromStdString(frequencyStepListing(dialog.curve())));
    QVERIFY(listing.startsWith(QStringLiteral("1\t")) && listing.endsWith(QStringLiteral("\r\n")));
    QCOMPARE(listing.count(QStringLiteral("\r\n")), int(dialog.curve().size()));
}

void GraphDialogsTest::frequencyStepMappingAndCursor() {
    // 200 x 100 pixels: kx = 90, ox = 80, ky = 70, oy = -15.
    const std::vector<CurvePoint> curve = {{1.0, 0.0}, {2.0, 1.0}, {3.0, 0.5}};
    const FrequencyStepScale scale = frequencyStepScale(curve, 200, 100);
    QCOMPARE((QList{scale.x(1.0), scale.x(3.0), scale.y(0.0), scale.y(1.0)}),
             (QList{10, 190, 85, 15}));
    const QImage start = renderChart(frequencyStepChart(curve, 200, 100, 0), QSize(200, 100));
    // Slider at 0: the cursor on the first row, a grey cross through (10, 85).
    const QColor red(255, 0, 0), grey(125, 125, 125);
    QCOMPARE((QList{start.pixelColor(100, 15), start.pixelColor(190, 50), start.pixelColor(10, 5),
                    start.pixelColor(150, 85), start.pixelColor(150, 60)}),
             (QList{red, red, grey, grey, QColor(Qt::black)}));
    // Slider at 1000: past the last row, the cursor marks value 0 at 280 / 90 Hz.
    const auto end = frequencyStepCursor(curve, scale, 200, 1000);
    QCOMPARE(std::tuple(end->frequency, end->value), std::tuple(280.0 / 90.0, 0.0));
    const ChartDrawing d = frequencyStepChart(curve, 200, 100, 1000);
    QCOMPARE(d.lines[1].y1, 85);
    QCOMPARE(d.texts[0].text + "|" + d.texts[1].text, std::string("3.11111|0"));
    QVERIFY(d.texts[1].background == kBlack && d.texts[1].colour == kWhite);

    QCOMPARE(frequencyStepListing({{1.5, 2e-5}, {2, 0}}), std::string("1.5\t2e-05\r\n2\t0\r\n"));
}

void GraphDialogsTest::frequencyStepDegenerateCurves() {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* what;
        std::vector<CurvePoint> curve;
        std::size_t polylines;
        int y; // of the first point
    };
    const Case cases[] = {
        {"flat", {{1, 0}, {2, 0}, {3, 0}}, 1, 50},
        {"one row", {{1, 4e-3}}, 1, 50},
        {"no rows", {}, 0, 0},
        {"gap", {{1, 0}, {2, nan}, {3, 1}}, 2, 85},
    };
    for (const auto& c : cases) {
        const ChartDrawing d = frequencyStepChart(c.curve, 200, 100, 500);
        QVERIFY2(d.polylines.size() == c.polylines, c.what);
        if (!c.curve.empty()) {
            QVERIFY2(d.polylines[0].points[0].y == c.y, c.what);
            QVERIFY2(d.lines.size() == 2, c.what);
        }
    }
    QCOMPARE(frequencyStepChart({{7, 1}}, 200, 100, 0).polylines[0].points[0].x, 100);
    // A model calculated without a sweep: every value 0 over the sweep settings.
    auto model = calculatedExample();
    model->frequencyStepResults.clear();
    FrequencyStepDialog dialog(*model, takeFrequencyStepTarget(*model));
    QVERIFY(!dialog.curve().empty());
    for (const auto& p : dialog.curve())
        QCOMPARE(p.value, 0.0);
}

QTEST_MAIN(GraphDialogsTest)
#include "GraphDialogsTest.moc"
