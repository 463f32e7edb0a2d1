#include "analysis/ElasticAxes.h"

#include "analysis/SystemAssembly.h"

#include <cmath>

namespace quav {

Matrix elasticAxes(const AnalysisModel& model) {
    Matrix e(3, 3);
    const Matrix global = Matrix::identity(3);
    const Matrix k = systemStiffness(model, model.centreOfGravity, global, true);
    if (k(0, 0) == 0.0 && k(1, 1) == 0.0 && k(2, 2) == 0.0)
        return e;
    // For direction j and each other coordinate i: the moment balance
    // sum(p_i k_jj) - sum(p_j k_ij) over the springs, divided by K(j, j).
    long double own[3][3] = {}, cross[3][3] = {};
    for (const auto& spring : model.springs) {
        const Matrix ks = springStiffness(model, spring, global, true);
        const Matrix& p = spring.position;
        for (int j = 0; j < 3; ++j) {
            for (int i = 0; i < 3; ++i) {
                if (i == j)
                    continue;
                own[i][j] += static_cast<long double>(p[i]) * ks(j, j);
                cross[i][j] += static_cast<long double>(p[j]) * ks(i, j);
            }
        }
    }
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i)
            if (i != j)
                e(i, j) = static_cast<double>((own[i][j] - cross[i][j]) / k(j, j));
    return e;
}

std::array<bool, 3> elasticAxesDefined(const AnalysisModel& model, const Matrix& axes) {
    const Matrix k = systemStiffness(model, model.centreOfGravity, Matrix::identity(3), true);
    std::array<bool, 3> defined{};
    for (int j = 0; j < 3; ++j) {
        defined[static_cast<std::size_t>(j)] = k(j, j) != 0.0 && std::isfinite(k(j, j));
        for (int i = 0; i < 3; ++i)
            if (!std::isfinite(axes(i, j)))
                defined[static_cast<std::size_t>(j)] = false;
    }
    return defined;
}

} // namespace quav
