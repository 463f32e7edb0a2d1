#include "dialogs/FrequencyStepDialog.h"

#include "dialogs/ChartPainter.h"
#include "dialogs/CurveWindow.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

namespace quav {

namespace {

enum Frame { Global = 0, Local = 1 };

QRadioButton* radio(QButtonGroup* group, int value, const char* text, int id, QWidget* parent) {
    auto* b = new QRadioButton(QString::fromUtf8(text), parent);
    b->setObjectName(QString::number(id));
    group->addButton(b, value);
    return b;
}

} // namespace

FrequencyStepDialog::FrequencyStepDialog(const AnalysisModel& model, FrequencyStepTarget target,
                                         QWidget* parent)
    : QDialog(parent), model_(model), target_(std::move(target)) {
    setWindowTitle(QStringLiteral("周波数ｽﾃｯﾌﾟ解析結果"));

    auto* name = new QLineEdit(QString::fromStdString(target_.name), this);
    name->setObjectName(QStringLiteral("1100"));
    name->setReadOnly(true);
    name->setFocusPolicy(Qt::ClickFocus);

    loads_ = new QComboBox(this);
    loads_->setObjectName(QStringLiteral("1027"));
    for (const auto& l : model_.dynamicLoads)
        loads_->addItem(QString::fromStdString(l.name));
    loads_->setCurrentIndex(loads_->count() > 0 ? 0 : -1);

    auto* frameBox = new QGroupBox(QStringLiteral("座標系"), this);
    frame_ = new QButtonGroup(this);
    auto* frameLayout = new QVBoxLayout(frameBox);
    frameLayout->addWidget(radio(frame_, Global, "ｸﾞﾛｰﾊﾞﾙ", 1094, frameBox));
    QRadioButton* local = radio(frame_, Local, "ﾛｰｶﾙ", 1095, frameBox);
    frameLayout->addWidget(local);
    frame_->button(Global)->setChecked(true);
    // Only a spring has axes of its own.
    local->setEnabled(target_.spring.has_value());

    auto* directionBox = new QGroupBox(QStringLiteral("方向"), this);
    direction_ = new QButtonGroup(this);
    auto* directionLayout = new QGridLayout(directionBox);
    static const char* const names[6] = {"x", "y", "z", "Rx", "Ry", "Rz"};
    for (int i = 0; i < 6; ++i)
        directionLayout->addWidget(radio(direction_, i, names[i], 1088 + i, directionBox), i % 3,
                                   i / 3);
    direction_->button(0)->setChecked(true);

    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(new QLabel(QStringLiteral("位置"), this));
    nameRow->addWidget(name, 1);
    const CurveWindow window =
        buildCurveWindow(this,
                         [this](QSize size, int slider) {
                             return frequencyStepChart(curve_, size.width(), size.height(), slider);
                         },
                         nameRow, {loads_, frameBox, directionBox});
    area_ = window.area;
    slider_ = window.slider;

    // The keyboard goes from the cursor to the choices of the curve, then the buttons.
    QWidget* const order[] = {slider_,
                              loads_,
                              frame_->button(Global),
                              local,
                              direction_->button(0),
                              direction_->button(1),
                              direction_->button(2),
                              direction_->button(3),
                              direction_->button(4),
                              direction_->button(5),
                              window.data,
                              window.close};
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);

    connect(loads_, &QComboBox::currentIndexChanged, this, &FrequencyStepDialog::controlsChanged);
    connect(frame_, &QButtonGroup::idClicked, this, &FrequencyStepDialog::frameChanged);
    connect(direction_, &QButtonGroup::idClicked, this, &FrequencyStepDialog::controlsChanged);
    connect(window.data, &QPushButton::clicked, this, [this] {
        if (showText)
            showText(this, QString::fromStdString(frequencyStepListing(curve_)));
    });
    controlsChanged();
}

QImage FrequencyStepDialog::chartImage() const {
    return area_->grab().toImage();
}

void FrequencyStepDialog::frameChanged(int frame) {
    const bool local = frame == Local;
    // Local axes carry translations only.
    if (local && direction_->checkedId() > 2)
        direction_->button(0)->setChecked(true);
    for (int i = 3; i < 6; ++i)
        direction_->button(i)->setEnabled(!local);
    controlsChanged();
}

void FrequencyStepDialog::controlsChanged() {
    // The curve changes only with these controls; the slider just moves the cursor.
    curve_ = frequencyStepCurve(model_, loads_->currentIndex(),
                                target_.curveTarget(frame_->checkedId() == Local),
                                direction_->checkedId());
    area_->update();
}

} // namespace quav
