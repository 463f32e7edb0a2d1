// The result graphs: their Qt-free logic (axes, decibels, cursor, tables) and their windows.

#include "DialogTestSupport.h"
#include "analysis/CalculationDriver.h"
#include "dialogs/ContributionGraphDialog.h"
#include "dialogs/CurveChart.h"
#include "dialogs/FrequencyStepDialog.h"
#include "document/ModelFile.h"

#include <QChartView>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGraphicsLineItem>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLogValueAxis>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

using namespace quav;
using quav::test::child;
using quav::test::fileText;

namespace {

/// The example model with its results.
std::unique_ptr<AnalysisModel> calculatedExample() {
    StudyRead r = loadModelFile(QUAV_EXAMPLES "/power_unit.quav");
    calculate(*r.model, CalculationConditions{});
    return std::move(r.model);
}

/// The control of type T whose text starts with `text`.
template <class T> T* labelled(QWidget& w, const QString& text) {
    for (T* c : w.findChildren<T*>())
        if (c->text().startsWith(text))
            return c;
    qFatal("no control labelled %s", qPrintable(text));
}

/// A point of the view of `chart` at fractions of its plot area.
QPoint inPlot(CurveChart& chart, double fx, double fy) {
    const QRectF plot = chart.chart()->plotArea();
    return chart.mapFromScene(chart.chart()->mapToScene(
        QPointF(plot.left() + fx * plot.width(), plot.bottom() - fy * plot.height())));
}

} // namespace

class GraphDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void axesAndTransforms();
    void cursorSnapsToStepsAndStaysOnTheData();
    void tablesAndSaveNames();
    void frequencyStepCurvesChosenInTheWindow();
    void frequencyStepTargetFromSelection();
    void chartResizesZoomsAndGoesLogarithmic();
    void savingWritesEveryFormatOrKeepsTheOldFile();
    void contributionCharts();
};

void GraphDialogsTest::axesAndTransforms() {
    QCOMPARE((QList{niceStep(0.13), niceStep(2.2), niceStep(4e-6), niceStep(10)}),
             (QList{0.2, 2.5, 5e-6, 10.0}));
    struct Case {
        const char* what;
        AxisRange got, expected;
    };
    const Case cases[] = {
        // Amplitudes read from zero, with room at the top and ticks on whole multiples.
        {"amplitude", linearAxisRange(2e-5, 9e-5), {0, 1e-4, 2e-5}},
        {"dB", linearAxisRange(-140, -80), {-140, -60, 20}},
        {"flat zero", linearAxisRange(0, 0), {0, 1, 0.2}},
        {"flat negative", linearAxisRange(-4, -4), {-6, -2, 1}},
        {"decades", logAxisRange(3e-7, 2e-5), {1e-7, 1e-4, 0}},
        {"one decade", logAxisRange(10, 10), {10, 100, 0}},
        // The frequency axis spans exactly the steps; a log axis drops 0 Hz.
        {"sweep",
         frequencyAxisRange({{"a", "m", {{0, 1}, {0.5, 2}, {30, 3}}}}, AxisScale::Linear),
         {0, 30, 5}},
        {"log sweep",
         frequencyAxisRange({{"a", "m", {{0, 1}, {0.5, 2}, {30, 3}}}}, AxisScale::Logarithmic),
         {0.5, 30, 0}},
        // A log value axis sees only what it can place: not the zero at 1 Hz.
        {"log values",
         valueAxisRange({{"a", "m", {{1, 0}, {2, 3e-6}, {3, 4e-4}}}}, AxisScale::Linear,
                        AxisScale::Logarithmic),
         {1e-6, 1e-3, 0}},
    };
    for (const auto& c : cases)
        QVERIFY2(std::fabs(c.got.min - c.expected.min) <= 1e-12 * std::fabs(c.expected.max) &&
                     std::fabs(c.got.max - c.expected.max) <= 1e-12 * std::fabs(c.expected.max) &&
                     std::fabs(c.got.tickInterval - c.expected.tickInterval) <= 1e-15,
                 c.what);

    QCOMPARE(decibel(1e-6), -120.0);
    QCOMPARE(decibel(0.0), -INFINITY);
    const AxisRange decades{1, 1000, 0};
    QCOMPARE(axisFraction(10, decades, AxisScale::Logarithmic), 1.0 / 3);
    QCOMPARE(axisValue(2.0 / 3, decades, AxisScale::Logarithmic), 100.0);
    const AxisRange zoom = zoomedRange({0, 30, 5}, 0.5, 0.1, AxisScale::Linear, 8);
    QCOMPARE((QList{zoom.min, zoom.max, zoom.tickInterval}), (QList{3.0, 15.0, 2.0}));

    // A value that is not a number, or that a log axis cannot place, splits the line.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<CurvePoint> points = {{1, 1}, {2, nan}, {3, 2}, {4, 0}, {5, 3}, {6, 4}};
    QCOMPARE(drawableRuns(points, AxisScale::Linear, AxisScale::Linear).size(), 2u);
    const auto runs = drawableRuns(points, AxisScale::Linear, AxisScale::Logarithmic);
    QCOMPARE((QList{runs.size(), runs[1].size(), runs[2].size()}), (QList<std::size_t>{3, 1, 2}));

    QCOMPARE(valueAxisTitle("振幅", {{"a", "m", {}}, {"b", "rad", {}}, {"c", "m", {}}}),
             std::string("振幅 [m, rad]"));
}

void GraphDialogsTest::cursorSnapsToStepsAndStaysOnTheData() {
    const std::vector<CurvePoint> steps = {{1, 0}, {2, 0}, {4, 0}, {8, 0}};
    struct Case {
        double frequency;
        AxisScale scale;
        std::size_t step;
    };
    const Case cases[] = {
        {-5, AxisScale::Linear, 0},  {1, AxisScale::Linear, 0},        {2.9, AxisScale::Linear, 1},
        {3.1, AxisScale::Linear, 2}, {2.9, AxisScale::Logarithmic, 2}, // nearer 4 than 2 in ratio
        {8, AxisScale::Linear, 3},   {60.6, AxisScale::Linear, 3},     {NAN, AxisScale::Linear, 0},
    };
    for (const auto& c : cases)
        QCOMPARE(nearestStep(steps, c.frequency, c.scale), c.step);

    // The slider spans the sweep's steps; a click beside the plot snaps to the edge's step.
    auto model = calculatedExample();
    FrequencyStepDialog dialog(*model, takeFrequencyStepTarget(*model));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const PlotCurve curve = dialog.curves().front();
    auto* slider = child<QSlider>(dialog, 1098);
    auto* chart = dialog.chart();
    QCOMPARE(slider->maximum() + 1, int(curve.points.size()));
    slider->setValue(slider->maximum());
    QCOMPARE(chart->cursorStep(), std::optional<std::size_t>(curve.points.size() - 1));
    QCOMPARE(child<QLabel>(dialog, "cursor")->text().toStdString(),
             cursorReadout({curve}, curve.points.size() - 1));
    QVERIFY(child<QLabel>(dialog, "cursor")->text().startsWith(QStringLiteral("100 Hz")));
    QTest::mouseClick(chart->viewport(), Qt::LeftButton, {},
                      inPlot(*chart, 0.0, 0.5) - QPoint(20, 0));
    QCOMPARE(slider->value(), 0);
    QTest::mouseClick(chart->viewport(), Qt::LeftButton, {},
                      inPlot(*chart, 1.0, 0.5) + QPoint(20, 0));
    QCOMPARE(slider->value(), slider->maximum());
    QTest::mouseClick(chart->viewport(), Qt::LeftButton, {}, inPlot(*chart, 0.5, 0.5));
    QCOMPARE(curve.points[static_cast<std::size_t>(slider->value())].frequency, 50.5);
}

void GraphDialogsTest::tablesAndSaveNames() {
    const std::vector<PlotCurve> curves = {
        {"rear, left ｸﾞﾛｰﾊﾞﾙ z / \"a\"", "m", {{1, 2e-5}, {1.5, 0.1}}},
        {"x", "dB re 1 m/N", {{1, -90}, {1.5, -80.25}}}};
    QCOMPARE(
        curveTable(curves, kListingStyle),
        std::string("周波数 [Hz]\t\"rear, left ｸﾞﾛｰﾊﾞﾙ z / \"\"a\"\" [m]\"\tx [dB re 1 m/N]\r\n"
                    "1\t2e-05\t-90\r\n1.5\t0.1\t-80.25\r\n"));
    QCOMPARE(curveTable(curves, kCsvStyle),
             std::string("周波数 [Hz],\"rear, left ｸﾞﾛｰﾊﾞﾙ z / \"\"a\"\" [m]\",x [dB re 1 m/N]\r\n"
                         "1,2.0000000000000002e-05,-90\r\n1.5,0.10000000000000001,-80.25\r\n"));

    const std::vector<SaveFormat> offered = {SaveFormat::Csv, SaveFormat::Png, SaveFormat::Svg};
    struct Case {
        const char* path;    // as typed, with the filter chosen
        const char* savedAs; // and the format it is saved in
        SaveFormat filter, format;
    };
    const Case cases[] = {
        {"/d/curve", "/d/curve.png", SaveFormat::Png, SaveFormat::Png},
        {"/d/curve.SVG", "/d/curve.SVG", SaveFormat::Csv, SaveFormat::Svg},     // the name decides
        {"/d/curve.tsv", "/d/curve.tsv.csv", SaveFormat::Csv, SaveFormat::Csv}, // not offered
        {"/d/.png", "/d/.png.csv", SaveFormat::Csv, SaveFormat::Csv},
    };
    for (const auto& c : cases) {
        const SaveRequest r = resolveSavePath(c.path, c.filter, offered);
        QCOMPARE(r.path, std::string(c.savedAs));
        QVERIFY(r.format == c.format);
    }
}

void GraphDialogsTest::frequencyStepCurvesChosenInTheWindow() {
    auto model = calculatedExample();
    model->springs[0].selected = 1;
    FrequencyStepDialog dialog(*model, takeFrequencyStepTarget(*model));
    std::string listing;
    dialog.showText = [&](QWidget*, const std::string& text) { listing = text; };
    auto* local = child<QRadioButton>(dialog, 1095);
    auto* ry = child<QRadioButton>(dialog, 1092);
    auto* decibels = labelled<QCheckBox>(dialog, QStringLiteral("dB"));
    // Local axes: translations only; back to global, the direction stays.
    ry->click();
    QVERIFY(!decibels->isEnabled()); // a rotation has no response per force
    local->click();
    QVERIFY(child<QRadioButton>(dialog, 1088)->isChecked());
    for (int id : {1091, 1092, 1093})
        QVERIFY(!child<QRadioButton>(dialog, id)->isEnabled());
    child<QRadioButton>(dialog, 1090)->click();
    child<QComboBox>(dialog, 1027)->setCurrentIndex(1);
    // The second load's z in the spring's own axes, as `quav-cli sweep` reads it.
    CurveTarget target{model->springs[0].position, &model->springs[0], true};
    const auto expected = frequencyStepCurve(*model, 1, target, 2);
    const PlotCurve shown = dialog.curves().back();
    QCOMPARE(std::tuple(shown.name, shown.unit, shown.points.size(), shown.points.back().value),
             std::tuple(std::string("front right ﾛｰｶﾙ z / torque fluctuation"), std::string("m"),
                        expected.size(), expected.back().value));
    QVERIFY(expected.back().value > 0);
    QVERIFY(!decibels->isEnabled()); // the load is a moment
    child<QRadioButton>(dialog, 1094)->click();
    QVERIFY(ry->isEnabled() && child<QRadioButton>(dialog, 1090)->isChecked());
    child<QComboBox>(dialog, 1027)->setCurrentIndex(0);

    // Kept beside it: the same direction at the centre of gravity, chosen in 1100.
    labelled<QPushButton>(dialog, QStringLiteral("追加(&A)"))->click();
    auto* points = child<QLineEdit>(dialog, 1100);
    QCOMPARE(points->text(), QStringLiteral("front right"));
    qobject_cast<QComboBox*>(points->parentWidget())->setCurrentIndex(0);
    QCOMPARE(points->text(), QStringLiteral("質量要素"));
    QVERIFY(!local->isEnabled() && child<QRadioButton>(dialog, 1094)->isChecked());
    QCOMPARE(dialog.curves().size(), 2u);
    QCOMPARE(dialog.chart()->chart()->legend()->markers().size(), 2);

    // dB re 1 m/N: the amplitude per newton of the (force) load.
    QVERIFY(decibels->isEnabled());
    decibels->setChecked(true);
    const double force = model->dynamicLoads[0].value;
    for (const auto& c : dialog.curves())
        QCOMPARE(c.unit, std::string("dB re 1 m/N"));
    const auto cog = frequencyStepCurve(*model, 0, {model->centreOfGravity, nullptr, false}, 2);
    QCOMPARE(dialog.curves()[1].points[7].value, 20 * std::log10(cog[7].value / force));

    child<QPushButton>(dialog, 1062)->click();
    QCOMPARE(listing, curveTable(dialog.curves(), kListingStyle));
    QVERIFY(listing.starts_with("周波数 [Hz]\tfront right ｸﾞﾛｰﾊﾞﾙ z / 2nd order unbalance "
                                "[dB re 1 m/N]\t質量要素 ｸﾞﾛｰﾊﾞﾙ z / 2nd order unbalance"));
    QCOMPARE(std::count(listing.begin(), listing.end(), '\n'), long(cog.size() + 1));

    // "削除" drops the chosen kept curve; the current one stays.
    auto* kept = child<QListWidget>(dialog, "kept");
    kept->setCurrentRow(0);
    labelled<QPushButton>(dialog, QStringLiteral("削除(&E)"))->click();
    QCOMPARE(
        std::tuple(kept->count(), dialog.curves().size(), dialog.curves()[0].name),
        std::tuple(0, std::size_t{1}, std::string("質量要素 ｸﾞﾛｰﾊﾞﾙ z / 2nd order unbalance")));
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

    // Natural frequencies mark the chart once calculated; load frequencies always.
    const auto markers = frequencyMarkers(*model);
    QCOMPARE(markers[0].label, std::string("Mode1 5.02Hz"));
    QCOMPARE(markers[6].frequency, model->dynamicLoads[0].frequency);
    model->calculated = 0;
    QCOMPARE(frequencyMarkers(*model).size(), model->dynamicLoads.size());

    // A model calculated without a sweep: every value 0 over the sweep settings.
    model->frequencyStepResults.clear();
    FrequencyStepDialog dialog(*model, takeFrequencyStepTarget(*model));
    QVERIFY(!dialog.curves().front().points.empty());
    for (const auto& p : dialog.curves().front().points)
        QCOMPARE(p.value, 0.0);
    // Settings that give no step at all: an empty chart, no cursor, a heading only.
    model->frequencyEnd = model->frequencyStart - 1;
    FrequencyStepDialog empty(*model, takeFrequencyStepTarget(*model));
    empty.show();
    QVERIFY(QTest::qWaitForWindowExposed(&empty));
    QVERIFY(empty.curves().front().points.empty() && !empty.chart()->cursorStep());
    QVERIFY(!child<QSlider>(empty, 1098)->isEnabled());
    QCOMPARE(empty.listing(),
             std::string("周波数 [Hz]\t質量要素 ｸﾞﾛｰﾊﾞﾙ x / 2nd order unbalance [m]\r\n"));
}

void GraphDialogsTest::chartResizesZoomsAndGoesLogarithmic() {
    auto model = calculatedExample();
    FrequencyStepDialog dialog(*model, takeFrequencyStepTarget(*model));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    CurveChart& chart = *dialog.chart();
    auto* close = child<QPushButton>(dialog, 1);
    const QSize before = chart.size();
    dialog.resize(dialog.width() + 300, dialog.height() + 200);
    QTRY_COMPARE(chart.size(), before + QSize(300, 200)); // the chart takes the room
    QVERIFY(dialog.rect().contains(close->geometry().translated(close->parentWidget()->pos())));

    // A rubber band zooms in, a right click shows everything again.
    QTest::mousePress(chart.viewport(), Qt::LeftButton, {}, inPlot(chart, 0.2, 0.2));
    QTest::mouseMove(chart.viewport(), inPlot(chart, 0.4, 0.6));
    QTest::mouseRelease(chart.viewport(), Qt::LeftButton, {}, inPlot(chart, 0.4, 0.6));
    QVERIFY(chart.zoomed());
    QVERIFY(std::fabs(chart.frequencyRange().min - 20.8) < 0.5 &&
            std::fabs(chart.frequencyRange().max - 40.6) < 0.5);
    // Lines over the plot: of 6 modes, 2 loads and the cursor only the 25 Hz load is in range.
    const auto lines = [&chart] {
        int n = 0;
        for (QGraphicsItem* item : chart.chart()->childItems())
            n += item->type() == QGraphicsLineItem::Type;
        return n;
    };
    QCOMPARE(lines(), 1);
    QTest::mouseClick(chart.viewport(), Qt::RightButton, {}, inPlot(chart, 0.5, 0.5));
    QVERIFY(!chart.zoomed());
    QCOMPARE(lines(), 6 + 2 + 1);
    labelled<QCheckBox>(dialog, QStringLiteral("固有振動数(&N)"))->setChecked(false);
    QCOMPARE(lines(), 2 + 1);

    labelled<QCheckBox>(dialog, QStringLiteral("横軸 対数"))->setChecked(true);
    labelled<QCheckBox>(dialog, QStringLiteral("縦軸 対数"))->setChecked(true);
    QVERIFY(chart.frequencyScale() == AxisScale::Logarithmic &&
            chart.valueScale() == AxisScale::Logarithmic);
    QCOMPARE(chart.chart()->axes(Qt::Vertical).first()->type(), QAbstractAxis::AxisTypeLogValue);
    QCOMPARE(std::log10(chart.valueRange().max), std::round(std::log10(chart.valueRange().max)));
}

void GraphDialogsTest::savingWritesEveryFormatOrKeepsTheOldFile() {
    auto model = calculatedExample();
    FrequencyStepDialog dialog(*model, takeFrequencyStepTarget(*model));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTemporaryDir folder;
    SaveRequest next;
    QStringList messages;
    QString askedName;
    std::size_t offeredCount = 0;
    dialog.saver.ask = [&](QWidget*, const QString& name, const std::vector<SaveFormat>& offered) {
        askedName = name;
        offeredCount = offered.size();
        return next;
    };
    dialog.messages.inform = [&](QWidget*, const QString& text) { messages << text; };
    const struct {
        SaveFormat format;
        const char* name;
        std::string starts;
    } cases[] = {
        {SaveFormat::Csv, "c.csv", "\xEF\xBB\xBF周波数 [Hz],質量要素 ｸﾞﾛｰﾊﾞﾙ x / "},
        {SaveFormat::Png, "c.png", "\x89PNG"},
        {SaveFormat::Svg, "c.svg", "<?xml"},
    };
    for (const auto& c : cases) {
        next = {folder.filePath(QString::fromUtf8(c.name)).toStdString(), c.format};
        dialog.save();
        QVERIFY2(fileText(QString::fromStdString(next.path)).starts_with(c.starts), c.name);
    }
    QVERIFY(messages.isEmpty());
    QCOMPARE(std::tuple(askedName, offeredCount),
             std::tuple(QStringLiteral("周波数ｽﾃｯﾌﾟ解析結果"), std::size_t{4}));

    // A write that fails part way (the file size limit) leaves the old file and says why.
    const QString old = folder.filePath(QStringLiteral("old.png"));
    std::ofstream(old.toStdString()) << "old";
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = before;
    small.rlim_cur = 1000;
    ::setrlimit(RLIMIT_FSIZE, &small);
    next = {old.toStdString(), SaveFormat::Png};
    dialog.save();
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, handler);
    QCOMPARE(fileText(old), std::string("old"));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 4);
    QCOMPARE(messages.size(), 1);
    QVERIFY(messages[0].startsWith(old + QStringLiteral(" に保存できませんでした。\n")));
    QVERIFY(messages[0].size() > old.size() + 20); // and the reason
}

void GraphDialogsTest::contributionCharts() {
    ContributionData data;
    data.frequencies = {30.0, 25.0, 20.0, 15.0, 10.0, 5.5};
    for (int i = 0; i < 4; ++i)
        data.modeShapes[i][5] = 0.5; // mode 1 shares x, y, z, Rx equally
    for (int k = 0; k < 5; ++k)
        data.modeShapes[5 - k][k] = 1.0;
    data.modeShapes[1][1] = std::numeric_limits<double>::quiet_NaN(); // a failed component
    struct Case {
        int entry;
        const char* title;
        const char* category;
        std::size_t series;
        double value; // of the first series at the first category
    };
    const Case cases[] = {
        {0, "<各振動モードにおける各自由度の寄与率>", "Mode1\n5.50 Hz", 6, 25.0},
        {1, "<\"Mode1\"における各自由度の寄与率>  Freq:5.50　[Hz]", "x", 1, 25.0},
        {12, "<自由度\" Rz \"が各振動モードに占める寄与率>", "Mode1\n5.50 Hz", 1, 0.0},
    };
    for (const auto& c : cases) {
        const ContributionBars bars = contributionBars(data, c.entry);
        QCOMPARE(bars.title, std::string(c.title));
        QCOMPARE(bars.categories.front(), std::string(c.category));
        QCOMPARE(std::tuple(bars.series.size(), bars.series[0].values[0], bars.stacked),
                 std::tuple(c.series, c.value, c.entry == 0));
    }
    QCOMPARE(contributionBars(data, 8).series[0].values[4], 0.0); // y of mode 5 is not a number
    const std::string table = contributionTable(data, ',');
    QVERIFY(table.starts_with("ﾓｰﾄﾞ,周波数 [Hz],x [%],y [%],z [%],Rx [%],Ry [%],Rz [%]\r\n"
                              "Mode1,5.5,25,25,25,25,0,0\r\nMode2,10,0,100,"));

    // The dialog draws from its copy, follows the list, copies what it shows.
    const ContributionData original = data;
    ContributionGraphDialog dialog(data);
    QStringList messages;
    dialog.messages.inform = [&](QWidget*, const QString& text) { messages << text; };
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* list = dialog.findChild<QComboBox*>(QStringLiteral("1049"));
    QCOMPARE(std::tuple(list->count(), list->currentText()), std::tuple(13, QStringLiteral("ALL")));
    data.modeShapes = {};
    list->setCurrentIndex(7);
    QCOMPARE(dialog.bars().series[0].values, contributionBars(original, 7).series[0].values);
    QCOMPARE(dialog.findChild<QChartView*>()->chart()->series().size(), 1);
    QTemporaryDir folder;
    const QString tsv = folder.filePath(QStringLiteral("shares.tsv"));
    dialog.saver.ask = [&](QWidget*, const QString&, const std::vector<SaveFormat>&) {
        return SaveRequest{tsv.toStdString(), SaveFormat::Tsv};
    };
    dialog.save();
    QCOMPARE(fileText(tsv), "\xEF\xBB\xBF" + contributionTable(original, '\t'));
    dialog.findChild<QPushButton*>(QStringLiteral("1050"))->click();
    QCOMPARE(QApplication::clipboard()->image(), dialog.chartImage());
    QCOMPARE(messages, QStringList{QStringLiteral("画面を画像としてｸﾘｯﾌﾟﾎﾞｰﾄﾞへｺﾋﾟｰしました。\r\n"
                                                  "画像編集ｿﾌﾄ等へ貼り付けてください。")});
}

QTEST_MAIN(GraphDialogsTest)
#include "GraphDialogsTest.moc"
