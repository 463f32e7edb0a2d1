#include "dialogs/SensitivityChart.h"

#include "analysis/KineticEnergy.h"
#include "model/TextFormat.h"

#include <algorithm>
#include <cmath>

namespace quav {

namespace {

const char* componentName(const SensitivityParameter& p) {
    static const char* const rates[3] = {"Kxx", "Kyy", "Kzz"};
    static const char* const axes[3] = {"x", "y", "z"};
    static const char* const angles[2] = {"Y角度", "Z角度"};
    switch (p.kind) {
    case ParameterKind::Rate:
        return rates[p.component % 3];
    case ParameterKind::Position:
        return axes[p.component % 3];
    case ParameterKind::Angle:
        break;
    }
    return angles[p.component & 1];
}

} // namespace

std::string sensitivityOutputLabel(const AnalysisModel& model, int output) {
    if (output < kDecouplingColumn)
        return format("ﾓｰﾄﾞ%d 固有振動数 [Hz]", output - kFrequencyColumn + 1);
    if (output < kStaticColumn)
        return format("ﾓｰﾄﾞ%d デカップリング率 [%%]", output - kDecouplingColumn + 1);
    const std::size_t load = static_cast<std::size_t>((output - kStaticColumn) / 6);
    const int dof = (output - kStaticColumn) % 6;
    const std::string name = load < model.staticLoads.size() ? model.staticLoads[load].name : "";
    return name + format(" %s [%s]", kDofNames[dof], dof < 3 ? "m" : "rad");
}

std::string sensitivityParameterLabel(const SensitivityParameter& p,
                                      const std::string& objectName) {
    return objectName + format("(id %d) ", p.object) + componentName(p);
}

std::string sensitivityParameterCell(const SensitivityParameter& p, const std::string& objectName,
                                     int column) {
    switch (column) {
    case 0:
        return p.kind == ParameterKind::Rate       ? "ばね定数"
               : p.kind == ParameterKind::Position ? "座標"
                                                   : "角度";
    case 1:
        return objectName + format("(id %d)", p.object);
    case 2:
        return componentName(p);
    default:
        break;
    }
    return format("%g %s", p.value,
                  p.kind == ParameterKind::Rate       ? "[N/m]"
                  : p.kind == ParameterKind::Position ? "[m]"
                                                      : "[°]");
}

std::vector<SensitivityBar> sensitivityBars(const Sensitivities& s, int output, std::size_t limit) {
    std::vector<SensitivityBar> bars;
    for (std::size_t p = 0; p < s.parameters.size(); ++p) {
        const double e = s.elasticityOf(p, output);
        if (std::isfinite(e))
            bars.push_back({p, e});
    }
    auto larger = [](const SensitivityBar& a, const SensitivityBar& b) {
        return std::fabs(a.elasticity) > std::fabs(b.elasticity);
    };
    const std::size_t n = std::min(limit, bars.size());
    std::partial_sort(bars.begin(), bars.begin() + static_cast<std::ptrdiff_t>(n), bars.end(),
                      [&](const SensitivityBar& a, const SensitivityBar& b) {
                          return larger(a, b) || (!larger(b, a) && a.parameter < b.parameter);
                      });
    bars.resize(n);
    return bars;
}

} // namespace quav
