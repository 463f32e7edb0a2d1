#include "dialogs/LoadCaseSettingsDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace quav {

LoadCaseSettingsDialog::LoadCaseSettingsDialog(const LoadCaseValues& v,
                                               const LoadCaseContext& context, QWidget* parent)
    : FormDialog(162, QStringLiteral("荷重ケース設定"), parent), values(v), context_(context),
      table_(new QTableWidget(static_cast<int>(context.loads.size()), 2, this)) {
    values.factors.resize(context_.loads.size(), 0.0);
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("ケース名")), 0, 0);
    grid->addWidget(bindName(kCaseNameField, &values.name), 0, 1, 1, 3);

    table_->setObjectName(QString::number(kCaseFactorTable));
    table_->setHorizontalHeaderLabels({QStringLiteral("静荷重"), QStringLiteral("係数")});
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setMinimumHeight(160);
    for (int row = 0; row < table_->rowCount(); ++row) {
        auto* name = new QTableWidgetItem(
            QString::fromStdString(context_.loads[static_cast<std::size_t>(row)]));
        name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        table_->setItem(row, 0, name);
        table_->setItem(
            row, 1,
            new QTableWidgetItem(numberText(values.factors[static_cast<std::size_t>(row)])));
    }
    table_->resizeColumnToContents(0);
    grid->addWidget(table_, 1, 0, 1, 4);
    if (context_.loads.empty())
        grid->addWidget(new QLabel(QStringLiteral("静荷重がありません(加速度のみのケース)")), 2, 0,
                        1, 4);

    for (int i = 0; i < 3; ++i) {
        auto* heading = new QLabel(QString(QChar(u'x' + i)));
        heading->setAlignment(Qt::AlignCenter);
        grid->addWidget(heading, 3, i + 1);
    }
    QLineEdit* const g[3] = {bindNumber(kCaseGLoadField, &values.gLoad[0]),
                             bindNumber(kCaseGLoadField + 1, &values.gLoad[1]),
                             bindNumber(kCaseGLoadField + 2, &values.gLoad[2])};
    addVectorRow(grid, 4, QStringLiteral("加速度[G]"), g);
    auto* note = new QLabel(
        QStringLiteral("係数 0 の静荷重は使いません。加速度は全体座標で、質量×9.80665×加速度"
                       "の力が重心に加わります(自重は 0, 0, -1)。"),
        this);
    note->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(note);
    layout->addWidget(okCancel());
    showValues();
    setRule([this] { return inputProblem(values, context_); });
}

void LoadCaseSettingsDialog::accept() {
    for (int row = 0; row < table_->rowCount(); ++row) {
        const QTableWidgetItem* cell = table_->item(row, 1);
        double factor = 0.0;
        if (!cell || !parseNumber(cell->text(), factor)) {
            messages.inform(this, QStringLiteral("入力エラー\n\n係数 (%1): 数値を入力して下さい")
                                      .arg(table_->item(row, 0)->text()));
            table_->setCurrentCell(row, 1);
            table_->setFocus();
            return;
        }
        values.factors[static_cast<std::size_t>(row)] = factor;
    }
    FormDialog::accept();
}

LoadCaseChoiceDialog::LoadCaseChoiceDialog(const LoadCaseChoice& c, QWidget* parent)
    : QDialog(parent), choice(c), list_(new QListWidget(this)) {
    setObjectName(QStringLiteral("163"));
    setWindowTitle(QString::fromStdString(choice.title));
    list_->setObjectName(QStringLiteral("1020"));
    for (const std::string& name : choice.names)
        list_->addItem(QString::fromStdString(name));
    if (choice.index >= 0 && choice.index < list_->count())
        list_->setCurrentRow(choice.index);
    connect(list_, &QListWidget::itemDoubleClicked, this, &LoadCaseChoiceDialog::accept);
    auto* buttons = new QDialogButtonBox(this);
    auto* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("1"));
    auto* cancel = buttons->addButton(QStringLiteral("ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("2"));
    connect(buttons, &QDialogButtonBox::accepted, this, &LoadCaseChoiceDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("荷重ケースを選んでください")));
    layout->addWidget(list_);
    layout->addWidget(buttons);
}

void LoadCaseChoiceDialog::accept() {
    choice.index = list_->currentRow();
    if (choice.index < 0)
        return;
    QDialog::accept();
}

} // namespace quav
