#include "cli/ModelJson.h"

#include "model/TextEncoding.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <set>
#include <stdexcept>

namespace quav {

using Json = nlohmann::ordered_json;

namespace {

// ---------------------------------------------------------------- writing --

Json number(double v) {
    if (std::isnan(v))
        return "NaN";
    if (std::isinf(v))
        return v > 0 ? "Infinity" : "-Infinity";
    return v;
}

/// A single-precision value as the shortest decimal that reads back as the
/// same float (0.06 rather than 0.05999999865889549).
Json floatNumber(float v) {
    if (!std::isfinite(v))
        return number(v);
    for (int precision = 1; precision < 10; ++precision) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.*g", precision, static_cast<double>(v));
        const double d = std::strtod(buffer, nullptr);
        if (static_cast<float>(d) == v)
            return d;
    }
    return static_cast<double>(v);
}

Json vectorJson(const Matrix& m) {
    Json a = Json::array();
    for (int i = 0; i < m.size(); ++i)
        a.push_back(number(m[i]));
    return a;
}

Json rowsJson(const Matrix& m) {
    Json rows = Json::array();
    for (int r = 0; r < m.rows(); ++r) {
        Json row = Json::array();
        for (int c = 0; c < m.cols(); ++c)
            row.push_back(number(m(r, c)));
        rows.push_back(std::move(row));
    }
    return rows;
}

Json loadJson(const StaticLoad& l) {
    return Json{{"id", l.id},
                {"name", l.name},
                {"type", l.type},
                {"value", number(l.value)},
                {"position", vectorJson(l.position)},
                {"direction", vectorJson(l.direction)},
                {"referencePoint", vectorJson(l.referencePoint)},
                {"selected", l.selected}};
}

// ---------------------------------------------------------------- reading --

/// A refusal with the key path of the offending value.
struct JsonError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(const std::string& path, const std::string& what) {
    throw JsonError(path + ": " + what);
}

std::string join(const std::string& path, const std::string& key) {
    return path.empty() ? key : path + "." + key;
}

std::string index(const std::string& path, std::size_t i) {
    return path + "[" + std::to_string(i) + "]";
}

double readNumber(const Json& j, const std::string& path) {
    if (j.is_number())
        return j.get<double>();
    if (j.is_string()) {
        const std::string s = j.get<std::string>();
        if (s == "NaN")
            return std::numeric_limits<double>::quiet_NaN();
        if (s == "Infinity")
            return std::numeric_limits<double>::infinity();
        if (s == "-Infinity")
            return -std::numeric_limits<double>::infinity();
    }
    fail(path, "expected a number");
}

int readInt(const Json& j, const std::string& path) {
    if (j.is_number_integer()) {
        const auto v = j.get<long long>();
        if (v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max())
            return static_cast<int>(v);
    }
    fail(path, "expected an integer in the 32-bit range");
}

std::string readText(const Json& j, const std::string& path) {
    if (!j.is_string())
        fail(path, "expected a string");
    std::string s = j.get<std::string>();
    if (!isCp932Encodable(s))
        fail(path, "text has a character that a model file cannot store (no code page 932 form)");
    return s;
}

/// Reads the optional member `key` of object `j` with `read`, leaving `out`
/// at its default when the key is missing.
template <class T, class Reader>
void optional(const Json& j, const std::string& path, const char* key, T& out, Reader read) {
    const auto it = j.find(key);
    if (it != j.end())
        out = read(*it, join(path, key));
}

const Json& requireObject(const Json& j, const std::string& path) {
    if (!j.is_object())
        fail(path.empty() ? "(top level)" : path, "expected an object");
    return j;
}

const Json& requireArray(const Json& j, const std::string& path) {
    if (!j.is_array())
        fail(path, "expected an array");
    return j;
}

Matrix readVector(const Json& j, const std::string& path, int n) {
    requireArray(j, path);
    if (j.size() != static_cast<std::size_t>(n))
        fail(path, "expected an array of " + std::to_string(n) + " numbers");
    Matrix m(n, 1);
    for (int i = 0; i < n; ++i)
        m[i] = readNumber(j[static_cast<std::size_t>(i)], index(path, static_cast<std::size_t>(i)));
    return m;
}

auto vectorReader(int n) {
    return [n](const Json& j, const std::string& path) { return readVector(j, path, n); };
}

/// Rows of `cols` numbers; `rows` < 0 accepts any row count.
Matrix readRows(const Json& j, const std::string& path, int rows, int cols) {
    requireArray(j, path);
    if (rows >= 0 && j.size() != static_cast<std::size_t>(rows))
        fail(path, "expected " + std::to_string(rows) + " rows");
    if (j.size() > 100'000'000u)
        fail(path, "too many rows");
    Matrix m(static_cast<int>(j.size()), cols);
    for (std::size_t r = 0; r < j.size(); ++r) {
        const Matrix row = readVector(j[r], index(path, r), cols);
        for (int c = 0; c < cols; ++c)
            m(static_cast<int>(r), c) = row[c];
    }
    return m;
}

template <class Element, class Reader>
std::vector<Element> readList(const Json& j, const std::string& path, const char* key,
                              Reader read) {
    std::vector<Element> out;
    const auto it = j.find(key);
    if (it == j.end())
        return out;
    const std::string listPath = join(path, key);
    requireArray(*it, listPath);
    for (std::size_t i = 0; i < it->size(); ++i) {
        const std::string p = index(listPath, i);
        out.push_back(read(requireObject((*it)[i], p), p));
    }
    return out;
}

void readLoadFields(const Json& j, const std::string& path, StaticLoad& l) {
    optional(j, path, "id", l.id, readInt);
    optional(j, path, "name", l.name, readText);
    optional(j, path, "type", l.type, readInt);
    optional(j, path, "value", l.value, readNumber);
    optional(j, path, "position", l.position, vectorReader(3));
    optional(j, path, "direction", l.direction, vectorReader(3));
    optional(j, path, "referencePoint", l.referencePoint, vectorReader(3));
    optional(j, path, "selected", l.selected, readInt);
}

/// Element ids: explicit ids must be unique across kinds and not above
/// `lastId`; elements without one (id 0 after reading) get new ids.
class IdCheck {
public:
    void claim(int id, const std::string& path) {
        if (id <= 0)
            return;
        if (!seen_.insert(id).second)
            fail(path + ".id", "id " + std::to_string(id) + " is used twice");
        paths_.emplace_back(id, path);
        maxId_ = std::max(maxId_, id);
    }
    void check(int lastId) const {
        for (const auto& [id, path] : paths_)
            if (id > lastId)
                fail(path + ".id",
                     "id " + std::to_string(id) + " is above lastId " + std::to_string(lastId));
    }
    int maxId() const { return maxId_; }

private:
    std::set<int> seen_;
    std::vector<std::pair<int, std::string>> paths_;
    int maxId_ = 0;
};

template <class Element> void assignMissingIds(std::vector<Element>& elements, AnalysisModel& m) {
    for (auto& e : elements)
        if (e.id <= 0)
            e.id = m.nextId();
}

void readOptimizer(const Json& j, const std::string& path, Optimizer& o) {
    requireObject(j, path);
    optional(j, path, "parameterIdCounter", o.parameterIdCounter, readInt);
    o.parameters =
        readList<DesignParameter>(j, path, "parameters", [](const Json& e, const std::string& p) {
            DesignParameter d;
            optional(e, p, "id", d.id, readInt);
            optional(e, p, "name", d.name, readText);
            optional(e, p, "minValue", d.minValue, readNumber);
            optional(e, p, "maxValue", d.maxValue, readNumber);
            optional(e, p, "increment", d.increment, readNumber);
            d.currentValue = d.minValue;
            optional(e, p, "currentValue", d.currentValue, readNumber);
            return d;
        });
    std::set<int> ids;
    for (std::size_t i = 0; i < o.parameters.size(); ++i) {
        if (!ids.insert(o.parameters[i].id).second)
            fail(index(join(path, "parameters"), i) + ".id", "parameter id used twice");
        // Parameters created later must not reuse an id that is in the list.
        o.parameterIdCounter = std::max(o.parameterIdCounter, o.parameters[i].id);
    }
    o.bindings =
        readList<ParameterBinding>(j, path, "bindings", [](const Json& e, const std::string& p) {
            ParameterBinding b;
            optional(e, p, "objectId", b.objectId, readInt);
            optional(e, p, "target", b.target, readInt);
            optional(e, p, "parameterId", b.parameterId, readInt);
            optional(e, p, "multiplier", b.multiplier, readNumber);
            return b;
        });
    const auto it = j.find("conditions");
    if (it == j.end())
        return;
    const std::string cp = join(path, "conditions");
    const Json& c = requireObject(*it, cp);
    OptimizationConditions& oc = o.conditions;
    auto ints = [](std::size_t n) {
        return [n](const Json& a, const std::string& p) {
            requireArray(a, p);
            if (a.size() != n)
                fail(p, "expected an array of " + std::to_string(n) + " integers");
            std::vector<int> v;
            for (std::size_t i = 0; i < n; ++i)
                v.push_back(readInt(a[i], index(p, i)));
            return v;
        };
    };
    auto copyInts = [](const std::vector<int>& v, auto& arr) {
        for (std::size_t i = 0; i < v.size(); ++i)
            arr[i] = v[i];
    };
    std::vector<int> flags(6);
    for (std::size_t i = 0; i < 6; ++i)
        flags[i] = oc.modeConditionEnabled[i];
    optional(c, cp, "modeConditionEnabled", flags, ints(6));
    copyInts(flags, oc.modeConditionEnabled);
    Matrix pct(6, 1), freq(6, 1);
    for (std::size_t i = 0; i < 6; ++i) {
        pct[static_cast<int>(i)] = oc.modeContributionPct[i];
        freq[static_cast<int>(i)] = oc.modeMaxFrequency[i];
    }
    optional(c, cp, "modeContributionPct", pct, vectorReader(6));
    optional(c, cp, "modeMaxFrequency", freq, vectorReader(6));
    for (std::size_t i = 0; i < 6; ++i) {
        oc.modeContributionPct[i] = pct[static_cast<int>(i)];
        oc.modeMaxFrequency[i] = freq[static_cast<int>(i)];
    }
    optional(c, cp, "minFrequencyEnabled", oc.minFrequencyEnabled, readInt);
    optional(c, cp, "maxFrequencyEnabled", oc.maxFrequencyEnabled, readInt);
    optional(c, cp, "minFrequency", oc.minFrequency, readNumber);
    optional(c, cp, "maxFrequency", oc.maxFrequency, readNumber);
    optional(c, cp, "springRatioEnabled", oc.springRatioEnabled, readInt);
    optional(c, cp, "springRatio", oc.springRatio, readNumber);
    optional(c, cp, "springRatioTolerancePct", oc.springRatioTolerancePct, readNumber);
    optional(c, cp, "meanCouplingEnabled", oc.meanCouplingEnabled, readInt);
    optional(c, cp, "meanCouplingMax", oc.meanCouplingMax, readNumber);
    oc.displacementConditions = readList<DisplacementCondition>(
        c, cp, "displacementConditions", [&](const Json& e, const std::string& p) {
            DisplacementCondition d;
            std::vector<int> f(7, 0);
            optional(e, p, "directionFlags", f, ints(7));
            copyInts(f, d.directionFlags);
            optional(e, p, "objectId", d.objectId, readInt);
            optional(e, p, "loadId", d.loadId, readInt);
            optional(e, p, "limit", d.limit, readNumber);
            return d;
        });
}

bool isScalar(const Json& j) {
    return !j.is_array() && !j.is_object();
}

bool isFlat(const Json& j) {
    return j.is_array() &&
           std::all_of(j.begin(), j.end(), [](const Json& e) { return isScalar(e); });
}

/// Pretty JSON with vectors and matrix rows on one line each, so that a model
/// reads like its tables and diffs stay small.
void writePretty(const Json& j, std::string& out, int depth) {
    const std::string pad(static_cast<std::size_t>(depth) * 2, ' ');
    const std::string inner(static_cast<std::size_t>(depth + 1) * 2, ' ');
    if (isScalar(j)) {
        out += j.dump();
    } else if (isFlat(j)) {
        out += '[';
        for (std::size_t i = 0; i < j.size(); ++i)
            out += (i ? ", " : "") + j[i].dump();
        out += ']';
    } else if (j.is_array()) {
        out += "[\n";
        for (std::size_t i = 0; i < j.size(); ++i) {
            out += inner;
            writePretty(j[i], out, depth + 1);
            out += i + 1 < j.size() ? ",\n" : "\n";
        }
        out += pad + "]";
    } else {
        if (j.empty()) {
            out += "{}";
            return;
        }
        out += "{\n";
        std::size_t i = 0;
        for (const auto& [key, value] : j.items()) {
            out += inner + Json(key).dump() + ": ";
            writePretty(value, out, depth + 1);
            out += ++i < j.size() ? ",\n" : "\n";
        }
        out += pad + "}";
    }
}

} // namespace

std::string modelToJson(const AnalysisModel& m, const Optimizer& o) {
    Json j;
    j["fileVersion"] = m.fileVersion;
    j["lastId"] = m.lastId;
    j["massElementId"] = m.massElementId;
    j["mass"] = number(m.mass);
    j["centreOfGravity"] = vectorJson(m.centreOfGravity);
    j["size"] = vectorJson(m.size);
    j["inertia"] = rowsJson(m.inertia);
    j["memo"] = m.memo;
    j["frequencyStart"] = number(m.frequencyStart);
    j["frequencyEnd"] = number(m.frequencyEnd);
    j["frequencyStep"] = number(m.frequencyStep);

    j["springs"] = Json::array();
    for (const auto& s : m.springs)
        j["springs"].push_back(Json{{"id", s.id},
                                    {"name", s.name},
                                    {"position", vectorJson(s.position)},
                                    {"angles", vectorJson(s.angles)},
                                    {"size", floatNumber(s.size)},
                                    {"selected", s.selected},
                                    {"characteristicId", s.characteristicId}});
    j["springCharacteristics"] = Json::array();
    for (const auto& c : m.springCharacteristics)
        j["springCharacteristics"].push_back(Json{{"id", c.id},
                                                  {"name", c.name},
                                                  {"stiffness", vectorJson(c.stiffness)},
                                                  {"damping", vectorJson(c.damping)},
                                                  {"dynamicFactor", number(c.dynamicFactor)}});
    j["staticLoads"] = Json::array();
    for (const auto& l : m.staticLoads)
        j["staticLoads"].push_back(loadJson(l));
    j["dynamicLoads"] = Json::array();
    for (const auto& l : m.dynamicLoads) {
        Json d = loadJson(l);
        d["frequency"] = number(l.frequency);
        j["dynamicLoads"].push_back(std::move(d));
    }
    j["observationPoints"] = Json::array();
    for (const auto& p : m.observationPoints)
        j["observationPoints"].push_back(Json{{"id", p.id},
                                              {"name", p.name},
                                              {"position", vectorJson(p.position)},
                                              {"selected", p.selected}});

    Json r;
    r["calculated"] = m.calculated;
    r["eigenFrequencies"] = vectorJson(m.eigenFrequencies);
    r["modeShapes"] = rowsJson(m.modeShapes);
    r["staticResults"] = rowsJson(m.staticResults);
    r["dynamicResults"] = rowsJson(m.dynamicResults);
    if (m.hasFrequencyStepResults()) {
        Json steps = Json::array();
        for (const auto& t : m.frequencyStepResults)
            steps.push_back(rowsJson(t));
        r["frequencyStepResults"] = std::move(steps);
    } else {
        r["frequencyStepResults"] = nullptr;
    }
    j["results"] = std::move(r);

    Json opt;
    opt["parameterIdCounter"] = o.parameterIdCounter;
    opt["parameters"] = Json::array();
    for (const auto& p : o.parameters)
        opt["parameters"].push_back(Json{{"id", p.id},
                                         {"name", p.name},
                                         {"minValue", number(p.minValue)},
                                         {"maxValue", number(p.maxValue)},
                                         {"increment", number(p.increment)},
                                         {"currentValue", number(p.currentValue)}});
    opt["bindings"] = Json::array();
    for (const auto& b : o.bindings)
        opt["bindings"].push_back(Json{{"objectId", b.objectId},
                                       {"target", b.target},
                                       {"parameterId", b.parameterId},
                                       {"multiplier", number(b.multiplier)}});
    const OptimizationConditions& c = o.conditions;
    Json cj;
    cj["modeConditionEnabled"] = c.modeConditionEnabled;
    cj["modeContributionPct"] = Json::array();
    cj["modeMaxFrequency"] = Json::array();
    for (std::size_t i = 0; i < 6; ++i) {
        cj["modeContributionPct"].push_back(number(c.modeContributionPct[i]));
        cj["modeMaxFrequency"].push_back(number(c.modeMaxFrequency[i]));
    }
    cj["minFrequencyEnabled"] = c.minFrequencyEnabled;
    cj["maxFrequencyEnabled"] = c.maxFrequencyEnabled;
    cj["minFrequency"] = number(c.minFrequency);
    cj["maxFrequency"] = number(c.maxFrequency);
    cj["springRatioEnabled"] = c.springRatioEnabled;
    cj["springRatio"] = number(c.springRatio);
    cj["springRatioTolerancePct"] = number(c.springRatioTolerancePct);
    cj["meanCouplingEnabled"] = c.meanCouplingEnabled;
    cj["meanCouplingMax"] = number(c.meanCouplingMax);
    cj["displacementConditions"] = Json::array();
    for (const auto& d : c.displacementConditions)
        cj["displacementConditions"].push_back(Json{{"directionFlags", d.directionFlags},
                                                    {"objectId", d.objectId},
                                                    {"loadId", d.loadId},
                                                    {"limit", number(d.limit)}});
    opt["conditions"] = std::move(cj);
    j["optimizer"] = std::move(opt);
    std::string out;
    writePretty(j, out, 0);
    return out + "\n";
}

JsonModel modelFromJson(const std::string& text) {
    JsonModel result;
    Json j;
    try {
        j = Json::parse(text);
    } catch (const Json::exception& e) {
        result.error = std::string("not valid JSON: ") + e.what();
        return result;
    }
    try {
        requireObject(j, "");
        auto m = std::make_unique<AnalysisModel>();
        optional(j, "", "fileVersion", m->fileVersion, readInt);
        const bool hasLastId = j.contains("lastId");
        optional(j, "", "lastId", m->lastId, readInt);
        optional(j, "", "massElementId", m->massElementId, readInt);
        optional(j, "", "mass", m->mass, readNumber);
        optional(j, "", "centreOfGravity", m->centreOfGravity, vectorReader(3));
        optional(j, "", "size", m->size, vectorReader(3));
        if (j.contains("inertia"))
            m->inertia = readRows(j["inertia"], "inertia", 3, 3);
        optional(j, "", "memo", m->memo, readText);
        optional(j, "", "frequencyStart", m->frequencyStart, readNumber);
        optional(j, "", "frequencyEnd", m->frequencyEnd, readNumber);
        optional(j, "", "frequencyStep", m->frequencyStep, readNumber);

        m->springs =
            readList<SpringElement>(j, "", "springs", [](const Json& e, const std::string& p) {
                SpringElement s;
                optional(e, p, "id", s.id, readInt);
                optional(e, p, "name", s.name, readText);
                optional(e, p, "position", s.position, vectorReader(3));
                optional(e, p, "angles", s.angles, vectorReader(3));
                double size = s.size;
                optional(e, p, "size", size, readNumber);
                s.size = static_cast<float>(size);
                optional(e, p, "selected", s.selected, readInt);
                optional(e, p, "characteristicId", s.characteristicId, readInt);
                return s;
            });
        m->springCharacteristics = readList<SpringCharacteristic>(
            j, "", "springCharacteristics", [](const Json& e, const std::string& p) {
                SpringCharacteristic c;
                optional(e, p, "id", c.id, readInt);
                optional(e, p, "name", c.name, readText);
                optional(e, p, "stiffness", c.stiffness, vectorReader(3));
                optional(e, p, "damping", c.damping, vectorReader(3));
                optional(e, p, "dynamicFactor", c.dynamicFactor, readNumber);
                return c;
            });
        m->staticLoads =
            readList<StaticLoad>(j, "", "staticLoads", [](const Json& e, const std::string& p) {
                StaticLoad l;
                readLoadFields(e, p, l);
                return l;
            });
        m->dynamicLoads =
            readList<DynamicLoad>(j, "", "dynamicLoads", [](const Json& e, const std::string& p) {
                DynamicLoad l;
                readLoadFields(e, p, l);
                optional(e, p, "frequency", l.frequency, readNumber);
                return l;
            });
        m->observationPoints = readList<ObservationPoint>(
            j, "", "observationPoints", [](const Json& e, const std::string& p) {
                ObservationPoint o;
                optional(e, p, "id", o.id, readInt);
                optional(e, p, "name", o.name, readText);
                optional(e, p, "position", o.position, vectorReader(3));
                optional(e, p, "selected", o.selected, readInt);
                return o;
            });

        IdCheck ids;
        ids.claim(m->massElementId, "massElementId");
        auto claimAll = [&ids](const auto& list, const char* key) {
            for (std::size_t i = 0; i < list.size(); ++i)
                ids.claim(list[i].id, index(key, i));
        };
        claimAll(m->springs, "springs");
        claimAll(m->springCharacteristics, "springCharacteristics");
        claimAll(m->staticLoads, "staticLoads");
        claimAll(m->dynamicLoads, "dynamicLoads");
        claimAll(m->observationPoints, "observationPoints");
        if (hasLastId)
            ids.check(m->lastId);
        else
            m->lastId = std::max(1, ids.maxId());
        assignMissingIds(m->springs, *m);
        assignMissingIds(m->springCharacteristics, *m);
        assignMissingIds(m->staticLoads, *m);
        assignMissingIds(m->dynamicLoads, *m);
        assignMissingIds(m->observationPoints, *m);

        if (const auto it = j.find("results"); it != j.end()) {
            const Json& r = requireObject(*it, "results");
            optional(r, "results", "calculated", m->calculated, readInt);
            optional(r, "results", "eigenFrequencies", m->eigenFrequencies, vectorReader(6));
            if (r.contains("modeShapes"))
                m->modeShapes = readRows(r["modeShapes"], "results.modeShapes", 6, 6);
            if (r.contains("staticResults"))
                m->staticResults = readRows(r["staticResults"], "results.staticResults", -1, 6);
            if (r.contains("dynamicResults"))
                m->dynamicResults = readRows(r["dynamicResults"], "results.dynamicResults", -1, 12);
            const auto steps = r.find("frequencyStepResults");
            if (steps != r.end() && !steps->is_null()) {
                const std::string sp = "results.frequencyStepResults";
                requireArray(*steps, sp);
                if (!steps->empty()) {
                    const double expected = m->sweepStepCountExact();
                    if (!(static_cast<double>(steps->size()) == expected))
                        fail(sp, "expected one table per sweep step (" +
                                     std::to_string(static_cast<long long>(
                                         std::isfinite(expected) ? expected : -1)) +
                                     " for the sweep settings), found " +
                                     std::to_string(steps->size()));
                    const int rows = static_cast<int>(m->dynamicLoads.size());
                    for (std::size_t s = 0; s < steps->size(); ++s)
                        m->frequencyStepResults.push_back(
                            readRows((*steps)[s], index(sp, s), rows, 12));
                }
            }
        }

        if (const auto it = j.find("optimizer"); it != j.end())
            readOptimizer(*it, "optimizer", result.optimizer);
        result.optimizer.model = m.get();
        result.model = std::move(m);
    } catch (const JsonError& e) {
        result.error = e.what();
    } catch (const std::exception& e) {
        result.error = std::string("unexpected content: ") + e.what();
    }
    return result;
}

} // namespace quav
