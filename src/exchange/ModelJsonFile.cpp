#include "exchange/ModelJsonFile.h"

#include "exchange/ModelJson.h"

#include <filesystem>

namespace quav {

FileResult saveModelJsonFile(const AnalysisModel& model, const Optimizer& optimizer,
                             const std::string& path) {
    OutputFile file(path);
    const std::string problem = writeModelJson(
        model, optimizer, [&file](std::string_view piece) { return file.write(piece); });
    if (!problem.empty())
        return {file.ok() ? "ファイルを保存できません：" + problem : file.error()};
    return file.commit();
}

bool isJsonModelPath(const std::string& path) {
    std::string e = std::filesystem::path(path).extension().string();
    for (char& c : e)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return e == ".json";
}

} // namespace quav
