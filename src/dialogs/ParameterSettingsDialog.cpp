#include "dialogs/ParameterSettingsDialog.h"

#include "dialogs/DialogFields.h"
#include "dialogs/DialogUnits.h"
#include "optimizer/Optimizer.h"

#include <QComboBox>
#include <QFormLayout>
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

QLineEdit* readOnly(QWidget* parent, int id) {
    auto* edit = named(new QLineEdit(parent), id);
    edit->setReadOnly(true);
    showAsReadOnly(edit);
    edit->setFocusPolicy(Qt::ClickFocus); // shown, not edited: Tab passes by
    return edit;
}

} // namespace

std::optional<ParameterFields>
ParameterSettingsDialog::runParameterEditDialog(QWidget* parent, const ParameterFields& fields) {
    ParameterEditDialog dialog(fields, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.values;
}

ParameterSettingsDialog::ParameterSettingsDialog(Optimizer& optimizer, const AnalysisModel* model,
                                                 QWidget* parent)
    : QDialog(parent), optimizer_(optimizer), logic_(optimizer, model) {
    setWindowTitle(QStringLiteral("最適化ﾊﾟﾗﾒｰﾀ設定"));

    tree_ = named(new QTreeWidget(this), 1056);
    tree_->setMinimumSize(dialogUnits(130, 200));
    choice_ = named(new QComboBox(this), 1102);
    min_ = readOnly(this, 1103);
    max_ = readOnly(this, 1104);
    increment_ = readOnly(this, 1081);
    multiplier_ = named(new QLineEdit(this), 1162);
    register_ = named(new QPushButton(QStringLiteral("登録"), this), 1062);
    list_ = named(new QListWidget(this), 1107);
    auto* add = named(new QPushButton(QStringLiteral("ﾊﾟﾗﾒｰﾀ追加"), this), 1108);
    auto* edit = named(new QPushButton(QStringLiteral("編集"), this), 1113);
    auto* remove = named(new QPushButton(QStringLiteral("削除"), this), 1114);
    count_ = named(new QLabel(this), 1180);
    auto* ok = named(new QPushButton(QStringLiteral("OK"), this), 1);

    auto* binding = new QFormLayout;
    binding->addRow(QStringLiteral("名前"), choice_);
    binding->addRow(QStringLiteral("最小値"), min_);
    binding->addRow(QStringLiteral("最大値"), max_);
    binding->addRow(QStringLiteral("増分"), increment_);
    binding->addRow(QStringLiteral("乗数"), multiplier_);
    binding->addRow(QString(), register_);

    auto* defined = new QGroupBox(QStringLiteral("定義済みﾊﾟﾗﾒｰﾀ"), this);
    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(add);
    listButtons->addWidget(edit);
    listButtons->addWidget(remove);
    auto* definedLayout = new QVBoxLayout(defined);
    definedLayout->addWidget(list_);
    definedLayout->addLayout(listButtons);
    definedLayout->addWidget(count_);

    auto* okRow = new QHBoxLayout;
    okRow->addStretch();
    okRow->addWidget(ok);
    auto* right = new QVBoxLayout;
    right->addLayout(binding);
    right->addWidget(defined, 1);
    right->addLayout(okRow);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(tree_, 1);
    layout->addLayout(right);

    fillObjectTree(tree_, logic_.objectTree());
    refresh();
    showFields({});

    connect(tree_, &QTreeWidget::currentItemChanged, this,
            &ParameterSettingsDialog::treeSelectionChanged);
    connect(choice_, &QComboBox::currentIndexChanged, this,
            &ParameterSettingsDialog::parameterChosen);
    connect(register_, &QPushButton::clicked, this, &ParameterSettingsDialog::registerBinding);
    connect(add, &QPushButton::clicked, this, &ParameterSettingsDialog::addParameter);
    connect(edit, &QPushButton::clicked, this, &ParameterSettingsDialog::editSelectedParameter);
    connect(remove, &QPushButton::clicked, this, &ParameterSettingsDialog::deleteSelectedParameter);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void ParameterSettingsDialog::showFields(const BindingFields& fields) {
    updating_ = true;
    choice_->setEnabled(fields.parameterEnabled);
    choice_->setCurrentIndex(fields.parameterChoice);
    updating_ = false;
    min_->setText(FormDialog::numberText(fields.minValue));
    max_->setText(FormDialog::numberText(fields.maxValue));
    increment_->setText(FormDialog::numberText(fields.increment));
    if (fields.multiplier)
        multiplier_->setText(FormDialog::numberText(*fields.multiplier));
    // Without a variable there is nothing to register a binding for.
    register_->setEnabled(logic_.hasVariable());
    multiplier_->setEnabled(logic_.hasVariable());
}

void ParameterSettingsDialog::treeSelectionChanged() {
    showFields(logic_.select(objectTreeItem(tree_->currentItem())));
}

void ParameterSettingsDialog::parameterChosen(int choice) {
    if (!updating_)
        showFields(logic_.choose(choice));
}

void ParameterSettingsDialog::registerBinding() {
    if (const auto multiplier = readNumber(this, messages, multiplier_))
        logic_.registerBinding(choice_->currentIndex(), *multiplier);
}

void ParameterSettingsDialog::addParameter() {
    if (const auto f = editParameter(this, ParameterFields{})) {
        optimizer_.addParameter(f->name, f->maxValue, f->minValue, f->increment);
        refresh();
    }
}

void ParameterSettingsDialog::editSelectedParameter() {
    const int row = list_->currentRow();
    if (row < 0) {
        messages.inform(this, QStringLiteral("リストから選択して下さい"));
        return;
    }
    const DesignParameter& p = optimizer_.parameters[static_cast<std::size_t>(row)];
    if (const auto f = editParameter(this, {p.name, p.minValue, p.maxValue, p.increment})) {
        optimizer_.editParameter(row, f->name, f->maxValue, f->minValue, f->increment);
        refresh();
    }
}

void ParameterSettingsDialog::deleteSelectedParameter() {
    if (!messages.confirm(this, QStringLiteral("選択されたﾊﾟﾗﾒｰﾀを削除します")))
        return;
    const int row = list_->currentRow();
    if (row < 0) {
        messages.inform(this, QStringLiteral("リストから選択して下さい"));
        return;
    }
    optimizer_.deleteParameter(row);
    refresh();
}

void ParameterSettingsDialog::refresh() {
    list_->clear();
    for (const auto& name : logic_.parameterNames())
        list_->addItem(QString::fromStdString(name));
    count_->setText(QString::fromStdString(logic_.combinationText()));

    // The choice keeps its place in the rebuilt list, its range shown afresh.
    const int kept = choice_->currentIndex();
    updating_ = true;
    choice_->clear();
    for (const auto& name : logic_.parameterChoices())
        choice_->addItem(QString::fromStdString(name));
    updating_ = false;
    BindingFields fields = logic_.choose(kept >= 0 && kept < choice_->count() ? kept : 0);
    fields.multiplier.reset();
    fields.parameterEnabled = choice_->isEnabled();
    showFields(fields);
}

} // namespace quav
