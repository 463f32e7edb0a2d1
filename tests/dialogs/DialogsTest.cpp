// Each dialog's fields against its members, and the refusals that keep a dialog open.

#include "dialogs/InfoDialogs.h"
#include "dialogs/ModelDialogs.h"
#include "dialogs/MountAnalysisDialogs.h"
#include "dialogs/SettingsDialogs.h"
#include "document/CharacteristicListEditor.h"

#include "../support/ScriptedUi.h"
#include "DialogTestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <cmath>
#include <limits>

using namespace quav;
using quav::test::closeNextMessage;
using quav::test::fileText;

namespace {

template <class W = QLineEdit> W* field(QWidget* dialog, int id) {
    auto* w = dialog->findChild<W*>(QString::number(id));
    if (!w)
        qFatal("no control %d", id);
    return w;
}

/// Presses OK: true when a message refused it and the dialog stayed open.
bool refusedOnOk(QDialog& dialog, QString* message) {
    message->clear();
    closeNextMessage(message);
    dialog.accept();
    QApplication::processEvents();
    return dialog.result() != QDialog::Accepted && !message->isEmpty();
}

/// Types `text` into control `id` and presses OK: true when it was refused.
bool refused(QDialog& dialog, int id, const QString& text, QString* message) {
    field(&dialog, id)->setText(text);
    return refusedOnOk(dialog, message);
}

bool accepted(QDialog& dialog, int id, const QString& text) {
    field(&dialog, id)->setText(text);
    dialog.accept();
    return dialog.result() == QDialog::Accepted;
}

} // namespace

class DialogsTest : public QObject {
    Q_OBJECT
    /// Every number field by id: id + 0.5 typed lands in its member (vectors: three ids on).
    template <class Dialog, class Values>
    void checkNumberIds(Dialog& d, const std::vector<std::pair<int, double Values::*>>& scalar,
                        const std::vector<std::pair<int, Vec3 Values::*>>& vectors) {
        for (const auto& [id, m] : scalar)
            field(&d, id)->setText(QString::number(id + 0.5));
        for (const auto& [id, m] : vectors)
            for (int i = 0; i < 3; ++i)
                field(&d, id + i)->setText(QString::number(id + i + 0.5));
        d.accept();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        for (const auto& [id, m] : scalar)
            QCOMPARE(d.values.*m, id + 0.5);
        for (const auto& [id, m] : vectors)
            for (int i = 0; i < 3; ++i)
                QCOMPARE((d.values.*m)[i], id + i + 0.5);
    }

private slots:
    void initTestCase() { QApplication::setFont(QFont(QStringLiteral("Noto Sans CJK JP"))); }

    void controlIdsCarryTheirMembers() {
        {
            CharacteristicDialog d({}, nullptr);
            using V = CharacteristicValues;
            checkNumberIds<CharacteristicDialog, V>(d, {{1017, &V::dynamicFactor}},
                                                    {{1013, &V::stiffness}, {1115, &V::damping}});
        }
        {
            LoadDialog d({"L", {}, {}, 0, 0, 0}, {true, 0, {}});
            using V = LoadValues;
            QCOMPARE(d.windowTitle(), QStringLiteral("動的荷重設定"));
            checkNumberIds<LoadDialog, V>(d, {{1032, &V::value}, {1065, &V::frequency}},
                                          {{1029, &V::direction}, {1034, &V::position}});
        }
        {
            CalculationConditionsDialog d({});
            using V = CalculationRequest;
            for (int id : {1082, 1083, 1084, 1085})
                QVERIFY(field<QCheckBox>(&d, id)->isChecked());
            field<QCheckBox>(&d, 1084)->setChecked(false);
            checkNumberIds<CalculationConditionsDialog, V>(
                d, {{1079, &V::start}, {1080, &V::end}, {1081, &V::step}}, {});
            QVERIFY(d.values.eigen && !d.values.dynamic);
        }
    }

    void untouchedValuesComeBackExactly() {
        const double awkward = 0.1 + 0.2;
        MassElementValues m{awkward, {-0.0, 1e-300, 123456789.123}, {1, 2, 3}, 1, 2, 3, 0.1, 0.2,
                            0.3};
        MassElementDialog d(m);
        QCOMPARE(field(&d, 1000)->text(), QStringLiteral("0.3"));
        field(&d, 1001)->setText(QStringLiteral("0.1"));
        d.accept();
        QCOMPARE(std::tuple(d.values.ixx, d.values.mass, d.values.centreOfGravity),
                 std::tuple(0.1, awkward, m.centreOfGravity));
        QVERIFY(std::signbit(d.values.centreOfGravity[0]));
        GroundDialog g({true, -0.3f});
        QCOMPARE(std::tuple(field(&g, 1027)->text(), field<QCheckBox>(&g, 1061)->isChecked()),
                 std::tuple(QStringLiteral("-0.3"), true));
        g.accept();
        QCOMPARE(g.values.level, -0.3f);
    }

    void refusalsKeepTheDialogOpen() {
        QString message;
        SpringDialog s({"FR", {}, 0, 0, 1});
        QVERIFY(refused(s, 1016, QStringLiteral("abc"), &message));
        QCOMPARE(message, QStringLiteral("数値を入力してください。"));
        field(&s, 1016)->setText(QStringLiteral("-1.5e1"));
        QVERIFY(refused(s, 1018, QStringLiteral("1e99"), &message)); // beyond a float
        QVERIFY(accepted(s, 1018, QStringLiteral(" 2.5 ")));
        QCOMPARE(s.values.yAngle, -15.0);
        // A name or a memo that the model file's code page cannot hold.
        ObservationPointDialog p({});
        QVERIFY(refused(p, 1019, QStringLiteral("点\U0001F600"), &message));
        QVERIFY(message.startsWith(QStringLiteral("使用できない文字")));
        QVERIFY(accepted(p, 1019, QStringLiteral("ﾐﾗｰ①")));
        QCOMPARE(p.values.name, std::string("ﾐﾗｰ①"));
        MemoDialog memo("a\r\nb");
        auto* edit = field<QPlainTextEdit>(&memo, 1023);
        QCOMPARE(edit->toPlainText(), QStringLiteral("a\nb"));
        edit->setPlainText(QStringLiteral("\U0001F600"));
        QVERIFY(refusedOnOk(memo, &message));
        edit->setPlainText(QStringLiteral("a\nc"));
        QCOMPARE(memo.memo(), std::string("a\r\nc"));
    }

    // Number text on the edges, in the parser, a double field and a float field: a text that
    // is no finite number never reaches a member.
    void numberTextInEveryFieldKind() {
        const double no = std::numeric_limits<double>::quiet_NaN();
        const struct {
            const char* text;
            double value;      // NaN (no): refused everywhere
            bool floatRefused; // beyond a float only
        } cases[] = {
            {"+1.5", 1.5, false},   {"-0", -0.0, false},   {" -2e3 ", -2000, false},
            {"1E-3", 0.001, false}, {".5", 0.5, false},    {"1e39", 1e39, true},
            {"-1e39", -1e39, true}, {"3e38", 3e38, false}, {"nan", no, false},
            {"NaN", no, false},     {"-nan", no, false},   {"inf", no, false},
            {"-inf", no, false},    {"+inf", no, false},   {"infinity", no, false},
            {"1e309", no, false},   {"-1e309", no, false}, {"++1", no, false},
            {"+-1", no, false},     {"-+1", no, false},    {"+", no, false},
            {"-", no, false},       {"", no, false},       {"1,5", no, false},
            {"0x10", no, false},    {"1e", no, false},     {"1 2", no, false},
            {"\uff11", no, false},
        };
        for (const auto& c : cases) {
            const QString text = QString::fromUtf8(c.text);
            const bool ok = !std::isnan(c.value);
            double parsed = 7.0;
            QVERIFY2(parseNumber(text, parsed) == ok, c.text);
            QVERIFY2(ok ? parsed == c.value && std::signbit(parsed) == std::signbit(c.value)
                        : parsed == 7.0,
                     c.text);
            QString message;
            ObservationPointDialog d({"p", {1, 2, 3}});
            if (ok) {
                QVERIFY2(accepted(d, 1040, text), c.text);
                QCOMPARE(d.values.position[0], c.value);
                QCOMPARE(std::signbit(d.values.position[0]), std::signbit(c.value));
            } else {
                QVERIFY2(refused(d, 1040, text, &message), c.text);
                QCOMPARE(d.values.position[0], 1.0);
            }
            GroundDialog g({true, 0.5f});
            if (ok && !c.floatRefused) {
                QVERIFY2(accepted(g, 1027, text), c.text);
                QCOMPARE(g.values.level, static_cast<float>(c.value));
            } else {
                QVERIFY2(refused(g, 1027, text, &message), c.text);
                QCOMPARE(std::tuple(message, g.values.level),
                         std::tuple(QStringLiteral("数値を入力してください。"), 0.5f));
            }
        }
    }

    // A value the model cannot take keeps what was typed, focuses the field, says the rule.
    void rulesKeepTheDialogOpen() {
        QString message;
        MassElementDialog mass({185, {}, {1, 1, 1}, 8, 12, 10, 0, 0, 0});
        field(&mass, 1002)->setText(QStringLiteral("13.5"));
        QVERIFY(refused(mass, 1001, QStringLiteral("0"), &message));
        QCOMPARE(message, QStringLiteral("Ixx: 0 より大きい値を入力して下さい"));
        QCOMPARE(mass.focusWidget(), field(&mass, 1001));
        QCOMPARE(field(&mass, 1002)->text(), QStringLiteral("13.5"));
        field(&mass, 1001)->setText(QStringLiteral("8"));
        QVERIFY(refused(mass, 1004, QStringLiteral("11"), &message)); // Ixy^2 > Ixx Iyy
        QVERIFY2(message.contains(QStringLiteral("正定値")), qPrintable(message));

        CharacteristicDialog rates({"c", {1, 1, 1}, {}, 1}, nullptr);
        QVERIFY(refused(rates, 1014, QStringLiteral("-272500"), &message));
        QCOMPARE(message, QStringLiteral("ばね定数[N/m] yy: 0 以上の値を入力して下さい"));
        QVERIFY(accepted(rates, 1014, QStringLiteral("0"))); // a free direction

        CalculationConditionsDialog calc({true, true, true, true, 10, 50, 1});
        QVERIFY(refused(calc, 1080, QStringLiteral("5"), &message));
        QVERIFY(message.startsWith(QStringLiteral("周波数設定(終了)[Hz]")));
        field(&calc, 1079)->setText(QStringLiteral("0"));
        QVERIFY(accepted(calc, 1080, QStringLiteral("0"))); // not set: no sweep

        RobustnessDialog robust(RobustnessValues{});
        QVERIFY(refused(robust, 1201, QStringLiteral("-5"), &message));
        QVERIFY(message.startsWith(QStringLiteral("ばね定数の許容差")));
    }

    void loadDialogTypeAndWeight() {
        LoadDialog d({"L", {0, 1, 0}, {9, 9, 9}, 1, 1, 0}, {false, 12.5, {0.1, 0.2, 0.3}});
        auto* type = field<QComboBox>(&d, 1033);
        QCOMPARE(type->currentText(), QStringLiteral("ﾓｰﾒﾝﾄ荷重"));
        QVERIFY(!d.findChild<QLineEdit*>(QStringLiteral("1065")));
        field(&d, 1019)->setText(QStringLiteral("typed"));
        field<QPushButton>(&d, 1037)->click();
        QStringList shown;
        for (int id : {1032, 1034, 1036, 1019, 1030})
            shown << field(&d, id)->text();
        QCOMPARE(shown, (QStringList{"122.625", "0.1", "0.3", "typed", "1"}));
        d.accept();
        QCOMPARE(std::tuple(d.values.type, d.values.value), std::tuple(1, 122.625));
        // The value's unit follows the type.
        auto unitShown = [&d](const QString& text) {
            const QList<QLabel*> labels = d.findChildren<QLabel*>();
            return std::any_of(labels.begin(), labels.end(),
                               [&](QLabel* l) { return l->text() == text; });
        };
        QVERIFY(unitShown(QStringLiteral("値[N･m]")) && unitShown(QStringLiteral("位置[m]")));
        type->setCurrentIndex(0);
        QVERIFY(unitShown(QStringLiteral("値[N]")));
        // The types are a fixed list: a stored type it lacks shows none and must be chosen.
        LoadDialog t({"L", {0, 0, 1}, {}, 5, -1, 0}, {});
        auto* list = field<QComboBox>(&t, 1033);
        QCOMPARE(list->currentIndex(), -1);
        QString message;
        QVERIFY(refusedOnOk(t, &message));
        QVERIFY(message.startsWith(QStringLiteral("荷重の種類を選択して下さい")));
        list->setCurrentIndex(1);
        t.accept();
        QCOMPARE(t.values.type, 1);
    }

    void frameCountList() {
        struct Case {
            int in, index, out;
        } cases[] = {{16, 3, 16}, {24, 5, 24}, {4, 0, 4}, {0, -1, 0}, {28, -1, 0}, {-4, -1, 0}};
        for (const Case& c : cases) {
            ModeAnimationDialog d({0.1, c.in, true});
            QCOMPARE(field<QComboBox>(&d, 1054)->currentIndex(), c.index);
            d.accept();
            QCOMPARE(d.values.frames, c.out);
        }
        DisplaySettingsDialog s({30, 0, true, false});
        auto* list = field<QComboBox>(&s, 1054);
        QCOMPARE(std::tuple(list->isEnabled(), list->currentIndex(),
                            field<QCheckBox>(&s, 1060)->isChecked(),
                            field<QCheckBox>(&s, 1063)->isChecked()),
                 std::tuple(false, -1, true, false));
        s.accept();
        QCOMPARE(s.values.frames, 0);
        ModeAnimationDialog a({0.1, 16, false});
        field<QComboBox>(&a, 1054)->setCurrentIndex(5);
        field(&a, 1038)->setText(QStringLiteral("0.25"));
        a.accept();
        QCOMPARE(std::tuple(a.values.frames, a.values.scale), std::tuple(24, 0.25));
    }

    void characteristicLists() {
        const std::vector<CharacteristicValues> defined = {
            {"A", {1, 1, 1}, {}, 1}, {"A", {2, 2, 2}, {}, 2}, {"A", {3, 3, 3}, {7, 8, 9}, 3}};
        CharacteristicDialog assign({}, &defined);
        field<QListWidget>(&assign, 1020)->setCurrentRow(2);
        QCOMPARE(field(&assign, 1013)->text() + field(&assign, 1117)->text(), QStringLiteral("39"));
        field(&assign, 1014)->setText(QStringLiteral("5"));
        assign.accept();
        QCOMPARE(std::tuple(assign.values.stiffness, assign.values.dynamicFactor),
                 std::tuple(Vec3{3, 5, 3}, 3.0));
        test::ScriptedUi ui;
        SpringCharacteristic a, b;
        a.name = "A";
        b.name = "B";
        b.dynamicFactor = 1.0;
        CharacteristicListEditor editor({a, b}, ui);
        CharacteristicListDialog list(editor);
        auto* box = field<QListWidget>(&list, 1020);
        QCOMPARE(box->count(), 2);
        field<QPushButton>(&list, 1062)->click(); // nothing selected
        QCOMPARE(ui.messages, std::vector<std::string>{"ばね特性を選択してください"});
        box->setCurrentRow(0);
        field<QPushButton>(&list, 1062)->click();
        QCOMPARE(std::tuple(box->count(), box->item(0)->text()),
                 std::tuple(1, QStringLiteral("B")));
        ui.ok<CharacteristicValues>([](auto& v) { v.name = "C"; });
        box->setCurrentRow(0);
        field<QPushButton>(&list, 1022)->click();
        QCOMPARE(box->item(0)->text(), QStringLiteral("C"));
    }

    void infoWindows() {
        InfoTextDialog text("a\tb\r\nc\r\n");
        auto* edit = field<QPlainTextEdit>(&text, 1023);
        QVERIFY(edit->isReadOnly());
        QCOMPARE(edit->toPlainText(), QStringLiteral("a\tb\nc\n"));
        // "保存..." writes the text as given: as text, or as TSV for a spreadsheet.
        QTemporaryDir folder;
        std::vector<SaveFormat> offered;
        SaveRequest next{folder.filePath(QStringLiteral("r.txt")).toStdString(), SaveFormat::Text};
        text.saver.ask = [&](QWidget*, const QString&, const std::vector<SaveFormat>& formats) {
            offered = formats;
            return next;
        };
        text.findChild<QPushButton*>(QStringLiteral("save"))->click();
        QVERIFY((offered == std::vector{SaveFormat::Text, SaveFormat::Tsv}));
        next = {folder.filePath(QStringLiteral("r.tsv")).toStdString(), SaveFormat::Tsv};
        text.save();
        QCOMPARE(std::tuple(fileText(folder.filePath(QStringLiteral("r.txt"))),
                            fileText(folder.filePath(QStringLiteral("r.tsv")))),
                 std::tuple(std::string("a\tb\r\nc\r\n"),
                            "\xEF\xBB\xBF" + std::string("a\tb\r\nc\r\n")));
    }
};

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
