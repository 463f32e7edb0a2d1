// Feeds arbitrary bytes to the bulk-data reader. It must end on any input with a
// model or a refusal that names its line, and a model it takes must be one the
// writer can write and the reader take again.
#include "exchange/BulkDataReader.h"
#include "exchange/BulkDataWriter.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quav;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const BulkDataImport r = readBulkData(text);
    if (!r.ok()) {
        if (r.error.empty() || !r.warnings.empty())
            __builtin_trap();
        return 0;
    }
    const AnalysisModel& m = *r.model;
    if (!(m.mass > 0.0) || !std::isfinite(m.mass))
        __builtin_trap();
    for (const auto& s : m.springs)
        if (!m.findCharacteristic(s.characteristicId))
            __builtin_trap();
    const BulkDataDeck deck = writeBulkData(m);
    if (!deck.ok())
        return 0; // a sum beyond a double, say: the writer refuses it with its reason
    const BulkDataImport again = readBulkData(deck.text);
    if (!again.ok() || again.model->springs.size() != m.springs.size())
        __builtin_trap();
    return 0;
}
