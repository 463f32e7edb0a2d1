#include "dialogs/OptimizerRunControl.h"

#include "optimizer/StudyCheck.h"

#include "document/ModelFile.h"
#include "model/Worker.h"

#include <QApplication>

#include <algorithm>
#include <cerrno>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace quav {

namespace {

constexpr int kRunNiceness = 10;

// Lines arriving faster than this are shown in batches, so a run that accepts
// thousands of variants a second cannot flood the event loop.
constexpr int kDeliveryIntervalMs = 50;

} // namespace

void lowerThisThreadsPriority() {
    const auto self = static_cast<id_t>(gettid());
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, self);
    if (errno == 0)
        setpriority(PRIO_PROCESS, self, std::min(19, nice + kRunNiceness));
}

OptimizerRunControl::OptimizerRunControl(QObject* parent)
    : QObject(parent), runner_(saveModelFile) {
    deliveryTimer_.setSingleShot(true);
    connect(&deliveryTimer_, &QTimer::timeout, this, &OptimizerRunControl::deliverLines);
}

OptimizerRunControl::~OptimizerRunControl() {
    shutdown();
}

bool OptimizerRunControl::start(const Optimizer& optimizer, const AnalysisModel& model,
                                const std::string& documentTitle, int threads) {
    if (running_)
        return false;
    StudyRefusal refusal = checkStudy(optimizer, model);
    if (search_)
        refusal.settings += searchSettingsProblem(*search_, optimizer);
    if (!refusal.ok()) {
        messages.inform(
            QApplication::activeWindow(),
            QString::fromStdString(runStatusMessage(RunRefused) + "\n\n" + refusal.text()));
        return false;
    }
    runner_.wait(); // the last worker has reported its end; let it go before its copies
    if (!optimizer.outputDirectory.empty()) { // without one the run says so itself
        lock_.emplace(optimizer.outputDirectory);
        if (!lock_->held()) {
            messages.inform(QApplication::activeWindow(), QString::fromStdString(lock_->refusal()));
            lock_.reset();
            return false;
        }
    }
    ++run_;
    {
        std::lock_guard lock(mutex_);
        pending_.clear();
        wakePosted_ = false;
    }
    study_ = Study(std::make_unique<AnalysisModel>(model), optimizer);
    // As quav-cli optimize --search nsga2 runs it.
    if (search_)
        runner_.setMethod(
            [settings = *search_](Optimizer& o, const AnalysisModel& m, const RunOptions& options) {
                return runEvolutionarySearch(o, m, options, settings);
            });
    else
        runner_.setMethod({});
    outputDirectory_ = QString::fromStdString(optimizer.outputDirectory);
    threads_ = threads;
    lines_.clear();
    stopRequested_ = false;
    finalMilliseconds_ = -1;
    clock_.start();
    // The run's threads yield to the window's: they are started from a helper
    // thread that first lowers its own priority, which Linux keeps per thread
    // and hands down to the threads a thread creates. The window then answers
    // promptly while the run takes whatever the machine has left.
    Worker launcher;
    launcher.start([&](RunControl&) {
        lowerThisThreadsPriority();
        running_ = runner_.start(study_.optimizer, *study_.model, documentTitle, this, threads);
    });
    launcher.wait();
    if (!running_) {
        lock_.reset();
        // No thread for the run: say why rather than nothing.
        const std::string reason = launcher.failed() ? runStatusMessage(RunFailed) + "：" +
                                                           failureReason(launcher.failure())
                                                     : runner_.lastOutcome().message;
        if (!reason.empty())
            messages.inform(QApplication::activeWindow(), QString::fromStdString(reason));
    }
    return running_;
}

void OptimizerRunControl::stop() {
    if (!running_)
        return;
    stopRequested_ = true;
    runner_.stop();
}

void OptimizerRunControl::shutdown() {
    runner_.detachSink();
    runner_.shutdown();
    lock_.reset();
    ++run_;
    deliveryTimer_.stop();
    running_ = false;
}

double OptimizerRunControl::elapsedSeconds() const {
    if (!clock_.isValid())
        return 0.0;
    return (finalMilliseconds_ >= 0 ? finalMilliseconds_ : clock_.elapsed()) * 0.001;
}

void OptimizerRunControl::logLine(const std::string& line) {
    std::lock_guard lock(mutex_);
    pending_ << QString::fromStdString(line);
    if (!wakePosted_) {
        wakePosted_ = true;
        QMetaObject::invokeMethod(this, &OptimizerRunControl::deliverLines, Qt::QueuedConnection);
    }
}

void OptimizerRunControl::runFinished(const RunOutcome& outcome) {
    QMetaObject::invokeMethod(
        this, [this, run = run_, outcome] { endRun(run, outcome); }, Qt::QueuedConnection);
}

void OptimizerRunControl::deliverLines() {
    if (lastDelivery_.isValid() && lastDelivery_.elapsed() < kDeliveryIntervalMs) {
        if (!deliveryTimer_.isActive())
            deliveryTimer_.start(kDeliveryIntervalMs - int(lastDelivery_.elapsed()));
        return;
    }
    QStringList batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(pending_);
        wakePosted_ = false;
    }
    lastDelivery_.start();
    if (batch.isEmpty())
        return;
    lines_ << batch;
    if (lines_.size() > 2 * kKeptLines)
        lines_.erase(lines_.begin(), lines_.end() - kKeptLines);
    emit linesAdded(batch);
}

void OptimizerRunControl::endRun(int run, const RunOutcome& outcome) {
    if (run != run_)
        return; // shut down meanwhile
    runner_.wait();
    lock_.reset();
    deliveryTimer_.stop();
    lastDelivery_.invalidate();
    deliverLines(); // every line of the run comes before its end
    finalMilliseconds_ = clock_.elapsed();
    running_ = false;
    lastStatus_ = outcome.status;
    const QString message = QString::fromStdString(outcome.message);
    emit finished(outcome.status, message);
    messages.inform(QApplication::activeWindow(), message);
}

} // namespace quav
