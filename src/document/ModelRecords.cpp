#include "document/ModelRecords.h"

#include <string>

namespace quav {

namespace {

// Each table lists the JSON keys in the order JSON writes them; `.file(n)` is
// the field's slot in the file record, `.file(n, v)` one that format v brought.

using S = SpringElement;
std::vector<Field<S>> springFields() {
    return {
        field("id", &S::id).file(1),
        field("name", &S::name).file(2),
        field("position", &S::position, 3).file(7),
        // JSON has the three angles; the file the Y and Z angles alone.
        field("angles", &S::angles, 3),
        field({}, &S::angles, 3).onlyElement(1).file(3),
        field({}, &S::angles, 3).onlyElement(2).file(4),
        field("size", &S::size).file(5),
        field("selected", &S::selected).file(0),
        field("characteristicId", &S::characteristicId).file(6),
    };
}

using C = SpringCharacteristic;
std::vector<Field<C>> characteristicFields() {
    return {
        reserved<C>(0),
        field("id", &C::id).file(1),
        field("name", &C::name).file(2),
        field("stiffness", &C::stiffness, 3).file(4),
        field("damping", &C::damping, 3).file(5, 200),
        field("dynamicFactor", &C::dynamicFactor).file(3),
        // Kept in the extension block.
        field("frequencyTable", &C::frequencyTable),
    };
}

/// A static load's fields, which a dynamic load extends.
using L = StaticLoad;
std::vector<Field<L>> loadFields() {
    return {
        field("id", &L::id).file(1),
        field("name", &L::name).file(2),
        field("type", &L::type).file(3),
        field("value", &L::value).file(4),
        field("position", &L::position, 3).file(5),
        field("direction", &L::direction, 3).file(7),
        field("referencePoint", &L::referencePoint, 3).file(6),
        field("selected", &L::selected).file(0),
    };
}

std::vector<Field<DynamicLoad>> dynamicLoadFields() {
    std::vector<Field<DynamicLoad>> fields;
    for (const Field<L>& f : loadFields())
        fields.push_back(derivedField<DynamicLoad>(f));
    fields.push_back(field("frequency", &DynamicLoad::frequency).file(8));
    return fields;
}

using P = ObservationPoint;
std::vector<Field<P>> pointFields() {
    return {
        field("id", &P::id).file(0),
        field("name", &P::name).file(1),
        field("position", &P::position, 3).file(2),
        // The file keeps no selection: points come back unselected.
        field("selected", &P::selected),
    };
}

using B = ParameterBinding;
std::vector<Field<B>> bindingFields() {
    return {
        field("objectId", &B::objectId).file(0),
        field("target", &B::target).file(1),
        field("parameterId", &B::parameterId).file(2),
        field("multiplier", &B::multiplier).file(3),
    };
}

using D = DesignParameter;
std::vector<Field<D>> parameterFields() {
    return {
        field("id", &D::id).file(0),
        field("name", &D::name).file(4),
        field("minValue", &D::minValue).file(2),
        field("maxValue", &D::maxValue).file(1),
        field("increment", &D::increment).file(3),
        field("currentValue", &D::currentValue).file(5),
    };
}

using X = DisplacementCondition;
std::vector<Field<X>> displacementFields() {
    return {
        field("directionFlags", &X::directionFlags).file(0),
        field("objectId", &X::objectId).file(1),
        field("loadId", &X::loadId).file(2),
        field("limit", &X::limit).file(3),
    };
}

using K = LoadCase;
std::vector<Field<K>> loadCaseFields() {
    return {
        field("name", &K::name).required(),
        field("terms", &K::terms),
        field("gLoad", &K::gLoad).finite(),
    };
}

using T = LoadTerm;
std::vector<Field<T>> loadTermFields() {
    return {
        field("load", &T::load).required(),
        field("factor", &T::factor).finite(),
    };
}

std::string idText(int id) {
    return "（ID " + std::to_string(id) + "）";
}

} // namespace

const RecordLayout<SpringElement>& springRecord() {
    static const RecordLayout<S> layout([](const S& s) { return "ばね要素" + idText(s.id); },
                                        springFields());
    return layout;
}

const RecordLayout<SpringCharacteristic>& characteristicRecord() {
    static const RecordLayout<C> layout([](const C& c) { return "ばね特性" + idText(c.id); },
                                        characteristicFields());
    return layout;
}

const RecordLayout<StaticLoad>& staticLoadRecord() {
    static const RecordLayout<L> layout([](const L& l) { return "静荷重" + idText(l.id); },
                                        loadFields());
    return layout;
}

const RecordLayout<DynamicLoad>& dynamicLoadRecord() {
    static const RecordLayout<DynamicLoad> layout(
        [](const DynamicLoad& l) { return "動荷重" + idText(l.id); }, dynamicLoadFields());
    return layout;
}

const RecordLayout<ObservationPoint>& observationPointRecord() {
    static const RecordLayout<P> layout([](const P& p) { return "観測点" + idText(p.id); },
                                        pointFields());
    return layout;
}

const RecordLayout<ParameterBinding>& bindingRecord() {
    static const RecordLayout<B> layout([](const B& b) { return "関連付け" + idText(b.objectId); },
                                        bindingFields());
    return layout;
}

const RecordLayout<DesignParameter>& parameterRecord() {
    static const RecordLayout<D> layout(
        [](const D& p) { return "設計パラメータ「" + std::to_string(p.id) + "」"; },
        parameterFields());
    return layout;
}

const RecordLayout<DisplacementCondition>& displacementConditionRecord() {
    static const RecordLayout<X> layout([](const X& d) { return "変位条件" + idText(d.objectId); },
                                        displacementFields());
    return layout;
}

const RecordLayout<LoadCase>& loadCaseRecord() {
    static const RecordLayout<K> layout([](const K& c) { return "荷重ケース「" + c.name + "」"; },
                                        loadCaseFields());
    return layout;
}

const RecordLayout<LoadTerm>& loadTermRecord() {
    static const RecordLayout<T> layout(
        [](const T& t) { return "荷重ケースの項" + idText(t.load); }, loadTermFields());
    return layout;
}

} // namespace quav
