#include "cli/AnalysisCommands.h"

#include "analysis/CalculationDriver.h"
#include "analysis/EigenAnalysis.h"
#include "analysis/KineticEnergy.h"
#include "analysis/MountForces.h"
#include "analysis/OwnFrequencyModes.h"
#include "analysis/Sensitivity.h"
#include "analysis/TorqueRollAxis.h"
#include "cli/CommandOutput.h"
#include "cli/Progress.h"
#include "exchange/AnalysisJson.h"
#include "exchange/CsvTables.h"
#include "exchange/MountForcesJson.h"
#include "model/TextFormat.h"
#include "model/Worker.h"
#include "reports/MountReports.h"
#include "reports/SensitivityReport.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <thread>
#include <unistd.h>
#include <unordered_set>

namespace quav {

namespace {

enum : int { ExitOk = 0, ExitRunError = 1, ExitInputError = 2 };

/// Checked by main()'s finishOutput, like every command's output.
int writeText(const std::string& text) {
    writeOut(text);
    return ExitOk;
}

/// The reasons the analysis cannot run, on stderr; true when it can.
bool accepted(const AnalysisModel& model) {
    const std::string reasons = analysisRefusal(model);
    std::cerr << reasons;
    return reasons.empty();
}

int usageError(const std::string& text) {
    std::cerr << "quav-cli: " << text << "\n";
    return ExitInputError;
}

/// "x", "y", "z" or three comma-separated numbers.
std::optional<Direction> parseAxis(const std::string& text) {
    if (text == "x")
        return Direction{1, 0, 0};
    if (text == "y")
        return Direction{0, 1, 0};
    if (text == "z")
        return Direction{0, 0, 1};
    Direction d{};
    const char* p = text.c_str();
    for (int i = 0; i < 3; ++i) {
        char* end = nullptr;
        d[i] = std::strtod(p, &end);
        if (end == p || !std::isfinite(d[i]))
            return std::nullopt;
        p = end;
        if (i < 2 && *p++ != ',')
            return std::nullopt;
    }
    if (*p != '\0')
        return std::nullopt;
    return d;
}

} // namespace

int kedCommand(const AnalysisModel& model, const std::string& frameName, TableFormat format) {
    const EnergyFrame frame =
        frameName == "principal" ? EnergyFrame::Principal : EnergyFrame::Global;
    if (frameName != "global" && frameName != "principal")
        return usageError("--frame must be global or principal");
    if (!accepted(model))
        return ExitRunError;
    const EnergyDistribution ked =
        kineticEnergyDistribution(model, solveModesAtOwnFrequencies(model).modes, frame);
    if (format == TableFormat::Csv)
        return writeText(energyDistributionCsv(ked));
    if (format == TableFormat::Text)
        return writeText(energyDistributionReport(ked));
    return writeText(energyDistributionJson(ked));
}

int traCommand(const AnalysisModel& model, const std::string& axisText, TableFormat format) {
    Direction axis = defaultTorqueAxis(model);
    if (!axisText.empty()) {
        const std::optional<Direction> parsed = parseAxis(axisText);
        if (!parsed)
            return usageError("--axis must be x, y, z or three numbers ax,ay,az");
        axis = *parsed;
    }
    if (const std::string problem = torqueDirectionProblem(model, axis, axisText.empty());
        !problem.empty())
        return usageError(axisText.empty() ? problem + " (--axis gives a direction)"
                                           : "--axis: the torque direction is zero");
    if (!accepted(model))
        return ExitRunError;
    const TorqueRollAxis tra = torqueRollAxis(model, solveModesAtOwnFrequencies(model).modes, axis);
    if (format == TableFormat::Csv)
        return writeText(torqueRollAxisCsv(tra));
    if (format == TableFormat::Text)
        return writeText(torqueRollAxisReport(tra));
    return writeText(torqueRollAxisJson(tra));
}

int forcesCommand(const AnalysisModel& model, std::optional<double> frequency, TableFormat format) {
    if (frequency && !(*frequency > 0.0 && std::isfinite(*frequency)))
        return usageError("--frequency must be a frequency > 0 [Hz]");
    if (!accepted(model))
        return ExitRunError;
    // Load by load into the output, so that memory stays one load's whatever the
    // number of loads; main() reports a failed write or a lack of memory.
    const MountForceLoads loads(model, frequency.value_or(0.0));
    if (format == TableFormat::Csv)
        writeMountForcesCsv(loads, writeOut);
    else if (format == TableFormat::Json)
        writeMountForcesJson(loads, writeOut);
    else
        writeMountForcesReport(model, loads, writeOut);
    return ExitOk;
}

int transmissibilityCommand(const AnalysisModel& model, int load, bool json) {
    const int count = static_cast<int>(model.dynamicLoads.size());
    if (load < 1 || load > count)
        return usageError("--load must be between 1 and " + std::to_string(count) +
                          " (the model's dynamic loads)");
    const DynamicLoad& l = model.dynamicLoads[static_cast<std::size_t>(load - 1)];
    if (l.type == Moment)
        return usageError("load " + std::to_string(load) +
                          " is a moment: a moment has no force transmissibility");
    if (!hasForceTransmissibility(l))
        return usageError("load " + std::to_string(load) + " applies no force");
    if (!accepted(model))
        return ExitRunError;
    // One load's curve is printed, not kept in a model file: only the step limit holds.
    const SweepPlan plan = planSweep(model, 1);
    if (plan.error != CalculationError::None) {
        std::cerr << describeSweepRefusal(plan);
        return ExitRunError;
    }
    const std::vector<TransmissibilityPoint> curve = transmissibility(model, load - 1);
    if (json)
        return writeText(transmissibilityJson(load, curve));
    return writeText(transmissibilityCsv(curve));
}

int robustCommand(const AnalysisModel& model, const Optimizer& optimizer,
                  RobustnessSettings settings, const std::string& distribution, bool json,
                  const std::atomic<int>& interrupted) {
    if (distribution != "uniform" && distribution != "normal")
        return usageError("--distribution must be uniform or normal");
    settings.distribution =
        distribution == "normal" ? ToleranceDistribution::Normal : ToleranceDistribution::Uniform;
    // At 100 % or more a rate could reach zero or turn negative.
    if (!(settings.tolerancePct >= 0.0 && settings.tolerancePct < 100.0))
        return usageError("--tolerance must be at least 0 and below 100 [%]");
    if (!(settings.positionTolerance >= 0.0 && std::isfinite(settings.positionTolerance)))
        return usageError("--position-tolerance must be at least 0 [m]");
    if (settings.samples < 1)
        return usageError("--samples must be at least 1");
    if (!accepted(model))
        return ExitRunError;

    RobustnessResult result;
    const FrequencyWindow window = optimizer.conditions.frequencyWindow();
    Worker worker;
    worker.start(
        [&](RunControl& control) { result = robustness(model, settings, window, control); });
    ProgressDisplay progress(stderr, isatty(fileno(stderr)) != 0);
    const auto start = std::chrono::steady_clock::now();
    bool shown = false;
    worker.waitPolling(std::chrono::milliseconds(10), [&] {
        if (interrupted.load() && !worker.control().stop.load()) {
            worker.requestStop();
            if (shown)
                progress.note("中止しています...");
        }
        // Short runs print nothing but their result.
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(1)) {
            progress.update(worker.done(), settings.samples);
            shown = true;
        }
    });
    if (worker.failed())
        result.error = interruptedCalculationText(worker.failure());
    if (shown)
        progress.finish(result.samples, result.requested);

    writeText(json ? robustnessJson(settings, result) : robustnessReport(settings, result));
    if (!result.error.empty()) {
        std::cerr << "quav-cli: " << result.error << "\n";
        return ExitRunError;
    }
    if (!result.completed) {
        std::cerr << "処理が中断されました\n";
        return ExitInputError;
    }
    return ExitOk;
}

namespace {

/// The first id of `ids` that none of `objects` has, or none.
template <class Element>
std::optional<int> missingId(const std::vector<Element>& objects, const std::vector<int>& ids) {
    std::unordered_set<int> present;
    for (const Element& e : objects)
        present.insert(e.id);
    for (int id : ids)
        if (!present.count(id))
            return id;
    return std::nullopt;
}

} // namespace

int sensCommand(const AnalysisModel& model, const SensitivityRequest& request, TableFormat format) {
    const bool json = format == TableFormat::Json;
    ParameterChoice choice;
    if (!request.kinds.empty()) {
        choice.rates = choice.positions = choice.angles = false;
        for (const std::string& kind : request.kinds) {
            if (kind == "rates")
                choice.rates = true;
            else if (kind == "positions")
                choice.positions = true;
            else if (kind == "angles")
                choice.angles = true;
            else
                return usageError("--params: unknown kind " + kind +
                                  " (rates, positions or angles)");
        }
    }
    if (const double* p = request.tolerancePct ? &*request.tolerancePct : nullptr;
        p && !(*p >= 0.0 && *p < 100.0))
        return usageError("--tolerance must be at least 0 and below 100 [%]");
    if (const double* p = request.positionTolerance ? &*request.positionTolerance : nullptr;
        p && !(*p >= 0.0 && std::isfinite(*p)))
        return usageError("--position-tolerance must be at least 0 [m]");
    if (const auto id = missingId(model.springs, request.springs))
        return usageError("--springs: no spring has id " + std::to_string(*id));
    if (const auto id = missingId(model.springCharacteristics, request.characteristics))
        return usageError("--characteristics: no spring characteristic has id " +
                          std::to_string(*id));
    choice.springs = request.springs;
    choice.characteristics = request.characteristics;
    if (!accepted(model))
        return ExitRunError;
    const std::vector<SensitivityParameter> parameters = sensitivityParameters(model, choice);
    if (parameters.empty())
        return usageError("no parameter is left: the kinds of --params do not belong to the "
                          "springs or characteristics named");

    // Progress counts the springs worked through and then the rows written.
    const std::int64_t rows =
        static_cast<std::int64_t>(parameters.size()) *
            (json ? 2 * (2 + static_cast<std::int64_t>(model.staticLoads.size())) + 1 : 2) +
        (json ? 0 : 3 + (request.tolerancePct || request.positionTolerance));
    const std::int64_t total = sensitivityWork(model) + rows;
    ProgressDisplay progress(stderr, isatty(fileno(stderr)) != 0);
    const auto start = std::chrono::steady_clock::now();
    bool shown = false;
    std::atomic<std::int64_t> done{0};
    auto show = [&] {
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(1)) {
            progress.update(done.load(), total);
            shown = true;
        }
    };

    const bool spread = request.tolerancePct || request.positionTolerance;
    Sensitivities result;
    std::array<double, 6> sigma{};
    int unconverged = 0;
    Worker worker;
    worker.start([&](RunControl&) {
        // With frequency tables each mode is differentiated at its own frequency.
        const OwnFrequencyModes modes = solveModesAtOwnFrequencies(model);
        unconverged = modes.unconvergedMode;
        if (unconverged == 0) {
            result = sensitivities(model, modes.modes, parameters, &done);
            if (spread)
                sigma = frequencySpread(model, modes.modes, request.tolerancePct.value_or(0.0),
                                        request.positionTolerance.value_or(0.0));
        }
    });
    worker.waitPolling(std::chrono::milliseconds(10), show);
    if (worker.failed()) {
        if (shown)
            progress.finish(done.load(), total);
        std::cerr << "quav-cli: " << interruptedCalculationText(worker.failure()) << "\n";
        return ExitRunError;
    }
    if (unconverged != 0) {
        std::cerr << unconvergedModeText(unconverged);
        return ExitRunError;
    }
    for (const std::string& note : result.notes)
        std::cerr << note << "\n";

    const std::function<void()> row = [&] {
        done.fetch_add(1, std::memory_order_relaxed);
        show();
    };
    if (json) {
        writeSensitivityJson(result, spread ? &sigma : nullptr, writeOut, row);
    } else {
        // The table's own tab-separated rows, or the same rows as CSV.
        TabsToCsv csv(writeOut);
        const TextSink out = format == TableFormat::Csv ? TextSink(std::ref(csv)) : writeOut;
        writeSensitivityTable(model, result, spread ? &sigma : nullptr,
                              [&](std::string_view piece) {
                                  for (char c : piece)
                                      if (c == '\n')
                                          row();
                                  return out(piece);
                              });
        csv.finish();
    }
    if (shown)
        progress.finish(total, total);
    return ExitOk;
}

} // namespace quav
