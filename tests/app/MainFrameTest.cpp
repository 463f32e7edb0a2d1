// The main window: menus and their items, tree, check marks, title, unsaved changes.

#include "app/MainFrame.h"
#include "../support/ScriptedUi.h"
#include "app/AnalysisMenu.h"
#include "app/DocumentFiles.h"
#include "app/OperationTree.h"
#include "app/QtTranslations.h"
#include "dialogs/LoadCaseDialog.h"
#include "document/Document.h"
#include "document/LoadCaseCommands.h"
#include "view/CQUAVView.h"

#include <QtTest>

#include <QDockWidget>
#include <QTemporaryDir>

#include <cstdio>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTableWidget>

using namespace quav;

namespace {

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

QTEST_MAIN(MainFrameTest)
#include "MainFrameTest.moc"
