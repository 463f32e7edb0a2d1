// The operation tree driven item by item, with scripted dialogs.

#include "app/OperationDispatcher.h"
#include "app/OperationTree.h"
#include "document/Document.h"

#include "../support/ScriptedUi.h"

#include <QtTest>

using namespace quav;
using quav::test::ScriptedUi;

namespace {

QStringList path(const QString& slashed) {
    return (QStringLiteral("QUAV操作ﾒﾆｭｰ/") + slashed).split(u'/', Qt::SkipEmptyParts);
}

} // namespace

class DispatcherTest : public QObject {
    Q_OBJECT

    std::unique_ptr<CQUAVDoc> doc;
    std::unique_ptr<ScriptedUi> ui;
    DisplayState display;
    SelectionMode mode = SelectionMode::None;
    std::unique_ptr<OperationTree> tree;
    std::unique_ptr<OperationDispatcher> dispatcher;

    void click(const QString& where) {
        QTreeWidgetItem* item = tree->find(path(where));
        QVERIFY2(item, qPrintable(where));
        tree->run(item);
    }
    QString current() const {
        QStringList texts;
        for (QTreeWidgetItem* i = tree->currentItem(); i; i = i->parent())
            texts.prepend(i->text(0));
        texts.removeFirst();
        return texts.join(u'/');
    }
    QString remembered() const {
        auto* item = static_cast<const QTreeWidgetItem*>(dispatcher->rememberedItem());
        return item ? item->text(0) : QString();
    }
    /// A model as the tree builds it: the mass element, then a static load.
    void buildModel(const char* loadName) {
        ui->ok<MassElementValues>([](auto& v) { v = {10, {}, {1, 1, 1}, 1, 1, 1, 0, 0, 0}; });
        click(QStringLiteral("ﾓﾃﾞﾙ作成/質量要素"));
        ui->ok<LoadValues>([loadName](auto& v) { v = {loadName, {0, 0, 1}, {}, 5, 0, 0}; });
        click(QStringLiteral("ﾓﾃﾞﾙ作成/静荷重"));
        QVERIFY(ui->scriptDone());
    }

private slots:
    void init() {
        doc = std::make_unique<CQUAVDoc>();
        ui = std::make_unique<ScriptedUi>();
        display = DisplayState{};
        mode = SelectionMode::None;
        tree = std::make_unique<OperationTree>();
        dispatcher =
            std::make_unique<OperationDispatcher>(*tree, DispatchTarget{*doc, *ui, display, mode});
        tree->setDispatcher(dispatcher.get());
        tree->selectRoot();
    }
    void cleanup() {
        tree->setDispatcher(nullptr);
        QVERIFY(ui->unexpected.empty());
    }

    void editingWithoutModelIsRefused_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("parent");
        for (const char* child :
             {"質量要素", "ばね要素", "ばね特性", "荷重", "観測点", "荷重ケース"})
            QTest::newRow(child) << QStringLiteral("ﾓﾃﾞﾙ編集/") + QString::fromUtf8(child)
                                 << QStringLiteral("ﾓﾃﾞﾙ編集");
        QTest::newRow("決定") << QStringLiteral("ﾓﾃﾞﾙ作成/ばね特性/決定")
                              << QStringLiteral("ﾓﾃﾞﾙ作成/ばね特性");
        QTest::newRow("計算実行") << QStringLiteral("計算実行") << QString();
    }
    void editingWithoutModelIsRefused() {
        QFETCH(QString, item);
        QFETCH(QString, parent);
        click(item);
        QCOMPARE(ui->messages.size(), size_t(1));
        QVERIFY(ui->messages[0] == "質量要素がありません" ||
                ui->messages[0] == "モデルがありません");
        QCOMPARE(current(), parent);
        QCOMPARE(doc->model(), nullptr);
    }

    // Without a model the creation items do nothing; the result items before a
    // calculation: what each shows and which is remembered.
    void resultItemsBeforeACalculation() {
        for (const char* t : {"ばね要素", "ばね特性", "静荷重", "動荷重", "観測点", "荷重ケース"})
            click(QStringLiteral("ﾓﾃﾞﾙ作成/") + QString::fromUtf8(t));
        QVERIFY(ui->messages.empty());
        QCOMPARE(mode, SelectionMode::None);
        click(QStringLiteral("結果表示"));
        buildModel("weight");
        click(QStringLiteral("結果表示"));
        QCOMPARE(ui->messages,
                 (std::vector<std::string>{"ﾓﾃﾞﾙがありません", "計算が実行されていません"}));
        QCOMPARE(current(), QString());
        click(QStringLiteral("結果表示/振動ﾓｰﾄﾞ/Mode2"));
        QCOMPARE(std::tuple(display.modeNumber, display.displayKind, display.animating,
                            doc->model()->calculated),
                 std::tuple(2, DisplayKind::ModeShape, true, 0));
        QCOMPARE(remembered(), QStringLiteral("Mode2"));
        // The frequency step is not remembered.
        click(QStringLiteral("結果表示/振動ﾓｰﾄﾞ/Mode3"));
        click(QStringLiteral("結果表示/周波数ｽﾃｯﾌﾟ"));
        QCOMPARE(mode, SelectionMode::All);
        QCOMPARE(remembered(), QStringLiteral("Mode3"));
        click(QStringLiteral("結果表示/周波数ｽﾃｯﾌﾟ/決定"));
        QCOMPARE(ui->windows, std::vector<std::string>{"frequency step"});
        QCOMPARE(current() + "|" + remembered(), QStringLiteral("結果表示/周波数ｽﾃｯﾌﾟ|Mode3"));
        // The graph keeps the animation state, back on "Mode1", which animates again.
        click(QStringLiteral("結果表示/振動ﾓｰﾄﾞ/Mode1"));
        display.presentationMode = true;
        click(QStringLiteral("結果表示/振動ﾓｰﾄﾞ/ｸﾞﾗﾌ表示"));
        QCOMPARE(ui->windows.back(), std::string("graph 無題"));
        QCOMPARE(current(), QStringLiteral("結果表示/振動ﾓｰﾄﾞ/Mode1"));
        QVERIFY(display.presentationMode && display.animating);
        // The text report keeps the phase.
        display.phase = 1.5;
        click(QStringLiteral("結果表示/ﾃｷｽﾄ表示"));
        QCOMPARE(ui->texts, std::vector<std::string>{"計算が実行されていません"});
        QCOMPARE(display.phase, 1.5);
    }

    void loadCaseBranchAddsEditsAndDeletes() {
        buildModel("F");
        ui->ok<LoadCaseValues>([](auto& v) { v = {"bump", {2.0}, {0, 0, -3}}; });
        click(QStringLiteral("ﾓﾃﾞﾙ作成/荷重ケース"));
        QCOMPARE(current(), QStringLiteral("ﾓﾃﾞﾙ作成"));
        const int load = doc->model()->staticLoads[0].id;
        QCOMPARE(doc->model()->loadCases,
                 (std::vector<LoadCase>{{"bump", {{load, 2.0}}, {0, 0, -3}}}));
        click(QStringLiteral("ﾓﾃﾞﾙ編集/荷重ケース"));
        QCOMPARE(mode, SelectionMode::None);
        ui->ok<LoadCaseChoice>([](auto& c) { c.index = 0; });
        ui->ok<LoadCaseValues>([](auto& v) { v.factors = {0.0}; });
        click(QStringLiteral("ﾓﾃﾞﾙ編集/荷重ケース/編集"));
        QCOMPARE(current(), QStringLiteral("ﾓﾃﾞﾙ編集/荷重ケース"));
        QVERIFY(doc->model()->loadCases[0].terms.empty());
        ui->ok<LoadCaseChoice>([](auto& c) { c.index = 0; });
        click(QStringLiteral("ﾓﾃﾞﾙ編集/荷重ケース/削除"));
        QVERIFY(doc->model()->loadCases.empty());
        QVERIFY(ui->scriptDone());
        QVERIFY(doc->undo());
        QCOMPARE(doc->model()->loadCases.size(), std::size_t(1));
    }

    void loadBranchesPickingAndOneShots() {
        buildModel("設定");
        click(QStringLiteral("結果表示/静解析"));
        QTreeWidgetItem* branch = tree->currentItem();
        QCOMPARE(branch->childCount(), 2);
        QCOMPARE(branch->child(0)->text(0), QStringLiteral("設定"));
        // The load's item runs the settings command as well: the text decides.
        display.frameCount = 20;
        ui->ok<DisplaySettingsValues>([](auto& v) {
            QCOMPARE(v.frames, 0);
            v.scale = 5;
            v.frames = 8;
        });
        tree->run(branch->child(0));
        QVERIFY(ui->scriptDone());
        // The static display keeps the dynamic frame count.
        QCOMPARE(std::tuple(display.resultScale, display.frameCount), std::tuple(5.0, 20.0));
        QCOMPARE(current() + "|" + remembered(), QStringLiteral("結果表示/静解析|静解析"));
        // The dynamic branch has only "設定"; its frame count is kept on OK.
        click(QStringLiteral("結果表示/動解析"));
        QCOMPARE(tree->currentItem()->childCount(), 1);
        ui->ok<DisplaySettingsValues>([](auto& v) {
            QCOMPARE(v.frames, 20);
            v.frames = 24;
        });
        click(QStringLiteral("結果表示/動解析/設定"));
        QCOMPARE(display.frameCount, 24.0);
        // Loads are picked for their "削除"; the coupling and the optimiser's windows
        // are one-shots that leave the branch current.
        click(QStringLiteral("ﾓﾃﾞﾙ編集/荷重"));
        QCOMPARE(mode, SelectionMode::Loads);
        doc->model()->setLoadSelection(-1);
        click(QStringLiteral("ﾓﾃﾞﾙ編集/荷重/削除"));
        QVERIFY(doc->model()->staticLoads.empty());
        QCOMPARE(current(), QStringLiteral("ﾓﾃﾞﾙ編集/荷重"));
        QCOMPARE(mode, SelectionMode::Loads);
        click(QStringLiteral("結果表示/振動ﾓｰﾄﾞ/連成度"));
        QCOMPARE(ui->messages.size(), size_t(1));
        QVERIFY(ui->messages[0].starts_with("連成度：") && ui->messages[0].ends_with("[％]"));
        ui->windows.clear();
        for (const char* t : {"ﾊﾟﾗﾒｰﾀ設定", "最適化条件", "目的関数", "最適化実行", "ﾊﾟﾚｰﾄ解"})
            click(QStringLiteral("最適化/") + QString::fromUtf8(t));
        QCOMPARE(current(), QStringLiteral("最適化"));
        QCOMPARE(ui->windows, (std::vector<std::string>{"parameters", "conditions", "objectives",
                                                        "optimizer run", "pareto"}));
    }

    // The display dialogs show the ticks and pass OK's on, each to its flag; Cancel none.
    void displayTicksArePassedOn() {
        buildModel("weight");
        for (const char* item :
             {"結果表示/振動ﾓｰﾄﾞ/設定", "結果表示/静解析/設定", "結果表示/動解析/設定"}) {
            const QString path = QString::fromUtf8(item);
            const bool mode = path.contains(QStringLiteral("振動")); // no displacement texts
            for (int start = 0; start < 8; ++start) {
                const bool ok = start & 4, undeformed = start & 1, texts = start & 2;
                display.showUndeformedShape = undeformed;
                display.showDisplacementData = texts;
                QString shown; // the ticks the dialog opened with
                auto turn = [ok, &shown](auto& v) -> bool {
                    shown += v.showUndeformed ? u'U' : u'-';
                    v.showUndeformed = !v.showUndeformed;
                    if constexpr (requires { v.showDisplacementData; }) {
                        shown += v.showDisplacementData ? u'D' : u'-';
                        v.showDisplacementData = !v.showDisplacementData;
                    }
                    return ok;
                };
                if (mode)
                    ui->expect<ModeAnimationValues>(turn);
                else
                    ui->expect<DisplaySettingsValues>(turn);
                click(path.left(path.lastIndexOf(u'/'))); // the branch fills when opened
                click(path);
                QVERIFY2(ui->scriptDone(), item);
                QCOMPARE(
                    shown,
                    (QString(undeformed ? "U" : "-") + (texts ? "D" : "-")).left(mode ? 1 : 2));
                QCOMPARE(std::tuple(display.showUndeformedShape, display.showDisplacementData),
                         std::tuple(ok != undeformed, ok && !mode ? !texts : texts));
            }
        }
    }

    void calculationAndWhatFollows() {
        buildModel("weight");
        ui->cancel<CalculationRequest>();
        click(QStringLiteral("計算実行"));
        QCOMPARE(ui->messages, std::vector<std::string>{"処理が中断されました"});
        QCOMPARE(std::tuple(current(), doc->model()->calculated), std::tuple(QString(), 0));
        // A failed run (no springs) still returns to the parent.
        ui->messages.clear();
        ui->ok<CalculationRequest>();
        click(QStringLiteral("計算実行"));
        QVERIFY(ui->messages.at(0).starts_with("ｴﾗｰ"));
        QCOMPARE(remembered(), QStringLiteral("QUAV操作ﾒﾆｭｰ"));
        // "設定" under "振動ﾓｰﾄﾞ" next: one dialog, then back to the root.
        ui->ok<ModeAnimationValues>([](auto& v) {
            v.scale = 0.25;
            v.frames = 24;
        });
        click(QStringLiteral("結果表示/振動ﾓｰﾄﾞ/設定"));
        QVERIFY(ui->scriptDone());
        QCOMPARE(current(), QString());
        QCOMPARE(std::tuple(display.modeScale, display.frameCount), std::tuple(0.25, 24.0));
    }

    void keysMoveAndEnterRuns() {
        // Down to "計算実行": no dialog opens on the way, Enter opens the one asked for.
        buildModel("weight");
        tree->selectRoot();
        tree->collapseItem(tree->find(path(QStringLiteral("ﾓﾃﾞﾙ作成"))));
        tree->setFocus();
        QStringList hints;
        connect(tree.get(), &OperationTree::hint, [&](const QString& h) { hints << h; });
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(tree.get(), Qt::Key_Down);
        QCOMPARE(current(), QStringLiteral("計算実行"));
        QCOMPARE(hints.last(), QStringLiteral("「計算実行」: Enter またはクリックで実行"));
        QVERIFY(ui->messages.empty() && ui->scriptDone());
        ui->cancel<CalculationRequest>();
        QTest::keyClick(tree.get(), Qt::Key_Return);
        QVERIFY(ui->scriptDone());
        QCOMPARE(ui->messages, std::vector<std::string>{"処理が中断されました"});
        // A click on a row runs it; its branch opens and the others stay open.
        click(QStringLiteral("ﾓﾃﾞﾙ編集"));
        click(QStringLiteral("ﾓﾃﾞﾙ編集/荷重"));
        click(QStringLiteral("結果表示"));
        QVERIFY(tree->find(path(QStringLiteral("ﾓﾃﾞﾙ編集")))->isExpanded());
        QVERIFY(tree->find(path(QStringLiteral("ﾓﾃﾞﾙ編集/荷重")))->isExpanded());
        QCOMPARE(ui->statuses.front(),
                 "荷重を 3D ビューでクリックして選び、「編集」か「削除」を選んでください");
    }
};

QTEST_MAIN(DispatcherTest)
#include "DispatcherTest.moc"
