#include "cli/CaseCommand.h"

#include "analysis/KineticEnergy.h"
#include "analysis/LoadCaseAnalysis.h"
#include "cli/CommandOutput.h"
#include "exchange/CsvTables.h"
#include "reports/LoadCaseReport.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <iostream>

namespace quav {

namespace {

using Json = nlohmann::ordered_json;

Json number(double x) {
    return std::isfinite(x) ? Json(x) : Json(nullptr);
}

template <class Array> Json numbers(const Array& values) {
    Json j = Json::array();
    for (double x : values)
        j.push_back(number(x));
    return j;
}

Json margins(const std::array<std::optional<double>, 3>& values) {
    Json j = Json::array();
    for (const auto& m : values)
        j.push_back(m ? number(*m) : Json(nullptr));
    return j;
}

Json caseJson(const LoadCaseResult& r, bool modes) {
    Json springs = Json::array();
    for (const CaseSpring& s : r.springs)
        springs.push_back({{"id", s.id},
                           {"deflection", numbers(s.deflection)},
                           {"local", numbers(s.local)},
                           {"global", numbers(s.global)},
                           {"travelMargin", margins(s.travelMargin)},
                           {"loadMargin", margins(s.loadMargin)},
                           {"pass", s.pass}});
    Json j = {{"name", r.name},
              {"converged", r.converged},
              {"iterations", r.iterations},
              {"displacement", numbers(r.displacement)},
              {"pass", r.pass},
              {"springs", springs}};
    if (modes && r.converged) {
        Json list = Json::array();
        for (const CaseMode& m : r.modes)
            list.push_back({{"mode", m.mode},
                            {"frequency", number(m.frequency)},
                            {"shape", numbers(m.shape)}});
        j["modes"] = list;
    }
    if (!r.converged)
        j["reason"] = r.reason;
    return j;
}

} // namespace

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
    if (format == TableFormat::Csv) {
        writeOut(loadCasesCsv(results));
    } else if (format == TableFormat::Json) {
        Json list = Json::array();
        for (const LoadCaseResult& r : results)
            list.push_back(caseJson(r, modes));
        writeOut(Json({{"cases", list}}).dump(2) + "\n");
    } else {
        writeOut(loadCaseReport(*solved, results));
    }
    return allConverged ? 0 : 1;
}

} // namespace quav
