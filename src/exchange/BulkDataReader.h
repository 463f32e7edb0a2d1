#pragma once

#include "model/AnalysisModel.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quav {

/// A model imported from a bulk-data deck, or why the deck was refused.
struct BulkDataImport {
    std::unique_ptr<AnalysisModel> model;
    std::vector<std::string> warnings; ///< one per ignored card type, in the deck's order
    std::string error;                 ///< "line N: CARD id: ..." when refused
    bool ok() const { return model != nullptr; }
};

inline constexpr std::size_t kMaxBulkDataBytes = 64u << 20;
inline constexpr std::size_t kMaxBulkDataLine = 1024; ///< characters; longer lines are refused
inline constexpr std::size_t kMaxBulkDataCards = 1000000;

/// Reads one rigid body on springs from a deck in small-field, large-field or
/// free-field format (mixed as one likes). Only the bulk data counts: what comes
/// before BEGIN BULK (if present) and after ENDDATA is skipped; INCLUDE is
/// refused (one file, one deck).
///
/// Taken: GRID (CP 0 or a CORD2R), CORD2R (nested through RID), CONM2 (CID -1,
/// 0 or a CORD2R; several on the rigid body are combined into one mass, centre
/// of gravity and inertia), RBE2 (CM 123456: the rigid body), CBUSH between a
/// body GRID and a fixed GRID (SPC1 123456, or GB blank) at the same place,
/// oriented by CID, and its PBUSH (K1-K3 the rates, B1-B3 the damping),
/// SPC1. Rotational rates or damping, spring offsets and several rigid bodies are
/// refused; other card types are skipped with one warning each. "$ QUAV ..."
/// comments written by writeBulkData give back names, static rates with their
/// dynamic factor and the spring angles where they agree with the deck's
/// numbers; otherwise a characteristic's rates are K1-K3 with dynamic factor 1
/// and a spring's angles come from its element axes.
BulkDataImport readBulkData(std::string_view text);

/// `readBulkData` on a regular file of at most kMaxBulkDataBytes.
BulkDataImport readBulkDataFile(const std::string& path);

} // namespace quav
