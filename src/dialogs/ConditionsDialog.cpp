#include "dialogs/ConditionsDialog.h"

#include "dialogs/DialogFields.h"
#include "dialogs/DialogUnits.h"
#include "optimizer/Optimizer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace quav {

namespace {

template <class W> W* named(W* widget, int id) {
    widget->setObjectName(QString::number(id));
    return widget;
}

QCheckBox* check(QWidget* parent, int id, const char* text, int value) {
    auto* box = named(new QCheckBox(QString::fromUtf8(text), parent), id);
    box->setChecked(value != 0);
    return box;
}

QLineEdit* number(QWidget* parent, int id, double value) {
    auto* edit = named(new QLineEdit(numberText(value), parent), id);
    edit->setFixedWidth(dialogUnits(45));
    return edit;
}

QLabel* label(QWidget* parent, const char* text) {
    return new QLabel(QString::fromUtf8(text), parent);
}

} // namespace

ConditionsDialog::ConditionsDialog(Optimizer& optimizer, const AnalysisModel* model,
                                   QWidget* parent)
    : QDialog(parent), logic_(optimizer, model), scalars_(optimizer.conditions) {
    setWindowTitle(QStringLiteral("制約条件・目標設定"));
    const OptimizationConditions& c = scalars_;

    auto* modeBox = new QGroupBox(QStringLiteral("■振動ﾓｰﾄﾞに関する条件"), this);
    auto* modeGrid = new QGridLayout(modeBox);
    modeGrid->addWidget(label(modeBox, "自由度"), 0, 0);
    modeGrid->addWidget(label(modeBox, "有効"), 0, 1);
    modeGrid->addWidget(label(modeBox, "寄与率設定"), 0, 2, 1, 2);
    modeGrid->addWidget(label(modeBox, "周波数設定"), 0, 4, 1, 2);
    static const char* const dofs[6] = {"x", "y", "z", "Rx", "Ry", "Rz"};
    for (int i = 0; i < 6; ++i) {
        ModeRow& row = modes_[static_cast<std::size_t>(i)];
        row.enabled = check(modeBox, 1148 + i, "", c.modeConditionEnabled[i]);
        row.contribution = number(modeBox, 1118 + 2 * i, c.modeContributionPct[i]);
        row.frequency = number(modeBox, 1130 + 2 * i, c.modeMaxFrequency[i]);
        modeGrid->addWidget(label(modeBox, dofs[i]), i + 1, 0);
        modeGrid->addWidget(row.enabled, i + 1, 1);
        modeGrid->addWidget(row.contribution, i + 1, 2);
        modeGrid->addWidget(label(modeBox, "[%]以上→"), i + 1, 3);
        modeGrid->addWidget(row.frequency, i + 1, 4);
        modeGrid->addWidget(label(modeBox, "[Hz]以下"), i + 1, 5);
    }
    couplingEnabled_ = check(modeBox, 1169, "有効", c.meanCouplingEnabled);
    couplingMax_ = number(modeBox, 1168, c.meanCouplingMax);
    modeGrid->addWidget(label(modeBox, "平均連成度"), 7, 0);
    modeGrid->addWidget(couplingEnabled_, 7, 1);
    modeGrid->addWidget(couplingMax_, 7, 2);
    modeGrid->addWidget(label(modeBox, "[%]以下"), 7, 3);
    modeGrid->setColumnStretch(6, 1);

    auto* rangeBox = new QGroupBox(QStringLiteral("■ﾓｰﾄﾞの周波数範囲の条件"), this);
    auto* rangeGrid = new QGridLayout(rangeBox);
    minEnabled_ = check(rangeBox, 1160, "有効", c.minFrequencyEnabled);
    minFrequency_ = number(rangeBox, 1079, c.minFrequency);
    maxEnabled_ = check(rangeBox, 1161, "有効", c.maxFrequencyEnabled);
    maxFrequency_ = number(rangeBox, 1080, c.maxFrequency);
    rangeGrid->addWidget(label(rangeBox, "最小周波数"), 0, 0);
    rangeGrid->addWidget(minEnabled_, 0, 1);
    rangeGrid->addWidget(minFrequency_, 0, 2);
    rangeGrid->addWidget(label(rangeBox, "[Hz]　以上"), 0, 3);
    rangeGrid->addWidget(label(rangeBox, "最大周波数"), 1, 0);
    rangeGrid->addWidget(maxEnabled_, 1, 1);
    rangeGrid->addWidget(maxFrequency_, 1, 2);
    rangeGrid->addWidget(label(rangeBox, "[Hz]　以下"), 1, 3);
    rangeGrid->setColumnStretch(4, 1);

    auto* springBox = new QGroupBox(QStringLiteral("■ばね特性に関する条件"), this);
    auto* springGrid = new QGridLayout(springBox);
    ratioEnabled_ = check(springBox, 1164, "有効", c.springRatioEnabled);
    ratio_ = number(springBox, 1163, c.springRatio);
    tolerance_ = number(springBox, 1165, c.springRatioTolerancePct);
    springGrid->addWidget(ratioEnabled_, 0, 0);
    springGrid->addWidget(label(springBox, "縦/横比"), 0, 1);
    springGrid->addWidget(ratio_, 0, 2);
    springGrid->addWidget(label(springBox, "有効範囲　+"), 1, 1);
    springGrid->addWidget(tolerance_, 1, 2);
    springGrid->addWidget(label(springBox, "[%]"), 1, 3);
    springGrid->setColumnStretch(4, 1);

    auto* displacementBox = new QGroupBox(QStringLiteral("■静荷重に対する変位の設定"), this);
    tree_ = named(new QTreeWidget(displacementBox), 1170);
    tree_->setMinimumWidth(dialogUnits(110));
    load_ = named(new QComboBox(displacementBox), 1027);
    for (const auto& name : logic_.loadChoices())
        load_->addItem(QString::fromStdString(name));
    limit_ = number(displacementBox, 1156, 0.0);
    auto* directionBox = new QGroupBox(QStringLiteral("方向定義"), displacementBox);
    auto* directionGrid = new QGridLayout(directionBox);
    static const char* const directions[7] = {"x",       "y",       "z",       "Local-x",
                                              "Local-y", "Local-z", "絶対変位"};
    for (int i = 0; i < 7; ++i) {
        directions_[static_cast<std::size_t>(i)] = check(directionBox, 1171 + i, directions[i], 0);
        directionGrid->addWidget(directions_[static_cast<std::size_t>(i)], i < 3 ? i : i - 3,
                                 i < 3 ? 0 : 1);
    }
    register_ = named(new QPushButton(QStringLiteral("登録"), displacementBox), 1062);
    entries_ = named(new QListWidget(displacementBox), 1178);
    remove_ = named(new QPushButton(QStringLiteral("削除"), displacementBox), 1179);

    auto* limitRow = new QHBoxLayout;
    limitRow->addWidget(limit_);
    limitRow->addWidget(label(displacementBox, "[m] 以下"));
    limitRow->addStretch();
    auto* entryButtons = new QHBoxLayout;
    entryButtons->addWidget(register_);
    entryButtons->addWidget(remove_);
    auto* entryColumn = new QVBoxLayout;
    entryColumn->addWidget(load_);
    entryColumn->addLayout(limitRow);
    entryColumn->addWidget(directionBox);
    entryColumn->addLayout(entryButtons);
    entryColumn->addWidget(entries_, 1);
    auto* displacementLayout = new QHBoxLayout(displacementBox);
    displacementLayout->addWidget(tree_, 1);
    displacementLayout->addLayout(entryColumn);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    buttons->addButton(QStringLiteral("ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("2"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* left = new QVBoxLayout;
    left->addWidget(modeBox);
    left->addWidget(rangeBox);
    left->addWidget(springBox);
    left->addStretch();
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addWidget(displacementBox, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(buttons);

    fillObjectTree(tree_, logic_.objectTree());
    objectSelected();

    connect(tree_, &QTreeWidget::currentItemChanged, this, &ConditionsDialog::objectSelected);
    connect(entries_, &QListWidget::currentRowChanged, this, &ConditionsDialog::showEntry);
    connect(register_, &QPushButton::clicked, this, &ConditionsDialog::registerEntry);
    connect(remove_, &QPushButton::clicked, this, &ConditionsDialog::removeEntry);
}

void ConditionsDialog::objectSelected() {
    logic_.selectObject(objectTreeItem(tree_->currentItem()).objectId);
    const bool enabled = logic_.selectedObject() != 0;
    for (QWidget* w : std::initializer_list<QWidget*>{limit_, load_, entries_, register_, remove_})
        w->setEnabled(enabled);
    for (QCheckBox* box : directions_)
        box->setEnabled(enabled);
    refreshEntries();
}

void ConditionsDialog::refreshEntries() {
    entries_->blockSignals(true);
    entries_->clear();
    for (const auto& name : logic_.entries())
        entries_->addItem(QString::fromStdString(name));
    entries_->setCurrentRow(entries_->count() - 1);
    entries_->blockSignals(false);
    showEntry(entries_->currentRow());
}

void ConditionsDialog::showEntry(int index) {
    const DisplacementEntry e = logic_.entry(index);
    for (std::size_t i = 0; i < 7; ++i)
        directions_[i]->setChecked(e.directionFlags[i] != 0);
    load_->setCurrentIndex(e.loadChoice);
    limit_->setText(numberText(e.limit));
}

void ConditionsDialog::registerEntry() {
    DisplacementEntry e;
    if (!readNumbers(this, messages, {{limit_, &e.limit}}))
        return;
    for (std::size_t i = 0; i < 7; ++i)
        e.directionFlags[i] = directions_[i]->isChecked() ? 1 : 0;
    e.loadChoice = load_->currentIndex();
    const std::string refusal = logic_.registerEntry(e);
    if (!refusal.empty()) {
        messages.inform(this, QString::fromStdString(refusal));
        return;
    }
    refreshEntries();
}

void ConditionsDialog::removeEntry() {
    logic_.removeEntry(entries_->currentRow());
    refreshEntries();
}

void ConditionsDialog::accept() {
    OptimizationConditions& c = scalars_;
    std::vector<std::pair<QLineEdit*, double*>> fields;
    for (std::size_t i = 0; i < 6; ++i) {
        fields.emplace_back(modes_[i].contribution, &c.modeContributionPct[i]);
        fields.emplace_back(modes_[i].frequency, &c.modeMaxFrequency[i]);
    }
    fields.insert(fields.end(), {{couplingMax_, &c.meanCouplingMax},
                                 {minFrequency_, &c.minFrequency},
                                 {maxFrequency_, &c.maxFrequency},
                                 {ratio_, &c.springRatio},
                                 {tolerance_, &c.springRatioTolerancePct}});
    if (!readNumbers(this, messages, fields))
        return;
    for (std::size_t i = 0; i < 6; ++i)
        c.modeConditionEnabled[i] = modes_[i].enabled->isChecked() ? 1 : 0;
    c.meanCouplingEnabled = couplingEnabled_->isChecked() ? 1 : 0;
    c.minFrequencyEnabled = minEnabled_->isChecked() ? 1 : 0;
    c.maxFrequencyEnabled = maxEnabled_->isChecked() ? 1 : 0;
    c.springRatioEnabled = ratioEnabled_->isChecked() ? 1 : 0;
    logic_.applyScalars(c);
    QDialog::accept();
}

} // namespace quav
