#include "exchange/MountForcesJson.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cmath>
#include <string>

namespace quav {

namespace {

/// JSON text laid out as a two-space indented dump, handed on in pieces of
/// about 64 KiB.
class ForcesWriter {
public:
    explicit ForcesWriter(const TextSink& sink) : sink_(sink) {}

    /// `"name": [` at `depth`, or `"name": []` when `empty`.
    void openArray(int depth, const char* name, bool empty) {
        out_ += '\n';
        indent(depth);
        out_ += '"';
        out_ += name;
        out_ += empty ? "\": []" : "\": [";
    }
    /// The line end and indentation before an element or a field.
    void next(bool first, int depth) {
        out_ += first ? "\n" : ",\n";
        indent(depth);
    }
    void closeArray(int depth) {
        out_ += '\n';
        indent(depth);
        out_ += ']';
    }
    void integer(int depth, const char* name, int value, bool first) {
        next(first, depth);
        out_ += '"';
        out_ += name;
        out_ += "\": ";
        out_ += std::to_string(value);
    }
    void number(int depth, const char* name, double value) {
        next(false, depth);
        out_ += '"';
        out_ += name;
        out_ += "\": ";
        numberText(value);
    }
    void numbers(int depth, const char* name, const std::array<double, 3>& values) {
        next(false, depth);
        out_ += '"';
        out_ += name;
        out_ += "\": [";
        for (std::size_t i = 0; i < values.size(); ++i) {
            next(i == 0, depth + 1);
            numberText(values[i]);
        }
        closeArray(depth);
    }
    void raw(const char* text) { out_ += text; }
    void indent(int depth) { out_.append(static_cast<std::size_t>(depth) * 2, ' '); }

    bool lineEnd() { return out_.size() < kPieceBytes || flush(); }
    bool flush() {
        if (ok_ && !out_.empty())
            ok_ = sink_(out_);
        out_.clear();
        return ok_;
    }

private:
    static constexpr std::size_t kPieceBytes = 1 << 16;

    /// The shortest decimal that reads back as the same double, as a JSON dump
    /// prints it (a scalar: no tree); null for what is not finite.
    void numberText(double x) {
        if (std::isfinite(x))
            out_ += nlohmann::json(x).dump();
        else
            out_ += "null";
    }

    const TextSink& sink_;
    std::string out_;
    bool ok_ = true;
};

} // namespace

bool writeMountForcesJson(const MountForceLoads& loads, const TextSink& sink) {
    ForcesWriter w(sink);
    w.raw("{");
    // Depths: 1 the two lists, 2 a load, 3 its fields, 4 a spring, 5 its fields.
    w.openArray(1, "static", loads.staticCount() == 0);
    for (int l = 0; l < loads.staticCount(); ++l) {
        const StaticLoadForces load = loads.staticLoad(l);
        w.next(l == 0, 2);
        w.raw("{");
        w.integer(3, "load", load.load, true);
        w.raw(",");
        w.openArray(3, "springs", load.springs.empty());
        for (std::size_t s = 0; s < load.springs.size(); ++s) {
            const StaticSpringForce& f = load.springs[s];
            w.next(s == 0, 4);
            w.raw("{");
            w.integer(5, "id", f.id, true);
            w.numbers(5, "local", f.local);
            w.numbers(5, "global", f.global);
            w.raw("\n");
            w.indent(4);
            w.raw("}");
            if (!w.lineEnd())
                return false;
        }
        if (!load.springs.empty())
            w.closeArray(3);
        w.raw("\n");
        w.indent(2);
        w.raw("}");
    }
    if (loads.staticCount() > 0)
        w.closeArray(1);
    w.raw(",");
    w.openArray(1, "dynamic", loads.dynamicCount() == 0);
    for (int l = 0; l < loads.dynamicCount(); ++l) {
        const DynamicLoadForces load = loads.dynamicLoad(l);
        w.next(l == 0, 2);
        w.raw("{");
        w.integer(3, "load", load.load, true);
        w.number(3, "frequency", load.frequency);
        w.raw(",");
        w.openArray(3, "springs", load.springs.empty());
        for (std::size_t s = 0; s < load.springs.size(); ++s) {
            const DynamicSpringForce& f = load.springs[s];
            w.next(s == 0, 4);
            w.raw("{");
            w.integer(5, "id", f.id, true);
            w.numbers(5, "amplitude", f.amplitude);
            w.numbers(5, "phase", f.phase);
            w.numbers(5, "globalAmplitude", f.globalAmplitude);
            w.numbers(5, "globalPhase", f.globalPhase);
            w.number(5, "total", f.total);
            w.raw("\n");
            w.indent(4);
            w.raw("}");
            if (!w.lineEnd())
                return false;
        }
        if (!load.springs.empty())
            w.closeArray(3);
        w.raw("\n");
        w.indent(2);
        w.raw("}");
    }
    if (loads.dynamicCount() > 0)
        w.closeArray(1);
    w.raw("\n}\n");
    return w.flush();
}

} // namespace quav
