// The sections of the model file's extension block (ModelExtensions.h): each a
// payload codec and one entry in the table at the end.
#include "analysis/ModelCheck.h"
#include "document/ModelExtensions.h"

#include <algorithm>

namespace quav {

namespace {

// --- FTAB: frequency tables of spring characteristics --------------------------
//
//   count    i32   characteristics with a table
//   count entries, in the order of the characteristics:
//     index  i32   the characteristic's place in the model's list, from 0
//     rows   i32   2 to 64
//     rows x (f, ratio x, y, z, loss x, y, z), each f64
//
// The place, not the id, says whose table it is: ids are unique in every model
// QUAV makes, but a file need not be. A table the engine would refuse is refused
// here as damage, and never written, so every file with tables holds valid ones.

constexpr std::size_t kTableRowBytes = kTableColumns * 8;
constexpr std::size_t kMinTableEntryBytes = 8 + kMinTableRows * kTableRowBytes;

std::string tableOwner(const SpringCharacteristic& c) {
    return elementLabel("ばね特性", c.name, c.id) + " の周波数特性";
}

bool hasTables(const AnalysisModel& m, const Optimizer&) {
    return std::any_of(m.springCharacteristics.begin(), m.springCharacteristics.end(),
                       [](const SpringCharacteristic& c) { return !c.frequencyTable.empty(); });
}

void writeTables(ArchiveWriter& out, const AnalysisModel& m, const Optimizer&) {
    const auto count =
        std::count_if(m.springCharacteristics.begin(), m.springCharacteristics.end(),
                      [](const SpringCharacteristic& c) { return !c.frequencyTable.empty(); });
    out.writeI32(static_cast<std::int32_t>(count));
    for (std::size_t i = 0; i < m.springCharacteristics.size(); ++i) {
        const SpringCharacteristic& c = m.springCharacteristics[i];
        if (c.frequencyTable.empty())
            continue;
        if (const auto problem = checkFrequencyTable(c.frequencyTable)) {
            out.fail(tableOwner(c) + ": " + tableCellText(*problem) + ": " +
                     tableRuleText(problem->kind));
            return;
        }
        out.writeI32(static_cast<std::int32_t>(i));
        out.writeI32(static_cast<std::int32_t>(c.frequencyTable.size()));
        for (const FrequencyTableRow& row : c.frequencyTable)
            for (int column = 0; column < kTableColumns; ++column)
                out.writeF64(tableCell(row, column));
    }
}

void readTables(ArchiveReader& in, ExtensionTarget target) {
    auto& characteristics = target.model.springCharacteristics;
    const int count = in.readCount(kMinTableEntryBytes, static_cast<int>(characteristics.size()),
                                   "周波数特性のあるばね特性の数");
    int previous = -1;
    for (int k = 0; k < count && in.ok(); ++k) {
        const std::int32_t index = in.readI32();
        if (!in.ok())
            return;
        if (index <= previous || index >= static_cast<std::int32_t>(characteristics.size()))
            return in.fail("周波数特性のばね特性番号 " + std::to_string(index) + " が不正です");
        previous = index;
        SpringCharacteristic& c = characteristics[static_cast<std::size_t>(index)];
        const std::int32_t rows = in.readI32();
        if (!in.ok())
            return;
        if (rows < kMinTableRows || rows > kMaxTableRows)
            return in.fail(tableOwner(c) + ": 行数 " + std::to_string(rows) + " が不正です（" +
                           std::to_string(kMinTableRows) + "～" + std::to_string(kMaxTableRows) +
                           " 行）");
        if (static_cast<std::size_t>(rows) > in.remaining() / kTableRowBytes)
            return in.fail(tableOwner(c) + ": 行数 " + std::to_string(rows) +
                           " がファイルの残りに収まりません");
        FrequencyTable table(static_cast<std::size_t>(rows));
        for (FrequencyTableRow& row : table)
            for (int column = 0; column < kTableColumns; ++column)
                setTableCell(row, column, in.readF64());
        if (const auto problem = checkFrequencyTable(table))
            return in.fail(tableOwner(c) + ": " + tableCellText(*problem) + ": " +
                           tableRuleText(problem->kind));
        c.frequencyTable = std::move(table);
    }
}

// --- MITR: eigen solutions each mode's own frequency took ----------------------
//
//   6 x i32, modes 1 to 6; written when one of them is not 0.

bool hasIterations(const AnalysisModel& m, const Optimizer&) {
    return std::any_of(m.modeIterations.begin(), m.modeIterations.end(),
                       [](int n) { return n != 0; });
}

void writeIterations(ArchiveWriter& out, const AnalysisModel& m, const Optimizer&) {
    for (int n : m.modeIterations)
        out.writeI32(n);
}

void readIterations(ArchiveReader& in, ExtensionTarget target) {
    for (int& n : target.model.modeIterations)
        n = in.readI32();
}

// --- OBJV: the objectives of the optimiser's study -----------------------------
//
//   count    i32   1 to kMaxObjectives
//   count x (kind, sense (0 min, 1 max), mode, load, object), each i32
//
// Essential: a study that lost its objectives would run without its front.

constexpr std::size_t kObjectiveBytes = 5 * 4;

bool hasObjectives(const AnalysisModel&, const Optimizer& o) {
    return !o.objectives.empty();
}

void writeObjectives(ArchiveWriter& out, const AnalysisModel&, const Optimizer& o) {
    if (o.objectives.size() > kMaxObjectives)
        return out.fail("目的関数が多すぎます");
    out.writeI32(static_cast<std::int32_t>(o.objectives.size()));
    for (const Objective& objective : o.objectives) {
        out.writeI32(static_cast<std::int32_t>(objective.kind));
        out.writeI32(objective.maximise ? 1 : 0);
        out.writeI32(objective.mode);
        out.writeI32(objective.load);
        out.writeI32(objective.object);
    }
}

void readObjectives(ArchiveReader& in, ExtensionTarget target) {
    const int count =
        in.readCount(kObjectiveBytes, static_cast<int>(kMaxObjectives), "目的関数の数");
    std::vector<Objective> objectives;
    for (int k = 0; k < count && in.ok(); ++k) {
        const std::int32_t kind = in.readI32();
        const std::int32_t sense = in.readI32();
        Objective o;
        o.mode = in.readI32();
        o.load = in.readI32();
        o.object = in.readI32();
        if (!in.ok())
            return;
        if (kind < 0 || kind > static_cast<int>(ObjectiveKind::StaticDisplacement) ||
            (sense != 0 && sense != 1))
            return in.fail("目的関数 " + std::to_string(k + 1) + " の種類が不正です");
        o.kind = static_cast<ObjectiveKind>(kind);
        o.maximise = sense == 1;
        objectives.push_back(o);
    }
    if (count == 0)
        return in.fail("目的関数の数 0 が不正です");
    target.optimizer.objectives = std::move(objectives);
}

// --- CURV: force-deflection curves and rated loads of spring characteristics --
//
//   count    i32   characteristics with a curve or a rated load
//   count entries, in the order of the characteristics:
//     index  i32   the characteristic's place in the model's list, from 0
//     rated  i32   1 with a rated load, 0 without
//     rated x, y, z f64 (only with a rated load)
//     3 x (points i32, 0 or 2 to 64; points x (deflection, force) f64), local x, y, z
//
// Curves and ratings the engine would refuse are refused here as damage and
// never written.

constexpr std::size_t kMinCurveEntryBytes = 4 + 4 + 3 * 4;
constexpr std::size_t kCurvePointBytes = 16;

bool curvedOrRated(const SpringCharacteristic& c) {
    return c.hasCurves() || c.ratedLoad.has_value();
}

std::string curveOwner(const SpringCharacteristic& c) {
    return elementLabel("ばね特性", c.name, c.id) + " の非線形特性";
}

/// The first problem of the characteristic's curves and rated load, or empty.
std::string curveProblem(const SpringCharacteristic& c) {
    std::vector<ModelProblem> problems;
    SpringCharacteristic only;
    only.curves = c.curves;
    only.ratedLoad = c.ratedLoad;
    only.name = c.name;
    only.id = c.id;
    only.dynamicFactor = 1.0;
    checkCharacteristic(only, problems);
    return problems.empty() ? std::string() : problems.front().text;
}

bool hasCurves(const AnalysisModel& m, const Optimizer&) {
    return std::any_of(m.springCharacteristics.begin(), m.springCharacteristics.end(),
                       curvedOrRated);
}

void writeCurves(ArchiveWriter& out, const AnalysisModel& m, const Optimizer&) {
    const auto& list = m.springCharacteristics;
    out.writeI32(static_cast<std::int32_t>(std::count_if(list.begin(), list.end(), curvedOrRated)));
    for (std::size_t i = 0; i < list.size(); ++i) {
        const SpringCharacteristic& c = list[i];
        if (!curvedOrRated(c))
            continue;
        if (const std::string problem = curveProblem(c); !problem.empty())
            return out.fail(problem);
        out.writeI32(static_cast<std::int32_t>(i));
        out.writeI32(c.ratedLoad ? 1 : 0);
        if (c.ratedLoad)
            for (double r : *c.ratedLoad)
                out.writeF64(r);
        for (const ForceCurve& curve : c.curves) {
            out.writeI32(static_cast<std::int32_t>(curve.size()));
            for (const ForcePoint& p : curve) {
                out.writeF64(p.deflection);
                out.writeF64(p.force);
            }
        }
    }
}

void readCurves(ArchiveReader& in, ExtensionTarget target) {
    auto& characteristics = target.model.springCharacteristics;
    const int count = in.readCount(kMinCurveEntryBytes, static_cast<int>(characteristics.size()),
                                   "非線形特性のあるばね特性の数");
    int previous = -1;
    for (int k = 0; k < count && in.ok(); ++k) {
        const std::int32_t index = in.readI32();
        const std::int32_t rated = in.readI32();
        if (!in.ok())
            return;
        if (index <= previous || index >= static_cast<std::int32_t>(characteristics.size()))
            return in.fail("非線形特性のばね特性番号 " + std::to_string(index) + " が不正です");
        previous = index;
        SpringCharacteristic& c = characteristics[static_cast<std::size_t>(index)];
        if (rated != 0 && rated != 1)
            return in.fail(curveOwner(c) + ": 定格荷重の有無 " + std::to_string(rated) +
                           " が不正です");
        if (rated) {
            std::array<double, 3> r{};
            for (double& v : r)
                v = in.readF64();
            c.ratedLoad = r;
        }
        for (ForceCurve& curve : c.curves) {
            const std::int32_t points = in.readI32();
            if (!in.ok())
                return;
            if (points != 0 && (points < kMinForcePoints || points > kMaxForcePoints))
                return in.fail(curveOwner(c) + ": 点の数 " + std::to_string(points) +
                               " が不正です（0 または " + std::to_string(kMinForcePoints) + "～" +
                               std::to_string(kMaxForcePoints) + " 点）");
            if (static_cast<std::size_t>(points) > in.remaining() / kCurvePointBytes)
                return in.fail(curveOwner(c) + ": 点の数 " + std::to_string(points) +
                               " がファイルの残りに収まりません");
            curve.resize(static_cast<std::size_t>(points));
            for (ForcePoint& p : curve) {
                p.deflection = in.readF64();
                p.force = in.readF64();
            }
        }
        if (!in.ok())
            return;
        if (const std::string problem = curveProblem(c); !problem.empty())
            return in.fail(problem);
    }
}

// --- LCAS: load cases ------------------------------------------------------------
//
//   count    i32   1 to 1,000
//   count cases:
//     name   string (length prefix, code page 932)
//     gLoad  3 x f64
//     terms  i32
//     terms x (load id i32, factor f64)

constexpr std::size_t kMinCaseBytes = 1 + 24 + 4;
constexpr std::size_t kTermBytes = 12;

bool hasCases(const AnalysisModel& m, const Optimizer&) {
    return !m.loadCases.empty();
}

void writeCases(ArchiveWriter& out, const AnalysisModel& m, const Optimizer&) {
    if (const auto problem = checkLoadCases(m.loadCases))
        return out.fail(problem->text);
    out.writeI32(static_cast<std::int32_t>(m.loadCases.size()));
    for (std::size_t i = 0; i < m.loadCases.size(); ++i) {
        const LoadCase& c = m.loadCases[i];
        out.writeString(c.name, "荷重ケース " + std::to_string(i + 1) + " の名前");
        for (double g : c.gLoad)
            out.writeF64(g);
        out.writeI32(static_cast<std::int32_t>(c.terms.size()));
        for (const LoadTerm& t : c.terms) {
            out.writeI32(t.load);
            out.writeF64(t.factor);
        }
    }
}

void readCases(ArchiveReader& in, ExtensionTarget target) {
    const int count = in.readCount(kMinCaseBytes, kMaxLoadCases, "荷重ケースの数");
    std::vector<LoadCase> cases;
    for (int k = 0; k < count && in.ok(); ++k) {
        LoadCase c;
        c.name = in.readString();
        for (double& g : c.gLoad)
            g = in.readF64();
        const int terms = in.readCount(kTermBytes, kMaxCaseTerms, "荷重ケースの静荷重の数");
        c.terms.resize(static_cast<std::size_t>(terms));
        for (LoadTerm& t : c.terms) {
            t.load = in.readI32();
            t.factor = in.readF64();
        }
        cases.push_back(std::move(c));
    }
    if (!in.ok())
        return;
    if (const auto problem = checkLoadCases(cases))
        return in.fail(problem->text);
    target.model.loadCases = std::move(cases);
}

// --- LCOK: the optimiser's condition that every load case passes ----------------
//
//   flag     i32   1 (the section is absent when the condition is off)
//
// Essential: a study that lost the condition would accept what fails its cases.

bool hasCaseCondition(const AnalysisModel&, const Optimizer& o) {
    return o.conditions.loadCasesPass != 0;
}

void writeCaseCondition(ArchiveWriter& out, const AnalysisModel&, const Optimizer&) {
    out.writeI32(1);
}

void readCaseCondition(ArchiveReader& in, ExtensionTarget target) {
    const std::int32_t flag = in.readI32();
    if (!in.ok())
        return;
    if (flag != 1)
        return in.fail("荷重ケースの条件 " + std::to_string(flag) + " が不正です");
    target.optimizer.conditions.loadCasesPass = 1;
}

constexpr ExtensionSection kSections[] = {
    {"FTAB", hasTables, writeTables, readTables},
    {"MITR", hasIterations, writeIterations, readIterations},
    {"OBJV", hasObjectives, writeObjectives, readObjectives},
    {"CURV", hasCurves, writeCurves, readCurves},
    {"LCAS", hasCases, writeCases, readCases},
    {"LCOK", hasCaseCondition, writeCaseCondition, readCaseCondition},
};

} // namespace

std::span<const ExtensionSection> extensionSections() {
    return kSections;
}

} // namespace quav
