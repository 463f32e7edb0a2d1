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

QLabel* label(QWidget* parent, const char* text) {
    return new QLabel(QString::fromUtf8(text), parent);
}

} // namespace

ConditionsDialog::ConditionsDialog(Optimizer& optimizer, const AnalysisModel* model,
                                   QWidget* parent)
    : FormDialog(160, QStringLiteral("制約条件・目標設定"), parent), logic_(optimizer, model),
      scalars_(optimizer.conditions) {
    OptimizationConditions& c = scalars_;
    Switches& on = switches_;
    for (std::size_t i = 0; i < 6; ++i)
        on.mode[i] = c.modeConditionEnabled[i] != 0;
    on.meanCoupling = c.meanCouplingEnabled != 0;
    on.minFrequency = c.minFrequencyEnabled != 0;
    on.maxFrequency = c.maxFrequencyEnabled != 0;
    on.springRatio = c.springRatioEnabled != 0;
    on.loadCases = c.loadCasesPass != 0;
    const auto number = [this](int id, double* value) {
        QLineEdit* edit = bindNumber(id, value);
        edit->setFixedWidth(dialogUnits(45));
        return edit;
    };

    auto* modeBox = new QGroupBox(QStringLiteral("■振動ﾓｰﾄﾞに関する条件"), this);
    auto* modeGrid = new QGridLayout(modeBox);
    modeGrid->addWidget(label(modeBox, "自由度"), 0, 0);
    modeGrid->addWidget(label(modeBox, "有効"), 0, 1);
    modeGrid->addWidget(label(modeBox, "寄与率設定"), 0, 2, 1, 2);
    modeGrid->addWidget(label(modeBox, "周波数設定"), 0, 4, 1, 2);
    static const char* const dofs[6] = {"x", "y", "z", "Rx", "Ry", "Rz"};
    for (std::size_t i = 0; i < 6; ++i) {
        const int id = static_cast<int>(i);
        modeGrid->addWidget(label(modeBox, dofs[i]), id + 1, 0);
        modeGrid->addWidget(bindCheck(1148 + id, QString(), &on.mode[i]), id + 1, 1);
        modeGrid->addWidget(number(1118 + 2 * id, &c.modeContributionPct[i]), id + 1, 2);
        modeGrid->addWidget(label(modeBox, "[%]以上→"), id + 1, 3);
        modeGrid->addWidget(number(1130 + 2 * id, &c.modeMaxFrequency[i]), id + 1, 4);
        modeGrid->addWidget(label(modeBox, "[Hz]以下"), id + 1, 5);
    }
    modeGrid->addWidget(label(modeBox, "平均連成度"), 7, 0);
    modeGrid->addWidget(bindCheck(1169, QStringLiteral("有効"), &on.meanCoupling), 7, 1);
    modeGrid->addWidget(number(1168, &c.meanCouplingMax), 7, 2);
    modeGrid->addWidget(label(modeBox, "[%]以下"), 7, 3);
    modeGrid->setColumnStretch(6, 1);

    auto* rangeBox = new QGroupBox(QStringLiteral("■ﾓｰﾄﾞの周波数範囲の条件"), this);
    auto* rangeGrid = new QGridLayout(rangeBox);
    const struct {
        const char* name;
        int check;
        bool* enabled;
        int edit;
        double* value;
        const char* unit;
    } range[2] = {{"最小周波数", 1160, &on.minFrequency, 1079, &c.minFrequency, "[Hz]　以上"},
                  {"最大周波数", 1161, &on.maxFrequency, 1080, &c.maxFrequency, "[Hz]　以下"}};
    for (int r = 0; r < 2; ++r) {
        rangeGrid->addWidget(label(rangeBox, range[r].name), r, 0);
        rangeGrid->addWidget(bindCheck(range[r].check, QStringLiteral("有効"), range[r].enabled), r,
                             1);
        rangeGrid->addWidget(number(range[r].edit, range[r].value), r, 2);
        rangeGrid->addWidget(label(rangeBox, range[r].unit), r, 3);
    }
    rangeGrid->setColumnStretch(4, 1);

    auto* springBox = new QGroupBox(QStringLiteral("■ばね特性に関する条件"), this);
    auto* springGrid = new QGridLayout(springBox);
    springGrid->addWidget(bindCheck(1164, QStringLiteral("有効"), &on.springRatio), 0, 0);
    springGrid->addWidget(label(springBox, "縦/横比"), 0, 1);
    springGrid->addWidget(number(1163, &c.springRatio), 0, 2);
    springGrid->addWidget(label(springBox, "有効範囲　+"), 1, 1);
    springGrid->addWidget(number(1165, &c.springRatioTolerancePct), 1, 2);
    springGrid->addWidget(label(springBox, "[%]"), 1, 3);
    springGrid->setColumnStretch(4, 1);

    // Judged on the model's load cases; a study without cases is refused when it starts.
    auto* caseBox = new QGroupBox(QStringLiteral("■荷重ケースに関する条件"), this);
    auto* caseRow = new QHBoxLayout(caseBox);
    caseRow->addWidget(bindCheck(1190, QStringLiteral("荷重ケースをすべて満たす"), &on.loadCases));
    caseRow->addStretch();

    auto* displacementBox = new QGroupBox(QStringLiteral("■静荷重に対する変位の設定"), this);
    tree_ = named(new QTreeWidget(displacementBox), 1170);
    tree_->setMinimumWidth(dialogUnits(110));
    load_ = named(new QComboBox(displacementBox), 1027);
    for (const auto& name : logic_.loadChoices())
        load_->addItem(QString::fromStdString(name));
    limit_ = named(new QLineEdit(displacementBox), 1156);
    limit_->setFixedWidth(dialogUnits(45));
    auto* directionBox = new QGroupBox(QStringLiteral("方向定義"), displacementBox);
    auto* directionGrid = new QGridLayout(directionBox);
    static const char* const directions[7] = {"x",       "y",       "z",       "Local-x",
                                              "Local-y", "Local-z", "絶対変位"};
    for (int i = 0; i < 7; ++i) {
        directions_[static_cast<std::size_t>(i)] =
            named(new QCheckBox(QString::fromUtf8(directions[i]), directionBox), 1171 + i);
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

    auto* left = new QVBoxLayout;
    left->addWidget(modeBox);
    left->addWidget(rangeBox);
    left->addWidget(springBox);
    left->addWidget(caseBox);
    left->addStretch();
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addWidget(displacementBox, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(okCancel());

    showValues();
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
    const auto limit = readNumber(this, messages, limit_);
    if (!limit)
        return;
    e.limit = *limit;
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
    if (!takeValues())
        return;
    OptimizationConditions& c = scalars_;
    for (std::size_t i = 0; i < 6; ++i)
        c.modeConditionEnabled[i] = switches_.mode[i] ? 1 : 0;
    c.meanCouplingEnabled = switches_.meanCoupling ? 1 : 0;
    c.minFrequencyEnabled = switches_.minFrequency ? 1 : 0;
    c.maxFrequencyEnabled = switches_.maxFrequency ? 1 : 0;
    c.springRatioEnabled = switches_.springRatio ? 1 : 0;
    c.loadCasesPass = switches_.loadCases ? 1 : 0;
    logic_.applyScalars(c);
    QDialog::accept();
}

} // namespace quav
