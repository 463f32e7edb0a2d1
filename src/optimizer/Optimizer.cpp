#include "optimizer/Optimizer.h"

#include "model/Archive.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <utility>

namespace quav {

std::atomic<int> parameterIdCounter{0};

namespace {

// Smallest encoded entries of the block, for checking counts against the bytes left.
constexpr std::size_t kBindingBytes = 20;
constexpr std::size_t kMinParameterBytes = 4 + 4 + 3 * 8 + 1 + 8;
constexpr std::size_t kDisplacementConditionBytes = 44;

/// A parameter under the next id with the default name, as every creation makes it.
DesignParameter newParameter() {
    DesignParameter p;
    p.id = ++parameterIdCounter;
    char name[32];
    std::snprintf(name, sizeof name, "Parameter%d", p.id);
    p.name = name;
    return p;
}

bool validIndex(int index, std::size_t size) {
    return index >= 0 && static_cast<std::size_t>(index) < size;
}

} // namespace

int Optimizer::addParameter(const std::string& name, double maxValue, double minValue,
                            double increment) {
    DesignParameter p = newParameter();
    p.name = name;
    p.maxValue = maxValue;
    p.minValue = minValue;
    p.increment = increment;
    p.currentValue = minValue;
    parameters.push_back(std::move(p));
    return parameters.back().id;
}

bool Optimizer::editParameter(int index, const std::string& name, double maxValue, double minValue,
                              double increment) {
    if (!validIndex(index, parameters.size()))
        return false;
    DesignParameter& p = parameters[index];
    p.name = name;
    p.maxValue = maxValue;
    p.minValue = minValue;
    p.increment = increment;
    p.currentValue = minValue;
    return true;
}

bool Optimizer::deleteParameter(int index) {
    if (!validIndex(index, parameters.size()))
        return false;
    const int id = parameters[index].id;
    std::erase_if(bindings, [id](const ParameterBinding& b) { return b.parameterId == id; });
    parameters.erase(parameters.begin() + index);
    return true;
}

const DesignParameter* Optimizer::findParameter(int id) const {
    for (const auto& p : parameters)
        if (p.id == id)
            return &p;
    return nullptr;
}

DesignParameter* Optimizer::findParameter(int id) {
    return const_cast<DesignParameter*>(std::as_const(*this).findParameter(id));
}

void Optimizer::resetValues() {
    for (auto& p : parameters)
        p.currentValue = p.minValue - p.increment;
}

void Optimizer::stepValue(int index) {
    if (validIndex(index, parameters.size()))
        parameters[index].currentValue += parameters[index].increment;
}

void Optimizer::setBinding(int objectId, int target, int parameterId, double multiplier) {
    auto it = std::find_if(bindings.begin(), bindings.end(), [&](const ParameterBinding& b) {
        return b.objectId == objectId && b.target == target;
    });
    if (it == bindings.end()) {
        bindings.push_back({objectId, target, parameterId, multiplier});
    } else if (parameterId != 0) {
        it->parameterId = parameterId;
        it->multiplier = multiplier;
    } else {
        bindings.erase(it);
    }
}

Optimizer::BindingLookup Optimizer::findBinding(int objectId, int target) const {
    for (const auto& b : bindings)
        if (b.objectId == objectId && b.target == target)
            return {findParameter(b.parameterId), b.multiplier};
    return {};
}

void Optimizer::attach(AnalysisModel* newModel) {
    parameters.clear();
    bindings.clear();
    conditions.reset();
    matchCount = 0;
    model = newModel;
}

void Optimizer::adoptFileContent(Optimizer&& loaded) {
    attach(loaded.model);
    parameters = std::move(loaded.parameters);
    bindings = std::move(loaded.bindings);
    conditions = std::move(loaded.conditions);
}

void Optimizer::writeBlock(ArchiveWriter& out) const {
    out.writeI32(static_cast<int>(bindings.size()));
    for (const auto& b : bindings) {
        out.writeI32(b.objectId);
        out.writeI32(b.target);
        out.writeI32(b.parameterId);
        out.writeF64(b.multiplier);
    }
    out.writeI32(static_cast<int>(parameters.size()));
    const int counter = parameterIdCounter.load();
    for (const auto& p : parameters) {
        out.writeI32(counter);
        out.writeI32(p.id);
        out.writeF64(p.maxValue);
        out.writeF64(p.minValue);
        out.writeF64(p.increment);
        out.writeString(p.name, "設計パラメータ「" + std::to_string(p.id) + "」の名前");
        out.writeF64(p.currentValue);
    }
    const OptimizationConditions& c = conditions;
    for (int i = 0; i < 6; ++i) {
        out.writeI32(c.modeConditionEnabled[i]);
        out.writeF64(c.modeContributionPct[i]);
        out.writeF64(c.modeMaxFrequency[i]);
    }
    out.writeI32(c.minFrequencyEnabled);
    out.writeF64(c.minFrequency);
    out.writeI32(c.maxFrequencyEnabled);
    out.writeF64(c.maxFrequency);
    out.writeI32(c.springRatioEnabled);
    out.writeF64(c.springRatio);
    out.writeF64(c.springRatioTolerancePct);
    out.writeI32(c.meanCouplingEnabled);
    out.writeF64(c.meanCouplingMax);
    out.writeI32(static_cast<int>(c.displacementConditions.size()));
    for (const auto& d : c.displacementConditions) {
        for (int flag : d.directionFlags)
            out.writeI32(flag);
        out.writeI32(d.objectId);
        out.writeI32(d.loadId);
        out.writeF64(d.limit);
    }
}

void Optimizer::readBlock(ArchiveReader& in, int fileVersion) {
    if (fileVersion < 200)
        return;
    const int bindingCount = in.readCount(kBindingBytes, maxListEntries, "関連付けの数");
    for (int i = 0; i < bindingCount; ++i) {
        ParameterBinding b;
        b.objectId = in.readI32();
        b.target = in.readI32();
        b.parameterId = in.readI32();
        b.multiplier = in.readF64();
        bindings.push_back(b);
    }

    // Every entry carries the counter of the saving session (the same in each);
    // the global counter takes it only once the whole block has been read, so a
    // damaged file leaves the numbering of the session alone.
    const int parameterCount =
        in.readCount(kMinParameterBytes, maxListEntries, "設計パラメータの数");
    std::optional<int> storedCounter;
    for (int i = 0; i < parameterCount; ++i) {
        DesignParameter p;
        storedCounter = in.readI32();
        p.id = in.readI32();
        p.maxValue = in.readF64();
        p.minValue = in.readF64();
        p.increment = in.readF64();
        p.name = in.readString();
        p.currentValue = in.readF64();
        parameters.push_back(std::move(p));
    }

    OptimizationConditions& c = conditions;
    for (int i = 0; i < 6; ++i) {
        c.modeConditionEnabled[i] = in.readI32();
        c.modeContributionPct[i] = in.readF64();
        c.modeMaxFrequency[i] = in.readF64();
    }
    c.minFrequencyEnabled = in.readI32();
    c.minFrequency = in.readF64();
    c.maxFrequencyEnabled = in.readI32();
    c.maxFrequency = in.readF64();
    c.springRatioEnabled = in.readI32();
    c.springRatio = in.readF64();
    c.springRatioTolerancePct = in.readF64();
    c.meanCouplingEnabled = in.readI32();
    c.meanCouplingMax = in.readF64();
    if (fileVersion >= 210) {
        const int count = in.readCount(kDisplacementConditionBytes, maxListEntries, "変位条件の数");
        for (int i = 0; i < count; ++i) {
            DisplacementCondition d;
            for (int& flag : d.directionFlags)
                flag = in.readI32();
            d.objectId = in.readI32();
            d.loadId = in.readI32();
            d.limit = in.readF64();
            c.displacementConditions.push_back(d);
        }
    }
    if (in.ok() && storedCounter)
        parameterIdCounter = *storedCounter;
}

} // namespace quav
