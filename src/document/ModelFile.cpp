#include "document/ModelFile.h"

#include "document/ModelExtensions.h"
#include "document/ModelRecords.h"
#include "model/Archive.h"
#include "model/RecordArchive.h"

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

// Every parameter record starts with the optimiser's parameter id counter.
constexpr std::size_t kParameterCounterBytes = 4;

// Result tables may outlive the loads they were computed for, so their row
// counts are bounded only by what a Matrix can index.
constexpr int kMaxResultRows = INT_MAX / 12;

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

/// The list's count, then each record by its layout.
template <class R>
void writeList(ArchiveWriter& out, const std::vector<R>& list, const RecordLayout<R>& layout) {
    out.writeI32(static_cast<int>(list.size()));
    for (const R& r : list)
        writeRecord(out, layout, r, modelFormatVersion);
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

    writeList(out, m.springs, springRecord());
    writeList(out, m.springCharacteristics, characteristicRecord());
    writeList(out, m.staticLoads, staticLoadRecord());
    writeList(out, m.observationPoints, observationPointRecord());
    out.writeString(m.memo, "メモ");
    const int dynamicCount = static_cast<int>(m.dynamicLoads.size());
    writeList(out, m.dynamicLoads, dynamicLoadRecord());

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

/// A list of a file of format `version`: its count, checked against the bytes
/// left for records of the layout's smallest size (named `what`), then the records.
template <class R>
void readList(ArchiveReader& in, std::vector<R>& list, const RecordLayout<R>& layout, int version,
              std::string_view what) {
    const int count = in.readCount(layout.minFileBytes(version), maxListEntries, what);
    for (int i = 0; i < count && in.ok(); ++i)
        readRecord(in, layout, list.emplace_back(), version);
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

    readList(in, m.springs, springRecord(), w, "ばね要素の数");
    readList(in, m.springCharacteristics, characteristicRecord(), w, "ばね特性の数");
    readList(in, m.staticLoads, staticLoadRecord(), w, "静荷重の数");
    readList(in, m.observationPoints, observationPointRecord(), w, "観測点の数");
    m.memo = in.readString();
    if (!versioned)
        return;

    readList(in, m.dynamicLoads, dynamicLoadRecord(), w, "動荷重の数");
    const int dynamicCount = static_cast<int>(m.dynamicLoads.size());

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
    writeList(out, o.bindings, bindingRecord());
    out.writeI32(static_cast<int>(o.parameters.size()));
    for (const auto& p : o.parameters) {
        out.writeI32(o.parameterIdCounter);
        writeRecord(out, parameterRecord(), p, modelFormatVersion);
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
    writeList(out, c.displacementConditions, displacementConditionRecord());
}

void readOptimizerBlock(ArchiveReader& in, int fileVersion, Optimizer& o) {
    if (fileVersion < 200)
        return;
    readList(in, o.bindings, bindingRecord(), fileVersion, "関連付けの数");

    // Every entry carries the counter of the saving session (the same in each);
    // the optimiser takes it only once the whole block has been read, so a
    // damaged file leaves its numbering alone.
    const int parameterCount =
        in.readCount(kParameterCounterBytes + parameterRecord().minFileBytes(fileVersion),
                     maxListEntries, "設計パラメータの数");
    std::optional<int> storedCounter;
    for (int i = 0; i < parameterCount; ++i) {
        DesignParameter p;
        storedCounter = in.readI32();
        readRecord(in, parameterRecord(), p, fileVersion);
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
    if (fileVersion >= 210)
        readList(in, c.displacementConditions, displacementConditionRecord(), fileVersion,
                 "変位条件の数");
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
    const int v = modelFormatVersion;
    const std::size_t records =
        springRecord().minFileBytes(v) * m.springs.size() +
        characteristicRecord().minFileBytes(v) * m.springCharacteristics.size() +
        staticLoadRecord().minFileBytes(v) * m.staticLoads.size() +
        dynamicLoadRecord().minFileBytes(v) * m.dynamicLoads.size() +
        observationPointRecord().minFileBytes(v) * m.observationPoints.size();
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
