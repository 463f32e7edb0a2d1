#include "dialogs/ParameterEditDialog.h"

#include "dialogs/DialogFields.h"
#include "dialogs/DialogUnits.h"
#include "model/TextEncoding.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

namespace quav {

namespace {

QLineEdit* field(QWidget* parent, int id, const QString& text) {
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(QString::number(id));
    edit->setMinimumWidth(dialogUnits(110));
    return edit;
}

} // namespace

ParameterEditDialog::ParameterEditDialog(const ParameterFields& fields, QWidget* parent)
    : QDialog(parent), fields_(fields) {
    setWindowTitle(QStringLiteral("ﾊﾟﾗﾒｰﾀ設定"));
    name_ = field(this, 1019, QString::fromStdString(fields.name));
    min_ = field(this, 1103, numberText(fields.minValue));
    max_ = field(this, 1104, numberText(fields.maxValue));
    increment_ = field(this, 1081, numberText(fields.increment));

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    buttons->addButton(QStringLiteral("ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("2"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("名前"), name_);
    form->addRow(QStringLiteral("最小値"), min_);
    form->addRow(QStringLiteral("最大値"), max_);
    form->addRow(QStringLiteral("増分"), increment_);
    form->addRow(buttons);
}

void ParameterEditDialog::accept() {
    ParameterFields f;
    if (!readNumbers(this, messages,
                     {{min_, &f.minValue}, {max_, &f.maxValue}, {increment_, &f.increment}}))
        return;
    f.name = name_->text().toStdString();
    if (!isCp932Encodable(f.name)) {
        messages.inform(this, QStringLiteral("名前に保存できない文字が含まれています"));
        name_->setFocus();
        return;
    }
    fields_ = f;
    QDialog::accept();
}

} // namespace quav
