#pragma once

#include "dialogs/MessageBoxes.h"
#include "optimizer/EvolutionarySearch.h"
#include "optimizer/OptimizerRun.h"
#include "optimizer/Study.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <mutex>
#include <optional>

namespace quav {

/// Lowers the calling thread's priority below the window's; the threads it
/// starts afterwards inherit it (Linux keeps the priority per thread). Long
/// work started this way leaves the window answering promptly.
void lowerThisThreadsPriority();

/// The optimiser run of the desktop application: one run at a time on a
/// worker thread, on copies of the model and the optimiser taken when it
/// starts, so the document may change once the log dialog has closed while
/// the run finishes its files. The run's threads have a lower priority than
/// the window's. Log lines and the end of the run reach the GUI thread
/// through queued calls only; destroying the control stops the run and waits
/// for it.
class OptimizerRunControl : public QObject, private OptimizerSink {
    Q_OBJECT

public:
    /// The log window keeps at most this many of the latest lines (log.txt
    /// keeps them all).
    static constexpr int kKeptLines = 200000;

    explicit OptimizerRunControl(QObject* parent = nullptr);
    ~OptimizerRunControl() override;

    /// Starts a run on copies of `optimizer` (its output directory included)
    /// and `model`; false while a run goes on, and (said in a message box) when
    /// another run, of this program or another, uses the output directory.
    bool start(const Optimizer& optimizer, const AnalysisModel& model,
               const std::string& documentTitle, int threads);
    /// How the runs started from now on search: the evolutionary search with
    /// these settings, or (none) every combination of the grid. Checked as
    /// quav-cli checks it when a run starts.
    void setSearch(std::optional<SearchSettings> search) { search_ = search; }
    const std::optional<SearchSettings>& search() const { return search_; }
    /// Asks the run to stop after the variant in hand.
    void stop();
    /// Stops the run and waits for it; no signal follows. For quitting.
    void shutdown();

    /// True from `start` until `finished` has been emitted.
    bool isRunning() const { return running_; }
    bool stopRequested() const { return stopRequested_; }
    const RunCounters& counters() const { return runner_.counters(); }
    double elapsedSeconds() const;
    QString outputDirectory() const { return outputDirectory_; }
    int threads() const { return threads_; }
    /// The lines of the current (or last) run delivered so far.
    const QStringList& lines() const { return lines_; }
    /// Whether the current (or last) run has objectives, and so writes a front.
    bool runHasObjectives() const { return !study_.optimizer.objectives.empty(); }
    /// The status of the last run that has ended; -1 before any.
    int lastStatus() const { return lastStatus_; }

    /// Shows the run's closing message and why a run cannot start.
    MessageBoxes messages;

signals:
    /// New log lines, in order (GUI thread).
    void linesAdded(const QStringList& lines);
    /// The run has ended: its status and the message for the user.
    void finished(int status, const QString& message);

private:
    // OptimizerSink, called on the worker thread.
    void logLine(const std::string& line) override;
    void runFinished(const RunOutcome& outcome) override;

    void deliverLines();
    void endRun(int run, const RunOutcome& outcome);

    OptimizerRunner runner_;
    std::optional<RunDirectoryLock> lock_; // the output directory's, while a run writes there
    /// The run's own copy of the study, which the worker reads and updates.
    Study study_;
    bool running_ = false;
    /// Numbers the runs, so the end of one that was shut down is not taken
    /// for the end of the next. Written only while no worker runs.
    int run_ = 0;
    bool stopRequested_ = false;
    int lastStatus_ = -1;
    std::optional<SearchSettings> search_;
    int threads_ = 0;
    QString outputDirectory_;
    QElapsedTimer clock_;
    qint64 finalMilliseconds_ = -1;
    QStringList lines_;
    QTimer deliveryTimer_;
    QElapsedTimer lastDelivery_;

    std::mutex mutex_; // guards pending_ and wakePosted_
    QStringList pending_;
    bool wakePosted_ = false;
};

} // namespace quav
