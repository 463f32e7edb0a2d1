#pragma once

#include <string>
#include <string_view>

namespace quav {

/// The product's version, as the About box shows it: "3.03".
std::string_view productVersion();

/// This build's own version: the project version and, when built from a git
/// checkout, the commit ("0.1-g1a2b3c4d5e", with "-dirty" when tracked files
/// had changes).
std::string_view buildVersion();

/// The line `program --version` prints, without its newline:
/// "quav-cli 3.03 (build 0.1-g1a2b3c4d5e)".
std::string versionText(std::string_view program);

} // namespace quav
