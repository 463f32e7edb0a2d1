#include "document/EditingCommands.h"

#include "document/CharacteristicListEditor.h"
#include "document/Document.h"
#include "document/DocumentUi.h"
#include "document/InputRules.h"
#include "document/ModelValues.h"

#include <algorithm>
#include <type_traits>

namespace quav {

namespace {

/// Shows the rule `values` break, if any: a dialog that let them through (a
/// scripted one) gets the same answer the desktop's dialogs give before OK.
template <class Values, class... Context>
bool refused(DocumentUi& ui, const Values& values, Context... context) {
    const std::optional<FieldProblem> problem = inputProblem(values, context...);
    if (problem)
        ui.message(inputErrorText(*problem));
    return problem.has_value();
}

/// After a create or edit changed the model (beginEdit recorded it first).
void changed(CQUAVDoc& doc) {
    doc.updateAllViews();
}

/// A zero direction stays zero rather than turning into NaNs.
Matrix unit(const Vec3& v) {
    Matrix d = column(v);
    if (d.norm() != 0.0)
        d.normalise();
    return d;
}

LoadValues loadValues(const StaticLoad& l) {
    return {l.name, vec3(l.direction), vec3(l.position), l.value, l.type, 0.0};
}

void storeLoad(const LoadValues& v, StaticLoad& l) {
    l.position = column(v.position);
    l.direction = unit(v.direction);
    l.value = v.value;
    l.type = v.type;
    l.name = v.name;
}

LoadDialogContext loadContext(const AnalysisModel& m, bool dynamic) {
    return {dynamic, m.mass, vec3(m.centreOfGravity)};
}

template <class Element> Element* firstSelected(std::vector<Element>& elements) {
    auto it = std::find_if(elements.begin(), elements.end(),
                           [](const Element& e) { return e.selected != 0; });
    return it == elements.end() ? nullptr : &*it;
}

void createLoad(CQUAVDoc& doc, DocumentUi& ui, bool dynamic) {
    AnalysisModel* m = doc.model();
    if (!m)
        return;
    LoadValues v = (dynamic ? doc.dialogMemory().dynamicLoad : doc.dialogMemory().staticLoad)
                       .value_or(LoadValues{});
    if (!ui.runLoad(v, loadContext(*m, dynamic))) {
        doc.updateAllViews();
        return;
    }
    if (refused(ui, v, dynamic))
        return;
    (dynamic ? doc.dialogMemory().dynamicLoad : doc.dialogMemory().staticLoad) = v;
    doc.beginEdit(dynamic ? "動荷重の追加" : "静荷重の追加");
    if (dynamic)
        m->addDynamicLoad(v.name, v.value, column(v.position), column(v.direction), v.type,
                          v.frequency);
    else
        m->addStaticLoad(v.name, v.value, column(v.position), column(v.direction), v.type);
    changed(doc);
}

/// The load's dialog on `l`: OK writes it back unchecked (the reference point
/// stays) and deselects it; Cancel deselects every load.
template <class Load> void editSelectedLoad(CQUAVDoc& doc, DocumentUi& ui, Load& l) {
    constexpr bool dynamic = std::is_same_v<Load, DynamicLoad>;
    AnalysisModel& m = *doc.model();
    LoadValues v = loadValues(l);
    if constexpr (dynamic)
        v.frequency = l.frequency;
    if (!ui.runLoad(v, loadContext(m, dynamic)) || refused(ui, v, dynamic)) {
        m.setLoadSelection(-2);
        return;
    }
    doc.beginEdit("荷重の編集");
    storeLoad(v, l);
    if constexpr (dynamic)
        l.frequency = v.frequency;
    l.selected = 0;
}

template <class Element>
void addSelectedNames(const std::vector<Element>& elements, std::vector<std::string>& names) {
    for (const Element& e : elements)
        if (e.selected)
            names.push_back(e.name);
}

/// Removes the selected elements of one kind as one undo step and says which;
/// nothing selected changes nothing.
template <class Remove>
void deleteSelected(CQUAVDoc& doc, DocumentUi& ui, const char* kind,
                    const std::vector<std::string>& names, Remove remove) {
    if (names.empty()) {
        ui.status(std::string("削除する") + kind + "が選択されていません");
        doc.updateAllViews();
        return;
    }
    doc.beginEdit(std::string(kind) + "の削除");
    remove();
    constexpr std::size_t kNamed = 3;
    std::string text =
        std::string(kind) + " " + std::to_string(names.size()) + " 個を削除しました: ";
    for (std::size_t i = 0; i < names.size() && i < kNamed; ++i)
        text += (i ? ", " : "") + names[i];
    if (names.size() > kNamed)
        text += " ほか " + std::to_string(names.size() - kNamed) + " 個";
    ui.status(text + "（元に戻す: Ctrl+Z）");
    doc.updateAllViews();
}

} // namespace

void defineMassElement(CQUAVDoc& doc, DocumentUi& ui) {
    MassElementValues v;
    if (const AnalysisModel* m = doc.model()) {
        v.mass = m->mass;
        v.centreOfGravity = vec3(m->centreOfGravity);
        v.size = vec3(m->size);
        v.ixx = m->inertia(0, 0);
        v.iyy = m->inertia(1, 1);
        v.izz = m->inertia(2, 2);
        v.ixy = m->inertia(0, 1);
        v.iyz = m->inertia(1, 2);
        v.izx = m->inertia(0, 2);
    }
    if (!ui.runMassElement(v)) {
        doc.updateAllViews();
        return;
    }
    if (refused(ui, v))
        return;
    doc.beginEdit("質量要素の設定");
    AnalysisModel& m = doc.model() ? *doc.model() : doc.createModel();
    Matrix inertia(3, 3);
    inertia(0, 0) = v.ixx;
    inertia(1, 1) = v.iyy;
    inertia(2, 2) = v.izz;
    inertia(0, 1) = v.ixy;
    inertia(1, 2) = v.iyz;
    inertia(0, 2) = v.izx;
    m.setInertia(inertia);
    m.setCentreOfGravity(column(v.centreOfGravity));
    m.setSize(column(v.size));
    m.mass = v.mass;
    changed(doc);
}

void createSpring(CQUAVDoc& doc, DocumentUi& ui) {
    AnalysisModel* m = doc.model();
    if (!m)
        return;
    SpringValues v = doc.dialogMemory().spring.value_or(SpringValues{});
    if (!ui.runSpring(v)) {
        doc.updateAllViews();
        return;
    }
    if (refused(ui, v))
        return;
    doc.dialogMemory().spring = v;
    doc.beginEdit("ばね要素の追加");
    m->addSpring(v.name, column(v.position), Matrix::vector({0.0, v.yAngle, v.zAngle}), v.size);
    changed(doc);
}

void assignCharacteristic(CQUAVDoc& doc, DocumentUi& ui) {
    AnalysisModel* m = doc.model();
    if (!m)
        return;
    if (m->selectedSpringCount() == 0) {
        ui.message("ばね要素を選択してください");
        return;
    }
    std::vector<CharacteristicValues> defined;
    for (const SpringCharacteristic& c : m->springCharacteristics)
        defined.push_back(characteristicValues(c));
    CharacteristicValues v;
    v.dynamicFactor = 1.0; // a mount as stiff in motion as at rest, until told otherwise
    v = doc.dialogMemory().characteristic.value_or(v);
    if (!ui.runAssignCharacteristic(v, defined)) {
        m->setSpringSelection(-2);
        doc.updateAllViews();
        return;
    }
    if (refused(ui, v, true))
        return;
    doc.dialogMemory().characteristic = v;
    doc.beginEdit("ばね特性の設定");
    const bool isNew =
        std::none_of(m->springCharacteristics.begin(), m->springCharacteristics.end(),
                     [&](const SpringCharacteristic& c) { return c.name == v.name; });
    const int id = m->assignCharacteristic(v.name, column(v.stiffness), v.dynamicFactor,
                                           column(v.damping), v.frequencyTable);
    // A characteristic found by name keeps its own values, curves included.
    if (isNew)
        storeCharacteristic(v, *m->findCharacteristic(id));
    changed(doc);
}

void createStaticLoad(CQUAVDoc& doc, DocumentUi& ui) {
    createLoad(doc, ui, false);
}

void createDynamicLoad(CQUAVDoc& doc, DocumentUi& ui) {
    createLoad(doc, ui, true);
}

void createObservationPoint(CQUAVDoc& doc, DocumentUi& ui) {
    AnalysisModel* m = doc.model();
    if (!m)
        return;
    ObservationPointValues v =
        doc.dialogMemory().observationPoint.value_or(ObservationPointValues{"観測点名を入力", {}});
    if (!ui.runObservationPoint(v))
        return;
    doc.dialogMemory().observationPoint = v;
    doc.beginEdit("観測点の追加");
    m->addObservationPoint(v.name, column(v.position));
    changed(doc);
}

void editCharacteristics(CQUAVDoc& doc, DocumentUi& ui) {
    AnalysisModel* m = doc.model();
    if (!m)
        return;
    if (m->springCharacteristics.empty()) {
        ui.message("ばね特性がありません");
        return;
    }
    CharacteristicListEditor editor(m->springCharacteristics, ui);
    if (!ui.runCharacteristicList(editor))
        return;
    doc.beginEdit("ばね特性の編集");
    m->springCharacteristics = editor.entries();
    for (SpringElement& s : m->springs)
        if (!m->findCharacteristic(s.characteristicId))
            s.characteristicId = 0;
    changed(doc);
}

void editSpring(CQUAVDoc& doc, DocumentUi& ui) {
    AnalysisModel* m = doc.model();
    if (!m)
        return;
    if (m->selectedSpringCount() != 1) {
        ui.message("ばね要素を一つ選択してください");
        return;
    }
    SpringElement& s = *firstSelected(m->springs);
    SpringValues v{s.name, vec3(s.position), s.angles[1], s.angles[2], s.size};
    if (!ui.runSpring(v)) {
        m->setSpringSelection(-2);
        doc.updateAllViews();
        return;
    }
    if (refused(ui, v))
        return;
    doc.beginEdit("ばね要素の編集");
    s.name = v.name;
    s.position = column(v.position);
    s.angles[1] = v.yAngle;
    s.angles[2] = v.zAngle;
    s.size = v.size;
    s.selected = 0;
    changed(doc);
}

void editLoad(CQUAVDoc& doc, DocumentUi& ui) {
    AnalysisModel* m = doc.model();
    if (!m)
        return;
    if (m->selectedLoadCount() != 1) {
        ui.message("荷重要素を一つ選択してください");
        return;
    }
    if (StaticLoad* l = firstSelected(m->staticLoads))
        editSelectedLoad(doc, ui, *l);
    if (DynamicLoad* l = firstSelected(m->dynamicLoads))
        editSelectedLoad(doc, ui, *l);
    doc.updateAllViews();
}

void editObservationPoint(CQUAVDoc& doc, DocumentUi& ui) {
    AnalysisModel* m = doc.model();
    if (!m)
        return;
    if (m->selectedObservationPointCount() != 1) {
        ui.message("観測点を一つ選択してください");
        return;
    }
    ObservationPoint& p = *firstSelected(m->observationPoints);
    ObservationPointValues v{p.name, vec3(p.position)};
    if (ui.runObservationPoint(v)) {
        doc.beginEdit("観測点の編集");
        p.position = column(v.position);
        p.name = v.name;
        p.selected = 0;
    } else {
        m->setObservationPointSelection(-2);
    }
    doc.updateAllViews();
}

void deleteSprings(CQUAVDoc& doc, DocumentUi& ui) {
    if (AnalysisModel* m = doc.model()) {
        std::vector<std::string> names;
        addSelectedNames(m->springs, names);
        deleteSelected(doc, ui, "ばね要素", names, [m] { m->deleteSelectedSprings(); });
    }
}

void deleteLoads(CQUAVDoc& doc, DocumentUi& ui) {
    if (AnalysisModel* m = doc.model()) {
        std::vector<std::string> names;
        addSelectedNames(m->staticLoads, names);
        addSelectedNames(m->dynamicLoads, names);
        deleteSelected(doc, ui, "荷重", names, [m] { m->deleteSelectedLoads(); });
    }
}

void deleteObservationPoints(CQUAVDoc& doc, DocumentUi& ui) {
    if (AnalysisModel* m = doc.model()) {
        std::vector<std::string> names;
        addSelectedNames(m->observationPoints, names);
        deleteSelected(doc, ui, "観測点", names, [m] { m->deleteSelectedObservationPoints(); });
    }
}

void editElement(CQUAVDoc& doc, DocumentUi& ui, int id) {
    AnalysisModel* m = doc.model();
    if (!m)
        return;
    auto has = [id](const auto& elements) {
        return std::any_of(elements.begin(), elements.end(),
                           [id](const auto& e) { return e.id == id; });
    };
    if (has(m->springs)) {
        m->setSpringSelection(-2);
        m->setSpringSelection(id);
        editSpring(doc, ui);
    } else if (has(m->staticLoads) || has(m->dynamicLoads)) {
        m->setLoadSelection(-2);
        m->setLoadSelection(id);
        editLoad(doc, ui);
    } else if (has(m->observationPoints)) {
        m->setObservationPointSelection(-2);
        m->setObservationPointSelection(id);
        editObservationPoint(doc, ui);
    }
}

void editCharacteristic(CQUAVDoc& doc, DocumentUi& ui, int id) {
    AnalysisModel* m = doc.model();
    SpringCharacteristic* c = m ? m->findCharacteristic(id) : nullptr;
    if (!c)
        return;
    CharacteristicValues v = characteristicValues(*c);
    if (!ui.runCharacteristicValues(v) || refused(ui, v, false))
        return;
    doc.beginEdit("ばね特性の編集");
    storeCharacteristic(v, *m->findCharacteristic(id));
    changed(doc);
}

void editMemo(CQUAVDoc& doc, DocumentUi& ui) {
    AnalysisModel* m = doc.model();
    if (!m)
        return;
    std::string memo = m->memo;
    if (ui.runMemo(memo)) {
        doc.beginEdit("メモの編集", false);
        m->memo = memo;
    }
    doc.updateAllViews();
}

} // namespace quav
