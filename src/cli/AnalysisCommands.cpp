#include "cli/AnalysisCommands.h"

#include "analysis/CalculationDriver.h"
#include "analysis/EigenAnalysis.h"
#include "analysis/KineticEnergy.h"
#include "analysis/MountForces.h"
#include "analysis/OwnFrequencyModes.h"
#include "analysis/TorqueRollAxis.h"
#include "cli/CommandOutput.h"
#include "cli/Progress.h"
#include "model/TextFormat.h"
#include "reports/MountReports.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <thread>
#include <unistd.h>

namespace quav {

namespace {

using Json = nlohmann::ordered_json;

enum : int { ExitOk = 0, ExitRunError = 1, ExitInputError = 2 };

/// Checked by main()'s finishOutput, like every command's output.
int writeJson(const Json& j) {
    writeOut(j.dump(2) + "\n");
    return ExitOk;
}

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

/// A number as JSON: null when it is not finite, so nothing reads it as a value.
Json number(double x) {
    return std::isfinite(x) ? Json(x) : Json(nullptr);
}

template <class Array> Json numbers(const Array& values) {
    Json j = Json::array();
    for (double x : values)
        j.push_back(number(x));
    return j;
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

Json spreadJson(const Spread& s) {
    return Json{{"nominal", number(s.nominal)},
                {"min", number(s.min)},
                {"max", number(s.max)},
                {"mean", number(s.mean)},
                {"std", number(s.std)}};
}

} // namespace

int kedCommand(const AnalysisModel& model, const std::string& frameName, bool json) {
    const EnergyFrame frame =
        frameName == "principal" ? EnergyFrame::Principal : EnergyFrame::Global;
    if (frameName != "global" && frameName != "principal")
        return usageError("--frame must be global or principal");
    if (!accepted(model))
        return ExitRunError;
    const EnergyDistribution ked =
        kineticEnergyDistribution(model, solveModesAtOwnFrequencies(model).modes, frame);
    if (!json)
        return writeText(energyDistributionReport(ked));
    Json modes = Json::array();
    for (const ModeEnergy& m : ked.modes)
        modes.push_back({{"mode", m.mode},
                         {"frequency", number(m.frequency)},
                         {"energy", numbers(m.energy)},
                         {"dominant", std::isfinite(m.decoupling) ? Json(kDofNames[m.dominant])
                                                                  : Json(nullptr)},
                         {"decoupling", number(m.decoupling)}});
    return writeJson({{"frame", frameName}, {"modes", modes}});
}

int traCommand(const AnalysisModel& model, const std::string& axisText, bool json) {
    Direction axis = defaultTorqueAxis(model);
    if (!axisText.empty()) {
        const std::optional<Direction> parsed = parseAxis(axisText);
        if (!parsed)
            return usageError("--axis must be x, y, z or three numbers ax,ay,az");
        axis = *parsed;
    }
    if (axis[0] == 0.0 && axis[1] == 0.0 && axis[2] == 0.0)
        return usageError("--axis: the torque direction is zero");
    if (!accepted(model))
        return ExitRunError;
    const TorqueRollAxis tra = torqueRollAxis(model, solveModesAtOwnFrequencies(model).modes, axis);
    if (!json)
        return writeText(torqueRollAxisReport(tra));
    Json modes = Json::array();
    for (const ModeRoll& m : tra.modes)
        modes.push_back({{"mode", m.mode},
                         {"frequency", number(m.frequency)},
                         {"angleDeg", m.angleDeg ? number(*m.angleDeg) : Json(nullptr)},
                         {"rollEnergy", number(m.rollEnergy)}});
    return writeJson({{"axis", numbers(tra.axis)},
                      {"tra", numbers(tra.tra)},
                      {"traToAxisDeg", number(tra.traToAxisDeg)},
                      {"modes", modes}});
}

int forcesCommand(const AnalysisModel& model, std::optional<double> frequency, bool json) {
    if (frequency && !(*frequency > 0.0 && std::isfinite(*frequency)))
        return usageError("--frequency must be a frequency > 0 [Hz]");
    if (!accepted(model))
        return ExitRunError;
    const MountForces forces = mountForces(model, frequency.value_or(0.0));
    if (!json)
        return writeText(mountForcesReport(model, forces));
    Json statics = Json::array();
    for (const StaticLoadForces& load : forces.staticLoads) {
        Json springs = Json::array();
        for (const StaticSpringForce& f : load.springs)
            springs.push_back(
                {{"id", f.id}, {"local", numbers(f.local)}, {"global", numbers(f.global)}});
        statics.push_back({{"load", load.load}, {"springs", springs}});
    }
    Json dynamics = Json::array();
    for (const DynamicLoadForces& load : forces.dynamicLoads) {
        Json springs = Json::array();
        for (const DynamicSpringForce& f : load.springs)
            springs.push_back(
                {{"id", f.id}, {"amplitude", numbers(f.amplitude)}, {"phase", numbers(f.phase)}});
        dynamics.push_back(
            {{"load", load.load}, {"frequency", number(load.frequency)}, {"springs", springs}});
    }
    return writeJson({{"static", statics}, {"dynamic", dynamics}});
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
    const SweepPlan plan = planSweep(model);
    if (plan.error != CalculationError::None) {
        CalculationOutcome outcome;
        outcome.status = 1;
        outcome.error = plan.error;
        outcome.sweepSteps = plan.steps;
        std::cerr << describeCalculationFailure(outcome);
        return ExitRunError;
    }
    const std::vector<TransmissibilityPoint> curve = transmissibility(model, load - 1);
    if (json) {
        Json steps = Json::array();
        for (const auto& p : curve)
            steps.push_back({{"frequency", number(p.frequency)},
                             {"transmissibility", number(p.transmissibility)},
                             {"isolationPercent", number(p.isolationPct)}});
        return writeJson({{"load", load}, {"steps", steps}});
    }
    // A value that is not a number (an undamped resonance) is an empty field.
    auto field = [](std::string& out, double x, char end) {
        if (std::isfinite(x))
            appendFormat(out, "%.17g", x);
        out += end;
    };
    std::string out = "frequency,transmissibility,isolation_percent\n";
    for (const auto& p : curve) {
        field(out, p.frequency, ',');
        field(out, p.transmissibility, ',');
        field(out, p.isolationPct, '\n');
    }
    return writeText(out);
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

    RunControl control;
    RobustnessResult result;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        result = robustness(model, settings, optimizer.conditions.frequencyWindow(), control);
        finished.store(true);
    });
    ProgressDisplay progress(stderr, isatty(fileno(stderr)) != 0);
    const auto start = std::chrono::steady_clock::now();
    bool shown = false;
    while (!finished.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (interrupted.load() && !control.stop.load()) {
            control.stop.store(true);
            if (shown)
                progress.note("中止しています...");
        }
        // Short runs print nothing but their result.
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(1)) {
            progress.update(control.done.load(), settings.samples);
            shown = true;
        }
    }
    worker.join();
    if (shown)
        progress.finish(result.samples, result.requested);

    if (json) {
        Json modes = Json::array();
        for (const ModeSpread& m : result.modes)
            modes.push_back({{"mode", m.mode},
                             {"frequency", spreadJson(m.frequency)},
                             {"decoupling", spreadJson(m.decoupling)}});
        Json out{{"samples", result.samples},
                 {"requested", result.requested},
                 {"completed", result.completed},
                 {"modes", modes},
                 {"windowShare", result.windowShare ? number(*result.windowShare) : Json(nullptr)}};
        if (result.unconverged > 0)
            out["unconverged"] = result.unconverged;
        writeJson(out);
    } else {
        writeText(robustnessReport(settings, result));
    }
    if (!result.completed) {
        std::cerr << "処理が中断されました\n";
        return ExitInputError;
    }
    return ExitOk;
}

} // namespace quav
