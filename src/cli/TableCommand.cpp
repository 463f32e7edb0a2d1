#include "cli/TableCommand.h"

#include "cli/CommandOutput.h"
#include "document/FrequencyTableText.h"
#include "model/FileIo.h"

#include <iostream>

namespace quav {

namespace {

// A table of 64 rows is a few kilobytes: more is no table file.
constexpr std::size_t kMaxTableFileBytes = 1 << 20;

} // namespace

TableEdit tableCommand(AnalysisModel& model, int id, const std::string& csvPath, bool clear) {
    SpringCharacteristic* c = model.findCharacteristic(id);
    if (!c) {
        std::cerr << "quav-cli: no spring characteristic has id " << id << "\n";
        return {2, false};
    }
    if (clear) {
        c->frequencyTable.clear();
        model.calculated = 0;
        return {0, true};
    }
    if (csvPath.empty()) {
        if (c->frequencyTable.empty())
            std::cerr << "quav-cli: characteristic " << id << " has no frequency table\n";
        writeOut(frequencyTableCsv(c->frequencyTable));
        return {0, false};
    }
    const FileContent file = readWholeFile(csvPath, kMaxTableFileBytes);
    if (!file.ok()) {
        std::cerr << "quav-cli: cannot read " << csvPath << ": " << file.error << "\n";
        return {2, false};
    }
    const TableText table = readFrequencyTable(file.bytes, TableHeading::Required);
    if (!table.ok()) {
        std::cerr << "quav-cli: " << csvPath << ": " << table.error << "\n";
        return {2, false};
    }
    c->frequencyTable = table.rows;
    model.calculated = 0;
    return {0, true};
}

} // namespace quav
