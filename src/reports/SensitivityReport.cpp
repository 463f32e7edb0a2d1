#include "reports/SensitivityReport.h"

#include "analysis/KineticEnergy.h"
#include "reports/ReportPieces.h"

#include <cmath>
#include <unordered_map>

namespace quav {

namespace {

void appendNumber(std::string& out, double x) {
    out += '\t';
    if (std::isfinite(x))
        appendFormat(out, "%.15g", x);
    else
        out += "null";
}

} // namespace

const char* parameterKindName(ParameterKind kind) {
    switch (kind) {
    case ParameterKind::Rate:
        return "rate";
    case ParameterKind::Position:
        return "position";
    case ParameterKind::Angle:
        break;
    }
    return "angle";
}

const char* parameterComponentName(const SensitivityParameter& parameter) {
    static const char* const axes[3] = {"x", "y", "z"};
    static const char* const angles[2] = {"thetaY", "thetaZ"};
    return parameter.kind == ParameterKind::Angle ? angles[parameter.component & 1]
                                                  : axes[parameter.component % 3];
}

std::string sensitivityOutputHeading(int output) {
    if (output < kDecouplingColumn)
        return format("f%d[Hz]", output - kFrequencyColumn + 1);
    if (output < kStaticColumn)
        return format("D%d[%%]", output - kDecouplingColumn + 1);
    const int dof = (output - kStaticColumn) % 6;
    return format("L%d %s[%s]", (output - kStaticColumn) / 6 + 1, kDofNames[dof],
                  dof < 3 ? "m" : "rad");
}

std::vector<std::string> parameterObjectNames(const AnalysisModel& model,
                                              const std::vector<SensitivityParameter>& parameters) {
    // The first object of an id, as the engine finds it.
    std::unordered_map<int, const std::string*> springs, characteristics;
    for (const SpringElement& s : model.springs)
        springs.emplace(s.id, &s.name);
    for (const SpringCharacteristic& c : model.springCharacteristics)
        characteristics.emplace(c.id, &c.name);
    std::vector<std::string> names;
    names.reserve(parameters.size());
    for (const SensitivityParameter& p : parameters) {
        const auto& map = p.kind == ParameterKind::Rate ? characteristics : springs;
        const auto it = map.find(p.object);
        std::string name = it == map.end() ? std::string() : *it->second;
        for (char& ch : name)
            if (ch == '\t' || ch == '\r' || ch == '\n')
                ch = ' ';
        names.push_back(std::move(name));
    }
    return names;
}

bool writeSensitivityTable(const AnalysisModel& model, const Sensitivities& s,
                           const std::array<double, 6>* spread, const TextSink& sink) {
    ReportPieces report(sink);
    std::string& out = report.out;
    out += "quantity\tkind\tid\tname\tcomponent\tvalue";
    for (int o = 0; o < s.outputs; ++o)
        out += '\t' + sensitivityOutputHeading(o);
    out += "\r\nvalue\t\t\t\t\t";
    for (double y : s.values)
        appendNumber(out, y);
    out += "\r\ndominant\t\t\t\t\t";
    for (int o = 0; o < s.outputs; ++o) {
        out += '\t';
        if (o >= kDecouplingColumn && o < kStaticColumn)
            out += kDofNames[s.dominant[static_cast<std::size_t>(o - kDecouplingColumn)]];
    }
    out += "\r\n";
    const std::vector<std::string> names = parameterObjectNames(model, s.parameters);
    for (const char* quantity : {"derivative", "elasticity"}) {
        const bool derivative = quantity[0] == 'd';
        for (std::size_t p = 0; p < s.parameters.size(); ++p) {
            const SensitivityParameter& param = s.parameters[p];
            out += quantity;
            appendFormat(out, "\t%s\t%d\t", parameterKindName(param.kind), param.object);
            out += names[p];
            out += '\t';
            out += parameterComponentName(param);
            appendNumber(out, param.value);
            for (int o = 0; o < s.outputs; ++o)
                appendNumber(out, derivative ? s.derivativeOf(p, o) : s.elasticityOf(p, o));
            out += "\r\n";
            if (!report.lineEnd())
                return false;
        }
    }
    if (spread) {
        out += "std\t\t\t\t\t";
        for (int o = 0; o < s.outputs; ++o) {
            if (o < kDecouplingColumn)
                appendNumber(out, (*spread)[static_cast<std::size_t>(o)]);
            else
                out += '\t';
        }
        out += "\r\n";
    }
    return report.finish();
}

} // namespace quav
