#pragma once

#include <functional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace quav {

/// One quav-cli command: its name and one-line description, the options it sets
/// up on its subcommand (bound to variables its handler reads), and the handler
/// that runs once they are parsed, returning the exit code.
struct CliCommand {
    std::string name;
    std::string description;
    std::function<void(CLI::App&)> setUp;
    std::function<int()> run;
};

/// Adds the commands to `app` in their order (the order of the help text),
/// parses the arguments and runs the command given. A parse error prints its
/// message and returns 2; --help and --version print and return 0.
int runCommands(CLI::App& app, const std::vector<CliCommand>& commands, int argc,
                const char* const* argv);

} // namespace quav
