#pragma once

#include "model/AnalysisModel.h"
#include "model/Archive.h"
#include "optimizer/Optimizer.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace quav {

// The extension block of the model file: every part of a model that the
// format-303 layout has no place for (frequency tables, and later load cases,
// force-deflection curves, optimiser objectives, catalogues) goes here, behind
// the optimiser block, so that a reader that stops at the model's end still
// opens the file, without those parts. A model with no such data writes no
// block at all: its file is byte for byte the format-303 file.
//
// Layout (little-endian, no padding, as the rest of the file):
//
//   magic    8 bytes  "QUAVEXT" and a zero byte
//   version  i32      kExtensionBlockVersion (1)
//   length   i32      bytes of the sections that follow, up to the file's end
//   sections, each:
//     tag      4 bytes  ASCII letters and digits, such as "FTAB"
//     length   i32      payload bytes
//     payload  length bytes, written and read by the section's own codec
//
// Reading. After the optimiser block: no bytes left, or bytes that do not begin
// with the magic (trailing bytes, which readers have always ignored), mean no
// block. Once the magic is there the block is read strictly, and any fault
// refuses the whole file, as damage anywhere else does: a truncated magic, a
// version below 1, a length other than the bytes left, a section longer than
// the block, a malformed or repeated tag, a payload its codec does not read
// exactly to its end, or a fault the codec finds. Lengths are checked against
// the bytes left before anything is read or allocated, and each codec reads
// through a reader bounded to its payload.
//
// Versions and unknown tags. A block of a version above kExtensionBlockVersion
// refuses the file (its framing may differ; saving without it would lose data).
// A tag whose first character is an upper-case letter is essential: a reader
// that does not know it refuses the file rather than drop data on the next
// save. A tag beginning with a lower-case letter or a digit is optional: a
// reader that does not know it skips the payload, and the section is not
// written again. Choose an upper-case tag unless losing the data is harmless.
//
// Adding a section: write the payload's reader and writer (the framing, the
// length and the bounds are not theirs to handle) and add one entry to the
// table in ExtensionSections.cpp.

/// The framing version this build writes and reads.
inline constexpr std::int32_t kExtensionBlockVersion = 1;
/// The 8 bytes that open the block.
inline constexpr std::string_view kExtensionMagic{"QUAVEXT\0", 8};

/// What a section's codec reads into and writes from.
struct ExtensionTarget {
    AnalysisModel& model;
    Optimizer& optimizer;
};

/// One kind of section.
struct ExtensionSection {
    /// Four ASCII letters or digits; an upper-case first letter makes the section
    /// essential (see above).
    std::string_view tag;
    /// Whether the model has data for this section; a section without data is
    /// not written.
    bool (*hasData)(const AnalysisModel& model, const Optimizer& optimizer);
    /// Writes the payload. Data that a reader would refuse must not be written:
    /// the codec calls `out.fail` with the reason, and the save is refused.
    void (*write)(ArchiveWriter& out, const AnalysisModel& model, const Optimizer& optimizer);
    /// Reads the payload into a model whose format-303 data and optimiser block
    /// are read. `in` holds exactly the payload; the codec reports damage with
    /// `in.fail` and need not check that it read everything.
    void (*read)(ArchiveReader& in, ExtensionTarget target);
};

/// The sections this build knows, in the order they are written.
std::span<const ExtensionSection> extensionSections();

/// Writes the block when some section has data; nothing otherwise.
void writeExtensionBlock(ArchiveWriter& out, const AnalysisModel& model,
                         const Optimizer& optimizer);

/// Reads the block, if the bytes left in `in` begin with one, into `target`;
/// afterwards nothing is left in `in`. Failures are recorded in `in`.
void readExtensionBlock(ArchiveReader& in, ExtensionTarget target);

} // namespace quav
