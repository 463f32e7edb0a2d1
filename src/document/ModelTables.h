#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quav {

class AnalysisModel;

/// The tables of the model browser, one per kind of model object.
enum class ModelTableKind {
    Springs,
    Characteristics,
    StaticLoads,
    DynamicLoads,
    ObservationPoints
};

/// What the browser shows of the model: per object its name, id and main
/// values, numbers with their units in the headings (or, where the unit
/// depends on the row, in the cell). Numbers carry their value for sorting.
struct ModelTable {
    struct Cell {
        std::string text;
        std::optional<double> number;
    };
    struct Row {
        int id = 0;
        bool selected = false;
        std::vector<Cell> cells;
    };
    std::string title;
    std::vector<std::string> headings;
    std::vector<Row> rows;
};

ModelTable modelTable(const AnalysisModel& model, ModelTableKind kind);

/// Sets the selection flags of the table's objects (the flags the view's picks
/// set): exactly those with an id in `ids`. The other kinds keep theirs;
/// characteristics have none. True when a flag changed.
bool selectInTable(AnalysisModel& model, ModelTableKind kind, const std::vector<int>& ids);

} // namespace quav
