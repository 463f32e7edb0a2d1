#pragma once

#include "document/DocumentUi.h"
#include "model/ModelElements.h"

namespace quav {

// Between the model's elements and the values their dialogs show.

inline Vec3 vec3(const Matrix& v) {
    return {v[0], v[1], v[2]};
}

inline Matrix column(const Vec3& v) {
    return Matrix::vector({v[0], v[1], v[2]});
}

inline CharacteristicValues characteristicValues(const SpringCharacteristic& c) {
    return {c.name,           vec3(c.stiffness), vec3(c.damping), c.dynamicFactor,
            c.frequencyTable, c.curves,          c.ratedLoad};
}

/// Name, rates, damping, dynamic factor, frequency table, curves and rated
/// loads; the id stays.
inline void storeCharacteristic(const CharacteristicValues& v, SpringCharacteristic& c) {
    c.name = v.name;
    c.stiffness = column(v.stiffness);
    c.damping = column(v.damping);
    c.dynamicFactor = v.dynamicFactor;
    c.frequencyTable = v.frequencyTable;
    c.curves = v.curves;
    c.ratedLoad = v.ratedLoad;
}

} // namespace quav
