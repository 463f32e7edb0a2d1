#pragma once

#include "math/Matrix.h"
#include "model/FrequencyTable.h"
#include "model/LoadCases.h"

#include <string>

namespace quav {

/// The kind of a load. Any other stored value (-1 for a type box left holding
/// free text) is kept as it is and acts as no load at all.
enum LoadType : int {
    Translational = 0, ///< a force [N] along `direction`
    Moment = 1,        ///< a moment [N m] about `direction`
};

/// A mount (ばね要素). Its orientation is given by the Y and Z angles in
/// `angles` (elements 1 and 2, degrees); element 0 is written only by an
/// optimiser binding and used by no analysis.
struct SpringElement {
    std::string name = "Spring";
    Matrix position = Matrix::column(3); ///< mounting point, global [m]
    Matrix angles = Matrix::column(3);   ///< [deg]: 0 unused, 1 = Y angle, 2 = Z angle
    float size = 1.0f;                   ///< symbol size in the view [m]
    int id = 0;
    int selected = 0;
    int characteristicId = 0; ///< id of the SpringCharacteristic, 0 = none
};

/// Named spring rates, damping and dynamic factor (ばね特性), all in the
/// spring's local axes.
struct SpringCharacteristic {
    Matrix damping = Matrix::column(3); ///< Cxx, Cyy, Czz [N s/m]
    double dynamicFactor = 0.0;
    int id = 0;
    std::string name = "Spring0";
    Matrix stiffness = Matrix::column(3); ///< Kxx, Kyy, Kzz [N/m]; Kxx is the vertical rate
    /// Rates and loss factors against frequency, relative to `stiffness`; when
    /// present it takes the place of `dynamicFactor` wherever the engine uses
    /// dynamic rates. Empty: no table. Kept in the model file's extension block.
    FrequencyTable frequencyTable;
    /// Force against deflection per local direction x, y, z; an empty curve
    /// leaves the direction linear with its static rate. Only load cases use
    /// them. Kept in the model file's extension block, as is `ratedLoad`.
    std::array<ForceCurve, 3> curves;
    /// The largest force magnitude [N] the mount may carry along its local x,
    /// y, z (each > 0), or none.
    std::optional<std::array<double, 3>> ratedLoad;
    bool hasCurves() const {
        return !curves[0].empty() || !curves[1].empty() || !curves[2].empty();
    }
};

/// A static load case (静荷重).
struct StaticLoad {
    int selected = 0;
    std::string name;
    int id = 0;
    double value = 0.0;                        ///< [N] or [N m]
    Matrix position = Matrix::column(3);       ///< point of application, global [m]
    Matrix referencePoint = Matrix::column(3); ///< centre of gravity when the load was added
    Matrix direction = Matrix::column(3);      ///< unit vector
    int type = Translational;                  ///< a LoadType value
};

/// A harmonic load case (動荷重): a static load with its own frequency.
struct DynamicLoad : StaticLoad {
    double frequency = 1.0; ///< [Hz]
};

/// A point whose motion is reported (観測点).
struct ObservationPoint {
    int selected = 0;
    int id = 0;
    std::string name;
    Matrix position = Matrix::column(3); ///< global [m]
};

} // namespace quav
