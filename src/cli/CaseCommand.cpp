#include "cli/CaseCommand.h"

#include "analysis/KineticEnergy.h"
#include "analysis/LoadCaseAnalysis.h"
#include "cli/CommandOutput.h"
#include "exchange/AnalysisJson.h"
#include "exchange/CsvTables.h"
#include "reports/LoadCaseReport.h"

#include <algorithm>
#include <iostream>

namespace quav {

int casesCommand(const AnalysisModel& model, const std::vector<std::string>& names, bool modes,
                 TableFormat format) {
    if (model.loadCases.empty()) {
        std::cerr << "quav-cli cases: the model has no load cases\n";
        return 2;
    }
    for (const std::string& name : names)
        if (std::none_of(model.loadCases.begin(), model.loadCases.end(),
                         [&](const LoadCase& c) { return c.name == name; })) {
            std::cerr << "quav-cli cases: no load case is named \"" << name << "\"\n";
            return 2;
        }
    const std::string refusal = analysisRefusal(model);
    if (!refusal.empty()) {
        std::cerr << refusal;
        return 1;
    }
    // Only the cases asked for, solved in the model's order.
    AnalysisModel selected;
    const AnalysisModel* solved = &model;
    if (!names.empty()) {
        selected = model;
        std::erase_if(selected.loadCases, [&](const LoadCase& c) {
            return std::find(names.begin(), names.end(), c.name) == names.end();
        });
        solved = &selected;
    }
    const std::vector<LoadCaseResult> results = analyseLoadCases(*solved, modes);
    const bool allConverged = std::all_of(results.begin(), results.end(),
                                          [](const LoadCaseResult& r) { return r.converged; });
    for (const LoadCaseResult& r : results)
        if (!r.converged)
            std::cerr << "quav-cli cases: " << r.name << ": " << r.reason << "\n";
    if (format == TableFormat::Csv)
        writeOut(loadCasesCsv(results));
    else if (format == TableFormat::Json)
        writeOut(loadCasesJson(results, modes));
    else
        writeOut(loadCaseReport(*solved, results));
    return allConverged ? 0 : 1;
}

} // namespace quav
