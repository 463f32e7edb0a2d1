#pragma once

#include "optimizer/Objectives.h"
#include "optimizer/ParetoFront.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quav {

/// What the Pareto window shows of a finished run's folder: the study's parameter
/// names and objectives (from original.quav), the front (pareto.csv) and the
/// accepted variants the folder holds (No1.quav, No2.quav ... as long as they
/// follow one another), their objective values computed from the results each
/// file carries, their parameter values from its optimiser block. A grid run
/// keeps every accepted variant there; an evolutionary search keeps only its
/// front, which is then all the folder shows.
struct ParetoFolder {
    std::string directory;
    std::vector<std::string> parameterNames;
    std::vector<Objective> objectives;
    std::vector<ParetoMember> front;
    std::vector<ParetoMember> accepted;
    /// More accepted files followed than were read (`maxAccepted`).
    bool acceptedTruncated = false;
    /// Why the folder cannot be shown; empty when it can.
    std::string error;
    bool ok() const { return error.empty(); }
};

/// Accepted variants read from a folder at most: enough for a scatter plot, and
/// a study of millions of files is still opened in seconds.
inline constexpr std::size_t kMaxParetoPoints = 100000;

/// Reads the folder a run with objectives wrote. Refused (with the reason in
/// the user's language) while a run writes into it, without original.quav or
/// objectives in it, without pareto.csv, or when pareto.csv does not fit the
/// study. An accepted file that cannot be read ends the list there.
ParetoFolder readParetoFolder(const std::string& directory,
                              std::size_t maxAccepted = kMaxParetoPoints);

/// The path of variant `number`'s file in `directory`: "<directory>/No<number>.quav".
std::string variantFilePath(const std::string& directory, std::int64_t number);

} // namespace quav
