#pragma once

#include "model/AnalysisModel.h"
#include "model/Archive.h"
#include "model/FileIo.h"
#include "optimizer/Optimizer.h"
#include "optimizer/Study.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quav {

/// The format version written at the start of every model file.
constexpr int modelFormatVersion = 303;

/// Writes bindings, parameters and conditions as the last block of a model
/// file; every parameter entry carries `optimizer.parameterIdCounter`.
void writeOptimizerBlock(ArchiveWriter& out, const Optimizer& optimizer);
/// Reads the block of a file of format `fileVersion` into `optimizer`, which
/// is empty (a new one, or after clearStudy). Files before 200 have no block;
/// files before 210 have no displacement conditions. On success
/// `parameterIdCounter` takes the stored counter when the file has parameters;
/// a failed read (reported by `in`) leaves it alone.
void readOptimizerBlock(ArchiveReader& in, int fileVersion, Optimizer& optimizer);

/// A model file in memory, or why it could not be built.
struct ModelBytes {
    std::string bytes;
    std::string error;
    bool ok() const { return error.empty(); }
};

/// The model block (format 303), the optimiser block and, when the model has
/// data the format has no place for (frequency tables), the extension block
/// (ModelExtensions.h). Fails, naming the object, when a string holds a
/// character code page 932 cannot encode or a table is not one the reader takes.
///
/// The step results are written as trunc((end - start) / step) + 1 blocks of
/// one 12-value row per current dynamic load: when loads were added or removed
/// after the sweep, rows a step table lacks are written as zeros and rows
/// beyond the loads are left out, so the file always reads back.
ModelBytes writeModelBytes(const AnalysisModel& model, const Optimizer& optimizer);

/// Whether `model` with `optimizer` can be a model file, found without
/// building it: its exact size as `writeModelBytes` writes it, and why it
/// cannot be written (a list longer than a reader accepts, a text without a
/// code page 932 form, more than `maxModelFileBytes`), empty when it can.
struct ModelFileCheck {
    std::uint64_t bytes = 0;
    std::string problem;
    bool ok() const { return problem.empty(); }
};
ModelFileCheck checkModelFile(const AnalysisModel& model, const Optimizer& optimizer);

/// Writes the model file through a temporary file renamed over `path`; on
/// failure the previous file at `path` is untouched and `error` says why.
FileResult saveModelFile(const AnalysisModel& model, const Optimizer& optimizer,
                         const std::string& path, Durability durability = Durability::Synced);

/// Reads a model file into a study: a fresh model and an optimiser holding the
/// file's parameters, bindings and conditions, or the reason the file was refused.
/// Reads every layout by the first integer W: up to 199 the oldest layout
/// (W is `lastId`), 200 to 219 six-column dynamic and step rows, from 210
/// displacement conditions, from 220 the full layout; then the extension block
/// when one follows. Every count and length is checked against the bytes left
/// before anything is allocated; any damage refuses the whole file. The optimiser's
/// `parameterIdCounter` is the file's counter when the file has parameters, else 0.
StudyRead readModelBytes(std::string_view bytes);

/// `readModelBytes` on the content of the file at `path`.
StudyRead loadModelFile(const std::string& path);

} // namespace quav
