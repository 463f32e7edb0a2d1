#include "analysis/AnalysisSolver.h"

#include "analysis/DynamicAnalysis.h"
#include "analysis/ElasticAxes.h"
#include "analysis/StaticAnalysis.h"
#include "analysis/SystemAssembly.h"

namespace quav {

bool AnalysisSolver::eigenvalueAnalysis() const {
    return quav::eigenvalueAnalysis(*model_);
}

Matrix AnalysisSolver::staticAnalysis() const {
    return quav::staticAnalysis(*model_);
}

Matrix AnalysisSolver::dynamicAnalysis() const {
    return quav::responseAtFrequency(*model_, 0.0);
}

Matrix AnalysisSolver::responseAtFrequency(double frequency) const {
    return quav::responseAtFrequency(*model_, frequency);
}

PrincipalAxes AnalysisSolver::principalInertiaAxes(const Matrix& inertia) const {
    return quav::principalInertiaAxes(inertia);
}

Matrix AnalysisSolver::systemStiffness(const Matrix& referencePoint, const Matrix& frame,
                                       bool dynamic) const {
    return quav::systemStiffness(*model_, referencePoint, frame, dynamic);
}

Matrix AnalysisSolver::systemDamping(const Matrix& referencePoint, const Matrix& frame) const {
    return quav::systemDamping(*model_, referencePoint, frame);
}

Matrix AnalysisSolver::modalSystemMatrix(const Matrix& stiffness,
                                         const Matrix& principalMoments) const {
    return quav::modalSystemMatrix(stiffness, model_->mass, principalMoments);
}

Matrix AnalysisSolver::dynamicStiffness(const Matrix& stiffness, double frequency) const {
    return quav::dynamicStiffness(stiffness, frequency, model_->mass, model_->inertia);
}

Matrix AnalysisSolver::elasticAxes() const {
    return quav::elasticAxes(*model_);
}

} // namespace quav
