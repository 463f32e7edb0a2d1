// The model browser: tables, sorting, selection both ways, double-click, Delete, undo.

#include "app/ModelBrowser.h"
#include "document/Document.h"

#include "../support/ScriptedUi.h"

#include <QTableWidget>
#include <QtTest>

using namespace quav;
using quav::test::ScriptedUi;

namespace {
Matrix v3(double x, double y, double z) {
    return Matrix::vector({x, y, z});
}
} // namespace

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

QTEST_MAIN(ModelBrowserTest)
#include "ModelBrowserTest.moc"
