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

// What the run and search tests share: a model, writing options, a run's folder read back.
namespace quav::testing {

/// A power unit on four mounts (ids 2-5, characteristic 6) with one static load (7).
inline AnalysisModel mountModel() {
    AnalysisModel m;
    m.mass = 120.0;
    m.setInertia(Matrix(3, 3, {6, 0, 0, 0, 8, 0, 0, 0, 9}));
    m.setSize(v3(0.6, 0.5, 0.4));
    for (double x : {0.3, -0.3})
        for (double y : {0.25, -0.25})
            m.addSpring("mount", v3(x, y, -0.2), v3(0, 0, 0), 0.05f);
    m.setSpringSelection(-1);
    m.assignCharacteristic("rubber", v3(3e5, 1e5, 1e5), 1.2, v3(50, 50, 50));
    m.addStaticLoad("weight", 1177.2, v3(0, 0, 0), v3(0, 0, -1), Translational);
    return m;
}

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
