#include "dialogs/ParameterEditDialog.h"

#include "dialogs/DialogUnits.h"
#include "optimizer/StudyCheck.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

#include <cmath>

namespace quav {

ParameterEditDialog::ParameterEditDialog(const ParameterFields& fields, QWidget* parent)
    : FormDialog(159, QStringLiteral("ﾊﾟﾗﾒｰﾀ設定"), parent), values(fields) {
    auto* form = new QFormLayout(this);
    QLineEdit* name = bindName(1019, &values.name);
    name->setMinimumWidth(dialogUnits(110));
    form->addRow(QStringLiteral("名前"), name);
    form->addRow(QStringLiteral("最小値"), bindNumber(1103, &values.minValue));
    form->addRow(QStringLiteral("最大値"), bindNumber(1104, &values.maxValue));
    form->addRow(QStringLiteral("増分"), bindNumber(1081, &values.increment));
    form->addRow(okCancel());
    showValues();
    setRule([this]() -> std::optional<FieldProblem> {
        const std::string problem =
            parameterRangeProblem(values.minValue, values.maxValue, values.increment);
        if (problem.empty())
            return std::nullopt;
        // The field to mend: the increment when it is at fault, else the maximum.
        const bool increment = std::isfinite(values.increment) && !(values.increment > 0.0);
        return FieldProblem{increment ? 1081 : 1104, problem};
    });
}

} // namespace quav
