#include "dialogs/MountAnalysisDialogs.h"

#include "dialogs/ChartPainter.h"
#include "dialogs/CurveWindow.h"
#include "dialogs/FrequencyStepPlot.h"
#include "dialogs/OptimizerRunControl.h"
#include "reports/MountReports.h"

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
        if (r.id == 1201) // the distribution belongs to the rates
            grid->addWidget(
                bindCheck(1202, QStringLiteral("正規分布(許容差 = 3σ)"), &values.normal), ++row, 1,
                1, 2);
        ++row;
    }
    auto* note = new QLabel(QStringLiteral("ばね特性ごとに3方向のばね定数を、ばね要素ごとに座標を"
                                           "独立にばらつかせて固有振動数を計算します"));
    note->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(note);
    layout->addWidget(okCancel(QStringLiteral("計算実行")));
    showValues();
    setRule([this] { return inputProblem(values); });
}

// ---------------------------------------------------------- transmissibility --

TransmissibilityDialog::TransmissibilityDialog(const AnalysisModel& model, QWidget* parent)
    : QDialog(parent), model_(model) {
    setWindowTitle(QStringLiteral("伝達率"));

    loadList_ = new QComboBox(this);
    for (std::size_t i = 0; i < model_.dynamicLoads.size(); ++i) {
        if (!hasForceTransmissibility(model_.dynamicLoads[i]))
            continue; // a moment transmits no force of its own
        loads_.push_back(static_cast<int>(i));
        loadList_->addItem(QString::fromStdString(model_.dynamicLoads[i].name));
    }

    auto* heading = new QHBoxLayout;
    heading->addWidget(new QLabel(QStringLiteral("伝達率 = |伝達力| / |加振力|"), this));
    const CurveWindow window =
        buildCurveWindow(this,
                         [this](QSize size, int slider) {
                             return frequencyStepChart(curve_, size.width(), size.height(), slider);
                         },
                         heading, {loadList_});
    area_ = window.area;
    connect(loadList_, &QComboBox::currentIndexChanged, this, &TransmissibilityDialog::loadChanged);
    connect(window.data, &QPushButton::clicked, this, [this] {
        if (showText)
            showText(this, transmissibilityListing(points_));
    });
    loadChanged();
}

QImage TransmissibilityDialog::chartImage() const {
    return area_->grab().toImage();
}

void TransmissibilityDialog::selectLoad(int n) {
    loadList_->setCurrentIndex(n);
}

void TransmissibilityDialog::loadChanged() {
    const int n = loadList_->currentIndex();
    points_.clear();
    if (n >= 0)
        points_ = transmissibility(model_, loads_[static_cast<std::size_t>(n)]);
    curve_.clear();
    for (const auto& p : points_)
        curve_.push_back({p.frequency, p.transmissibility});
    area_->update();
}

// ------------------------------------------------------------------ progress --

void runWithProgressWindow(QWidget* parent, const QString& title, RunControl& control,
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

    std::atomic<bool> done{false};
    std::thread worker([&] {
        // The work and the threads it starts yield to the window's.
        lowerThisThreadsPriority();
        work();
        done.store(true);
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
    while (!done.load())
        loop.exec(progress.isVisible() ? QEventLoop::AllEvents
                                       : QEventLoop::ExcludeUserInputEvents);
    worker.join();
}

} // namespace quav
