#include "document/ModelTables.h"

#include "model/AnalysisModel.h"
#include "model/TextFormat.h"

#include <algorithm>

namespace quav {

namespace {

using Cell = ModelTable::Cell;

Cell number(double v, const char* unit = nullptr) {
    return {unit ? format("%g %s", v, unit) : format("%g", v), v};
}

Cell text(std::string s) {
    return {std::move(s), std::nullopt};
}

Cell id(int v) {
    return {std::to_string(v), static_cast<double>(v)};
}

template <class Load> ModelTable loadTable(const std::vector<Load>& loads, const char* title) {
    constexpr bool dynamic = std::is_same_v<Load, DynamicLoad>;
    ModelTable t;
    t.title = title;
    t.headings = {"名前",  "ID",    "種類",   "値",     "x [m]",
                  "y [m]", "z [m]", "方向 x", "方向 y", "方向 z"};
    if (dynamic)
        t.headings.push_back("周波数 [Hz]");
    for (const Load& l : loads) {
        ModelTable::Row r{l.id, l.selected != 0, {}};
        const bool moment = l.type == Moment;
        r.cells = {text(l.name),
                   id(l.id),
                   text(moment                    ? "ﾓｰﾒﾝﾄ"
                        : l.type == Translational ? "並進"
                                                  : "(なし)"),
                   number(l.value, moment ? "N･m" : "N"),
                   number(l.position[0]),
                   number(l.position[1]),
                   number(l.position[2]),
                   number(l.direction[0]),
                   number(l.direction[1]),
                   number(l.direction[2])};
        if constexpr (dynamic)
            r.cells.push_back(number(l.frequency));
        t.rows.push_back(std::move(r));
    }
    return t;
}

template <class Element> bool select(std::vector<Element>& elements, const std::vector<int>& ids) {
    bool changed = false;
    for (Element& e : elements) {
        const int wanted = std::find(ids.begin(), ids.end(), e.id) != ids.end() ? 1 : 0;
        changed = changed || (e.selected != 0) != (wanted != 0);
        e.selected = wanted;
    }
    return changed;
}

} // namespace

ModelTable modelTable(const AnalysisModel& m, ModelTableKind kind) {
    ModelTable t;
    switch (kind) {
    case ModelTableKind::Springs:
        t.title = "ばね要素";
        t.headings = {"名前",      "ID",        "x [m]",    "y [m]",     "z [m]",
                      "Y角度 [°]", "Z角度 [°]", "ばね特性", "サイズ [m]"};
        for (const SpringElement& s : m.springs) {
            const SpringCharacteristic* c = m.findCharacteristic(s.characteristicId);
            t.rows.push_back({s.id,
                              s.selected != 0,
                              {text(s.name), id(s.id), number(s.position[0]), number(s.position[1]),
                               number(s.position[2]), number(s.angles[1]), number(s.angles[2]),
                               text(c ? c->name : "(なし)"), number(s.size)}});
        }
        break;
    case ModelTableKind::Characteristics:
        t.title = "ばね特性";
        t.headings = {"名前",        "ID",          "Kxx [N/m]",   "Kyy [N/m]", "Kzz [N/m]",
                      "Cxx [N･s/m]", "Cyy [N･s/m]", "Czz [N･s/m]", "動的係数",  "使用ばね数"};
        for (const SpringCharacteristic& c : m.springCharacteristics) {
            const auto users =
                std::count_if(m.springs.begin(), m.springs.end(),
                              [&](const SpringElement& s) { return s.characteristicId == c.id; });
            t.rows.push_back(
                {c.id,
                 false,
                 {text(c.name), id(c.id), number(c.stiffness[0]), number(c.stiffness[1]),
                  number(c.stiffness[2]), number(c.damping[0]), number(c.damping[1]),
                  number(c.damping[2]), number(c.dynamicFactor), id(static_cast<int>(users))}});
        }
        break;
    case ModelTableKind::StaticLoads:
        return loadTable(m.staticLoads, "静荷重");
    case ModelTableKind::DynamicLoads:
        return loadTable(m.dynamicLoads, "動荷重");
    case ModelTableKind::ObservationPoints:
        t.title = "観測点";
        t.headings = {"名前", "ID", "x [m]", "y [m]", "z [m]"};
        for (const ObservationPoint& p : m.observationPoints)
            t.rows.push_back({p.id,
                              p.selected != 0,
                              {text(p.name), id(p.id), number(p.position[0]), number(p.position[1]),
                               number(p.position[2])}});
        break;
    }
    return t;
}

bool selectInTable(AnalysisModel& m, ModelTableKind kind, const std::vector<int>& ids) {
    switch (kind) {
    case ModelTableKind::Springs:
        return select(m.springs, ids);
    case ModelTableKind::StaticLoads:
        return select(m.staticLoads, ids);
    case ModelTableKind::DynamicLoads:
        return select(m.dynamicLoads, ids);
    case ModelTableKind::ObservationPoints:
        return select(m.observationPoints, ids);
    case ModelTableKind::Characteristics:
        break;
    }
    return false;
}

} // namespace quav
