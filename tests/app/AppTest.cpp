// The desktop's window: the operation tree driven item by item, the model browser,
// and the main window (menus and their items, tree, check marks, title, unsaved
// changes), with scripted dialogs where a command asks.

#include "../support/ScriptedUi.h"
#include "app/AnalysisMenu.h"
#include "app/DocumentFiles.h"
#include "app/MainFrame.h"
#include "app/ModelBrowser.h"
#include "app/OperationDispatcher.h"
#include "app/OperationTree.h"
#include "app/QtTranslations.h"
#include "dialogs/LoadCaseDialog.h"
#include "document/Document.h"
#include "document/LoadCaseCommands.h"
#include "view/CQUAVView.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDockWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>

using namespace quav;
using quav::test::ScriptedUi;

namespace {

QStringList path(const QString& slashed) {
    return (QStringLiteral("QUAV操作ﾒﾆｭｰ/") + slashed).split(u'/', Qt::SkipEmptyParts);
}

Matrix v3(double x, double y, double z) {
    return Matrix::vector({x, y, z});
}

/// A menu as lines: "text #id", "---" for a separator, submenus indented.
void describe(const QMenu* menu, const QString& indent, QStringList& out) {
    for (QAction* a : menu->actions()) {
        if (a->isSeparator())
            out << indent + QStringLiteral("---");
        else if (a->menu())
            out << indent + a->text(), describe(a->menu(), indent + QStringLiteral("  "), out);
        else if (a->isVisible())
            out << indent + a->text() + QStringLiteral(" #") + a->objectName();
    }
}

void describe(const QTreeWidgetItem* item, const QString& indent, QStringList& out) {
    out << indent + item->text(0);
    for (int i = 0; i < item->childCount(); ++i)
        describe(item->child(i), indent + QStringLiteral("  "), out);
}

/// Answers the next message box with `button`, keeping its text in `text`.
void answerNextQuestion(QMessageBox::StandardButton button, QString* text = nullptr) {
    QTimer::singleShot(0, [button, text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        if (text)
            *text = box->text();
        box->button(button)->click();
    });
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

class ModelBrowserTest : public QObject {
    Q_OBJECT

    std::unique_ptr<CQUAVDoc> doc;
    std::unique_ptr<ScriptedUi> ui;
    std::unique_ptr<ModelBrowser> browser;

    AnalysisModel& model() { return *doc->model(); }
    QTableWidget* springs() { return browser->table(ModelTableKind::Springs); }
    /// The names down a table as it is sorted.
    QStringList column(QTableWidget* t, int c = 0) {
        QStringList out;
        for (int r = 0; r < t->rowCount(); ++r)
            out << t->item(r, c)->text();
        return out;
    }
    int rowOf(QTableWidget* t, const QString& name) {
        for (int r = 0; r < t->rowCount(); ++r)
            if (t->item(r, 0)->text() == name)
                return r;
        return -1;
    }

private slots:
    void init() {
        doc = std::make_unique<CQUAVDoc>();
        ui = std::make_unique<ScriptedUi>();
        AnalysisModel& m = doc->createModel();
        m.mass = 100;
        m.setSize(v3(1, 1, 1));
        m.addSpring("b", v3(10, 0, 0), v3(0, 0, 0), 0.05f);
        m.addSpring("a", v3(9, 0, 0), v3(0, 0, 0), 0.05f);
        m.addSpring("c", v3(-1, 0, 0), v3(0, 0, 0), 0.05f);
        m.addStaticLoad("weight", 981, v3(0, 0, 0), v3(0, 0, -1), Translational);
        m.addStaticLoad("torque", 50, v3(0, 0, 0), v3(1, 0, 0), Moment);
        m.addDynamicLoad("unbalance", 50, v3(0, 0, 0), v3(0, 1, 0), Translational, 25);
        browser = std::make_unique<ModelBrowser>(*doc, *ui);
        doc->addListener([this](DocumentEvent) { browser->refresh(); });
    }
    void cleanup() {
        browser.reset();
        QVERIFY(ui->unexpected.empty());
    }

    void tablesShowNamesIdsAndUnits() {
        QCOMPARE(browser->tabText(0), QStringLiteral("ばね要素 (3)"));
        QCOMPARE(springs()->horizontalHeaderItem(2)->text(), QStringLiteral("x [m]"));
        QTableWidget* loads = browser->table(ModelTableKind::StaticLoads);
        QCOMPARE(column(loads, 3),
                 (QStringList{QStringLiteral("981 N"), QStringLiteral("50 N･m")}));
        QCOMPARE(browser->table(ModelTableKind::DynamicLoads)->horizontalHeaderItem(10)->text(),
                 QStringLiteral("周波数 [Hz]"));
        // By id (creation order) at first; numbers sort by value, not as text.
        QCOMPARE(column(springs()), (QStringList{"b", "a", "c"}));
        springs()->sortByColumn(2, Qt::AscendingOrder);
        QCOMPARE(column(springs()), (QStringList{"c", "a", "b"}));
        springs()->sortByColumn(0, Qt::AscendingOrder);
        QCOMPARE(column(springs()), (QStringList{"a", "b", "c"}));
        // The order stays when the model changes.
        model().addSpring("0", v3(0, 0, 0), v3(0, 0, 0), 0.05f);
        doc->updateAllViews();
        QCOMPARE(column(springs()), (QStringList{"0", "a", "b", "c"}));
    }

    void selectionBothWays() {
        // Rows selected in the table select the objects...
        springs()->selectRow(rowOf(springs(), "a"));
        QCOMPARE(std::tuple(model().springs[0].selected, model().springs[1].selected),
                 std::tuple(0, 1));
        // ... other kinds keep theirs ...
        model().setLoadSelection(model().staticLoads[0].id);
        springs()->clearSelection();
        QCOMPARE(std::tuple(model().selectedSpringCount(), model().selectedLoadCount()),
                 std::tuple(0, 1));
        // ... and objects picked elsewhere show as selected rows.
        model().setSpringSelection(model().springs[2].id);
        doc->updateAllViews();
        const QModelIndexList rows = springs()->selectionModel()->selectedRows();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].data().toString(), QStringLiteral("c"));
        QCOMPARE(
            browser->table(ModelTableKind::StaticLoads)->selectionModel()->selectedRows().size(),
            1);
    }

    void doubleClickEditsAndDeleteRemoves() {
        ui->ok<SpringValues>([](SpringValues& v) {
            QCOMPARE(v.name, std::string("a"));
            v.name = "a2";
        });
        emit springs()->cellDoubleClicked(rowOf(springs(), "a"), 3);
        QVERIFY(ui->scriptDone());
        QCOMPARE(model().springs[1].name, std::string("a2"));
        QCOMPARE(rowOf(springs(), "a2") >= 0, true);
        model().addCharacteristic({});
        doc->updateAllViews();
        ui->ok<CharacteristicValues>([](CharacteristicValues& v) {
            v.stiffness = {1, 2, 3};
            v.dynamicFactor = 1;
        });
        emit browser->table(ModelTableKind::Characteristics)->cellDoubleClicked(0, 0);
        QCOMPARE(model().springCharacteristics[0].stiffness[1], 2.0);
        // Delete removes what is selected in the table, and undo brings it back.
        browser->show();
        springs()->setFocus();
        springs()->selectRow(rowOf(springs(), "b"));
        QTest::keyClick(springs(), Qt::Key_Delete);
        QCOMPARE(column(springs()), (QStringList{"a2", "c"})); // its status: DocumentTest
        // Deleting static loads leaves a selected dynamic load alone.
        model().setLoadSelection(-1);
        doc->updateAllViews();
        QTableWidget* statics = browser->table(ModelTableKind::StaticLoads);
        statics->setFocus();
        QTest::keyClick(statics, Qt::Key_Delete);
        QCOMPARE(std::tuple(model().staticLoads.size(), model().dynamicLoads.size()),
                 std::tuple(std::size_t(0), std::size_t(1)));
        QVERIFY(doc->undo() && doc->undo());
        QCOMPARE(column(springs()).size(), 3);
        QCOMPARE(statics->rowCount(), 2);
    }
};

class MainFrameTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QSettings().clear();
    }

    void menusAsListed() {
        CQUAVDoc doc;
        CMainFrame frame(doc);
        QStringList lines;
        for (QAction* a : frame.menuBar()->actions()) {
            lines << a->text();
            describe(a->menu(), QStringLiteral("  "), lines);
        }
        const QStringList expected =
            QStringLiteral(
                "ﾌｧｲﾙ(&F)|  新規作成(&N)\tCtrl+N #57600|  開く(&O)...\tCtrl+O #57601|"
                "  上書き保存(&S)\tCtrl+S #57603|  名前を付けて保存(&A)... #57604|  ---|"
                "  ｲﾝﾎﾟｰﾄ(&I)|    質量要素ｼﾞｵﾒﾄﾘ(&G) #32816|    Nastranﾊﾞﾙｸﾃﾞｰﾀ... #32860|"
                "  ｴｸｽﾎﾟｰﾄ(&E)|    Nastranﾊﾞﾙｸﾃﾞｰﾀ... #32861|    UFF(周波数応答)... #32862|  ---|  "
                "最近使ったﾌｧｲﾙ #57616|  ---|"
                "  ｱﾌﾟﾘｹｰｼｮﾝの終了(&X) #57665|"
                "編集(&E)|  元に戻す(&U)\tCtrl+Z #57643|  やり直し(&R)\tCtrl+Y #57644|  ---|"
                "  画面ｺﾋﾟｰ(&C) #32789|  外部ｼﾞｵﾒﾄﾘ(&G)|    質量要素ｼﾞｵﾒﾄﾘ削除(&D) #32818|"
                "表示(&V)|  ﾌｨｯﾄ(&F) #32819|  正面(&1) #32850|  側面(&2) #32851|  上面(&3) #32852|"
                "  等角(&4) #32853|  上方向(&U)|    自動 (重量荷重の向き)(&A) #32854|"
                "    y 軸(&Y) #32855|    z 軸(&Z) #32856|  ---|  ﾂｰﾙ ﾊﾞｰ(&T) #59392|"
                "  ｽﾃｰﾀｽ ﾊﾞｰ(&S) #59393|  操作ﾒﾆｭｰ(&O) #103|  ﾓﾃﾞﾙﾌﾞﾗｳｻﾞ(&B) #32857|  "
                "ﾌﾟﾚｾﾞﾝﾓｰﾄﾞ(&P) #32776|  ---|"
                "  ｸﾞﾗｳﾝﾄﾞ設定(&G) #32777|  慣性主軸を表示(&I) #32814|  弾性主軸を表示(&E) #32815|"
                "情報(&I)|  解析ﾓﾃﾞﾙ(&M) #32787|  弾性中心(&E) #32782|  ---|  メモ(&T) #32812|"
                "解析(&A)|  エネルギー分布 #32841|  トルクロール軸... #32842|  マウント力 #32843|"
                "  伝達率 #32844|  ---|  ロバスト性... #32845|  感度... #32846|  ---|  荷重ケース "
                "#32847|"
                "ﾍﾙﾌﾟ(&H)|  オンラインマニュアル(&M) #32820|  QUAV のﾊﾞｰｼﾞｮﾝ情報(&A)... #57664")
                .split(u'|');
        QCOMPARE(lines, expected);
        QCOMPARE(frame.menu()[57603]->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
        QCOMPARE(frame.menu()[57634]->shortcuts().size(), 2);
        QVERIFY(!frame.menu()[57643]->isEnabled()); // undo: nothing to take back yet
        QCOMPARE(frame.statusBar()->currentMessage(), QStringLiteral("ﾚﾃﾞｨ"));
    }

    void treeAsListed() {
        CQUAVDoc doc;
        CMainFrame frame(doc);
        QTreeWidget* tree = frame.operationTree();
        QStringList lines;
        describe(tree->topLevelItem(0), QString(), lines);
        QCOMPARE(
            lines.join(u'|'),
            QStringLiteral(
                "QUAV操作ﾒﾆｭｰ|  ﾓﾃﾞﾙ作成|    質量要素|    ばね要素|    ばね特性|      決定|"
                "    静荷重|    動荷重|    観測点|    荷重ケース|  ﾓﾃﾞﾙ編集|    質量要素|"
                "    ばね要素|      編集|      削除|    ばね特性|    荷重|      編集|      削除|"
                "    観測点|      編集|      削除|    荷重ケース|      編集|      削除|  計算実行| "
                " 結果表示|    振動ﾓｰﾄﾞ|      Mode1|      Mode2|      Mode3|"
                "      Mode4|      Mode5|      Mode6|      設定|      ｸﾞﾗﾌ表示|      連成度|"
                "    静解析|    動解析|    周波数ｽﾃｯﾌﾟ|      決定|    ﾃｷｽﾄ表示|  最適化|"
                "    ﾊﾟﾗﾒｰﾀ設定|    最適化条件|    目的関数|    最適化実行|    ﾊﾟﾚｰﾄ解"));
        QTreeWidgetItem* root = tree->topLevelItem(0);
        QVERIFY(root->isExpanded());
        for (int i = 0; i < root->childCount(); ++i)
            QVERIFY(!root->child(i)->isExpanded());
    }

    void checkMarksFollowTheFlags() {
        CQUAVDoc doc;
        CMainFrame frame(doc);
        int redraws = 0;
        doc.addListener([&](DocumentEvent e) { redraws += e == DocumentEvent::ModelChanged; });
        QAction* inertia = frame.menu()[32814];
        for (bool expected : {true, false}) {
            inertia->trigger();
            QCOMPARE(frame.displayState().showInertiaAxes, expected);
            emit frame.menu().viewMenu->aboutToShow();
            QCOMPARE(inertia->isChecked(), expected);
        }
        QCOMPARE(redraws, 2);
        frame.menu()[32815]->trigger();
        frame.menu()[32776]->trigger();
        emit frame.menu().viewMenu->aboutToShow();
        QVERIFY(frame.menu()[32815]->isChecked() && frame.menu()[32776]->isChecked());
        QVERIFY(frame.displayState().presentationMode);
    }

    void unsavedChangesAndTitle() {
        CQUAVDoc doc;
        CMainFrame frame(doc);
        doc.createModel();
        doc.setModified();
        QVERIFY(frame.isWindowModified());
        // Cancel keeps everything; No drops the changes.
        answerNextQuestion(QMessageBox::Cancel);
        frame.files().newDocument();
        QVERIFY(doc.model() && doc.isModified());
        answerNextQuestion(QMessageBox::Cancel);
        QVERIFY(!frame.close());
        answerNextQuestion(QMessageBox::No);
        frame.files().newDocument();
        QVERIFY(!doc.model() && !doc.isModified());
        QVERIFY(!frame.isWindowModified());
        QVERIFY(frame.close());
    }

    // The save question through the seam: Cancel keeps, No drops, Yes saves first.
    void saveQuestionScripted() {
        QTemporaryDir dir;
        const std::string path = dir.path().toStdString() + "/model.quav";
        const struct {
            Answer answer;
            bool opens; ///< the example replaces the document
            bool saved; ///< the changed memo reached the file
        } cases[] = {
            {Answer::Cancel, false, false},
            {Answer::No, true, false},
            {Answer::Yes, true, true},
        };
        for (const auto& c : cases) {
            QFile::remove(QString::fromStdString(path));
            QVERIFY(QFile::copy(QStringLiteral(QUAV_EXAMPLES "/power_unit.quav"),
                                QString::fromStdString(path)));
            CQUAVDoc doc;
            test::ScriptedUi ui;
            DocumentFiles files(doc, ui, nullptr);
            QVERIFY(files.openPath(path, false));
            doc.model()->memo = "changed";
            doc.setModified();
            ui.answer(c.answer);
            QCOMPARE(files.openPath(QUAV_EXAMPLES "/power_unit.quav"), c.opens);
            QCOMPARE(ui.questions, std::vector<std::string>{"model.quav への変更を保存しますか?"});
            QVERIFY(ui.scriptDone() && ui.unexpected.empty());
            QCOMPARE(doc.model()->memo == "changed", !c.opens);
            QCOMPARE(doc.isModified(), !c.opens);
            CQUAVDoc reread;
            QVERIFY(reread.open(path).ok());
            QCOMPARE(reread.model()->memo == "changed", c.saved);
        }
    }

    // File messages go through the seam with their sign; no box of their own opens.
    void fileMessagesScripted() {
        QStringList boxes;
        QTimer closer;
        connect(&closer, &QTimer::timeout, [&boxes] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                boxes << box->text();
                box->accept();
            }
        });
        closer.start(10);
        QTemporaryDir dir;
        const std::string deck = dir.path().toStdString() + "/m.bdf";
        CQUAVDoc doc;
        test::ScriptedUi ui;
        DocumentFiles files(doc, ui, nullptr);

        const std::string missing = dir.path().toStdString() + "/x.quav";
        QVERIFY(!files.openPath(missing, false));
        QCOMPARE(ui.warnings, std::vector<std::string>{missing + " を開けません。\n" +
                                                       CQUAVDoc().open(missing).error});
        QVERIFY(!files.exportBulkDataPath(deck));
        QCOMPARE(ui.warnings.back(),
                 std::string("書き出すモデルがありません。\n質量要素を設定してください。"));

        QVERIFY(files.openPath(QUAV_EXAMPLES "/power_unit.quav", false));
        QVERIFY(files.exportBulkDataPath(deck));
        QVERIFY(files.importBulkDataPath(deck));
        QCOMPARE(ui.informations.size(), std::size_t(1));
        QVERIFY(
            ui.informations[0].starts_with(deck + " を読み込みました。次のカードは使いません。\n"));
        QVERIFY(ui.informations[0].find("RLOAD1: 2 entries ignored") != std::string::npos);
        QCOMPARE(ui.warnings.size(), std::size_t(2));
        QVERIFY(ui.messages.empty() && ui.unexpected.empty());
        QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join(QStringLiteral(" | "))));
    }

    // A deck comes in as a new unsaved document; a refused one names its line.
    void bulkDataDecksInAndOut() {
        QTemporaryDir dir;
        const std::string deck = dir.path().toStdString() + "/m.bdf";
        CQUAVDoc doc;
        CMainFrame frame(doc);
        QVERIFY(frame.files().openPath(QUAV_EXAMPLES "/power_unit.quav", false));
        QVERIFY(frame.files().exportBulkDataPath(deck));
        const std::string uff = dir.path().toStdString() + "/r.uff";
        QVERIFY(frame.files().exportUniversalFilePath(uff, 1));
        QVERIFY(QFile(QString::fromStdString(uff)).size() > 0);
        QString message;
        answerNextQuestion(QMessageBox::Ok, &message);
        QVERIFY(frame.files().importBulkDataPath(deck));
        QVERIFY(message.contains(QStringLiteral("RLOAD1: 2 entries ignored")));
        QVERIFY(doc.model() && doc.isModified() && doc.path().empty()); // the model: BulkDataTest
        const std::string bad = dir.path().toStdString() + "/bad.bdf";
        FILE* f = std::fopen(bad.c_str(), "w");
        std::fputs("GRID,1,,0.,0.,0.\nCONM2,1,1,,x\n", f);
        std::fclose(f);
        doc.model()->memo = "kept";
        answerNextQuestion(QMessageBox::Ok, &message);
        QVERIFY(!frame.files().importBulkDataPath(bad));
        QVERIFY(message.contains(QStringLiteral("line 2: CONM2 1: M is not a real number")));
        QCOMPARE(doc.model()->memo, std::string("kept"));
        // A JSON model opens as its file and is saved as JSON again.
        const std::string json = dir.path().toStdString() + "/m.json";
        QVERIFY(QFile::copy(QStringLiteral(QUAV_EXAMPLES "/power_unit.json"),
                            QString::fromStdString(json)));
        answerNextQuestion(QMessageBox::No);
        QVERIFY(frame.files().openPath(json));
        QVERIFY(doc.path() == json && !doc.isModified());
        doc.model()->memo = "saved as JSON";
        doc.setModified();
        QVERIFY(frame.files().save());
        QFile saved(QString::fromStdString(json));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(saved.readAll().contains("\"memo\": \"saved as JSON\""));
        QVERIFY(frame.close());
    }

    // A CP932 file name opens, saves and is recent byte for byte; the dock only hides.
    void bytesOfFileNamesAndTheTreesDock() {
        QTemporaryDir dir;
        const std::string name = dir.path().toStdString() + "/\x83\x65\x83\x58\x83\x67.quav";
        QVERIFY(QFile::copy(
            QStringLiteral(QUAV_EXAMPLES "/power_unit.quav"),
            QFile::decodeName(QByteArray::fromStdString(dir.path().toStdString() + "/copy.quav"))));
        QVERIFY(std::rename((dir.path().toStdString() + "/copy.quav").c_str(), name.c_str()) == 0);
        CQUAVDoc doc;
        CMainFrame frame(doc);
        QVERIFY(frame.files().openPath(name, false));
        QCOMPARE(frame.windowTitle(), QStringLiteral("テスト.quav[*] - QUAV"));
        QCOMPARE(frame.files().recentFiles().at(0), name);
        doc.setModified();
        QVERIFY(frame.files().save());
        QCOMPARE(doc.path(), name);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(),
                 0); // none Qt can read
        auto* dock = frame.findChild<QDockWidget*>(QStringLiteral("103"));
        QVERIFY(dock && !(dock->features() & QDockWidget::DockWidgetClosable));
        frame.show();
        QVERIFY(dock->isVisible());
        frame.menu()[103]->trigger();
        QVERIFY(!dock->isVisible());
        frame.menu()[103]->trigger();
        QVERIFY(dock->isVisible());
    }

    void undoFromTheMenuAndTheUpAxisKept() {
        CQUAVDoc doc;
        CMainFrame frame(doc);
        QVERIFY(frame.files().openPath(QUAV_EXAMPLES "/power_unit.quav", false));
        QAction* undo = frame.menu()[57643];
        QVERIFY(!undo->isEnabled());
        // "削除" in the tree: one undo step, named in the menu and the status line.
        doc.model()->setSpringSelection(doc.model()->springs[0].id);
        OperationTree* tree = frame.operationTree();
        tree->run(tree->find({QStringLiteral("QUAV操作ﾒﾆｭｰ"), QStringLiteral("ﾓﾃﾞﾙ編集"),
                              QStringLiteral("ばね要素"), QStringLiteral("削除")}));
        QCOMPARE(doc.model()->springs.size(), 3u);
        QVERIFY(frame.statusBar()->currentMessage().startsWith(
            QStringLiteral("ばね要素 1 個を削除しました")));
        QCOMPARE(undo->text(), QStringLiteral("元に戻す(&U) ばね要素の削除\tCtrl+Z"));
        QVERIFY(undo->isEnabled() && frame.isWindowModified());
        undo->trigger();
        QCOMPARE(doc.model()->springs.size(), 4u);
        QVERIFY(!frame.isWindowModified() && !undo->isEnabled());
        QVERIFY(frame.menu()[57644]->isEnabled());
        // The up axis is the user's: kept in the settings for the next window.
        frame.menu()[32856]->trigger();
        QCOMPARE(frame.view()->upChoice(), UpChoice::Z);
        CMainFrame next(doc);
        QCOMPARE(next.view()->upChoice(), UpChoice::Z);
        QVERIFY(next.menu()[32856]->isChecked());
        frame.menu()[32854]->trigger();
        QVERIFY(frame.close() && next.close());
    }

    void aLoadCaseShownInTheView() {
        CQUAVDoc doc;
        CMainFrame frame(doc);
        QVERIFY(frame.files().openPath(QUAV_EXAMPLES "/power_unit_cases.json", false));
        QString chosen;
        // The window opens after the cases are solved: wait for it, then show row 2.
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            auto* window = qobject_cast<LoadCaseDialog*>(QApplication::activeModalWidget());
            if (!window)
                return;
            poll.stop();
            window->table()->selectRow(2);
            chosen = window->table()->item(2, 0)->text();
            window->findChild<QPushButton*>(QStringLiteral("view"))->click();
            window->accept();
        });
        poll.start(10);
        showLoadCases(doc, frame.ui());
        QVERIFY(!chosen.isEmpty());
        const DisplayState& display = frame.displayState();
        QCOMPARE(display.displayKind, DisplayKind::LoadCaseResult);
        QCOMPARE(QString::fromStdString(display.caseName), chosen);
        for (const LoadCaseResult& r : analyseLoadCases(*doc.model()))
            if (QString::fromStdString(r.name) == chosen)
                QCOMPARE(display.caseDisplacement, r.displacement);
        QVERIFY(frame.statusBar()->currentMessage().contains(chosen));
        // Saving keeps the case on view; an edit, or taking one back, drops it.
        doc.setModified(false);
        QCOMPARE(display.displayKind, DisplayKind::LoadCaseResult);
        doc.beginEdit("x", false);
        QCOMPARE(display.displayKind, DisplayKind::Model);
    }

    // The analysis menu: what each item shows.
    void analysisMenuItemsShowTheirReports() {
        CQUAVDoc doc;
        QVERIFY(doc.open(QUAV_EXAMPLES "/power_unit.quav").ok());
        test::ScriptedUi ui;
        QMainWindow window;
        window.menuBar()->addMenu(QStringLiteral("情報(&I)"));
        window.menuBar()->addMenu(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
        AnalysisMenu analysis(&window, doc, ui); // its place in the bar: menusAsListed
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

    // Last: the translations stay installed for the rest of the process.
    void qtDialogsInJapanese() {
        QVERIFY(installQtTranslations(*QCoreApplication::instance()));
        QMessageBox box(QMessageBox::Question, QStringLiteral("QUAV"), QString(),
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QCOMPARE(
            (QStringList{box.button(QMessageBox::Yes)->text(), box.button(QMessageBox::No)->text(),
                         box.button(QMessageBox::Cancel)->text()}),
            (QStringList{QStringLiteral("はい(&Y)"), QStringLiteral("いいえ(&N)"),
                         QStringLiteral("キャンセル")}));
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    DispatcherTest dispatcher;
    ModelBrowserTest browser;
    MainFrameTest frame; // last: it installs the translations for the rest of the process
    int failed = QTest::qExec(&dispatcher, argc, argv);
    failed += QTest::qExec(&browser, argc, argv);
    return failed + QTest::qExec(&frame, argc, argv);
}

#include "AppTest.moc"
