#include "dialogs/DxfPlacementDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace quav {

DxfPlacementDialog::DxfPlacementDialog(const DxfPlacement& placement, QWidget* parent)
    : FormDialog(155, QStringLiteral("dxfﾌｧｲﾙ読み込み設定"), parent), values(placement) {
    auto group = [](const QString& title, QLineEdit* const(&fields)[3], const QString& unit) {
        auto* box = new QGroupBox(title);
        auto* grid = new QGridLayout(box);
        const char16_t* axes[3] = {u"X", u"Y", u"Z"};
        for (int i = 0; i < 3; ++i) {
            grid->addWidget(new QLabel(QString::fromUtf16(axes[i])), 0, 2 * i);
            grid->addWidget(fields[i], 0, 2 * i + 1);
        }
        grid->addWidget(new QLabel(unit), 0, 6);
        return box;
    };
    QLineEdit* const position[3] = {bindNumber(1034, &values.x), bindNumber(1035, &values.y),
                                    bindNumber(1036, &values.z)};
    QLineEdit* const angles[3] = {bindNumber(1069, &values.angleX),
                                  bindNumber(1070, &values.angleY),
                                  bindNumber(1071, &values.angleZ)};
    QLineEdit* const scaleField = bindNumber(1072, &values.scale);
    auto* scale = new QHBoxLayout;
    scale->addWidget(new QLabel(QStringLiteral("ｽｹｰﾙ")));
    scale->addWidget(scaleField);
    scale->addStretch();

    auto* fields = new QVBoxLayout;
    fields->addWidget(group(QStringLiteral("重心位置"), position, QStringLiteral("[m]")));
    fields->addWidget(group(QStringLiteral("回転角"), angles, QStringLiteral("[°]")));
    fields->addLayout(scale);
    QDialogButtonBox* buttons = okCancel();
    buttons->setOrientation(Qt::Vertical);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(buttons, 0, Qt::AlignTop);
    // Tab runs through the fields in reading order, starting at X.
    QWidget* const order[] = {position[0], position[1], position[2], angles[0],
                              angles[1],   angles[2],   scaleField};
    for (int i = 0; i + 1 < 7; ++i)
        setTabOrder(order[i], order[i + 1]);
    position[0]->setFocus();
    showValues();
}

} // namespace quav
