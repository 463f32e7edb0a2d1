#include "dialogs/CurveWindow.h"

#include "dialogs/ChartPainter.h"
#include "dialogs/DialogUnits.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace quav {

CurveWindow buildCurveWindow(QDialog* dialog,
                             std::function<ChartDrawing(QSize size, int slider)> chart,
                             QLayout* heading, std::initializer_list<QWidget*> choices) {
    CurveWindow w;
    auto* slider = new QSlider(Qt::Horizontal, dialog);
    w.slider = slider;
    w.area = new ChartArea(
        [chart = std::move(chart), slider](QSize size) { return chart(size, slider->value()); },
        dialog);
    w.area->setObjectName(QStringLiteral("1097"));
    w.area->setFixedSize(dialogUnits(317, 210));
    slider->setObjectName(QStringLiteral("1098"));
    slider->setRange(0, 1000);
    slider->setValue(0);
    slider->setPageStep(50);
    slider->setFixedWidth(dialogUnits(318));
    w.data = new QPushButton(QStringLiteral("ﾃﾞｰﾀ表示"), dialog);
    w.data->setObjectName(QStringLiteral("1062"));
    w.close = new QPushButton(QStringLiteral("閉じる"), dialog);
    w.close->setObjectName(QStringLiteral("1"));

    auto* left = new QVBoxLayout;
    if (heading)
        left->addLayout(heading);
    left->addWidget(w.area);
    left->addWidget(slider);
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(QStringLiteral("荷重"), dialog));
    for (QWidget* c : choices)
        right->addWidget(c);
    right->addWidget(w.data);
    right->addStretch();
    right->addWidget(w.close);
    auto* layout = new QHBoxLayout(dialog);
    layout->addLayout(left);
    layout->addLayout(right);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    QObject::connect(slider, &QSlider::valueChanged, w.area, qOverload<>(&QWidget::update));
    QObject::connect(w.close, &QPushButton::clicked, dialog, &QDialog::accept);
    slider->setFocus();
    return w;
}

} // namespace quav
