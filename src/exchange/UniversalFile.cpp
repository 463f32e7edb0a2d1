#include "exchange/UniversalFile.h"

#include "analysis/DynamicAnalysis.h"
#include "analysis/ModelCheck.h"
#include "model/TextFormat.h"

#include <cmath>

namespace quav {

namespace {

constexpr const char* kDelimiter = "    -1\n";
constexpr double kMaxSteps = 1000000.0;

/// A text field of `width` characters, cut or padded.
std::string field(const std::string& text, std::size_t width) {
    std::string s = text.substr(0, width);
    s.resize(width, ' ');
    return s;
}

/// DD-MMM-YY and HH:MM:SS as the header records want them.
void stamp(std::time_t t, std::string& date, std::string& time) {
    static const char* const months[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                           "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    std::tm tm{};
    gmtime_r(&t, &tm);
    date = format("%02d-%s-%02d", tm.tm_mday, months[tm.tm_mon % 12], tm.tm_year % 100);
    time = format("%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
}

/// One axis's data characteristics: type, exponents of length, force and
/// temperature, label, units label.
std::string axis(int type, int length, int force, const char* label, const char* units) {
    return format("%10d%5d%5d%5d %s %s\n", type, length, force, 0, field(label, 20).c_str(),
                  field(units, 20).c_str());
}

} // namespace

UniversalFile writeResponseUniversalFile(const AnalysisModel& model, int loadIndex,
                                         std::time_t written) {
    UniversalFile file;
    if (loadIndex < 0 || loadIndex >= static_cast<int>(model.dynamicLoads.size())) {
        file.error = "no such dynamic load";
        return file;
    }
    const DynamicLoad& load = model.dynamicLoads[static_cast<std::size_t>(loadIndex)];
    if (load.type != Translational && load.type != Moment) {
        file.error = "the load is neither a force nor a moment";
        return file;
    }
    if (!(load.value != 0.0) || !std::isfinite(load.value)) {
        file.error = "the load's value is 0 or not finite: no response per unit load";
        return file;
    }
    const ModelValidation validation = checkModel(model);
    if (validation.count() > 0) {
        file.calculationFailed = true;
        file.error = describeValidation(validation);
        if (!file.error.empty() && file.error.back() == '\n')
            file.error.pop_back();
        return file;
    }
    const double steps = model.sweepStepCountExact();
    if (!(model.frequencyStep > 0.0) || !(steps >= 1.0) || steps > kMaxSteps ||
        !std::isfinite(model.frequencyStart)) {
        file.error = "the sweep settings give no evenly spaced steps (start, end, step)";
        return file;
    }
    const std::size_t count = static_cast<std::size_t>(steps);

    // The centre of gravity's motion at every step, per unit load.
    const HarmonicResponse response(model);
    std::vector<HarmonicResponse::ComplexMotion> motion(count);
    double f = model.frequencyStart;
    for (std::size_t k = 0; k < count; ++k, f += model.frequencyStep) {
        motion[k] = response.complexMotion(loadIndex, f);
        for (int j = 0; j < 6; ++j) {
            motion[k].re[j] /= load.value;
            motion[k].im[j] /= load.value;
            if (!std::isfinite(motion[k].re[j]) || !std::isfinite(motion[k].im[j])) {
                file.calculationFailed = true;
                file.error = format("the response is not finite at %g Hz (an undamped "
                                    "resonance)",
                                    f);
                return file;
            }
        }
    }

    std::string date, time;
    stamp(written, date, time);
    std::string& out = file.text;
    out += kDelimiter;
    out += "   151\n";
    out += field("QUAV model", 80) + "\n";
    out += field("frequency responses of dynamic load " + std::to_string(load.id), 80) + "\n";
    out += field("QUAV", 80) + "\n";
    out += format("%s%s%10d%10d%10d\n", field(date, 10).c_str(), field(time, 10).c_str(), 0, 0, 0);
    out += field(date, 10) + field(time, 10) + "\n";
    out += field("QUAV", 80) + "\n";
    out += field(date, 10) + field(time, 10) + "\n";
    out += kDelimiter;
    out += kDelimiter;
    out += "   164\n";
    out += format("%10d%s%10d\n", 1, field("SI - m (newton)", 20).c_str(), 1);
    out += "  1.00000000000000000D+00  1.00000000000000000D+00  1.00000000000000000D+00\n";
    out += "  2.73150000000000000D+02\n";
    out += kDelimiter;

    // The reference: the load's node and its axis when it lies along one.
    const bool moment = load.type == Moment;
    int referenceDirection = 0;
    for (int d = 0; d < 3; ++d) {
        const double a = load.direction[d], b = load.direction[(d + 1) % 3],
                     c = load.direction[(d + 2) % 3];
        if (a != 0.0 && b == 0.0 && c == 0.0)
            referenceDirection = (a > 0 ? 1 : -1) * (d + 1 + (moment ? 3 : 0));
    }
    int function = 0;
    auto dataset = [&](const std::string& what, int node, int direction, auto value) {
        ++function;
        const bool rotation = direction > 3;
        out += kDelimiter;
        out += "    58\n";
        out += field(what, 80) + "\n";
        out += field(format("per unit %s of dynamic load %d \"%s\"", moment ? "moment" : "force",
                            load.id, load.name.c_str()),
                     80) +
               "\n";
        out += field(date + " " + time, 80) + "\n";
        out += field("NONE", 80) + "\n";
        out += field("NONE", 80) + "\n";
        out += format("%5d%10d%5d%10d %s%10d%4d %s%10d%4d\n", 4, function, 1, 0,
                      field("NONE", 10).c_str(), node, direction, field("NONE", 10).c_str(),
                      load.id, referenceDirection);
        out += format("%10d%10zu%10d%13.5E%13.5E%13.5E\n", 6, count, 1, model.frequencyStart,
                      model.frequencyStep, 0.0);
        out += axis(18, 0, 0, "Frequency", "Hz");
        out += rotation ? axis(8, 0, 0, "Rotation", "rad") : axis(8, 1, 0, "Displacement", "m");
        out += moment ? axis(13, 1, 1, "Moment", "N m") : axis(13, 0, 1, "Force", "N");
        out += axis(0, 0, 0, "NONE", "NONE");
        for (std::size_t k = 0; k < count; ++k) {
            double re = 0.0, im = 0.0;
            value(motion[k], re, im);
            appendFormat(out, "%20.12E%20.12E", re, im);
            if (k % 2 == 1 || k + 1 == count)
                out += "\n";
        }
        out += kDelimiter;
    };
    static const char* const dofNames[6] = {"x", "y", "z", "Rx", "Ry", "Rz"};
    for (int j = 0; j < 6; ++j)
        dataset(format("QUAV centre of gravity %s", dofNames[j]), model.massElementId, j + 1,
                [j](const HarmonicResponse::ComplexMotion& m, double& re, double& im) {
                    re = m.re[j];
                    im = m.im[j];
                });
    for (const ObservationPoint& p : model.observationPoints) {
        double r[3];
        for (int i = 0; i < 3; ++i)
            r[i] = p.position[i] - model.centreOfGravity[i];
        for (int j = 0; j < 3; ++j) {
            // u + theta x r, the j-th component, for the real and imaginary parts.
            const int a = (j + 1) % 3, b = (j + 2) % 3;
            dataset(
                format("QUAV observation point %d \"%s\" %s", p.id, p.name.c_str(), dofNames[j]),
                p.id, j + 1, [=](const HarmonicResponse::ComplexMotion& m, double& re, double& im) {
                    re =
                        static_cast<double>(m.re[j] + static_cast<long double>(m.re[3 + a]) * r[b] -
                                            static_cast<long double>(m.re[3 + b]) * r[a]);
                    im =
                        static_cast<double>(m.im[j] + static_cast<long double>(m.im[3 + a]) * r[b] -
                                            static_cast<long double>(m.im[3 + b]) * r[a]);
                });
        }
    }
    return file;
}

} // namespace quav
