#include "document/ParetoFolder.h"

#include "document/ModelFile.h"
#include "optimizer/OptimizerRun.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace quav {

namespace {

bool readWholeFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    text = std::move(bytes).str();
    return !in.bad();
}

} // namespace

std::string variantFilePath(const std::string& directory, std::int64_t number) {
    return directory + "/No" + std::to_string(number) + ".quav";
}

ParetoFolder readParetoFolder(const std::string& directory, std::size_t maxAccepted) {
    ParetoFolder folder;
    folder.directory = directory;
    // A run still writing would show half a study.
    const RunDirectoryLock lock(directory, RunDirectoryLock::Shared);
    if (!lock.held()) {
        folder.error = lock.refusal();
        return folder;
    }
    const StudyRead original = loadModelFile(directory + "/original.quav");
    if (!original.ok()) {
        folder.error = "original.quavを読めません: " + original.error;
        return folder;
    }
    folder.objectives = original.optimizer.objectives;
    folder.parameterNames = parameterNames(original.optimizer.parameters);
    if (folder.objectives.empty()) {
        folder.error = "目的関数のない計算の結果です";
        return folder;
    }
    std::string text;
    if (!readWholeFile(directory + "/" + kParetoFile, text)) {
        folder.error = std::string(kParetoFile) + "がありません";
        return folder;
    }
    ParetoCsv csv;
    std::string error;
    const std::vector<std::string> names = objectiveNames(folder.objectives);
    if (!parseParetoCsv(text, folder.parameterNames.size(), folder.objectives.size(), csv, error)) {
        folder.error = std::string(kParetoFile) + ": " + error;
        return folder;
    }
    std::string header = paretoCsv({}, folder.parameterNames, names);
    while (!header.empty() && (header.back() == '\n' || header.back() == '\r'))
        header.pop_back();
    if (csv.header != header) {
        folder.error = std::string(kParetoFile) + "の見出しがoriginal.quavの設定と合いません";
        return folder;
    }
    folder.front = std::move(csv.members);

    std::vector<double> values;
    for (std::int64_t number = 1;; ++number) {
        const std::string path = variantFilePath(directory, number);
        if (!std::filesystem::exists(path))
            break;
        if (folder.accepted.size() >= maxAccepted) {
            folder.acceptedTruncated = true;
            break;
        }
        const StudyRead variant = loadModelFile(path);
        if (!variant.ok() || variant.optimizer.parameters.size() != folder.parameterNames.size())
            break;
        ParetoMember member;
        member.number = number;
        for (const DesignParameter& p : variant.optimizer.parameters)
            member.parameters.push_back(p.currentValue);
        objectiveValues(*variant.model, folder.objectives, values);
        member.objectives = values;
        folder.accepted.push_back(std::move(member));
    }
    return folder;
}

} // namespace quav
