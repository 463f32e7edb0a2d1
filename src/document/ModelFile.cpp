#include "document/ModelFile.h"

#include "document/ModelExtensions.h"
#include "model/Archive.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <optional>
#include <utility>

namespace quav {

namespace {

// Layout boundaries of older files, by their first integer.
constexpr int kFirstVersionedLayout = 200;    // below: no version field, file ends after the memo
constexpr int kFirstTwelveColumnLayout = 220; // below: dynamic and step rows carry 6 values

// Smallest encoded records (an empty name takes one byte), for checking counts
// against the bytes left.
constexpr std::size_t kMinSpringBytes = 57;
constexpr std::size_t kMinCharacteristicBytes = 65;
constexpr std::size_t kMinCharacteristicBytesWithoutDamping = 41;
constexpr std::size_t kMinStaticLoadBytes = 93;
constexpr std::size_t kMinDynamicLoadBytes = 101;
constexpr std::size_t kMinObservationPointBytes = 29;
constexpr std::size_t kBindingBytes = 20;
constexpr std::size_t kMinParameterBytes = 4 + 4 + 3 * 8 + 1 + 8;
constexpr std::size_t kDisplacementConditionBytes = 44;

// Result tables may outlive the loads they were computed for, so their row
// counts are bounded only by what a Matrix can index.
constexpr int kMaxResultRows = INT_MAX / 12;

std::string idText(int id) {
    return "（ID " + std::to_string(id) + "）";
}

// --- Writing -------------------------------------------------------------------

void writeVector(ArchiveWriter& out, const Matrix& m, int count) {
    out.writeF64s(m.data(), m.size(), count);
}

/// `columns` values of every row of `m`; missing columns are written as zeros.
void writeRows(ArchiveWriter& out, const Matrix& m, int rows, int columns) {
    for (int r = 0; r < rows; ++r) {
        const bool present = r < m.rows();
        const int have = present ? std::min(m.cols(), columns) : 0;
        out.writeF64s(present ? m.data() + static_cast<std::size_t>(r) * m.cols() : nullptr, have,
                      columns);
    }
}

void writeStaticLoad(ArchiveWriter& out, const StaticLoad& l, std::string_view kind) {
    out.writeI32(l.selected);
    out.writeI32(l.id);
    out.writeString(l.name, std::string(kind) + idText(l.id) + "の名前");
    out.writeI32(l.type);
    out.writeF64(l.value);
    writeVector(out, l.position, 3);
    writeVector(out, l.referencePoint, 3);
    writeVector(out, l.direction, 3);
}

/// The number of sweep steps written: trunc((end - start) / step) + 1 when the
/// model has step results and that is a usable count, otherwise 0.
int stepCountToWrite(const AnalysisModel& model) {
    if (!model.hasFrequencyStepResults())
        return 0;
    const double steps = model.sweepStepCountExact();
    if (!(steps >= 1.0 && steps <= static_cast<double>(INT_MAX)))
        return 0;
    return static_cast<int>(steps);
}

void writeModelBlock(ArchiveWriter& out, const AnalysisModel& m) {
    out.writeI32(modelFormatVersion);
    out.writeI32(m.lastId);
    out.writeI32(m.massElementId);
    out.writeF64(m.mass);
    out.writeI32(m.calculated);
    writeVector(out, m.inertia, 9);
    writeVector(out, m.centreOfGravity, 3);
    writeVector(out, m.size, 3);
    writeVector(out, m.eigenFrequencies, 6);
    writeVector(out, m.modeShapes, 36);

    out.writeI32(m.staticResults.rows());
    writeRows(out, m.staticResults, m.staticResults.rows(), 6);

    out.writeI32(static_cast<int>(m.springs.size()));
    for (const auto& s : m.springs) {
        out.writeI32(s.selected);
        out.writeI32(s.id);
        out.writeString(s.name, "ばね要素" + idText(s.id) + "の名前");
        out.writeF64(s.angles.size() > 1 ? s.angles[1] : 0.0);
        out.writeF64(s.angles.size() > 2 ? s.angles[2] : 0.0);
        out.writeF32(s.size);
        out.writeI32(s.characteristicId);
        writeVector(out, s.position, 3);
    }

    out.writeI32(static_cast<int>(m.springCharacteristics.size()));
    for (const auto& c : m.springCharacteristics) {
        out.writeI32(0); // reserved
        out.writeI32(c.id);
        out.writeString(c.name, "ばね特性" + idText(c.id) + "の名前");
        out.writeF64(c.dynamicFactor);
        writeVector(out, c.stiffness, 3);
        writeVector(out, c.damping, 3);
    }

    out.writeI32(static_cast<int>(m.staticLoads.size()));
    for (const auto& l : m.staticLoads)
        writeStaticLoad(out, l, "静荷重");

    out.writeI32(static_cast<int>(m.observationPoints.size()));
    for (const auto& p : m.observationPoints) {
        out.writeI32(p.id);
        out.writeString(p.name, "観測点" + idText(p.id) + "の名前");
        writeVector(out, p.position, 3);
    }

    out.writeString(m.memo, "メモ");

    const int dynamicCount = static_cast<int>(m.dynamicLoads.size());
    out.writeI32(dynamicCount);
    for (const auto& l : m.dynamicLoads) {
        writeStaticLoad(out, l, "動荷重");
        out.writeF64(l.frequency);
    }

    out.writeI32(m.dynamicResults.rows());
    writeRows(out, m.dynamicResults, m.dynamicResults.rows(), 12);

    out.writeF64(m.frequencyEnd);
    out.writeF64(m.frequencyStart);
    out.writeF64(m.frequencyStep);

    const int steps = stepCountToWrite(m);
    out.writeI32(steps);
    static const Matrix noRows;
    for (int k = 0; k < steps; ++k) {
        const bool present = static_cast<std::size_t>(k) < m.frequencyStepResults.size();
        writeRows(out, present ? m.frequencyStepResults[k] : noRows, dynamicCount, 12);
    }
}

// --- Reading -------------------------------------------------------------------

void readVector(ArchiveReader& in, Matrix& m, int count) {
    in.readF64s(m.data(), count);
}

/// Reads `rows` rows of `columnsInFile` values into a rows x `columns` table,
/// leaving the columns the file does not carry at zero.
void readRows(ArchiveReader& in, Matrix& m, int rows, int columns, int columnsInFile) {
    m.resize(rows, columns);
    for (int r = 0; r < rows && in.ok(); ++r)
        in.readF64s(&m.rowStart(r), columnsInFile);
}

void readStaticLoad(ArchiveReader& in, StaticLoad& l) {
    l.selected = in.readI32();
    l.id = in.readI32();
    l.name = in.readString();
    l.type = in.readI32();
    l.value = in.readF64();
    readVector(in, l.position, 3);
    readVector(in, l.referencePoint, 3);
    readVector(in, l.direction, 3);
}

void readModelBlock(ArchiveReader& in, AnalysisModel& m) {
    const int w = in.readI32();
    if (!in.ok())
        return;
    m.fileVersion = w;
    const bool versioned = w >= kFirstVersionedLayout;
    m.lastId = versioned ? in.readI32() : w;
    m.massElementId = in.readI32();
    m.mass = in.readF64();
    m.calculated = in.readI32();
    readVector(in, m.inertia, 9);
    readVector(in, m.centreOfGravity, 3);
    readVector(in, m.size, 3);
    readVector(in, m.eigenFrequencies, 6);
    readVector(in, m.modeShapes, 36);

    const int staticRows = in.readCount(6 * 8, kMaxResultRows, "静解析結果の行数");
    readRows(in, m.staticResults, staticRows, 6, 6);

    const int springCount = in.readCount(kMinSpringBytes, maxListEntries, "ばね要素の数");
    for (int i = 0; i < springCount && in.ok(); ++i) {
        SpringElement s;
        s.selected = in.readI32();
        s.id = in.readI32();
        s.name = in.readString();
        s.angles[1] = in.readF64();
        s.angles[2] = in.readF64();
        s.size = in.readF32();
        s.characteristicId = in.readI32();
        readVector(in, s.position, 3);
        m.springs.push_back(std::move(s));
    }

    const int characteristicCount =
        in.readCount(versioned ? kMinCharacteristicBytes : kMinCharacteristicBytesWithoutDamping,
                     maxListEntries, "ばね特性の数");
    for (int i = 0; i < characteristicCount && in.ok(); ++i) {
        SpringCharacteristic c;
        in.readI32(); // reserved
        c.id = in.readI32();
        c.name = in.readString();
        c.dynamicFactor = in.readF64();
        readVector(in, c.stiffness, 3);
        if (versioned)
            readVector(in, c.damping, 3);
        m.springCharacteristics.push_back(std::move(c));
    }

    const int staticCount = in.readCount(kMinStaticLoadBytes, maxListEntries, "静荷重の数");
    for (int i = 0; i < staticCount && in.ok(); ++i) {
        StaticLoad l;
        readStaticLoad(in, l);
        m.staticLoads.push_back(std::move(l));
    }

    const int pointCount = in.readCount(kMinObservationPointBytes, maxListEntries, "観測点の数");
    for (int i = 0; i < pointCount && in.ok(); ++i) {
        ObservationPoint p; // the selection is not stored: points come back unselected
        p.id = in.readI32();
        p.name = in.readString();
        readVector(in, p.position, 3);
        m.observationPoints.push_back(std::move(p));
    }

    m.memo = in.readString();
    if (!versioned)
        return;

    const int dynamicCount = in.readCount(kMinDynamicLoadBytes, maxListEntries, "動荷重の数");
    for (int i = 0; i < dynamicCount && in.ok(); ++i) {
        DynamicLoad l;
        readStaticLoad(in, l);
        l.frequency = in.readF64();
        m.dynamicLoads.push_back(std::move(l));
    }

    const int columnsInFile = w >= kFirstTwelveColumnLayout ? 12 : 6;
    const std::size_t rowBytes = static_cast<std::size_t>(columnsInFile) * 8;
    const int dynamicRows = in.readCount(rowBytes, kMaxResultRows, "動解析結果の行数");
    readRows(in, m.dynamicResults, dynamicRows, 12, columnsInFile);

    m.frequencyEnd = in.readF64();
    m.frequencyStart = in.readF64();
    m.frequencyStep = in.readF64();

    const int steps = in.readI32();
    if (!in.ok() || steps == 0)
        return;
    if (steps < 0) {
        in.fail("周波数ステップ数が負の値 " + std::to_string(steps) + " です");
        return;
    }
    if (static_cast<double>(steps) != m.sweepStepCountExact()) {
        in.fail("周波数ステップ数 " + std::to_string(steps) + " が周波数設定と合いません");
        return;
    }
    // Without dynamic loads the step tables hold no values, so none are kept.
    if (dynamicCount == 0)
        return;
    const std::uint64_t stepBytes = static_cast<std::uint64_t>(dynamicCount) * rowBytes;
    if (static_cast<std::uint64_t>(steps) > in.remaining() / stepBytes) {
        in.fail("周波数ステップ数 " + std::to_string(steps) + " がファイルの残りに収まりません");
        return;
    }
    m.frequencyStepResults.resize(static_cast<std::size_t>(steps));
    for (auto& table : m.frequencyStepResults)
        readRows(in, table, dynamicCount, 12, columnsInFile);
}

} // namespace

void writeOptimizerBlock(ArchiveWriter& out, const Optimizer& o) {
    out.writeI32(static_cast<int>(o.bindings.size()));
    for (const auto& b : o.bindings) {
        out.writeI32(b.objectId);
        out.writeI32(b.target);
        out.writeI32(b.parameterId);
        out.writeF64(b.multiplier);
    }
    out.writeI32(static_cast<int>(o.parameters.size()));
    for (const auto& p : o.parameters) {
        out.writeI32(o.parameterIdCounter);
        out.writeI32(p.id);
        out.writeF64(p.maxValue);
        out.writeF64(p.minValue);
        out.writeF64(p.increment);
        out.writeString(p.name, "設計パラメータ「" + std::to_string(p.id) + "」の名前");
        out.writeF64(p.currentValue);
    }
    const OptimizationConditions& c = o.conditions;
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

void readOptimizerBlock(ArchiveReader& in, int fileVersion, Optimizer& o) {
    if (fileVersion < 200)
        return;
    const int bindingCount = in.readCount(kBindingBytes, maxListEntries, "関連付けの数");
    for (int i = 0; i < bindingCount; ++i) {
        ParameterBinding b;
        b.objectId = in.readI32();
        b.target = in.readI32();
        b.parameterId = in.readI32();
        b.multiplier = in.readF64();
        o.bindings.push_back(b);
    }

    // Every entry carries the counter of the saving session (the same in each);
    // the optimiser takes it only once the whole block has been read, so a
    // damaged file leaves its numbering alone.
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
        o.parameters.push_back(std::move(p));
    }

    OptimizationConditions& c = o.conditions;
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
        o.parameterIdCounter = *storedCounter;
}

namespace {

/// An upper estimate of the file size, so the buffer grows once instead of
/// being copied (and its pages touched again) at every doubling.
std::size_t estimatedSize(const AnalysisModel& m) {
    std::size_t names = m.memo.size();
    for (const auto& s : m.springs)
        names += s.name.size() + 7;
    for (const auto& c : m.springCharacteristics)
        names += c.name.size() + 7;
    for (const auto& l : m.staticLoads)
        names += l.name.size() + 7;
    for (const auto& l : m.dynamicLoads)
        names += l.name.size() + 7;
    for (const auto& p : m.observationPoints)
        names += p.name.size() + 7;
    const std::size_t records = 57 * m.springs.size() + 65 * m.springCharacteristics.size() +
                                93 * m.staticLoads.size() + 101 * m.dynamicLoads.size() +
                                29 * m.observationPoints.size();
    const std::size_t results =
        8 * (static_cast<std::size_t>(std::max(0, m.staticResults.rows())) * 6 +
             static_cast<std::size_t>(std::max(0, m.dynamicResults.rows())) * 12 +
             m.frequencyStepResults.size() * m.dynamicLoads.size() * 12);
    return 1024 + names + records + results;
}

/// The first list that holds more entries than a reader accepts, or empty.
std::string overlongList(const AnalysisModel& m, const Optimizer& o) {
    const std::pair<std::size_t, const char*> lists[] = {
        {m.springs.size(), "ばね要素"},
        {m.springCharacteristics.size(), "ばね特性"},
        {m.staticLoads.size(), "静荷重"},
        {m.dynamicLoads.size(), "動荷重"},
        {m.observationPoints.size(), "観測点"},
        {o.bindings.size(), "関連付け"},
        {o.parameters.size(), "設計パラメータ"},
        {o.conditions.displacementConditions.size(), "変位条件"},
    };
    for (const auto& [count, what] : lists)
        if (count > static_cast<std::size_t>(maxListEntries))
            return std::string(what) + "が多すぎます（" + std::to_string(count) + "件、最大" +
                   std::to_string(maxListEntries) + "件）";
    return {};
}

} // namespace

namespace {

std::string tooLarge(std::uint64_t bytes) {
    return "モデルが大きすぎます（" + std::to_string(bytes >> 20) + " MB、最大" +
           std::to_string(maxModelFileBytes >> 20) + " MB）";
}

} // namespace

ModelBytes writeModelBytes(const AnalysisModel& model, const Optimizer& optimizer) {
    // A file that could not be opened again would lose the work: refuse it here.
    if (std::string problem = overlongList(model, optimizer); !problem.empty())
        return {{}, problem};
    ArchiveWriter out;
    out.reserve(estimatedSize(model));
    writeModelBlock(out, model);
    writeOptimizerBlock(out, optimizer);
    writeExtensionBlock(out, model, optimizer);
    if (!out.ok())
        return {{}, out.error()};
    if (out.size() > maxModelFileBytes)
        return {{}, tooLarge(out.size())};
    return {out.takeBytes(), {}};
}

ModelFileCheck checkModelFile(const AnalysisModel& model, const Optimizer& optimizer) {
    if (std::string problem = overlongList(model, optimizer); !problem.empty())
        return {0, problem};
    ArchiveWriter out{ArchiveWriter::CountOnly{}};
    writeModelBlock(out, model);
    writeOptimizerBlock(out, optimizer);
    writeExtensionBlock(out, model, optimizer);
    if (!out.ok())
        return {out.size(), out.error()};
    if (out.size() > maxModelFileBytes)
        return {out.size(), tooLarge(out.size())};
    return {out.size(), {}};
}

FileResult saveModelFile(const AnalysisModel& model, const Optimizer& optimizer,
                         const std::string& path, Durability durability) {
    ModelBytes file = writeModelBytes(model, optimizer);
    if (!file.ok())
        return {"ファイルを保存できません：" + file.error};
    return writeFileAtomically(path, file.bytes, durability);
}

StudyRead readModelBytes(std::string_view bytes) {
    StudyRead result;
    auto model = std::make_unique<AnalysisModel>();
    ArchiveReader in(bytes);
    readModelBlock(in, *model);
    if (in.ok())
        readOptimizerBlock(in, model->fileVersion, result.optimizer);
    if (in.ok())
        readExtensionBlock(in, {*model, result.optimizer});
    if (!in.ok()) {
        result.optimizer.clearStudy();
        result.error = "ファイルが壊れています：" + in.error();
        return result;
    }
    result.model = std::move(model);
    return result;
}

StudyRead loadModelFile(const std::string& path) {
    FileContent file = readWholeFile(path, maxModelFileBytes);
    if (!file.ok()) {
        StudyRead result;
        result.error = file.error;
        return result;
    }
    return readModelBytes(file.bytes);
}

} // namespace quav
