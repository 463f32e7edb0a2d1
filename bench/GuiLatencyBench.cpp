// How the desktop application answers while the optimiser runs: the calculation
// log dialog shows a run of 32^4 = 1,048,576 variants of the study model while
// a 10 ms timer measures how late the event loop serves it and the dialog is
// repainted every 100 ms, as a user's clicks and the progress display need.

#include "BenchModels.h"
#include "dialogs/CalculationLogDialog.h"
#include "dialogs/OptimizerRunControl.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace {

using namespace quav;

QApplication& application() {
    static int argc = 1;
    static char name[] = "quav_gui_bench";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}

double percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

/// range(0): threads of the run, 0 for no run at all (the idle baseline).
void BM_LogDialogDuringRun(benchmark::State& state) {
    QApplication& app = application();
    AnalysisModel model = bench::studyModel();
    const auto dir =
        std::filesystem::temp_directory_path() / ("quav-gui-bench-" + std::to_string(::getpid()));
    std::vector<double> lateness, repaint;
    double variantsPerSecond = 0.0;
    for (auto _ : state) {
        Optimizer optimizer = bench::studyOptimizer(32);
        std::filesystem::remove_all(dir);
        prepareOutputDirectory(optimizer, dir.parent_path().string(), dir.filename().string());
        OptimizerRunControl control;
        control.messages.inform = [](QWidget*, const QString&) {};
        CalculationLogDialog dialog(control, optimizer, model, "bench");
        dialog.show();

        QElapsedTimer tick;
        QTimer probe;
        probe.setInterval(10);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            if (tick.isValid())
                lateness.push_back(std::max(0.0, tick.nsecsElapsed() * 1e-6 - 10.0));
            tick.start();
        });
        QTimer paint;
        paint.setInterval(100);
        QObject::connect(&paint, &QTimer::timeout, [&] {
            QElapsedTimer t;
            t.start();
            dialog.grab();
            repaint.push_back(t.nsecsElapsed() * 1e-6);
        });
        probe.start();
        paint.start();
        const int threads = static_cast<int>(state.range(0));
        if (threads > 0) {
            dialog.findChild<QObject*>("threads")->setProperty("value", threads);
            QObject::connect(&control, &OptimizerRunControl::finished, &app, &QApplication::quit);
            dialog.start();
        } else {
            QTimer::singleShot(2000, &app, &QApplication::quit);
        }
        app.exec();
        if (threads > 0)
            variantsPerSecond =
                static_cast<double>(control.counters().processed.load()) / control.elapsedSeconds();
    }
    std::filesystem::remove_all(dir);
    state.counters["late_p50_ms"] = percentile(lateness, 0.5);
    state.counters["late_p99_ms"] = percentile(lateness, 0.99);
    state.counters["late_max_ms"] = percentile(lateness, 1.0);
    state.counters["repaint_p99_ms"] = percentile(repaint, 0.99);
    state.counters["repaint_max_ms"] = percentile(repaint, 1.0);
    state.counters["variants/s"] = variantsPerSecond;
}
BENCHMARK(BM_LogDialogDuringRun)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->ArgName("threads")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
