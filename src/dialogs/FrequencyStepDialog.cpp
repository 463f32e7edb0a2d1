#include "dialogs/FrequencyStepDialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

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

FrequencyStepDialog::FrequencyStepDialog(const AnalysisModel& model,
                                         const FrequencyStepTarget& target, QWidget* parent)
    : CurveDialog(QStringLiteral("周波数ｽﾃｯﾌﾟ解析結果"), parent), model_(model),
      targets_(frequencyStepTargets(model)) {
    // The picked point shows in 1100; the list offers the others.
    points_ = new QComboBox(this);
    points_->setEditable(true);
    points_->lineEdit()->setReadOnly(true);
    points_->lineEdit()->setObjectName(QStringLiteral("1100"));
    points_->setInsertPolicy(QComboBox::NoInsert);
    for (const auto& t : targets_)
        points_->addItem(QString::fromStdString(t.name));
    const auto picked =
        std::find_if(targets_.begin(), targets_.end(),
                     [&](const FrequencyStepTarget& t) { return t.id == target.id; });
    points_->setCurrentIndex(picked != targets_.end() ? int(picked - targets_.begin()) : 0);

    loads_ = new QComboBox(this);
    loads_->setObjectName(QStringLiteral("1027"));
    for (const auto& l : model_.dynamicLoads)
        loads_->addItem(QString::fromStdString(l.name));
    loads_->setCurrentIndex(loads_->count() > 0 ? 0 : -1);

    auto* frameBox = new QGroupBox(QStringLiteral("座標系"), this);
    frame_ = new QButtonGroup(this);
    auto* frameLayout = new QVBoxLayout(frameBox);
    frameLayout->addWidget(radio(frame_, Global, "ｸﾞﾛｰﾊﾞﾙ", 1094, frameBox));
    frameLayout->addWidget(radio(frame_, Local, "ﾛｰｶﾙ", 1095, frameBox));
    frame_->button(Global)->setChecked(true);

    auto* directionBox = new QGroupBox(QStringLiteral("方向"), this);
    direction_ = new QButtonGroup(this);
    auto* directionLayout = new QGridLayout(directionBox);
    static const char* const names[6] = {"x", "y", "z", "Rx", "Ry", "Rz"};
    for (int i = 0; i < 6; ++i)
        directionLayout->addWidget(radio(direction_, i, names[i], 1088 + i, directionBox), i % 3,
                                   i / 3);
    direction_->button(0)->setChecked(true);

    auto* heading = new QHBoxLayout;
    heading->addWidget(new QLabel(QStringLiteral("位置"), this));
    heading->addWidget(points_, 1);
    buildWindow(heading, {loads_, frameBox, directionBox},
                {points_, loads_, frame_->button(Global), frame_->button(Local),
                 direction_->button(0), direction_->button(1), direction_->button(2),
                 direction_->button(3), direction_->button(4), direction_->button(5)},
                true, frequencyMarkers(model_));

    connect(points_, &QComboBox::currentIndexChanged, this, &FrequencyStepDialog::targetChanged);
    connect(loads_, &QComboBox::currentIndexChanged, this, &FrequencyStepDialog::refresh);
    connect(frame_, &QButtonGroup::idClicked, this, &FrequencyStepDialog::frameChanged);
    connect(direction_, &QButtonGroup::idClicked, this, &FrequencyStepDialog::refresh);
    targetChanged();
}

FrequencyStepDialog::Choice FrequencyStepDialog::current() const {
    Choice c;
    c.target = static_cast<std::size_t>(std::max(0, points_->currentIndex()));
    c.curve.load = loads_->currentIndex();
    c.curve.local = frame_->checkedId() == Local;
    c.curve.dof = direction_->checkedId();
    return c;
}

PlotCurve FrequencyStepDialog::curveOf(const Choice& c) const {
    return frequencyStepPlotCurve(model_, targets_[c.target], c.curve, decibels());
}

PlotCurve FrequencyStepDialog::currentCurve() const {
    return curveOf(current());
}

std::vector<PlotCurve> FrequencyStepDialog::keptCurves() const {
    std::vector<PlotCurve> curves;
    for (const auto& c : kept_)
        curves.push_back(curveOf(c));
    return curves;
}

bool FrequencyStepDialog::currentIsKept() const {
    return std::find(kept_.begin(), kept_.end(), current()) != kept_.end();
}

void FrequencyStepDialog::keepCurrent() {
    if (!currentIsKept() && kept_.size() < kMaxKeptCurves)
        kept_.push_back(current());
}

void FrequencyStepDialog::dropKept(std::size_t i) {
    if (i < kept_.size())
        kept_.erase(kept_.begin() + static_cast<std::ptrdiff_t>(i));
}

bool FrequencyStepDialog::decibelsAvailable() const {
    const auto perForce = [this](const Choice& c) {
        return isResponsePerForce(model_, c.curve.load, c.curve.dof);
    };
    return perForce(current()) && std::all_of(kept_.begin(), kept_.end(), perForce);
}

void FrequencyStepDialog::targetChanged() {
    // Only a spring has axes of its own.
    const bool spring = targets_[current().target].spring.has_value();
    frame_->button(Local)->setEnabled(spring);
    if (!spring && frame_->checkedId() == Local) {
        frame_->button(Global)->setChecked(true);
        frameChanged(Global);
        return;
    }
    refresh();
}

void FrequencyStepDialog::frameChanged(int frame) {
    const bool local = frame == Local;
    // Local axes carry translations only.
    if (local && direction_->checkedId() > 2)
        direction_->button(0)->setChecked(true);
    for (int i = 3; i < 6; ++i)
        direction_->button(i)->setEnabled(!local);
    refresh();
}

} // namespace quav
