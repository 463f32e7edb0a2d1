#include "dialogs/ModelDialogs.h"

#include "dialogs/ForceCurveDialog.h"
#include "dialogs/FrequencyTableDialog.h"
#include "dialogs/SpringAxesSketch.h"
#include "document/CharacteristicListEditor.h"
#include "model/TextEncoding.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace quav {

namespace {

/// A grid whose first row heads the x, y and z columns.
QGridLayout* xyzGrid() {
    auto* grid = new QGridLayout;
    for (int i = 0; i < 3; ++i) {
        auto* heading = new QLabel(QString(QChar(u'x' + i)));
        heading->setAlignment(Qt::AlignCenter);
        grid->addWidget(heading, 0, i + 1);
    }
    return grid;
}

QLabel* note(const QString& text) {
    auto* label = new QLabel(text);
    label->setStyleSheet(QStringLiteral("color: #404040"));
    return label;
}

} // namespace

// ------------------------------------------------------------- 130 mass element --

MassElementDialog::MassElementDialog(const MassElementValues& v, QWidget* parent)
    : FormDialog(130, QStringLiteral("質量要素設定"), parent), values(v) {
    auto* grid = xyzGrid();
    grid->addWidget(new QLabel(QStringLiteral("質量[kg]")), 1, 0);
    grid->addWidget(bindNumber(1000, &values.mass), 1, 1);
    QLineEdit* const cog[3] = {bindNumber(1007, &values.centreOfGravity[0]),
                               bindNumber(1008, &values.centreOfGravity[1]),
                               bindNumber(1009, &values.centreOfGravity[2])};
    addVectorRow(grid, 2, QStringLiteral("重心座標[m]"), cog);
    QLineEdit* const size[3] = {bindNumber(1010, &values.size[0]),
                                bindNumber(1011, &values.size[1]),
                                bindNumber(1012, &values.size[2])};
    addVectorRow(grid, 3, QStringLiteral("サイズ[m]"), size);

    auto* inertia = new QGroupBox(QStringLiteral("慣性[kg・m^2]"));
    auto* ig = new QGridLayout(inertia);
    const struct {
        int id;
        const char16_t* label;
        double* member;
    } moments[] = {{1001, u"Ixx", &values.ixx}, {1002, u"Iyy", &values.iyy},
                   {1003, u"Izz", &values.izz}, {1004, u"Ixy", &values.ixy},
                   {1005, u"Iyz", &values.iyz}, {1006, u"Izx", &values.izx}};
    for (int i = 0; i < 6; ++i) {
        ig->addWidget(new QLabel(QString::fromUtf16(moments[i].label)), i / 3, (i % 3) * 2);
        ig->addWidget(bindNumber(moments[i].id, moments[i].member), i / 3, (i % 3) * 2 + 1);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(inertia);
    layout->addWidget(okCancel());
    showValues();
    setRule([this] { return inputProblem(values); });
}

// ------------------------------------------------------------------ 131 spring --

SpringDialog::SpringDialog(const SpringValues& v, QWidget* parent)
    : FormDialog(131, QStringLiteral("ばね設定"), parent), values(v) {
    auto* grid = xyzGrid();
    grid->addWidget(new QLabel(QStringLiteral("名前")), 1, 0);
    grid->addWidget(bindName(1019, &values.name), 1, 1, 1, 3);
    QLineEdit* const position[3] = {bindNumber(1007, &values.position[0]),
                                    bindNumber(1008, &values.position[1]),
                                    bindNumber(1009, &values.position[2])};
    addVectorRow(grid, 2, QStringLiteral("座標[m]"), position);
    QLineEdit* yAngle = bindNumber(1016, &values.yAngle);
    QLineEdit* zAngle = bindNumber(1017, &values.zAngle);
    grid->addWidget(new QLabel(QStringLiteral("Y角度[°]")), 3, 0);
    grid->addWidget(yAngle, 3, 1);
    grid->addWidget(note(QStringLiteral("←ばねﾛｰｶﾙ座標で指定")), 3, 2, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Z角度[°]")), 4, 0);
    grid->addWidget(zAngle, 4, 1);
    grid->addWidget(note(QStringLiteral("←ばねﾛｰｶﾙ座標で指定")), 4, 2, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("サイズ[m]")), 5, 0);
    grid->addWidget(bindNumber(1018, &values.size), 5, 1);

    // The sketch follows the angles as they are typed.
    auto* sketch = new SpringAxesSketch(this);
    auto follow = [sketch, yAngle, zAngle] {
        double y = NAN, z = NAN;
        parseNumber(yAngle->text(), y);
        parseNumber(zAngle->text(), z);
        sketch->setAngles(y, z);
    };
    connect(yAngle, &QLineEdit::textChanged, sketch, follow);
    connect(zAngle, &QLineEdit::textChanged, sketch, follow);
    auto* layout = new QHBoxLayout;
    layout->addLayout(grid);
    layout->addWidget(sketch, 0, Qt::AlignTop);
    auto* top = new QVBoxLayout(this);
    top->addLayout(layout);
    top->addWidget(okCancel());
    showValues();
    setRule([this] { return inputProblem(values); });
}

// ------------------------------------------------- 132 / 134 characteristics --

CharacteristicDialog::CharacteristicDialog(const CharacteristicValues& v,
                                           const std::vector<CharacteristicValues>* defined,
                                           QWidget* parent)
    : FormDialog(defined ? 132 : 134,
                 defined ? QStringLiteral("ばね特性設定") : QStringLiteral("ばね特性編集"), parent),
      values(v) {
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("名前")), 0, 0);
    grid->addWidget(bindName(1019, &values.name), 0, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("方向")), 1, 0);
    grid->addWidget(new QLabel(QStringLiteral("ばね定数[N/m]")), 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("減衰係数[N s/m]")), 1, 2);
    const char16_t* rows[] = {u"xx", u"yy", u"zz"};
    for (int i = 0; i < 3; ++i) {
        grid->addWidget(new QLabel(QString::fromUtf16(rows[i])), i + 2, 0);
        grid->addWidget(bindNumber(1013 + i, &values.stiffness[i]), i + 2, 1);
        grid->addWidget(bindNumber(1115 + i, &values.damping[i]), i + 2, 2);
    }
    grid->addWidget(new QLabel(QStringLiteral("動的係数")), 5, 0);
    grid->addWidget(bindNumber(1017, &values.dynamicFactor), 5, 1);
    auto* table = new QPushButton(QStringLiteral("周波数特性..."), this);
    table->setObjectName(QString::number(kFrequencyTableButton));
    table->setAutoDefault(false);
    table->setToolTip(
        QStringLiteral("周波数ごとの動倍率と損失係数の表。あると動的係数に代えて使います"));
    connect(table, &QPushButton::clicked, this, &CharacteristicDialog::editFrequencyTable);
    tableState_ = new QLabel(this);
    tableState_->setObjectName(QStringLiteral("1120"));
    grid->addWidget(table, 6, 0);
    grid->addWidget(tableState_, 6, 1, 1, 2);
    auto* curves = new QPushButton(QStringLiteral("非線形特性..."), this);
    curves->setObjectName(QString::number(kCurvesButton));
    curves->setAutoDefault(false);
    curves->setToolTip(
        QStringLiteral("方向ごとの力-変位曲線と定格荷重。荷重ケースの計算で使います"));
    connect(curves, &QPushButton::clicked, this, &CharacteristicDialog::editCurves);
    curveState_ = new QLabel(this);
    curveState_->setObjectName(QStringLiteral("1119"));
    grid->addWidget(curves, 7, 0);
    grid->addWidget(curveState_, 7, 1, 1, 2);
    grid->addWidget(note(QStringLiteral("※ばねのローカル座標系で指定")), 8, 0, 1, 3);

    auto* fields = new QVBoxLayout;
    fields->addLayout(grid);
    fields->addStretch();
    auto* top = new QHBoxLayout;
    top->addLayout(fields);
    if (defined) {
        defined_ = *defined;
        auto* group = new QGroupBox(QStringLiteral("定義済みばね特性"));
        auto* list = new QListWidget(group);
        list->setObjectName(QStringLiteral("1020"));
        for (const CharacteristicValues& c : defined_)
            list->addItem(QString::fromStdString(c.name));
        connect(list, &QListWidget::currentRowChanged, this, [this](int row) {
            if (row < 0 || row >= static_cast<int>(defined_.size()))
                return;
            values = defined_[row];
            showValues();
            showTableState();
        });
        (new QVBoxLayout(group))->addWidget(list);
        top->addWidget(group);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(okCancel());
    showValues();
    showTableState();
    setRule(
        [this, nameRequired = defined != nullptr] { return inputProblem(values, nameRequired); });
}

void CharacteristicDialog::editFrequencyTable() {
    FrequencyTableDialog dialog(values.frequencyTable, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    values.frequencyTable = dialog.table();
    showTableState();
}

void CharacteristicDialog::editCurves() {
    ForceCurveDialog dialog(values.curves, values.ratedLoad, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    values.curves = dialog.curves();
    values.ratedLoad = dialog.ratedLoad();
    showTableState();
}

void CharacteristicDialog::showTableState() {
    QStringList directions;
    for (int d = 0; d < 3; ++d)
        if (!values.curves[static_cast<std::size_t>(d)].empty())
            directions << QString(QChar(u'x' + d));
    curveState_->setText((directions.isEmpty() ? QStringLiteral("非線形特性なし")
                                               : QStringLiteral("曲線 %1").arg(
                                                     directions.join(QStringLiteral(", ")))) +
                         (values.ratedLoad ? QStringLiteral("、定格荷重あり") : QString()));
    const FrequencyTable& t = values.frequencyTable;
    tableState_->setText(t.empty() ? QStringLiteral("周波数特性なし")
                                   : QStringLiteral("%1 行 (%2～%3 Hz)")
                                         .arg(t.size())
                                         .arg(FormDialog::numberText(t.front().f))
                                         .arg(FormDialog::numberText(t.back().f)));
}

// ---------------------------------------------------- 133 characteristic list --

CharacteristicListDialog::CharacteristicListDialog(CharacteristicListEditor& editor,
                                                   QWidget* parent)
    : QDialog(parent), editor_(editor), list_(new QListWidget(this)) {
    setObjectName(QStringLiteral("133"));
    setWindowTitle(QStringLiteral("ばね特性編集"));
    list_->setObjectName(QStringLiteral("1020"));
    auto* edit = new QPushButton(QStringLiteral("編集"), this);
    edit->setObjectName(QStringLiteral("1022"));
    auto* remove = new QPushButton(QStringLiteral("削除"), this);
    remove->setObjectName(QStringLiteral("1062"));
    connect(edit, &QPushButton::clicked, this, [this] {
        editor_.edit(list_->currentRow());
        refill();
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        editor_.remove(list_->currentRow());
        refill();
    });
    auto* buttons = new QDialogButtonBox(this);
    auto* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("1"));
    auto* cancel = buttons->addButton(QStringLiteral("ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("2"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* side = new QVBoxLayout;
    side->addWidget(edit);
    side->addWidget(remove);
    side->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(list_);
    top->addLayout(side);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
    refill();
}

void CharacteristicListDialog::refill() {
    list_->clear();
    for (const std::string& name : editor_.names())
        list_->addItem(QString::fromStdString(name));
}

// -------------------------------------------------------- 138 / 154 loads --

LoadDialog::LoadDialog(const LoadValues& v, const LoadDialogContext& context, QWidget* parent)
    : FormDialog(context.dynamic ? 154 : 138,
                 context.dynamic ? QStringLiteral("動的荷重設定") : QStringLiteral("荷重設定"),
                 parent),
      values(v), context_(context) {
    auto* grid = xyzGrid();
    grid->addWidget(new QLabel(QStringLiteral("荷重名")), 1, 0);
    grid->addWidget(bindName(1019, &values.name), 1, 1, 1, 3);
    QLineEdit* const direction[3] = {bindNumber(1029, &values.direction[0]),
                                     bindNumber(1030, &values.direction[1]),
                                     bindNumber(1031, &values.direction[2])};
    addVectorRow(grid, 2, QStringLiteral("方向ﾍﾞｸﾄﾙ"), direction);
    QLineEdit* const position[3] = {bindNumber(1034, &values.position[0]),
                                    bindNumber(1035, &values.position[1]),
                                    bindNumber(1036, &values.position[2])};
    addVectorRow(grid, 3, QStringLiteral("位置[m]"), position);
    // The value's unit follows the type: a force or a moment.
    auto* valueLabel = new QLabel(this);
    grid->addWidget(valueLabel, 4, 0);
    grid->addWidget(bindNumber(1032, &values.value), 4, 1);
    // A fixed list: a type typed by hand would be a load that does nothing.
    type_ = new QComboBox(this); // after the value: the focus moves on to it
    type_->setObjectName(QStringLiteral("1033"));
    type_->addItem(QStringLiteral("並進荷重"));
    type_->addItem(QStringLiteral("ﾓｰﾒﾝﾄ荷重"));
    grid->addWidget(type_, 4, 2, 1, 2);
    if (context.dynamic) {
        grid->addWidget(new QLabel(QStringLiteral("周波数[Hz]")), 5, 0);
        grid->addWidget(bindNumber(1065, &values.frequency), 5, 1);
    }
    auto* weight = new QPushButton(QStringLiteral("重心荷重"), this);
    weight->setObjectName(QStringLiteral("1037"));
    weight->setAutoDefault(false);
    connect(weight, &QPushButton::clicked, this, &LoadDialog::loadAtCentreOfGravity);
    grid->addWidget(weight, 6, 3);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(okCancel());
    showValues();
    // A stored type the list does not hold shows no entry, and OK asks for one.
    auto unit = [valueLabel](int type) {
        valueLabel->setText(type == 1   ? QStringLiteral("値[N･m]")
                            : type == 0 ? QStringLiteral("値[N]")
                                        : QStringLiteral("値"));
    };
    connect(type_, &QComboBox::currentIndexChanged, this, unit);
    type_->setCurrentIndex(values.type == 0 || values.type == 1 ? values.type : -1);
    unit(type_->currentIndex());
    setRule([this] { return inputProblem(values, context_.dynamic); });
}

void LoadDialog::loadAtCentreOfGravity() {
    if (!takeValues())
        return;
    values.position = context_.centreOfGravity;
    values.value = context_.mass * 9.81;
    showValues();
}

void LoadDialog::accept() {
    if (!takeValues())
        return;
    if (type_->currentIndex() >= 0)
        values.type = type_->currentIndex();
    if (passesRule())
        QDialog::accept();
}

// ------------------------------------------------------ 140 observation point --

ObservationPointDialog::ObservationPointDialog(const ObservationPointValues& v, QWidget* parent)
    : FormDialog(140, QStringLiteral("観測点の設定"), parent), values(v) {
    auto* grid = xyzGrid();
    grid->addWidget(new QLabel(QStringLiteral("観測点名")), 1, 0);
    grid->addWidget(bindName(1019, &values.name), 1, 1, 1, 3);
    QLineEdit* const position[3] = {bindNumber(1040, &values.position[0]),
                                    bindNumber(1041, &values.position[1]),
                                    bindNumber(1042, &values.position[2])};
    addVectorRow(grid, 2, QStringLiteral("座標値[m]"), position);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(okCancel());
    showValues();
}

// -------------------------------------------------------------------- 151 memo --

MemoDialog::MemoDialog(const std::string& memo, QWidget* parent)
    : QDialog(parent), edit_(new QPlainTextEdit(this)) {
    setObjectName(QStringLiteral("151"));
    setWindowTitle(QStringLiteral("メモ"));
    edit_->setObjectName(QStringLiteral("1023"));
    edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit_->setTabChangesFocus(true); // Enter starts a line, Tab moves on to the buttons
    edit_->setPlainText(
        QString::fromStdString(memo).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    auto* buttons = new QDialogButtonBox(this);
    auto* ok = buttons->addButton(QStringLiteral("保存・終了"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("1"));
    ok->setAutoDefault(false);
    auto* cancel = buttons->addButton(QStringLiteral("ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("2"));
    cancel->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(edit_);
    layout->addWidget(buttons);
    resize(480, 360);
}

std::string MemoDialog::memo() const {
    return edit_->toPlainText().replace(u'\n', QStringLiteral("\r\n")).toStdString();
}

void MemoDialog::accept() {
    if (!isCp932Encodable(memo())) {
        messages.warn(this, FormDialog::unencodableText());
        edit_->setFocus();
        return;
    }
    QDialog::accept();
}

} // namespace quav
