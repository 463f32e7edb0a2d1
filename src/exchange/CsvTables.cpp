#include "exchange/CsvTables.h"

#include <cmath>

namespace quav {

namespace {

constexpr const char* kRowEnd = "\r\n";

std::string num(double x) {
    return std::isfinite(x) ? format("%.17g", x) : std::string();
}

template <class Array> std::string nums(const Array& values) {
    std::string out;
    for (double x : values)
        out += "," + num(x);
    return out;
}

} // namespace

std::string csvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string out = "\"";
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

std::string energyDistributionCsv(const EnergyDistribution& ked) {
    std::string out = std::string("mode,frequency,x,y,z,Rx,Ry,Rz,dominant,decoupling") + kRowEnd;
    for (const ModeEnergy& m : ked.modes)
        out += format("%d,", m.mode) + num(m.frequency) + nums(m.energy) + "," +
               (std::isfinite(m.decoupling) ? kDofNames[m.dominant] : "") + "," +
               num(m.decoupling) + kRowEnd;
    return out;
}

std::string torqueRollAxisCsv(const TorqueRollAxis& tra) {
    std::string out = std::string("mode,frequency,angle_deg,roll_energy,axis_x,axis_y,axis_z,"
                                  "tra_x,tra_y,tra_z,tra_to_axis_deg") +
                      kRowEnd;
    for (const ModeRoll& m : tra.modes)
        out += format("%d,", m.mode) + num(m.frequency) + "," +
               (m.angleDeg ? num(*m.angleDeg) : std::string()) + "," + num(m.rollEnergy) +
               nums(tra.axis) + nums(tra.tra) + "," + num(tra.traToAxisDeg) + kRowEnd;
    return out;
}

bool writeMountForcesCsv(const MountForceLoads& loads, const TextSink& out) {
    if (!out(std::string("load_kind,load,frequency,spring,quantity,x,y,z") + kRowEnd))
        return false;
    for (int i = 0; i < loads.staticCount(); ++i) {
        const StaticLoadForces load = loads.staticLoad(i);
        std::string rows;
        for (const StaticSpringForce& f : load.springs) {
            rows += format("static,%d,,%d,local", load.load, f.id) + nums(f.local) + kRowEnd;
            rows += format("static,%d,,%d,global", load.load, f.id) + nums(f.global) + kRowEnd;
        }
        if (!out(rows))
            return false;
    }
    for (int i = 0; i < loads.dynamicCount(); ++i) {
        const DynamicLoadForces load = loads.dynamicLoad(i);
        std::string rows;
        for (const DynamicSpringForce& f : load.springs) {
            const std::string head =
                format("dynamic,%d,", load.load) + num(load.frequency) + format(",%d,", f.id);
            rows += head + "amplitude" + nums(f.amplitude) + kRowEnd;
            rows += head + "phase" + nums(f.phase) + kRowEnd;
            rows += head + "globalAmplitude" + nums(f.globalAmplitude) + kRowEnd;
            rows += head + "globalPhase" + nums(f.globalPhase) + kRowEnd;
            rows += head + "total," + num(f.total) + ",," + kRowEnd;
        }
        if (!out(rows))
            return false;
    }
    return true;
}

std::string loadCasesCsv(const std::vector<LoadCaseResult>& results) {
    std::string out = "case,converged,spring";
    for (const char* quantity : {"deflection", "local", "global", "travel_margin", "load_margin"})
        for (const char* axis : {"_x", "_y", "_z"})
            out += std::string(",") + quantity + axis;
    out += std::string(",pass") + kRowEnd;
    const auto margins = [](const std::array<std::optional<double>, 3>& values) {
        std::string fields;
        for (const auto& m : values)
            fields += "," + (m ? num(*m) : std::string());
        return fields;
    };
    for (const LoadCaseResult& r : results) {
        const std::string head = csvField(r.name) + (r.converged ? ",1," : ",0,");
        if (r.springs.empty())
            out += head + std::string(15, ',') + ",0" + kRowEnd;
        for (const CaseSpring& s : r.springs)
            out += head + format("%d", s.id) + nums(s.deflection) + nums(s.local) + nums(s.global) +
                   margins(s.travelMargin) + margins(s.loadMargin) + (s.pass ? ",1" : ",0") +
                   kRowEnd;
    }
    return out;
}

bool TabsToCsv::endField(char next) {
    std::string piece = csvField(field_);
    field_.clear();
    piece += next == '\t' ? "," : kRowEnd;
    return out_(piece);
}

bool TabsToCsv::operator()(std::string_view piece) {
    bool ok = true;
    for (char c : piece) {
        if (pendingCr_ && c != '\n')
            field_ += '\r'; // a CR inside a field stays in it
        pendingCr_ = false;
        rowOpen_ = c != '\n';
        if (c == '\r')
            pendingCr_ = true;
        else if (c == '\t' || c == '\n')
            ok = endField(c) && ok;
        else
            field_ += c;
    }
    return ok;
}

bool TabsToCsv::finish() {
    if (pendingCr_)
        field_ += '\r';
    pendingCr_ = false;
    if (!rowOpen_)
        return true;
    rowOpen_ = false;
    return endField('\n');
}

std::string transmissibilityCsv(const std::vector<TransmissibilityPoint>& curve) {
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
    return out;
}

} // namespace quav
