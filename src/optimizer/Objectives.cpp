#include "optimizer/Objectives.h"

#include "analysis/EigenAnalysis.h"
#include "analysis/KineticEnergy.h"
#include "analysis/ModeMetrics.h"
#include "analysis/MountForces.h"
#include "analysis/PointMotion.h"
#include "model/TextFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace quav {

namespace {

constexpr std::string_view kKindKeys[] = {"decouplingMin", "meanCoupling", "frequency",
                                          "transmissibility", "staticDisplacement"};

/// How many numbers follow the kind on the command line.
int numberCount(ObjectiveKind kind) {
    switch (kind) {
    case ObjectiveKind::Frequency:
    case ObjectiveKind::Transmissibility:
        return 1;
    case ObjectiveKind::StaticDisplacement:
        return 2;
    default:
        return 0;
    }
}

bool parseInt(std::string_view text, int& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

/// The displacement of one object under the static result row `row`, as the
/// displacement conditions take it: a spring's or an observation point's
/// position carried from the CoG, the CoG itself for the mass element.
double objectDisplacement(const AnalysisModel& m, int row, int object) {
    Matrix e(6, 1);
    for (int j = 0; j < 6; ++j)
        e[j] = m.staticResults(row, j);
    for (const auto& s : m.springs)
        if (s.id == object)
            return absoluteDisplacement(pointTransfer(e, m.centreOfGravity, s.position));
    for (const auto& p : m.observationPoints)
        if (p.id == object)
            return absoluteDisplacement(pointTransfer(e, m.centreOfGravity, p.position));
    if (object == 1)
        return absoluteDisplacement(e);
    return std::numeric_limits<double>::quiet_NaN();
}

int staticRow(const AnalysisModel& m, int loadId) {
    for (std::size_t i = 0; i < m.staticLoads.size(); ++i)
        if (m.staticLoads[i].id == loadId)
            return static_cast<int>(i);
    return -1;
}

} // namespace

std::string_view objectiveKindKey(ObjectiveKind kind) {
    return kKindKeys[static_cast<int>(kind)];
}

std::optional<ObjectiveKind> objectiveKindFromKey(std::string_view key) {
    for (int i = 0; i < static_cast<int>(std::size(kKindKeys)); ++i)
        if (kKindKeys[i] == key)
            return static_cast<ObjectiveKind>(i);
    return std::nullopt;
}

std::string objectiveName(const Objective& o) {
    std::string name(objectiveKindKey(o.kind));
    switch (o.kind) {
    case ObjectiveKind::Frequency:
        return name + ":" + std::to_string(o.mode);
    case ObjectiveKind::Transmissibility:
        return name + ":" + std::to_string(o.load);
    case ObjectiveKind::StaticDisplacement:
        return name + ":" + std::to_string(o.object) + ":" + std::to_string(o.load);
    default:
        return name;
    }
}

std::vector<bool> objectiveSenses(const std::vector<Objective>& objectives) {
    std::vector<bool> senses;
    for (const Objective& o : objectives)
        senses.push_back(o.maximise);
    return senses;
}

std::vector<std::string> objectiveNames(const std::vector<Objective>& objectives) {
    std::vector<std::string> names;
    for (const Objective& o : objectives)
        names.push_back(objectiveName(o));
    return names;
}

const char* objectiveUnit(ObjectiveKind kind) {
    switch (kind) {
    case ObjectiveKind::DecouplingMin:
    case ObjectiveKind::MeanCoupling:
        return "[%]";
    case ObjectiveKind::Frequency:
        return "[Hz]";
    case ObjectiveKind::Transmissibility:
        return "[-]";
    case ObjectiveKind::StaticDisplacement:
        return "[m]";
    }
    return "";
}

std::string objectiveLabel(const Objective& o) {
    std::string text;
    switch (o.kind) {
    case ObjectiveKind::DecouplingMin:
        text = "最小非連成率";
        break;
    case ObjectiveKind::MeanCoupling:
        text = "平均連成度";
        break;
    case ObjectiveKind::Frequency:
        text = format("%d次固有振動数", o.mode);
        break;
    case ObjectiveKind::Transmissibility:
        text = format("動荷重%dの伝達率", o.load);
        break;
    case ObjectiveKind::StaticDisplacement:
        text = format("ID%dの静荷重ID%dによる絶対変位", o.object, o.load);
        break;
    }
    return text + " " + objectiveUnit(o.kind) + (o.maximise ? " (最大化)" : " (最小化)");
}

std::optional<Objective> parseObjective(std::string_view text) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t colon = text.find(':', start);
        parts.push_back(text.substr(start, colon - start));
        if (colon == std::string_view::npos)
            break;
        start = colon + 1;
    }
    if (parts.size() < 2 || (parts[0] != "min" && parts[0] != "max"))
        return std::nullopt;
    const auto kind = objectiveKindFromKey(parts[1]);
    if (!kind || static_cast<int>(parts.size()) != 2 + numberCount(*kind))
        return std::nullopt;
    Objective o;
    o.kind = *kind;
    o.maximise = parts[0] == "max";
    int* fields[2] = {nullptr, nullptr};
    if (o.kind == ObjectiveKind::Frequency)
        fields[0] = &o.mode;
    else if (o.kind == ObjectiveKind::Transmissibility)
        fields[0] = &o.load;
    else if (o.kind == ObjectiveKind::StaticDisplacement)
        fields[0] = &o.object, fields[1] = &o.load;
    for (int i = 0; i < numberCount(o.kind); ++i)
        if (!parseInt(parts[static_cast<std::size_t>(2 + i)], *fields[i]))
            return std::nullopt;
    return o;
}

std::string objectivesProblem(const std::vector<Objective>& objectives,
                              const AnalysisModel& model) {
    std::string problems;
    if (objectives.size() > kMaxObjectives)
        problems += format("目的関数は%zu個までです\n", kMaxObjectives);
    for (std::size_t i = 0; i < objectives.size(); ++i) {
        const Objective& o = objectives[i];
        const std::string name = "目的関数 " + objectiveName(o) + ": ";
        if (std::find(objectives.begin(), objectives.begin() + static_cast<std::ptrdiff_t>(i), o) !=
            objectives.begin() + static_cast<std::ptrdiff_t>(i))
            problems += name + "同じ目的関数が二度指定されています\n";
        switch (o.kind) {
        case ObjectiveKind::Frequency:
            if (o.mode < 1 || o.mode > 6)
                problems += name + "モード番号は1～6です\n";
            break;
        case ObjectiveKind::Transmissibility:
            if (o.load < 1 || o.load > static_cast<int>(model.dynamicLoads.size()))
                problems += name + format("動荷重番号は1～%zuです\n", model.dynamicLoads.size());
            else if (model.dynamicLoads[static_cast<std::size_t>(o.load - 1)].type == Moment)
                problems += name + "モーメント荷重には力の伝達率がありません\n";
            else if (!hasForceTransmissibility(
                         model.dynamicLoads[static_cast<std::size_t>(o.load - 1)]))
                problems += name + "動荷重の値が0です\n";
            break;
        case ObjectiveKind::StaticDisplacement: {
            const bool known =
                o.object == 1 ||
                std::any_of(model.springs.begin(), model.springs.end(),
                            [&](const SpringElement& s) { return s.id == o.object; }) ||
                std::any_of(model.observationPoints.begin(), model.observationPoints.end(),
                            [&](const ObservationPoint& p) { return p.id == o.object; });
            if (!known)
                problems += name + format("ID%dのばね要素、観測点がありません\n", o.object);
            if (staticRow(model, o.load) < 0)
                problems += name + format("ID%dの静荷重がありません\n", o.load);
            break;
        }
        default:
            break;
        }
    }
    return problems;
}

void objectiveValues(const AnalysisModel& v, const std::vector<Objective>& objectives,
                     std::vector<double>& values) {
    values.assign(objectives.size(), std::numeric_limits<double>::quiet_NaN());
    for (std::size_t i = 0; i < objectives.size(); ++i) {
        const Objective& o = objectives[i];
        switch (o.kind) {
        case ObjectiveKind::DecouplingMin: {
            ModalSolution modes;
            modes.valid = true;
            modes.frequencies = v.eigenFrequencies;
            modes.modeShapes = v.modeShapes;
            const EnergyDistribution ked = kineticEnergyDistribution(v, modes, EnergyFrame::Global);
            // A mode without a rate (modes that are not numbers) leaves none at all.
            double smallest = std::numeric_limits<double>::infinity();
            for (const ModeEnergy& m : ked.modes)
                smallest = std::isnan(m.decoupling) || std::isnan(smallest)
                               ? std::numeric_limits<double>::quiet_NaN()
                               : std::min(smallest, m.decoupling);
            values[i] = smallest;
            break;
        }
        case ObjectiveKind::MeanCoupling:
            values[i] = meanCouplingDegree(v);
            break;
        case ObjectiveKind::Frequency:
            if (o.mode >= 1 && o.mode <= 6)
                values[i] = v.eigenFrequencies[6 - o.mode];
            break;
        case ObjectiveKind::Transmissibility:
            if (o.load >= 1 && o.load <= static_cast<int>(v.dynamicLoads.size())) {
                const auto& load = v.dynamicLoads[static_cast<std::size_t>(o.load - 1)];
                values[i] = transmissibilityAt(v, o.load - 1, load.frequency);
            }
            break;
        case ObjectiveKind::StaticDisplacement: {
            const int row = staticRow(v, o.load);
            if (row >= 0 && row < v.staticResults.rows() && v.staticResults.cols() >= 6)
                values[i] = objectDisplacement(v, row, o.object);
            break;
        }
        }
    }
}

} // namespace quav
