#pragma once

#include "optimizer/DesignParameter.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quav {

/// One member of a front: the accepted variant's file number (No<n>.quav), its
/// parameter values and its objective values, as measured (not sign-adjusted).
struct ParetoMember {
    std::int64_t number = 0;
    std::vector<double> parameters;
    std::vector<double> objectives;
};

/// True when `a` dominates `b`: at least as good in every objective and better in
/// one, "good" being low where `maximise[i]` is false and high where it is true.
/// Equal vectors dominate neither way; a NaN compares as neither better nor worse.
bool dominates(const double* a, const double* b, const std::vector<bool>& maximise);

/// The non-dominated set of the vectors offered so far, kept as they stream in:
/// memory grows with the front, not with what was offered. Exact ties keep every
/// vector. Vectors with a NaN never enter.
class ParetoFront {
public:
    ParetoFront(std::vector<bool> maximise, std::size_t parameterCount);

    /// Offers one vector; true when it joins the front (members it dominates leave).
    bool offer(std::int64_t number, const double* parameters, const double* objectives);

    std::size_t size() const { return numbers_.size(); }
    /// Whether a member has exactly these parameter values.
    bool holdsParameters(const double* parameters) const;
    std::size_t objectiveCount() const { return sign_.size(); }
    const std::vector<bool>& maximise() const { return maximise_; }

    /// The members sorted by the first objective (ascending value), then the file
    /// number.
    std::vector<ParetoMember> members() const;

private:
    std::vector<bool> maximise_;
    std::vector<double> sign_; // -1 where maximised: stored values are minimised
    std::size_t parameterCount_;
    std::vector<std::int64_t> numbers_;
    std::vector<double> values_;     // size() x objectiveCount(), sign-adjusted
    std::vector<double> parameters_; // size() x parameterCount_
    std::vector<double> scratch_;
};

/// The parameters' names, in order, as pareto.csv heads their columns.
std::vector<std::string> parameterNames(const std::vector<DesignParameter>& parameters);

/// pareto.csv: the header "file," + the parameter names + the objective names, then
/// one row per member ("No<n>.quav" and its numbers, %.17g), LF line ends, UTF-8.
/// Names that hold a comma, a quote or a line end are quoted.
std::string paretoCsv(const std::vector<ParetoMember>& members,
                      const std::vector<std::string>& parameterNames,
                      const std::vector<std::string>& objectiveNames);

/// The rows of paretoCsv without the header.
std::string paretoCsvRows(const std::vector<ParetoMember>& members);

/// The header and the rows of a pareto.csv written by paretoCsv, with
/// `parameterCount` parameters and `objectiveCount` objectives; false with the
/// reason when it is not one.
struct ParetoCsv {
    std::string header; ///< the first line, without its line end
    std::vector<ParetoMember> members;
};
bool parseParetoCsv(std::string_view text, std::size_t parameterCount, std::size_t objectiveCount,
                    ParetoCsv& out, std::string& error);

inline constexpr const char* kParetoFile = "pareto.csv";

} // namespace quav
