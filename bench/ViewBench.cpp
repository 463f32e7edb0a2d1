// Frames per second of the 3-D view at 1280 x 1024: the plain model, the model
// turning (presentation mode, a drag: every frame drawn whole) and an animated
// mode shape, for the example and for a model of 1,000 springs, 100 loads and
// 100 observation points. Needs an X server with GL; run it under
//   xvfb-run -a -s "-screen 0 1280x1024x24" ./build/bench/quav_view_bench
// A frame is the whole paint the user waits for: scene, GL picture, texts and
// the window's composition, finished on the GPU (or on Mesa's llvmpipe).
#include "analysis/CalculationDriver.h"
#include "document/ModelFile.h"
#include "model/AnalysisModel.h"
#include "view/CQUAVView.h"
#include "view/ViewControl.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMouseEvent>

#include <cmath>
#include <ctime>
#include <memory>

using namespace quav;

namespace {

std::unique_ptr<AnalysisModel> exampleModel() {
    StudyRead read = loadModelFile(QUAV_EXAMPLES "/power_unit.quav");
    if (!read.ok())
        return nullptr;
    return std::move(read.model);
}

/// The example's body on a ring of 1,000 mounts of one size, with 50 static and
/// 50 dynamic loads in many directions and 100 observation points, all within
/// the body's outline so that Fit shows every one of them.
std::unique_ptr<AnalysisModel> largeModel() {
    auto m = exampleModel();
    if (!m)
        return nullptr;
    m->springs.clear();
    m->staticLoads.clear();
    m->dynamicLoads.clear();
    m->observationPoints.clear();
    const double turn = 6.283184;
    for (int i = 0; i < 1000; ++i) {
        const double a = turn * i / 1000.0;
        m->addSpring("mount",
                     Matrix::vector({0.3 * std::cos(a), 0.25 * std::sin(a), (i % 5) * 0.02}),
                     Matrix::vector({0, -90.0 + (i % 40), (i % 36) * 10.0}), 0.06f);
        m->springs.back().selected = 1;
    }
    m->assignCharacteristic("mount", Matrix::vector({2e5, 5e4, 5e4}), 1.3,
                            Matrix::vector({100, 50, 50}));
    for (int i = 0; i < 100; ++i) {
        const double a = turn * i / 100.0;
        const Matrix at = Matrix::vector({0.15 * std::cos(a), 0.15 * std::sin(a), 0.2});
        const Matrix along = Matrix::vector({std::cos(3 * a), std::sin(3 * a), 0.5});
        if (i % 2 == 0)
            m->addStaticLoad("static", 100.0, at, along, i % 4 == 0 ? Translational : Moment);
        else
            m->addDynamicLoad("dynamic", 50.0, at, along, Translational, 10.0 + i);
        m->addObservationPoint("point",
                               Matrix::vector({0.25 * std::cos(a), 0.2 * std::sin(a), 0.35}));
    }
    m->setFrequencyRange(20.0, 1.0, 1.0);
    return m;
}

double processCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

/// The view of one model in a window of 1280 x 1024.
struct Stage {
    std::unique_ptr<AnalysisModel> model;
    DisplayState state;
    std::unique_ptr<CQUAVView> view;
    ViewCamera fitted; ///< every case starts from the view Fit gives

    explicit Stage(std::unique_ptr<AnalysisModel> m) : model(std::move(m)) {
        if (!model)
            return;
        runCalculation(*model, CalculationConditions{});
        view = std::make_unique<CQUAVView>([this] { return model.get(); }, state,
                                           [] { return SelectionMode::None; });
        view->setWindowFlag(Qt::FramelessWindowHint);
        view->setGeometry(0, 0, 1280, 1024);
        view->show();
        for (int i = 0; i < 20 && !view->isVisible(); ++i)
            QApplication::processEvents();
        QApplication::processEvents();
        view->fit();
        fitted = view->camera();
    }

    /// One frame: the paint reads the picture back, so it is finished when the
    /// paint returns; the window then goes to the X server.
    void frame() {
        view->repaint();
        QApplication::sync();
    }
};

enum class Motion { None, Turn, Animate };

void runFrames(benchmark::State& bs, Stage& stage, Motion motion, const char* name) {
    if (!stage.view) {
        bs.SkipWithError("example model not readable");
        return;
    }
    stage.state = DisplayState{};
    stage.view->camera() = stage.fitted;
    if (motion == Motion::Animate)
        stage.state.showMode(1);   // the lowest mode
    stage.state.animating = false; // the benchmark steps the animation itself
    stage.frame();
    // The frame measured, for a person to look at.
    const QString shots = qEnvironmentVariable("QUAV_SCREENSHOTS");
    if (!shots.isEmpty())
        stage.view->grabView().save(shots + "/" + name + ".png");
    const double cpuBefore = processCpuMs();
    for (auto _ : bs) {
        if (motion == Motion::Animate)
            animationStep(stage.state);
        else if (motion == Motion::Turn)
            presentationTick(stage.view->camera());
        stage.frame();
    }
    bs.counters["fps"] =
        benchmark::Counter(static_cast<double>(bs.iterations()), benchmark::Counter::kIsRate);
    // CPU of every thread (the software renderer's too) per frame: on a machine
    // shared with other work this says more than the wall-clock rate.
    bs.counters["cpu_ms"] = (processCpuMs() - cpuBefore) / static_cast<double>(bs.iterations());
    bs.counters["springs"] = static_cast<double>(stage.model->springs.size());
}

// Made when first measured, gone before the application object.
std::unique_ptr<Stage> exampleStage, largeStage;

Stage& example() {
    if (!exampleStage)
        exampleStage = std::make_unique<Stage>(exampleModel());
    return *exampleStage;
}

Stage& large() {
    if (!largeStage)
        largeStage = std::make_unique<Stage>(largeModel());
    return *largeStage;
}

void BM_ExampleModel(benchmark::State& bs) {
    runFrames(bs, example(), Motion::None, "bench-example");
}
void BM_ExampleTurning(benchmark::State& bs) {
    runFrames(bs, example(), Motion::Turn, "bench-example-turning");
}
void BM_ExampleModeAnimation(benchmark::State& bs) {
    runFrames(bs, example(), Motion::Animate, "bench-example-mode");
}
void BM_LargeModel(benchmark::State& bs) {
    runFrames(bs, large(), Motion::None, "bench-large");
}
void BM_LargeTurning(benchmark::State& bs) {
    runFrames(bs, large(), Motion::Turn, "bench-large-turning");
}
void BM_LargeModeAnimation(benchmark::State& bs) {
    runFrames(bs, large(), Motion::Animate, "bench-large-mode");
}

/// A click in the middle of the large model: the selection render and the hit.
void BM_LargePick(benchmark::State& bs) {
    Stage& stage = large();
    if (!stage.view) {
        bs.SkipWithError("example model not readable");
        return;
    }
    stage.state = DisplayState{};
    const QPointF middle(640, 512);
    for (auto _ : bs) {
        QMouseEvent press(QEvent::MouseButtonPress, middle, stage.view->mapToGlobal(middle),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(stage.view.get(), &press);
        QMouseEvent release(QEvent::MouseButtonRelease, middle, stage.view->mapToGlobal(middle),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(stage.view.get(), &release);
    }
}

BENCHMARK(BM_ExampleModel)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_ExampleTurning)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_ExampleModeAnimation)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_LargeModel)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_LargeTurning)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_LargeModeAnimation)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_LargePick)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("Noto Sans CJK JP")));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    exampleStage.reset();
    largeStage.reset();
    return 0;
}
