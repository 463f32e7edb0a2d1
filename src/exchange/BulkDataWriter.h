#pragma once

#include "model/AnalysisModel.h"

#include <string>

namespace quav {

/// A model as a bulk-data deck, or why it cannot be one.
struct BulkDataDeck {
    std::string text; ///< the deck, lines ending in LF; empty when refused
    std::string error;
    bool ok() const { return error.empty(); }
};

/// Writes the model as a deck that runs as it stands: SOL 103 (EIGRL, 6 modes)
/// or, with dynamic loads, SOL 111 with one subcase per load (all six modes kept,
/// so the modal response is the direct one). Units m, kg, s, N.
///
/// Entries are in large-field format (16-character fields, 4 per line); a real
/// is printed with the fewest digits that read back to the same double, or with
/// as many as 16 characters hold (12 significant digits at worst). The mass is a
/// CONM2 at the centre-of-gravity GRID, its products of inertia with the sign
/// that makes the CONM2's mass matrix equal the model's (I21 = -I(x,y)); each
/// spring a body-side and a ground GRID at its position, a CBUSH oriented by a
/// CORD2R holding the spring's local axes and a PBUSH with the dynamic rates;
/// an RBE2 ties every body-side GRID to the centre of gravity, an SPC1 fixes the
/// ground. Ids are the model's own (see bulkDataGroundOffset); every entry has
/// a comment line with its QUAV name, and "$ QUAV ..." comments carry what the
/// deck cannot (names, static rates, dynamic factors, angles) for the importer.
/// Refused: ids too large for an 8-digit field, non-finite numbers.
BulkDataDeck writeBulkData(const AnalysisModel& model);

/// The offset G of the ground GRIDs (G + spring id), of the RBE2 (G + mass
/// element id) and of the tables (from 2 G): the first power of ten above the
/// model's largest id, at least 1000.
long long bulkDataGroundOffset(const AnalysisModel& model);

/// A real as a large-field bulk-data number of at most 16 characters: the
/// shortest form that reads back to `value` exactly, else the closest that fits.
/// Always has a decimal point ("1.", "2.5-7"). `value` must be finite.
std::string bulkDataReal(double value);

} // namespace quav
