#include "exchange/ModelJson.h"

#include "document/ModelFile.h"
#include "document/ModelRecords.h"
#include "exchange/JsonReader.h"
#include "exchange/ObjectivesJson.h"
#include "model/Archive.h"
#include "model/TextEncoding.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <bit>
#include <cinttypes>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace quav {

namespace {

// ------------------------------------------------------------ number texts --

constexpr std::uint64_t kQuietNaN = 0x7FF8000000000000u;
constexpr std::uint32_t kQuietNaN32 = 0x7FC00000u;
constexpr std::uint64_t kSign = 0x8000000000000000u;
constexpr std::uint32_t kSign32 = 0x80000000u;

/// A NaN as text: "NaN", "-NaN", or its bits for any other pattern.
std::string nanText(std::uint64_t bits, std::uint64_t quiet, std::uint64_t sign, int hexDigits) {
    if (bits == quiet)
        return "\"NaN\"";
    if (bits == (quiet | sign))
        return "\"-NaN\"";
    char text[40];
    std::snprintf(text, sizeof text, "\"NaN(0x%0*" PRIx64 ")\"", hexDigits, bits);
    return text;
}

std::string numberText(double v) {
    if (std::isnan(v))
        return nanText(std::bit_cast<std::uint64_t>(v), kQuietNaN, kSign, 16);
    if (std::isinf(v))
        return v > 0 ? "\"Infinity\"" : "\"-Infinity\"";
    return nlohmann::json(v).dump(); // the shortest decimal that reads back bit for bit
}

/// A single-precision value as the shortest decimal that reads back as the
/// same float (0.06 rather than 0.05999999865889549).
std::string floatText(float v) {
    if (std::isnan(v))
        return nanText(std::bit_cast<std::uint32_t>(v), kQuietNaN32, kSign32, 8);
    if (!std::isfinite(v))
        return numberText(v);
    for (int precision = 1; precision < 10; ++precision) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.*g", precision, static_cast<double>(v));
        const double d = std::strtod(buffer, nullptr);
        if (static_cast<float>(d) == v)
            return numberText(d);
    }
    return numberText(static_cast<double>(v));
}

std::string stringText(const std::string& s) {
    return nlohmann::json(s).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// ---------------------------------------------------------------- writing --

/// Pretty JSON written as it goes: objects and arrays of arrays or objects one
/// entry a line, arrays of numbers on one line, so that a model reads like its
/// tables and diffs stay small.
class PrettyWriter {
public:
    explicit PrettyWriter(const TextSink& sink) : sink_(sink) {}

    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    /// A multi-line array; each element starts with `item()`.
    void beginArray() { open('['); }
    void endArray() { close(']'); }
    void key(std::string_view name) {
        item();
        out_ += stringText(std::string(name));
        out_ += ": ";
    }
    void item() {
        out_ += levels_.back()++ > 0 ? ",\n" : "\n";
        indent(levels_.size());
    }
    void raw(std::string_view text) {
        out_ += text;
        if (out_.size() >= kChunk)
            flush();
    }
    /// One line: [a, b, c].
    template <class T, class Text> void line(const T* values, std::size_t n, Text text) {
        out_ += '[';
        for (std::size_t i = 0; i < n; ++i) {
            if (i)
                out_ += ", ";
            out_ += text(values[i]);
        }
        raw("]");
    }
    void numbers(const Matrix& m) {
        line(m.data(), static_cast<std::size_t>(m.size()), numberText);
    }
    void rows(const Matrix& m) {
        if (m.rows() == 0)
            return raw("[]");
        beginArray();
        for (int r = 0; r < m.rows(); ++r) {
            item();
            line(m.data() + static_cast<std::size_t>(r) * m.cols(),
                 static_cast<std::size_t>(m.cols()), numberText);
        }
        endArray();
    }
    template <class T> void field(std::string_view name, const T& value) {
        key(name);
        if constexpr (std::is_same_v<T, double>)
            raw(numberText(value));
        else if constexpr (std::is_same_v<T, float>)
            raw(floatText(value));
        else if constexpr (std::is_same_v<T, std::string>)
            raw(stringText(value));
        else if constexpr (std::is_same_v<T, Matrix>)
            numbers(value);
        else if constexpr (std::is_same_v<T, std::array<double, 3>>)
            line(value.data(), value.size(), numberText);
        else
            raw(std::to_string(value));
    }
    /// Sends what is buffered; false once the sink has failed.
    bool flush() {
        if (ok_ && !out_.empty())
            ok_ = sink_(out_);
        out_.clear();
        return ok_;
    }

private:
    static constexpr std::size_t kChunk = 1 << 16;
    void open(char c) {
        out_ += c;
        levels_.push_back(0);
    }
    void close(char c) {
        const bool empty = levels_.back() == 0;
        levels_.pop_back();
        if (!empty) {
            out_ += '\n';
            indent(levels_.size());
        }
        raw(std::string_view(&c, 1));
    }
    void indent(std::size_t depth) { out_.append(depth * 2, ' '); }

    const TextSink& sink_;
    std::string out_;
    std::vector<std::size_t> levels_; // entries written at each open level
    bool ok_ = true;
};

/// A frequency table, one row a line: {"f": ..., "ratio": [...], "loss": [...]}.
void writeTable(PrettyWriter& w, std::string_view key, const FrequencyTable& table) {
    w.key(key);
    w.beginArray();
    for (const FrequencyTableRow& row : table) {
        w.item();
        w.raw("{\"f\": " + numberText(row.f) + ", \"ratio\": ");
        w.line(row.ratio.data(), row.ratio.size(), numberText);
        w.raw(", \"loss\": ");
        w.line(row.loss.data(), row.loss.size(), numberText);
        w.raw("}");
    }
    w.endArray();
}

/// A record on one line, {"a": 1, "b": 0.5}, by its layout: for small records
/// of numbers and texts (a load term).
template <class R> std::string inlineObject(const RecordLayout<R>& layout, const R& r) {
    std::string out = "{";
    for (const Field<R>& f : layout.fields()) {
        if (f.key.empty())
            continue;
        std::visit(
            [&](auto m) {
                using M = decltype(m);
                if constexpr (std::is_same_v<M, int R::*> || std::is_same_v<M, double R::*> ||
                              std::is_same_v<M, float R::*> ||
                              std::is_same_v<M, std::string R::*>) {
                    out += out.size() > 1 ? ", " : "";
                    out += stringText(std::string(f.key)) + ": ";
                    using T = typename MemberType<M>::type;
                    if constexpr (std::is_same_v<T, double>)
                        out += numberText(r.*m);
                    else if constexpr (std::is_same_v<T, float>)
                        out += floatText(r.*m);
                    else if constexpr (std::is_same_v<T, std::string>)
                        out += stringText(r.*m);
                    else
                        out += std::to_string(r.*m);
                }
            },
            f.member);
    }
    return out + "}";
}

/// The JSON fields of `r` by its layout, in table order.
template <class R> void writeFields(PrettyWriter& w, const RecordLayout<R>& layout, const R& r) {
    for (const Field<R>& f : layout.fields()) {
        if (f.key.empty())
            continue;
        std::visit(
            [&](auto m) {
                using M = decltype(m);
                if constexpr (std::is_same_v<M, std::array<int, 7> R::*>) {
                    w.key(f.key);
                    w.line((r.*m).data(), (r.*m).size(), [](int v) { return std::to_string(v); });
                } else if constexpr (std::is_same_v<M, FrequencyTable R::*>) {
                    if (!(r.*m).empty()) // a characteristic without a table has no key
                        writeTable(w, f.key, r.*m);
                } else if constexpr (std::is_same_v<M, std::vector<LoadTerm> R::*>) {
                    w.key(f.key);
                    w.beginArray();
                    for (const LoadTerm& t : r.*m) {
                        w.item();
                        w.raw(inlineObject(loadTermRecord(), t));
                    }
                    w.endArray();
                } else if constexpr (!std::is_same_v<M, ReservedI32>) {
                    w.field(f.key, r.*m);
                }
            },
            f.member);
    }
}

/// A list under `name`, one object each, whose keys `fields` writes.
template <class E, class Fields>
void writeObjects(PrettyWriter& w, std::string_view name, const std::vector<E>& list,
                  const Fields& fields) {
    w.key(name);
    w.beginArray();
    for (const E& e : list) {
        w.item();
        w.beginObject();
        fields(e);
        w.endObject();
    }
    w.endArray();
}

/// A list of records under `name`, each with the fields of its layout and then
/// what `more` adds.
template <class R, class More = void (*)(const R&)>
void writeList(
    PrettyWriter& w, std::string_view name, const std::vector<R>& list,
    const RecordLayout<R>& layout, const More& more = [](const R&) {}) {
    writeObjects(w, name, list, [&](const R& e) {
        writeFields(w, layout, e);
        more(e);
    });
}

/// A characteristic's curves, one point a line ([deflection, force]), only the
/// directions that have one, and its rated load.
void writeCurves(PrettyWriter& w, const SpringCharacteristic& c) {
    if (c.hasCurves()) {
        w.key("curves");
        w.beginObject();
        for (std::size_t d = 0; d < 3; ++d) {
            if (c.curves[d].empty())
                continue;
            w.key(std::string(1, static_cast<char>('x' + d)));
            w.beginArray();
            for (const ForcePoint& p : c.curves[d]) {
                w.item();
                const double pair[2] = {p.deflection, p.force};
                w.line(pair, 2, numberText);
            }
            w.endArray();
        }
        w.endObject();
    }
    if (c.ratedLoad) {
        w.key("ratedLoad");
        w.line(c.ratedLoad->data(), 3, numberText);
    }
}

void writeModel(PrettyWriter& w, const AnalysisModel& m, const Optimizer& o) {
    w.beginObject();
    w.field("fileVersion", m.fileVersion);
    w.field("lastId", m.lastId);
    w.field("massElementId", m.massElementId);
    w.field("mass", m.mass);
    w.field("centreOfGravity", m.centreOfGravity);
    w.field("size", m.size);
    w.key("inertia");
    w.rows(m.inertia);
    w.field("memo", m.memo);
    w.field("frequencyStart", m.frequencyStart);
    w.field("frequencyEnd", m.frequencyEnd);
    w.field("frequencyStep", m.frequencyStep);
    writeList(w, "springs", m.springs, springRecord());
    writeList(w, "springCharacteristics", m.springCharacteristics, characteristicRecord(),
              [&](const SpringCharacteristic& c) { writeCurves(w, c); });
    writeList(w, "staticLoads", m.staticLoads, staticLoadRecord());
    writeList(w, "dynamicLoads", m.dynamicLoads, dynamicLoadRecord());
    writeList(w, "observationPoints", m.observationPoints, observationPointRecord());

    if (!m.loadCases.empty())
        writeList(w, "loadCases", m.loadCases, loadCaseRecord());

    w.key("results");
    w.beginObject();
    w.field("calculated", m.calculated);
    w.field("eigenFrequencies", m.eigenFrequencies);
    w.key("modeShapes");
    w.rows(m.modeShapes);
    if (std::any_of(m.modeIterations.begin(), m.modeIterations.end(), [](int n) { return n; })) {
        w.key("modeIterations");
        w.line(m.modeIterations.data(), m.modeIterations.size(),
               [](int n) { return std::to_string(n); });
    }
    w.key("staticResults");
    w.rows(m.staticResults);
    w.key("dynamicResults");
    w.rows(m.dynamicResults);
    w.key("frequencyStepResults");
    if (m.hasFrequencyStepResults()) {
        w.beginArray();
        for (const auto& table : m.frequencyStepResults) {
            w.item();
            w.rows(table);
        }
        w.endArray();
    } else {
        w.raw("null");
    }
    w.endObject();

    w.key("optimizer");
    w.beginObject();
    w.field("parameterIdCounter", o.parameterIdCounter);
    writeList(w, "parameters", o.parameters, parameterRecord());
    writeList(w, "bindings", o.bindings, bindingRecord());
    const OptimizationConditions& c = o.conditions;
    auto ints = [](int v) { return std::to_string(v); };
    w.key("conditions");
    w.beginObject();
    w.key("modeConditionEnabled");
    w.line(c.modeConditionEnabled.data(), c.modeConditionEnabled.size(), ints);
    w.key("modeContributionPct");
    w.line(c.modeContributionPct.data(), c.modeContributionPct.size(), numberText);
    w.key("modeMaxFrequency");
    w.line(c.modeMaxFrequency.data(), c.modeMaxFrequency.size(), numberText);
    w.field("minFrequencyEnabled", c.minFrequencyEnabled);
    w.field("maxFrequencyEnabled", c.maxFrequencyEnabled);
    w.field("minFrequency", c.minFrequency);
    w.field("maxFrequency", c.maxFrequency);
    w.field("springRatioEnabled", c.springRatioEnabled);
    w.field("springRatio", c.springRatio);
    w.field("springRatioTolerancePct", c.springRatioTolerancePct);
    w.field("meanCouplingEnabled", c.meanCouplingEnabled);
    w.field("meanCouplingMax", c.meanCouplingMax);
    writeList(w, "displacementConditions", c.displacementConditions, displacementConditionRecord());
    if (c.loadCasesPass) // absent when off, so older models read and write as they did
        w.field("loadCasesPass", 1);
    w.endObject();
    if (!o.objectives.empty())
        writeObjects(w, "objectives", o.objectives, [&](const Objective& objective) {
            w.field("kind", std::string(objectiveKindKey(objective.kind)));
            for (const auto& [name, value] : objectiveJsonFields(objective))
                w.field(name, value);
            w.field("sense", std::string(objectiveSenseKey(objective)));
        });
    w.endObject();
    w.endObject();
    w.raw("\n");
}

// ---------------------------------------------------------------- reading --

/// Reads a model under the model file's rules (see modelFromJson), keeping a
/// running count of the bytes its model file will take.
class ModelReader {
public:
    explicit ModelReader(JsonReader& in) : in_(in) {}
    StudyRead read();

private:
    using Member = std::function<void(std::string_view key, const JsonPath& at)>;

    [[noreturn]] static void unknown(const JsonPath& at) { failAt(at, "unknown key"); }
    void charge(std::uint64_t bytes, const JsonPath& at);
    void countEntry(std::size_t index, const JsonPath& at);

    double number(const JsonPath& at);
    float singlePrecision(const JsonPath& at);
    int integer(const JsonPath& at);
    std::string text(const JsonPath& at);
    Matrix numbers(const JsonPath& at, int n);
    template <std::size_t N> void integers(const JsonPath& at, std::array<int, N>& out);
    template <std::size_t N> void numbers(const JsonPath& at, std::array<double, N>& out);
    /// Rows of `cols` numbers, `rows` of them or, when `rows` < 0, any number
    /// within the file's size; each row counts `rowBytes` file bytes.
    Matrix rows(const JsonPath& at, int rows, int cols, std::uint64_t rowBytes);
    /// Reads the value of field `f` into `r`.
    template <class R> void field(const Field<R>& f, const JsonPath& at, R& r);
    /// A key a record's layout lacks: `extra` reads it first (true when it did).
    struct NoExtra {
        template <class R> bool operator()(std::string_view, const JsonPath&, R&) const {
            return false;
        }
    };
    /// Reads one object of a record by its layout into `r`, refusing a key
    /// neither the layout nor `extra` knows and a required key left out;
    /// `hasId` (if given) tells whether the object gave "id".
    template <class R, class Extra = NoExtra>
    void record(const JsonPath& at, const RecordLayout<R>& layout, R& r, bool* hasId = nullptr,
                Extra extra = {});
    /// A list of records by their layout, each counting its file record and
    /// `moreBytes`; `missingIds` gets whether each left out its "id".
    template <class R, class Extra = NoExtra>
    void records(const JsonPath& at, std::vector<R>& out, std::vector<bool>* missingIds,
                 const RecordLayout<R>& layout, std::uint64_t moreBytes = 0, Extra extra = {});
    std::vector<LoadTerm> terms(const JsonPath& at);
    FrequencyTable frequencyTable(const JsonPath& at);
    std::array<ForceCurve, 3> curves(const JsonPath& at);
    std::array<double, 3> ratedLoad(const JsonPath& at);
    void loadCases(const JsonPath& at, std::vector<LoadCase>& out);
    void results(const JsonPath& at, AnalysisModel& m);
    void stepTables(const JsonPath& at, AnalysisModel& m);
    void optimizer(const JsonPath& at, Optimizer& o);
    void conditions(const JsonPath& at, OptimizationConditions& c);
    void finishIds(AnalysisModel& m, bool hasLastId);
    void finishSteps(AnalysisModel& m);

    JsonReader& in_;
    std::uint64_t fileBytes_ = 0;
    // Elements read without an "id", by list: springs, characteristics, static
    // and dynamic loads, observation points.
    std::vector<bool> missingIds_[5];
    // The step tables: how many, and the rows of each (all alike).
    std::size_t stepTables_ = 0;
    int stepRows_ = -1;
    bool hasStepTables_ = false;
};

void ModelReader::charge(std::uint64_t bytes, const JsonPath& at) {
    fileBytes_ += bytes;
    if (fileBytes_ > maxModelFileBytes)
        failAt(at, "the model is larger than a model file may be (" +
                       std::to_string(maxModelFileBytes >> 20) + " MB)");
}

void ModelReader::countEntry(std::size_t index, const JsonPath& at) {
    if (index >= static_cast<std::size_t>(maxListEntries))
        failAt(at,
               "more entries than a model file may hold (" + std::to_string(maxListEntries) + ")");
}

double ModelReader::number(const JsonPath& at) {
    if (in_.peek() != JsonReader::Kind::String)
        return in_.number(at);
    const std::string s = in_.string(at, 32);
    if (s == "NaN")
        return std::bit_cast<double>(kQuietNaN);
    if (s == "-NaN")
        return std::bit_cast<double>(kQuietNaN | kSign);
    if (s == "Infinity")
        return std::numeric_limits<double>::infinity();
    if (s == "-Infinity")
        return -std::numeric_limits<double>::infinity();
    std::uint64_t bits = 0;
    int end = 0;
    if (s.size() == 23 && std::sscanf(s.c_str(), "NaN(0x%16" SCNx64 ")%n", &bits, &end) == 1 &&
        end == 23 && std::isnan(std::bit_cast<double>(bits)))
        return std::bit_cast<double>(bits);
    failAt(at, "expected a number");
}

float ModelReader::singlePrecision(const JsonPath& at) {
    if (in_.peek() == JsonReader::Kind::String) {
        const std::string s = in_.string(at, 32);
        std::uint32_t bits = 0;
        int end = 0;
        if (s == "NaN")
            return std::bit_cast<float>(kQuietNaN32);
        if (s == "-NaN")
            return std::bit_cast<float>(kQuietNaN32 | kSign32);
        if (s == "Infinity" || s == "-Infinity")
            return s[0] == '-' ? -std::numeric_limits<float>::infinity()
                               : std::numeric_limits<float>::infinity();
        if (s.size() == 15 && std::sscanf(s.c_str(), "NaN(0x%8" SCNx32 ")%n", &bits, &end) == 1 &&
            end == 15 && std::isnan(std::bit_cast<float>(bits)))
            return std::bit_cast<float>(bits);
        failAt(at, "expected a number");
    }
    const double d = in_.number(at);
    const float f = static_cast<float>(d);
    if (!std::isfinite(f))
        failAt(at, "beyond the range of single precision (at most " +
                       std::to_string(std::numeric_limits<float>::max()) + ")");
    // A number that single precision can only hold as 0 would change silently.
    if (f == 0.0f && d != 0.0)
        failAt(at, "too small for single precision (the smallest is 1.4e-45)");
    return f;
}

int ModelReader::integer(const JsonPath& at) {
    const std::int64_t v = in_.integer(at);
    if (v < INT_MIN || v > INT_MAX)
        failAt(at, std::to_string(v) + " is beyond the 32-bit range");
    return static_cast<int>(v);
}

std::string ModelReader::text(const JsonPath& at) {
    std::string s = in_.string(at, maxModelFileBytes);
    const auto cp932 = utf8ToCp932(s);
    if (!cp932)
        failAt(at, "text has a character that a model file cannot store (no code page 932 form)");
    const std::size_t n = cp932->size();
    charge(n + (n < 0xFF ? 1 : n < 0xFFFE ? 3 : 7), at);
    return s;
}

Matrix ModelReader::numbers(const JsonPath& at, int n) {
    Matrix m(n, 1);
    int count = 0;
    in_.array(at, [&](const JsonPath& e) {
        if (count == n)
            failAt(at, "expected an array of " + std::to_string(n) + " numbers");
        m[count++] = number(e);
    });
    if (count != n)
        failAt(at, "expected an array of " + std::to_string(n) + " numbers");
    return m;
}

template <std::size_t N> void ModelReader::integers(const JsonPath& at, std::array<int, N>& out) {
    std::size_t count = 0;
    in_.array(at, [&](const JsonPath& e) {
        if (count == N)
            failAt(at, "expected an array of " + std::to_string(N) + " integers");
        out[count++] = integer(e);
    });
    if (count != N)
        failAt(at, "expected an array of " + std::to_string(N) + " integers");
}

template <std::size_t N> void ModelReader::numbers(const JsonPath& at, std::array<double, N>& out) {
    const Matrix m = numbers(at, static_cast<int>(N));
    std::copy(m.data(), m.data() + N, out.begin());
}

Matrix ModelReader::rows(const JsonPath& at, int rows, int cols, std::uint64_t rowBytes) {
    std::vector<double> values;
    int count = 0;
    in_.array(at, [&](const JsonPath& e) {
        if (rows >= 0 && count == rows)
            failAt(at, "expected " + std::to_string(rows) + " rows");
        charge(rowBytes, e);
        const Matrix row = numbers(e, cols);
        values.insert(values.end(), row.data(), row.data() + cols);
        ++count;
    });
    if (rows >= 0 && count != rows)
        failAt(at, "expected " + std::to_string(rows) + " rows");
    Matrix m(count, cols);
    std::copy(values.begin(), values.end(), m.data());
    return m;
}

template <class R> void ModelReader::field(const Field<R>& f, const JsonPath& at, R& r) {
    std::visit(
        [&](auto m) {
            using M = decltype(m);
            if constexpr (std::is_same_v<M, int R::*>) {
                r.*m = integer(at);
            } else if constexpr (std::is_same_v<M, double R::*>) {
                r.*m = number(at);
                if (f.finiteOnly && !std::isfinite(r.*m))
                    failAt(at, "expected a finite number");
            } else if constexpr (std::is_same_v<M, std::array<double, 3> R::*>) {
                numbers(at, r.*m);
                for (std::size_t d = 0; f.finiteOnly && d < 3; ++d)
                    if (!std::isfinite((r.*m)[d]))
                        failAt(JsonPath(at, d), "expected a finite number");
            } else if constexpr (std::is_same_v<M, std::vector<LoadTerm> R::*>) {
                auto more = terms(at);
                (r.*m).insert((r.*m).end(), more.begin(), more.end());
            } else if constexpr (std::is_same_v<M, float R::*>) {
                r.*m = singlePrecision(at);
            } else if constexpr (std::is_same_v<M, std::string R::*>) {
                r.*m = text(at);
            } else if constexpr (std::is_same_v<M, Matrix R::*>) {
                r.*m = numbers(at, f.count);
            } else if constexpr (std::is_same_v<M, std::array<int, 7> R::*>) {
                integers(at, r.*m);
            } else if constexpr (std::is_same_v<M, FrequencyTable R::*>) {
                r.*m = frequencyTable(at);
            }
        },
        f.member);
}

template <class R, class Extra>
void ModelReader::record(const JsonPath& at, const RecordLayout<R>& layout, R& r, bool* hasId,
                         Extra extra) {
    const std::vector<Field<R>>& fields = layout.fields();
    std::vector<bool> given(fields.size());
    in_.object(at, [&](std::string_view key, const JsonPath& k) {
        if (hasId && key == "id")
            *hasId = true;
        if (extra(key, k, r))
            return;
        const Field<R>* f = layout.find(key);
        if (!f)
            unknown(k);
        given[static_cast<std::size_t>(f - fields.data())] = true;
        field(*f, k, r);
    });
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (fields[i].mandatory && !given[i])
            failAt(at, "missing key \"" + std::string(fields[i].key) + "\"");
}

template <class R, class Extra>
void ModelReader::records(const JsonPath& at, std::vector<R>& out, std::vector<bool>* missingIds,
                          const RecordLayout<R>& layout, std::uint64_t moreBytes, Extra extra) {
    // A record's name is counted with its text, the rest here.
    const std::uint64_t bytes = moreBytes + layout.fixedFileBytes(modelFormatVersion);
    in_.array(at, [&](const JsonPath& e) {
        countEntry(out.size(), e);
        charge(bytes, e);
        R r;
        bool hasId = false;
        record(e, layout, r, &hasId, extra);
        if (missingIds)
            missingIds->push_back(!hasId);
        out.push_back(std::move(r));
    });
}

// Every parameter record of the model file starts with the parameter id counter.
constexpr std::uint64_t kParameterCounterBytes = 4;
// A table in the extension block besides its rows (a share of the block's
// framing, counted generously), and each row.
constexpr std::uint64_t kTableRecord = 8 + 40, kTableRowBytes = kTableColumns * 8;
// Curves and load cases in the extension block, counted as generously.
constexpr std::uint64_t kCurveRecord = 8 + 40, kCurvePointBytes = 16, kCasesRecord = 12,
                        kCaseRecord = 28 + 1, kTermBytes = 12;
// A model without elements, texts or results (the memo with its length prefix
// is counted when the text gives one) with an empty optimiser block.
constexpr std::uint64_t kFixedBytes = 536 + 188;

FrequencyTable ModelReader::frequencyTable(const JsonPath& at) {
    FrequencyTable table;
    charge(kTableRecord, at);
    in_.array(at, [&](const JsonPath& e) {
        if (table.size() == static_cast<std::size_t>(kMaxTableRows))
            failAt(at, "more than " + std::to_string(kMaxTableRows) + " rows");
        charge(kTableRowBytes, e);
        FrequencyTableRow row;
        bool hasF = false, hasRatio = false;
        in_.object(e, [&](std::string_view key, const JsonPath& k) {
            if (key == "f")
                row.f = number(k), hasF = true;
            else if (key == "ratio")
                numbers(k, row.ratio), hasRatio = true;
            else if (key == "loss")
                numbers(k, row.loss);
            else
                unknown(k);
        });
        if (!hasF || !hasRatio)
            failAt(e, std::string("missing key \"") + (hasF ? "ratio" : "f") + "\"");
        table.push_back(row);
    });
    // An empty list is no absent table: a table has rows.
    if (table.size() < static_cast<std::size_t>(kMinTableRows))
        failAt(at, "expected " + std::to_string(kMinTableRows) + " to " +
                       std::to_string(kMaxTableRows) + " rows, found " +
                       std::to_string(table.size()));
    const auto problem = checkFrequencyTable(table);
    if (!problem)
        return table;
    using P = FrequencyTableProblem;
    const JsonPath row(at, static_cast<std::size_t>(problem->row));
    const int c = problem->column;
    const JsonPath key(row, c == 0 ? "f" : c <= 3 ? "ratio" : "loss");
    const JsonPath element(key, static_cast<std::size_t>(c == 0 ? 0 : (c - 1) % 3));
    const JsonPath& cell = c == 0 ? key : element;
    switch (problem->kind) {
    case P::NotFinite:
        failAt(cell, "expected a finite number");
    case P::FrequencyNotPositive:
        failAt(cell, "f must be > 0");
    case P::FrequencyNotIncreasing:
        failAt(cell, "f must be above the row before's");
    case P::RatioNotPositive:
        failAt(cell, "a ratio must be > 0");
    case P::LossNegative:
        failAt(cell, "a loss factor must be >= 0");
    default:
        failAt(at, tableRuleText(problem->kind));
    }
}

std::array<ForceCurve, 3> ModelReader::curves(const JsonPath& at) {
    std::array<ForceCurve, 3> out;
    charge(kCurveRecord, at);
    in_.object(at, [&](std::string_view key, const JsonPath& k) {
        if (key.size() != 1 || key[0] < 'x' || key[0] > 'z')
            unknown(k);
        ForceCurve& curve = out[static_cast<std::size_t>(key[0] - 'x')];
        in_.array(k, [&](const JsonPath& e) {
            if (curve.size() == static_cast<std::size_t>(kMaxForcePoints))
                failAt(k, "more than " + std::to_string(kMaxForcePoints) + " points");
            charge(kCurvePointBytes, e);
            std::array<double, 2> point{};
            numbers(e, point);
            curve.push_back({point[0], point[1]});
        });
        // An empty list is no absent curve: a curve has points.
        if (curve.size() < static_cast<std::size_t>(kMinForcePoints))
            failAt(k, "expected " + std::to_string(kMinForcePoints) + " to " +
                          std::to_string(kMaxForcePoints) + " points, found " +
                          std::to_string(curve.size()));
        const auto problem = checkForceCurve(curve);
        if (!problem)
            return;
        using P = ForceCurveProblem;
        const JsonPath point(k, static_cast<std::size_t>(std::max(problem->point, 0)));
        const JsonPath cell(point, static_cast<std::size_t>(std::max(problem->column, 0)));
        switch (problem->kind) {
        case P::NotFinite:
            failAt(cell, "expected a finite number");
        case P::DeflectionNotIncreasing:
            failAt(cell, "the deflection must be above the point before's");
        case P::ForceNotIncreasing:
            failAt(cell, "the force must be above the point before's");
        case P::NoOrigin:
            failAt(k, "the curve must hold the point [0, 0]");
        default:
            failAt(k, forceCurveProblemText(*problem));
        }
    });
    return out;
}

std::array<double, 3> ModelReader::ratedLoad(const JsonPath& at) {
    std::array<double, 3> r{};
    charge(24, at);
    numbers(at, r);
    for (std::size_t d = 0; d < 3; ++d)
        if (!(r[d] > 0.0 && std::isfinite(r[d])))
            failAt(JsonPath(at, d), "a rated load must be a finite number > 0");
    return r;
}

std::vector<LoadTerm> ModelReader::terms(const JsonPath& at) {
    std::vector<LoadTerm> out;
    in_.array(at, [&](const JsonPath& e) {
        if (out.size() == static_cast<std::size_t>(kMaxCaseTerms))
            failAt(at, "more than " + std::to_string(kMaxCaseTerms) + " terms");
        charge(kTermBytes, e);
        record(e, loadTermRecord(), out.emplace_back());
    });
    return out;
}

void ModelReader::loadCases(const JsonPath& at, std::vector<LoadCase>& out) {
    charge(kCasesRecord, at);
    in_.array(at, [&](const JsonPath& e) {
        if (out.size() == static_cast<std::size_t>(kMaxLoadCases))
            failAt(at, "more than " + std::to_string(kMaxLoadCases) + " load cases");
        charge(kCaseRecord, e);
        record(e, loadCaseRecord(), out.emplace_back());
        const LoadCase& c = out.back();
        const std::size_t bytes = utf8ToCp932(c.name).value_or(std::string()).size();
        if (bytes == 0 || bytes > static_cast<std::size_t>(kMaxCaseNameBytes))
            failAt(JsonPath(e, "name"),
                   "a name must have 1 to " + std::to_string(kMaxCaseNameBytes) + " bytes");
        for (std::size_t i = 0; i + 1 < out.size(); ++i)
            if (out[i].name == c.name)
                failAt(JsonPath(e, "name"), "the name of load case " + std::to_string(i) +
                                                " again (names must be unique)");
    });
}

void ModelReader::results(const JsonPath& at, AnalysisModel& m) {
    in_.object(at, [&](std::string_view key, const JsonPath& k) {
        if (key == "calculated")
            m.calculated = integer(k);
        else if (key == "eigenFrequencies")
            m.eigenFrequencies = numbers(k, 6);
        else if (key == "modeShapes")
            m.modeShapes = rows(k, 6, 6, 0);
        else if (key == "modeIterations")
            integers(k, m.modeIterations);
        else if (key == "staticResults")
            m.staticResults = rows(k, -1, 6, 6 * 8);
        else if (key == "dynamicResults")
            m.dynamicResults = rows(k, -1, 12, 12 * 8);
        else if (key == "frequencyStepResults")
            stepTables(k, m);
        else
            unknown(k);
    });
}

void ModelReader::stepTables(const JsonPath& at, AnalysisModel& m) {
    if (in_.peek() == JsonReader::Kind::Null)
        return in_.null(at);
    hasStepTables_ = true;
    in_.array(at, [&](const JsonPath& t) {
        // Tables without rows (no dynamic loads) hold nothing: they are counted,
        // not kept, so that a long run of them costs no memory.
        Matrix table = rows(t, stepRows_, 12, 12 * 8);
        if (stepRows_ < 0)
            stepRows_ = table.rows();
        if (table.rows() > 0)
            m.frequencyStepResults.push_back(std::move(table));
        ++stepTables_;
    });
}

void ModelReader::conditions(const JsonPath& at, OptimizationConditions& c) {
    in_.object(at, [&](std::string_view key, const JsonPath& k) {
        if (key == "modeConditionEnabled")
            integers(k, c.modeConditionEnabled);
        else if (key == "modeContributionPct")
            numbers(k, c.modeContributionPct);
        else if (key == "modeMaxFrequency")
            numbers(k, c.modeMaxFrequency);
        else if (key == "minFrequencyEnabled")
            c.minFrequencyEnabled = integer(k);
        else if (key == "maxFrequencyEnabled")
            c.maxFrequencyEnabled = integer(k);
        else if (key == "minFrequency")
            c.minFrequency = number(k);
        else if (key == "maxFrequency")
            c.maxFrequency = number(k);
        else if (key == "springRatioEnabled")
            c.springRatioEnabled = integer(k);
        else if (key == "springRatio")
            c.springRatio = number(k);
        else if (key == "springRatioTolerancePct")
            c.springRatioTolerancePct = number(k);
        else if (key == "meanCouplingEnabled")
            c.meanCouplingEnabled = integer(k);
        else if (key == "meanCouplingMax")
            c.meanCouplingMax = number(k);
        else if (key == "displacementConditions")
            records(k, c.displacementConditions, nullptr, displacementConditionRecord());
        else if (key == "loadCasesPass") {
            c.loadCasesPass = integer(k);
            if (c.loadCasesPass != 0 && c.loadCasesPass != 1)
                failAt(k, "expected 0 or 1");
        } else
            unknown(k);
    });
}

void ModelReader::optimizer(const JsonPath& at, Optimizer& o) {
    bool hasCounter = false;
    std::vector<bool> currentGiven; // by parameter
    in_.object(at, [&](std::string_view key, const JsonPath& k) {
        if (key == "parameterIdCounter") {
            o.parameterIdCounter = integer(k);
            hasCounter = true;
        } else if (key == "parameters") {
            records(k, o.parameters, nullptr, parameterRecord(), kParameterCounterBytes,
                    [&](std::string_view f, const JsonPath&, DesignParameter&) {
                        if (f == "currentValue") {
                            currentGiven.resize(o.parameters.size() + 1);
                            currentGiven.back() = true;
                        }
                        return false; // read by the layout
                    });
            // Without a current value a parameter stands at its first value.
            for (std::size_t i = 0; i < o.parameters.size(); ++i)
                if (i >= currentGiven.size() || !currentGiven[i])
                    o.parameters[i].currentValue = o.parameters[i].minValue;
        } else if (key == "bindings") {
            records(k, o.bindings, nullptr, bindingRecord());
        } else if (key == "conditions") {
            conditions(k, o.conditions);
        } else if (key == "objectives") {
            o.objectives = readObjectivesJson(in_, k);
            // The extension block's framing and section, generously.
            charge(40 + 20 * o.objectives.size(), k);
        } else {
            unknown(k);
        }
    });
    // Without a counter, parameters created later continue above every id.
    if (!hasCounter)
        for (const auto& p : o.parameters)
            o.parameterIdCounter = std::max(o.parameterIdCounter, p.id);
}

void ModelReader::finishIds(AnalysisModel& m, bool hasLastId) {
    // New ids go above every id of the file, so none is issued twice.
    long long top = hasLastId ? m.lastId : 1;
    const auto consider = [&](const auto& elements) {
        for (const auto& e : elements)
            top = std::max<long long>(top, e.id);
    };
    top = std::max<long long>(top, m.massElementId);
    consider(m.springs);
    consider(m.springCharacteristics);
    consider(m.staticLoads);
    consider(m.dynamicLoads);
    consider(m.observationPoints);
    if (!hasLastId)
        m.lastId = static_cast<int>(top);
    const auto issue = [&](auto& elements, const std::vector<bool>& missing, const char* key) {
        for (std::size_t i = 0; i < elements.size(); ++i) {
            if (!missing[i])
                continue;
            const JsonPath root, list(root, key), element(list, i);
            if (top == INT_MAX)
                failAt(element,
                       "no id left to give (the largest id is " + std::to_string(INT_MAX) + ")");
            elements[i].id = static_cast<int>(++top);
            m.lastId = elements[i].id;
        }
    };
    issue(m.springs, missingIds_[0], "springs");
    issue(m.springCharacteristics, missingIds_[1], "springCharacteristics");
    issue(m.staticLoads, missingIds_[2], "staticLoads");
    issue(m.dynamicLoads, missingIds_[3], "dynamicLoads");
    issue(m.observationPoints, missingIds_[4], "observationPoints");
}

void ModelReader::finishSteps(AnalysisModel& m) {
    if (!hasStepTables_ || stepTables_ == 0)
        return;
    const JsonPath root, results(root, "results"), at(results, "frequencyStepResults"),
        first(at, 0);
    const double expected = m.sweepStepCountExact();
    if (!(static_cast<double>(stepTables_) == expected))
        failAt(at,
               "expected one table per sweep step (" +
                   std::to_string(static_cast<long long>(std::isfinite(expected) ? expected : -1)) +
                   " for the sweep settings), found " + std::to_string(stepTables_));
    if (stepRows_ != static_cast<int>(m.dynamicLoads.size()))
        failAt(first, "expected " + std::to_string(m.dynamicLoads.size()) +
                          " rows (one per dynamic load)");
}

StudyRead ModelReader::read() {
    StudyRead result;
    auto m = std::make_unique<AnalysisModel>();
    Optimizer& o = result.optimizer;
    bool hasLastId = false;
    fileBytes_ = kFixedBytes;
    const JsonPath top;
    in_.object(top, [&](std::string_view key, const JsonPath& k) {
        if (key == "fileVersion") {
            m->fileVersion = integer(k);
        } else if (key == "lastId") {
            m->lastId = integer(k);
            hasLastId = true;
        } else if (key == "massElementId") {
            m->massElementId = integer(k);
        } else if (key == "mass") {
            m->mass = number(k);
        } else if (key == "centreOfGravity") {
            m->centreOfGravity = numbers(k, 3);
        } else if (key == "size") {
            m->size = numbers(k, 3);
        } else if (key == "inertia") {
            m->inertia = rows(k, 3, 3, 0);
        } else if (key == "memo") {
            m->memo = text(k);
        } else if (key == "frequencyStart") {
            m->frequencyStart = number(k);
        } else if (key == "frequencyEnd") {
            m->frequencyEnd = number(k);
        } else if (key == "frequencyStep") {
            m->frequencyStep = number(k);
        } else if (key == "springs") {
            records(k, m->springs, &missingIds_[0], springRecord());
        } else if (key == "springCharacteristics") {
            // The curves and the rated load are read by hand (see writeCurves).
            records(k, m->springCharacteristics, &missingIds_[1], characteristicRecord(), 0,
                    [&](std::string_view f, const JsonPath& p, SpringCharacteristic& c) {
                        if (f == "curves")
                            c.curves = curves(p);
                        else if (f == "ratedLoad")
                            c.ratedLoad = ratedLoad(p);
                        else
                            return false;
                        return true;
                    });
        } else if (key == "staticLoads") {
            records(k, m->staticLoads, &missingIds_[2], staticLoadRecord());
        } else if (key == "dynamicLoads") {
            records(k, m->dynamicLoads, &missingIds_[3], dynamicLoadRecord());
        } else if (key == "observationPoints") {
            records(k, m->observationPoints, &missingIds_[4], observationPointRecord());
        } else if (key == "loadCases") {
            loadCases(k, m->loadCases);
        } else if (key == "results") {
            results(k, *m);
        } else if (key == "optimizer") {
            optimizer(k, o);
        } else {
            unknown(k);
        }
    });
    in_.finish();
    finishIds(*m, hasLastId);
    finishSteps(*m);
    // The running count left out the names a key did not give (defaults) and
    // the parameters' current values: the model file itself decides.
    if (const ModelFileCheck file = checkModelFile(*m, o); !file.ok())
        throw JsonError(file.problem);
    result.model = std::move(m);
    return result;
}

StudyRead readModel(JsonReader& in) {
    try {
        ModelReader reader(in);
        return reader.read();
    } catch (const JsonError& e) {
        StudyRead refused;
        refused.error = e.what();
        return refused;
    }
}

} // namespace

std::string writeModelJson(const AnalysisModel& model, const Optimizer& optimizer,
                           const TextSink& sink) {
    if (const ModelFileCheck file = checkModelFile(model, optimizer); !file.ok())
        return file.problem;
    PrettyWriter w(sink);
    writeModel(w, model, optimizer);
    return w.flush() ? std::string() : std::string("書き込みに失敗しました");
}

std::string modelToJson(const AnalysisModel& model, const Optimizer& optimizer) {
    std::string out;
    const TextSink append = [&out](std::string_view piece) {
        out += piece;
        return true;
    };
    PrettyWriter w(append);
    writeModel(w, model, optimizer);
    w.flush();
    return out;
}

StudyRead modelFromJson(std::string_view text) {
    JsonReader in(text);
    return readModel(in);
}

StudyRead readJsonModelFile(const std::string& path) {
    StudyRead result;
    // Non-blocking so that a FIFO named by mistake is refused instead of waited on.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    if (fd < 0) {
        result.error = "cannot open: " + std::error_code(errno, std::generic_category()).message();
        return result;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        result.error = "cannot open: not a regular file";
        return result;
    }
    JsonReader in(fd);
    result = readModel(in);
    ::close(fd);
    return result;
}

} // namespace quav
