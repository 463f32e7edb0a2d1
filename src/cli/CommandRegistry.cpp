#include "cli/CommandRegistry.h"

#include <CLI/CLI.hpp>

namespace quav {

int runCommands(CLI::App& app, const std::vector<CliCommand>& commands, int argc,
                const char* const* argv) {
    std::vector<CLI::App*> subcommands;
    subcommands.reserve(commands.size());
    for (const CliCommand& c : commands) {
        CLI::App* sub = app.add_subcommand(c.name, c.description);
        if (c.setUp)
            c.setUp(*sub);
        subcommands.push_back(sub);
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }
    for (std::size_t i = 0; i < commands.size(); ++i)
        if (subcommands[i]->parsed())
            return commands[i].run();
    return 2;
}

} // namespace quav
