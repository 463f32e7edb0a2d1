#include "exchange/AnalysisJson.h"

#include "reports/SensitivityReport.h"

#include <nlohmann/json.hpp>

#include <cmath>

namespace quav {

namespace {

using Json = nlohmann::ordered_json;

std::string text(const Json& j) {
    return j.dump(2) + "\n";
}

Json number(double x) {
    return std::isfinite(x) ? Json(x) : Json(nullptr);
}

template <class Array> Json numbers(const Array& values) {
    Json j = Json::array();
    for (double x : values)
        j.push_back(number(x));
    return j;
}

Json spreadJson(const Spread& s) {
    return Json{{"nominal", number(s.nominal)},
                {"min", number(s.min)},
                {"max", number(s.max)},
                {"mean", number(s.mean)},
                {"std", number(s.std)}};
}

Json margins(const std::array<std::optional<double>, 3>& values) {
    Json j = Json::array();
    for (const auto& m : values)
        j.push_back(m ? number(*m) : Json(nullptr));
    return j;
}

Json caseJson(const LoadCaseResult& r, bool modes) {
    Json springs = Json::array();
    for (const CaseSpring& s : r.springs)
        springs.push_back({{"id", s.id},
                           {"deflection", numbers(s.deflection)},
                           {"local", numbers(s.local)},
                           {"global", numbers(s.global)},
                           {"travelMargin", margins(s.travelMargin)},
                           {"loadMargin", margins(s.loadMargin)},
                           {"pass", s.pass}});
    Json j = {{"name", r.name},
              {"converged", r.converged},
              {"iterations", r.iterations},
              {"displacement", numbers(r.displacement)},
              {"pass", r.pass},
              {"springs", springs}};
    if (modes && r.converged) {
        Json list = Json::array();
        for (const CaseMode& m : r.modes)
            list.push_back({{"mode", m.mode},
                            {"frequency", number(m.frequency)},
                            {"shape", numbers(m.shape)}});
        j["modes"] = list;
    }
    if (!r.converged)
        j["reason"] = r.reason;
    return j;
}

/// The sensitivities as JSON, written as they are made: a row of a matrix per
/// line, so that a model of many springs needs no more memory than its result.
class SensitivityJson {
public:
    SensitivityJson(const Sensitivities& s, const std::array<double, 6>* spread,
                    const TextSink& sink, const std::function<void()>& row)
        : s_(s), spread_(spread), sink_(sink), row_(row) {}

    bool write() {
        out_ = "{\n  \"parameters\": [";
        for (std::size_t p = 0; p < s_.parameters.size(); ++p) {
            out_ += p ? ",\n    " : "\n    ";
            out_ += parameter(s_.parameters[p]).dump();
            if (!lineEnd())
                return false;
        }
        out_ += "\n  ],\n  \"frequency\": {\n    \"value\": ";
        out_ += slice(s_.values.data(), kFrequencyColumn, 6).dump();
        if (!matrices(kFrequencyColumn, 6, "    "))
            return false;
        out_ += "\n  },\n  \"decoupling\": {\n    \"value\": ";
        out_ += slice(s_.values.data(), kDecouplingColumn, 6).dump();
        Json dominant = Json::array();
        for (int q = 0; q < 6; ++q)
            dominant.push_back(kDofNames[s_.dominant[static_cast<std::size_t>(q)]]);
        out_ += ",\n    \"dominant\": " + dominant.dump();
        if (!matrices(kDecouplingColumn, 6, "    "))
            return false;
        out_ += "\n  },\n  \"static\": [";
        const int loads = (s_.outputs - kStaticColumn) / 6;
        for (int i = 0; i < loads; ++i) {
            const int column = kStaticColumn + 6 * i;
            out_ += i ? ", {" : "\n    {";
            out_ += format("\n      \"load\": %d,\n      \"value\": ", i + 1);
            out_ += slice(s_.values.data(), column, 6).dump();
            if (!matrices(column, 6, "      "))
                return false;
            out_ += "\n    }";
        }
        out_ += loads ? "\n  ],\n  \"spread\": " : "],\n  \"spread\": ";
        out_ += spread_ ? Json{{"frequencyStd", numbers(*spread_)}}.dump() : "null";
        out_ += "\n}\n";
        return flush();
    }

private:
    Json parameter(const SensitivityParameter& p) const {
        const char* component = parameterComponentName(p);
        switch (p.kind) {
        case ParameterKind::Rate:
            return {{"kind", "rate"},
                    {"characteristic", p.object},
                    {"direction", component},
                    {"value", number(p.value)}};
        case ParameterKind::Position:
            return {{"kind", "position"},
                    {"spring", p.object},
                    {"axis", component},
                    {"value", number(p.value)}};
        case ParameterKind::Angle:
            break;
        }
        return {{"kind", "angle"},
                {"spring", p.object},
                {"angle", component},
                {"value", number(p.value)}};
    }

    static Json slice(const double* row, int first, int count) {
        Json j = Json::array();
        for (int o = first; o < first + count; ++o)
            j.push_back(number(row[o]));
        return j;
    }

    /// "derivative" and "elasticity" of the columns [first, first + count).
    bool matrices(int first, int count, const std::string& indent) {
        for (const char* name : {"derivative", "elasticity"}) {
            const std::vector<double>& m = name[0] == 'd' ? s_.derivative : s_.elasticity;
            out_ += ",\n" + indent + "\"" + name + "\": [";
            for (std::size_t p = 0; p < s_.parameters.size(); ++p) {
                out_ += p ? ",\n  " + indent : "\n  " + indent;
                out_ +=
                    slice(m.data() + p * static_cast<std::size_t>(s_.outputs), first, count).dump();
                if (!lineEnd())
                    return false;
            }
            out_ += s_.parameters.empty() ? "]" : "\n" + indent + "]";
        }
        return true;
    }

    bool lineEnd() {
        if (row_)
            row_();
        return out_.size() < (1u << 16) || flush();
    }
    bool flush() {
        const bool ok = sink_(out_);
        out_.clear();
        return ok;
    }

    const Sensitivities& s_;
    const std::array<double, 6>* spread_;
    const TextSink& sink_;
    const std::function<void()>& row_;
    std::string out_;
};

} // namespace

std::string energyDistributionJson(const EnergyDistribution& ked) {
    Json modes = Json::array();
    for (const ModeEnergy& m : ked.modes)
        modes.push_back({{"mode", m.mode},
                         {"frequency", number(m.frequency)},
                         {"energy", numbers(m.energy)},
                         {"dominant", std::isfinite(m.decoupling) ? Json(kDofNames[m.dominant])
                                                                  : Json(nullptr)},
                         {"decoupling", number(m.decoupling)}});
    return text({{"frame", ked.frame == EnergyFrame::Principal ? "principal" : "global"},
                 {"modes", modes}});
}

std::string torqueRollAxisJson(const TorqueRollAxis& tra) {
    Json modes = Json::array();
    for (const ModeRoll& m : tra.modes)
        modes.push_back({{"mode", m.mode},
                         {"frequency", number(m.frequency)},
                         {"angleDeg", m.angleDeg ? number(*m.angleDeg) : Json(nullptr)},
                         {"rollEnergy", number(m.rollEnergy)}});
    return text({{"axis", numbers(tra.axis)},
                 {"tra", numbers(tra.tra)},
                 {"traToAxisDeg", number(tra.traToAxisDeg)},
                 {"modes", modes}});
}

std::string transmissibilityJson(int load, const std::vector<TransmissibilityPoint>& curve) {
    Json steps = Json::array();
    for (const auto& p : curve)
        steps.push_back({{"frequency", number(p.frequency)},
                         {"transmissibility", number(p.transmissibility)},
                         {"isolationPercent", number(p.isolationPct)}});
    return text({{"load", load}, {"steps", steps}});
}

std::string robustnessJson(const RobustnessSettings& settings, const RobustnessResult& result) {
    Json modes = Json::array();
    for (const ModeSpread& m : result.modes)
        modes.push_back({{"mode", m.mode},
                         {"frequency", spreadJson(m.frequency)},
                         {"decoupling", spreadJson(m.decoupling)}});
    Json out{{"vary", settings.vary == RateVariation::PerSpring ? "spring" : "characteristic"},
             {"samples", result.samples},
             {"requested", result.requested},
             {"completed", result.completed},
             {"modes", modes},
             {"windowShare", result.windowShare ? number(*result.windowShare) : Json(nullptr)}};
    if (result.unconverged > 0)
        out["unconverged"] = result.unconverged;
    return text(out);
}

std::string loadCasesJson(const std::vector<LoadCaseResult>& results, bool modes) {
    Json list = Json::array();
    for (const LoadCaseResult& r : results)
        list.push_back(caseJson(r, modes));
    return text({{"cases", list}});
}

bool writeSensitivityJson(const Sensitivities& s, const std::array<double, 6>* spread,
                          const TextSink& out, const std::function<void()>& row) {
    return SensitivityJson(s, spread, out, row).write();
}

std::string studyPlanJson(const StudySample& sample, int shards, std::int64_t perShard,
                          double shardSeconds, double acceptedPerShard) {
    // Fixed decimals, not the shortest round trip: the figures are estimates.
    return format("{\"combinations\": %lld, \"shards\": %d, \"combinationsPerShard\": %lld, "
                  "\"threads\": %d, \"sampled\": %lld, \"sampleAccepted\": %lld, "
                  "\"sampleSeconds\": %.3f, \"secondsPerShard\": %.1f, "
                  "\"acceptedPerShard\": %.0f}\n",
                  static_cast<long long>(sample.combinations), shards,
                  static_cast<long long>(perShard), sample.threads,
                  static_cast<long long>(sample.sampled), static_cast<long long>(sample.accepted),
                  sample.seconds, shardSeconds, acceptedPerShard);
}

} // namespace quav
