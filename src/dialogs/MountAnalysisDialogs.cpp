#include "dialogs/MountAnalysisDialogs.h"

#include "dialogs/OptimizerRunControl.h"
#include "model/Worker.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <thread>

namespace quav {

// ---------------------------------------------------------------- robustness --

RobustnessDialog::RobustnessDialog(const RobustnessValues& v, QWidget* parent)
    : FormDialog(170, QStringLiteral("ロバスト性"), parent), values(v) {
    auto* grid = new QGridLayout;
    const struct {
        int id;
        const char* label;
        double* value;
        const char* unit;
    } rows[] = {{1201, "ばね定数の許容差", &values.tolerancePct, "[±%]"},
                {1203, "位置の許容差", &values.positionTolerance, "[±m]"},
                {1204, "ｻﾝﾌﾟﾙ数", &values.samples, ""},
                {1205, "乱数の種", &values.seed, ""}};
    int row = 0;
    for (const auto& r : rows) {
        grid->addWidget(new QLabel(QString::fromUtf8(r.label)), row, 0);
        grid->addWidget(bindNumber(r.id, r.value), row, 1);
        grid->addWidget(new QLabel(QString::fromUtf8(r.unit)), row, 2);
        if (r.id == 1201) { // the distribution and what varies belong to the rates
            grid->addWidget(
                bindCheck(1202, QStringLiteral("正規分布(許容差 = 3σ)"), &values.normal), ++row, 1,
                1, 2);
            grid->addWidget(bindCheck(1206,
                                      QStringLiteral("ばね特性ごとにばらつかせる(同じ特性の"
                                                     "ばねは同じ値)"),
                                      &values.perCharacteristic),
                            ++row, 1, 1, 2);
        }
        ++row;
    }
    auto* note =
        new QLabel(QStringLiteral("ばね要素ごとに(または、ばね特性ごとに)3方向のばね定数を、"
                                  "ばね要素ごとに座標を独立にばらつかせて固有振動数を"
                                  "計算します"));
    note->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(note);
    layout->addWidget(okCancel(QStringLiteral("計算実行")));
    showValues();
    setRule([this] { return inputProblem(values); });
}

// ------------------------------------------------------------ torque direction --

TorqueAxisDialog::TorqueAxisDialog(const TorqueAxisValues& v, const std::string& defaultText,
                                   QWidget* parent)
    : FormDialog(171, QStringLiteral("トルクロール軸"), parent), values(v) {
    choice_ = new QComboBox(this);
    choice_->setObjectName(QStringLiteral("1207"));
    choice_->addItems({QStringLiteral("既定: ") + QString::fromStdString(defaultText),
                       QStringLiteral("x 軸"), QStringLiteral("y 軸"), QStringLiteral("z 軸"),
                       QStringLiteral("ベクトルで指定")});
    QLineEdit* const vector[3] = {bindNumber(1208, &values.vector[0]),
                                  bindNumber(1209, &values.vector[1]),
                                  bindNumber(1210, &values.vector[2])};
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("ﾄﾙｸ方向")), 0, 0);
    grid->addWidget(choice_, 0, 1, 1, 3);
    addVectorRow(grid, 1, QStringLiteral("ベクトル(全体座標)"), vector);
    auto follow = [vector](int index) {
        for (QLineEdit* field : vector)
            field->setEnabled(index == 4);
    };
    connect(choice_, &QComboBox::currentIndexChanged, this, follow);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(okCancel(QStringLiteral("計算実行")));
    showValues();
    choice_->setCurrentIndex(values.choice >= 0 && values.choice <= 4 ? values.choice : 0);
    follow(choice_->currentIndex());
    setRule([this]() -> std::optional<FieldProblem> {
        if (values.choice == 4 && values.vector[0] == 0.0 && values.vector[1] == 0.0 &&
            values.vector[2] == 0.0)
            return FieldProblem{1208, "ベクトル: 0 でない成分を入力して下さい"};
        return std::nullopt;
    });
}

void TorqueAxisDialog::accept() {
    if (!takeValues())
        return;
    values.choice = choice_->currentIndex();
    if (passesRule())
        QDialog::accept();
}

// ---------------------------------------------------------- transmissibility --

TransmissibilityDialog::TransmissibilityDialog(const AnalysisModel& model, QWidget* parent)
    : CurveDialog(QStringLiteral("伝達率"), parent), model_(model) {
    loadList_ = new QComboBox(this);
    for (std::size_t i = 0; i < model_.dynamicLoads.size(); ++i) {
        if (!hasForceTransmissibility(model_.dynamicLoads[i]))
            continue; // a moment transmits no force of its own
        loads_.push_back(static_cast<int>(i));
        loadList_->addItem(QString::fromStdString(model_.dynamicLoads[i].name));
    }

    auto* heading = new QHBoxLayout;
    heading->addWidget(new QLabel(QStringLiteral("伝達率 = |伝達力| / |加振力|"), this));
    buildWindow(heading, {loadList_}, {loadList_}, false, frequencyMarkers(model_));
    connect(loadList_, &QComboBox::currentIndexChanged, this, &TransmissibilityDialog::refresh);
    refresh();
}

void TransmissibilityDialog::selectLoad(int n) {
    loadList_->setCurrentIndex(n);
}

PlotCurve TransmissibilityDialog::curveOf(int n, bool isolation) const {
    PlotCurve curve;
    if (n < 0 || static_cast<std::size_t>(n) >= loads_.size())
        return curve;
    const int load = loads_[static_cast<std::size_t>(n)];
    curve.name = model_.dynamicLoads[static_cast<std::size_t>(load)].name;
    if (isolation)
        curve.name += " 防振率";
    curve.unit = isolation ? "%" : "-";
    for (const auto& p : transmissibility(model_, load))
        curve.points.push_back({p.frequency, isolation ? p.isolationPct : p.transmissibility});
    return curve;
}

PlotCurve TransmissibilityDialog::currentCurve() const {
    return curveOf(loadList_->currentIndex());
}

std::vector<PlotCurve> TransmissibilityDialog::keptCurves() const {
    std::vector<PlotCurve> curves;
    for (int n : kept_)
        curves.push_back(curveOf(n));
    return curves;
}

bool TransmissibilityDialog::currentIsKept() const {
    return std::find(kept_.begin(), kept_.end(), loadList_->currentIndex()) != kept_.end();
}

void TransmissibilityDialog::keepCurrent() {
    if (loadList_->currentIndex() >= 0 && !currentIsKept() && kept_.size() < kMaxKeptCurves)
        kept_.push_back(loadList_->currentIndex());
}

void TransmissibilityDialog::dropKept(std::size_t i) {
    if (i < kept_.size())
        kept_.erase(kept_.begin() + static_cast<std::ptrdiff_t>(i));
}

std::vector<PlotCurve> TransmissibilityDialog::tableCurves() const {
    std::vector<int> shown = kept_;
    if (!currentIsKept())
        shown.push_back(loadList_->currentIndex());
    std::vector<PlotCurve> columns;
    for (int n : shown) {
        PlotCurve t = curveOf(n);
        t.name += " 伝達率";
        columns.push_back(std::move(t));
        columns.push_back(curveOf(n, true));
    }
    return columns;
}

// ------------------------------------------------------------------ progress --

std::string runWithProgressWindow(QWidget* parent, const QString& title, RunControl& control,
                                  std::int64_t total, const std::function<void()>& work) {
    constexpr int kSteps = 1000;
    QProgressDialog progress(title, QStringLiteral("中止"), 0, kSteps, parent);
    progress.setWindowTitle(QStringLiteral("QUAV"));
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    progress.setMinimumDuration(500); // a short run shows no window at all
    QObject::connect(&progress, &QProgressDialog::canceled, &progress,
                     [&control] { control.stop.store(true); });

    Worker worker;
    worker.start([&](RunControl&) {
        // The work and the threads it starts yield to the window's.
        lowerThisThreadsPriority();
        work();
    });
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (total > 0 && !progress.wasCanceled())
            progress.setValue(static_cast<int>(kSteps * control.done.load() / total));
        loop.quit();
    });
    poll.start(50);
    // Painting goes on; until the modal window shows, clicks and keys wait.
    while (!worker.finished())
        loop.exec(progress.isVisible() ? QEventLoop::AllEvents
                                       : QEventLoop::ExcludeUserInputEvents);
    worker.wait();
    return worker.failed() ? interruptedCalculationText(worker.failure()) : std::string();
}

} // namespace quav
