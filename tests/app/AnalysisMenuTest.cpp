// The analysis menu: where it stands in the menu bar and what each item shows.

#include "app/AnalysisMenu.h"
#include "document/Document.h"

#include "../support/ScriptedUi.h"

#include <QtTest>

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

using namespace quav;
using quav::test::ScriptedUi;

class AnalysisMenuTest : public QObject {
    Q_OBJECT

private slots:
    void itemsShowTheirReports() {
        CQUAVDoc doc;
        QVERIFY(doc.open(QUAV_EXAMPLES "/power_unit.quav").ok());
        ScriptedUi ui;
        QMainWindow window;
        window.menuBar()->addMenu(QStringLiteral("情報(&I)"));
        window.menuBar()->addMenu(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
        AnalysisMenu analysis(&window, doc, ui);

        QStringList bar;
        for (QAction* a : window.menuBar()->actions())
            bar << a->text();
        QCOMPARE(bar, QStringList({"情報(&I)", "解析(&A)", "ﾍﾙﾌﾟ(&H)"}));

        auto trigger = [&window](int id) {
            auto* action = window.findChild<QAction*>(QString::number(id));
            QVERIFY2(action && action->isEnabled(), qPrintable(QString::number(id)));
            action->trigger();
        };
        trigger(cmd::EnergyDistribution);
        ui.ok<TorqueAxisValues>();
        trigger(cmd::TorqueRollAxisReport);
        trigger(cmd::MountForcesReport);
        trigger(cmd::Transmissibility);
        ui.ok<RobustnessValues>([](RobustnessValues& v) { v.samples = 50; });
        trigger(cmd::Robustness);
        trigger(cmd::Sensitivity);

        const char* titles[] = {"//////運動エネルギー分布//////", "//////トルクロール軸//////",
                                "//////マウント力//////", "//////ロバスト性//////"};
        QCOMPARE(ui.texts.size(), std::size(titles));
        for (std::size_t i = 0; i < ui.texts.size(); ++i)
            QVERIFY2(ui.texts[i].starts_with(titles[i]), titles[i]);
        QCOMPARE(ui.windows, std::vector<std::string>(
                                 {"transmissibility", "progress ロバスト性を計算しています",
                                  "progress 感度を計算しています", "sensitivity"}));
        QVERIFY(ui.messages.empty());
        QVERIFY(ui.scriptDone());
        // The confirmed settings are offered again.
        ui.expect<RobustnessValues>([](RobustnessValues& v) {
            [&] { QCOMPARE(v.samples, 50.0); }();
            return false;
        });
        trigger(cmd::Robustness);
        QVERIFY(ui.scriptDone());
        // The example without cases says so rather than open an empty table.
        trigger(cmd::LoadCases);
        QCOMPARE(ui.messages, std::vector<std::string>{"荷重ケースがありません"});
    }
};

QTEST_MAIN(AnalysisMenuTest)
#include "AnalysisMenuTest.moc"
