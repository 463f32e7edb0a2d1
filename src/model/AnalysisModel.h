#pragma once

#include "math/Matrix.h"
#include "model/ModelElements.h"

#include <array>
#include <string>
#include <vector>

namespace quav {

/// The whole analysis model: the mass element (the fields `mass`,
/// `centreOfGravity`, `size`, `inertia`, `massElementId`), the element
/// sequences in creation order, the memo, the sweep settings and the results
/// of the last calculation.
///
/// Ids of the mass element and of every element of every kind come from the one
/// counter `lastId`: unique across kinds, never reused, never renumbered.
///
/// A plain value with no process-wide state (which model is the live one is
/// for its owner, the document, to know): copies are deep, results included;
/// moves take the storage over and never throw.
class AnalysisModel {
public:
    // --- Mass element -------------------------------------------------------
    /// Stores the diagonal and upper triangle of `m` and mirrors the upper
    /// triangle below the diagonal.
    void setInertia(const Matrix& m);
    void setCentreOfGravity(const Matrix& v) { centreOfGravity = v; }
    void setSize(const Matrix& v) { size = v; }

    // --- Adding elements (no validation; the commands validate) -------------
    int addSpring(const std::string& name, const Matrix& position, const Matrix& angles,
                  float size);
    int addStaticLoad(const std::string& name, double value, const Matrix& position,
                      const Matrix& direction, int type);
    int addDynamicLoad(const std::string& name, double value, const Matrix& position,
                       const Matrix& direction, int type, double frequency);
    int addObservationPoint(const std::string& name, const Matrix& position);

    // --- Spring characteristics ---------------------------------------------
    /// Finds the characteristic named `name` (the last of several) or appends a
    /// new one with the given values; binds every selected spring to it and
    /// deselects it. An existing characteristic keeps its stored values.
    /// Returns the characteristic's id.
    int assignCharacteristic(const std::string& name, const Matrix& stiffness, double dynamicFactor,
                             const Matrix& damping, const FrequencyTable& table = {});
    /// Appends a characteristic under a new id; returns the id.
    int addCharacteristic(SpringCharacteristic characteristic);
    /// The first characteristic with this id, or nullptr.
    const SpringCharacteristic* findCharacteristic(int id) const;
    SpringCharacteristic* findCharacteristic(int id);
    /// Removes every characteristic; spring references stay as they are.
    void clearCharacteristics() { springCharacteristics.clear(); }

    // --- Selection: -1 selects all, -2 deselects all, other codes toggle by id
    void setSpringSelection(int code);
    void setLoadSelection(int code); ///< static and dynamic loads together
    void setObservationPointSelection(int code);
    int selectedSpringCount() const;
    int selectedLoadCount() const;
    int selectedObservationPointCount() const;
    void deleteSelectedSprings();
    void deleteSelectedLoads();
    void deleteSelectedObservationPoints();

    // --- Results --------------------------------------------------------------
    /// Zeroes the static, dynamic, eigen and mode results (iteration counts
    /// included) in place (row counts stay) and discards the sweep results;
    /// `calculated` is not touched.
    void clearResults();
    /// Stores the sweep settings and discards the sweep results.
    void setFrequencyRange(double end, double start, double step);
    /// trunc((frequencyEnd - frequencyStart) / frequencyStep) + 1 as a double
    /// (it may be out of int range, negative or NaN for unusual settings).
    double sweepStepCountExact() const;
    bool hasFrequencyStepResults() const { return !frequencyStepResults.empty(); }
    /// Whether some spring's characteristic (the first of its id, as the engine
    /// finds it) carries a frequency table.
    bool usesFrequencyTables() const;
    /// Whether this spring's characteristic carries a frequency table.
    bool usesFrequencyTable(const SpringElement& spring) const;
    /// The spring's name as lists and the view show it: with " ※周波数特性" when
    /// its characteristic carries a frequency table.
    std::string markedSpringName(const SpringElement& spring) const;

    /// Issues the next id.
    int nextId() { return ++lastId; }

    // Fields, in the order of the model's definition.
    int fileVersion = 0;
    double frequencyEnd = 0.0;   ///< [Hz]
    double frequencyStart = 0.0; ///< [Hz]
    double frequencyStep = 1.0;  ///< [Hz]
    Matrix staticResults;        ///< n_static x 6: x, y, z [m], Rx, Ry, Rz [rad] of the CoG
    Matrix dynamicResults;       ///< n_dynamic x 12: amplitudes 0-5, phases 6-11 [rad]
    /// One n_dynamic x 12 table per sweep step; empty when no sweep results exist.
    std::vector<Matrix> frequencyStepResults;
    std::vector<StaticLoad> staticLoads;
    std::vector<DynamicLoad> dynamicLoads;
    std::vector<SpringElement> springs;
    std::vector<SpringCharacteristic> springCharacteristics;
    std::vector<ObservationPoint> observationPoints;
    /// Named combinations of the static loads and a body acceleration; kept in
    /// the model file's extension block.
    std::vector<LoadCase> loadCases;
    Matrix centreOfGravity = Matrix::column(3);  ///< [m]
    Matrix size = Matrix::column(3);             ///< display box edges [m]
    double mass = 0.0;                           ///< [kg]
    Matrix inertia = Matrix(3, 3);               ///< about the CoG [kg m^2], symmetric, as entered
    Matrix eigenFrequencies = Matrix::column(6); ///< [Hz]; mode k (1..6) is element 6 - k
    Matrix modeShapes = Matrix(6, 6);            ///< mode k (1..6) is column 6 - k, global DOFs
    /// Eigen solutions mode k (1..6, at index k - 1) took to find its own frequency
    /// when frequency tables took part; all 0 otherwise. Kept in the model file's
    /// extension block.
    std::array<int, 6> modeIterations{};
    int calculated = 0;
    int massElementId = 1;
    int lastId = 1;
    std::string memo;
};

} // namespace quav
