#pragma once

#include <QDialog>

#include <string>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTimer;

namespace quav {

class AnalysisModel;
class Optimizer;
class OptimizerRunControl;

/// The calculation log (計算ログ): starts and stops the optimiser run, shows
/// its log live with its progress (variants done of all, matches, elapsed
/// and remaining time) and lets the user choose the number of threads.
/// Closing it leaves a run going on to finish its files; opened again while
/// that run goes on, it shows the run's log so far.
class CalculationLogDialog : public QDialog {
public:
    CalculationLogDialog(OptimizerRunControl& control, const Optimizer& optimizer,
                         const AnalysisModel& model, std::string documentTitle,
                         QWidget* parent = nullptr);

    /// "計算スタート": starts a run on the optimiser and model as they are now.
    void start();

private:
    void appendLines(const QStringList& lines);
    void runFinished(const QString& message);
    void showState();
    void showProgress();

    OptimizerRunControl& control_;
    const Optimizer& optimizer_;
    const AnalysisModel& model_;
    std::string documentTitle_;
    bool showsRun_ = false; // a run was started here or was going on at opening
    QPushButton* start_;
    QPushButton* stop_;
    QSpinBox* threads_;
    QLabel* directory_;
    QPlainTextEdit* log_;
    QProgressBar* progress_;
    QLabel* processed_;
    QLabel* matches_;
    QLabel* elapsed_;
    QLabel* remaining_;
    QLabel* status_;
    QTimer* timer_;
};

} // namespace quav
