#include "dialogs/CalculationLogDialog.h"

#include "dialogs/DialogUnits.h"
#include "dialogs/OptimizerRunControl.h"
#include "model/TextFormat.h"
#include "optimizer/Optimizer.h"
#include "optimizer/RunProgress.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <thread>

namespace quav {

namespace {

constexpr int kProgressIntervalMs = 200;

template <class W> W* named(W* widget, const QString& name) {
    widget->setObjectName(name);
    return widget;
}

QString count(std::int64_t n) {
    return QString::fromStdString(format("%lld", static_cast<long long>(n)));
}

} // namespace

CalculationLogDialog::CalculationLogDialog(OptimizerRunControl& control, const Optimizer& optimizer,
                                           const AnalysisModel& model, std::string documentTitle,
                                           QWidget* parent)
    : QDialog(parent), control_(control), optimizer_(optimizer), model_(model),
      documentTitle_(std::move(documentTitle)) {
    setWindowTitle(QStringLiteral("計算ログ"));
    start_ = named(new QPushButton(QStringLiteral("計算スタート"), this), "1062");
    stop_ = named(new QPushButton(QStringLiteral("中止"), this), "1167");
    threads_ = named(new QSpinBox(this), "threads");
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    threads_->setRange(1, std::max(64, cores));
    threads_->setValue(control_.isRunning() ? control_.threads() : cores);
    threads_->setToolTip(QStringLiteral("計算に使うｽﾚｯﾄﾞの数（既定はCPUのｺｱ数）"));
    directory_ = named(new QLabel(this), "directory");
    directory_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    log_ = named(new QPlainTextEdit(this), "1166");
    log_->setReadOnly(true);
    log_->setLineWrapMode(QPlainTextEdit::NoWrap);
    log_->setMaximumBlockCount(OptimizerRunControl::kKeptLines);
    log_->setMinimumSize(dialogUnits(360, 160));
    progress_ = named(new QProgressBar(this), "progress");
    progress_->setRange(0, 1000);
    progress_->setTextVisible(false);
    processed_ = named(new QLabel(this), "processed");
    matches_ = named(new QLabel(this), "matches");
    elapsed_ = named(new QLabel(this), "elapsed");
    remaining_ = named(new QLabel(this), "remaining");
    status_ = named(new QLabel(this), "status");
    status_->setWordWrap(true); // a refusal may explain itself at length
    auto* close = named(new QPushButton(QStringLiteral("閉じる"), this), "1");

    auto* top = new QHBoxLayout;
    top->addWidget(start_);
    top->addWidget(stop_);
    top->addStretch();
    top->addWidget(new QLabel(QStringLiteral("ｽﾚｯﾄﾞ数"), this));
    top->addWidget(threads_);
    auto* counts = new QGridLayout;
    const std::pair<const char*, QLabel*> fields[] = {{"処理件数", processed_},
                                                      {"条件一致数", matches_},
                                                      {"経過時間", elapsed_},
                                                      {"残り時間", remaining_}};
    for (int i = 0; i < 4; ++i) {
        counts->addWidget(new QLabel(QString::fromUtf8(fields[i].first), this), 0, 2 * i);
        counts->addWidget(fields[i].second, 0, 2 * i + 1);
        counts->setColumnStretch(2 * i + 1, 1);
    }
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(status_, 1);
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(directory_);
    layout->addWidget(log_, 1);
    layout->addWidget(progress_);
    layout->addLayout(counts);
    layout->addLayout(bottom);

    timer_ = new QTimer(this);
    timer_->setInterval(kProgressIntervalMs);
    connect(timer_, &QTimer::timeout, this, &CalculationLogDialog::showProgress);
    connect(start_, &QPushButton::clicked, this, &CalculationLogDialog::start);
    connect(stop_, &QPushButton::clicked, this, [this] {
        control_.stop();
        showState();
    });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    // Both arrive on this thread; the connections end with the dialog.
    connect(&control_, &OptimizerRunControl::linesAdded, this, &CalculationLogDialog::appendLines);
    connect(&control_, &OptimizerRunControl::finished, this,
            [this](int, const QString& message) { runFinished(message); });

    if (control_.isRunning()) {
        showsRun_ = true;
        appendLines(control_.lines());
        timer_->start();
    }
    showState();
    showProgress();
}

void CalculationLogDialog::start() {
    if (!control_.start(optimizer_, model_, documentTitle_, threads_->value()))
        return;
    showsRun_ = true;
    status_->clear();
    timer_->start();
    showState();
    showProgress();
}

void CalculationLogDialog::appendLines(const QStringList& lines) {
    // One block per line; the window then ends each with a line break.
    log_->appendPlainText(lines.join(QLatin1Char('\n')));
    log_->verticalScrollBar()->setValue(log_->verticalScrollBar()->maximum());
}

void CalculationLogDialog::runFinished(const QString& message) {
    timer_->stop();
    status_->setText(message);
    showState();
    showProgress();
}

void CalculationLogDialog::showState() {
    const bool running = control_.isRunning();
    start_->setEnabled(!running);
    stop_->setEnabled(running && !control_.stopRequested());
    threads_->setEnabled(!running);
    const QString directory = running || !control_.outputDirectory().isEmpty()
                                  ? control_.outputDirectory()
                                  : QString::fromStdString(optimizer_.outputDirectory);
    QString search = QStringLiteral("全組合せ");
    if (const std::optional<SearchSettings>& s = control_.search())
        search = QString::fromStdString(format(
            "進化的探索 (個体数 %d、世代数 %d、乱数の種 %llu%s)", s->population, s->generations,
            static_cast<unsigned long long>(s->seed), s->discrete ? "、増分ごとの値" : ""));
    directory_->setText(QStringLiteral("保存先：") + directory + QStringLiteral("　探索方法：") +
                        search);
    if (running && control_.stopRequested())
        status_->setText(QStringLiteral("中止しています..."));
}

void CalculationLogDialog::showProgress() {
    // Until this dialog shows a run, the counters of an earlier one are not its business.
    const RunCounters& c = control_.counters();
    const std::int64_t processed = showsRun_ ? c.processed.load() : 0;
    const std::int64_t total = showsRun_ ? c.combinations.load() : 0;
    const double elapsed = showsRun_ ? control_.elapsedSeconds() : 0.0;
    const RunProgress p = runProgress(processed, total, elapsed);
    // A run that has not counted its combinations yet has done nothing.
    const bool counted = showsRun_ && (total > 0 || !control_.isRunning());
    progress_->setValue(counted ? static_cast<int>(p.share * 1000) : 0);
    processed_->setText(count(processed) + QStringLiteral(" / ") + count(total));
    matches_->setText(count(showsRun_ ? c.matches.load() : 0));
    elapsed_->setText(QString::fromStdString(clockText(elapsed)));
    const double remaining = control_.isRunning() ? p.remainingSeconds : showsRun_ ? 0.0 : NAN;
    remaining_->setText(QString::fromStdString(clockText(remaining)));
}

} // namespace quav
