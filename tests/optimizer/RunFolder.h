#pragma once

#include "document/ModelFile.h"
#include "model/FileIo.h"
#include "model/TextEncoding.h"
#include "optimizer/OptimizerRun.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <map>
#include <regex>
#include <string>

// What the run and search tests share: options that write model files, and a
// run's folder read back for comparison.
namespace quav::testing {

inline RunOptions writingFiles(int threads = 0) {
    RunOptions options;
    options.writeModelFile = saveModelFile;
    options.threads = threads;
    return options;
}

/// Every file of a run's folder with its bytes; log.txt with its time stamps masked.
inline std::map<std::string, std::string> runFolder(const TempDir& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "")) {
        const std::string name = entry.path().filename().string();
        std::string bytes = readWholeFile(entry.path().string(), 1 << 24).bytes;
        if (name == "log.txt")
            bytes = std::regex_replace(
                *cp932ToUtf8(bytes), std::regex("\\d+年\\d+月\\d+日\\d+時\\d+分\\d+秒"), "<time>");
        files[name] = bytes;
    }
    return files;
}

} // namespace quav::testing
