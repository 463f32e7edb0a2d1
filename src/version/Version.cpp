#include "version/Version.h"

// Written at build time by cmake/BuildVersion.cmake; only this file sees it, so
// a new commit recompiles one small file and relinks the programs.
#include "BuildVersion.h"

namespace quav {

std::string_view productVersion() {
    return QUAV_PRODUCT_VERSION;
}

std::string_view buildVersion() {
    return QUAV_BUILD_VERSION;
}

std::string versionText(std::string_view program) {
    std::string text(program);
    text += ' ';
    text += productVersion();
    text += " (build ";
    text += buildVersion();
    text += ')';
    return text;
}

} // namespace quav
