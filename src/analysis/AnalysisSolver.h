#pragma once

#include "analysis/EigenAnalysis.h"
#include "math/Matrix.h"
#include "model/AnalysisModel.h"

namespace quav {

/// The analyses of one model, for one command: the calculation driver runs them, the
/// view asks it for the principal and elastic axes. Holds the model by reference
/// (not owned); it must outlive the solver. Keeps no other state, so solvers on
/// different models may run on different threads. DOF order x, y, z, Rx, Ry, Rz.
class AnalysisSolver {
public:
    explicit AnalysisSolver(AnalysisModel& model) : model_(&model) {}
    virtual ~AnalysisSolver() = default;

    AnalysisModel& model() const { return *model_; }

    /// Writes `eigenFrequencies` and `modeShapes`; false (results untouched) when a
    /// diagonal moment of inertia is 0.
    bool eigenvalueAnalysis() const;
    /// n_static x 6 CoG displacements, see staticAnalysis().
    Matrix staticAnalysis() const;
    /// n_dynamic x 12: each dynamic load at its own frequency.
    Matrix dynamicAnalysis() const;
    /// n_dynamic x 12 at f [Hz]; f = 0 means each load at its own frequency.
    Matrix responseAtFrequency(double frequency) const;
    /// Principal axes P and moments D of an inertia tensor (global, about the CoG).
    PrincipalAxes principalInertiaAxes(const Matrix& inertia) const;
    /// 6 x 6 stiffness of all springs about q (global, 3 x 1) in frame T.
    Matrix systemStiffness(const Matrix& referencePoint, const Matrix& frame, bool dynamic) const;
    /// 6 x 6 damping of all springs about q in frame T.
    Matrix systemDamping(const Matrix& referencePoint, const Matrix& frame) const;
    /// M^-1 K for K about the CoG in the principal frame, with the model's mass.
    Matrix modalSystemMatrix(const Matrix& stiffness, const Matrix& principalMoments) const;
    /// K - w^2 M at f [Hz] for K about the CoG in global axes, with the model's mass
    /// and inertia.
    Matrix dynamicStiffness(const Matrix& stiffness, double frequency) const;
    /// Elastic principal axes [m], see elasticAxes().
    Matrix elasticAxes() const;

private:
    AnalysisModel* model_;
};

} // namespace quav
