#include "cli/CommandRegistry.h"

#include <CLI/CLI.hpp>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace quav;

namespace {

TEST(CommandRegistry, RunsTheCommandGivenWithItsOptionsAndMapsParseErrors) {
    const struct {
        std::vector<const char*> args;
        int exit;
        std::string ran; ///< the handlers that ran, with the option they read
    } cases[] = {
        {{"quav-cli", "first", "--count", "3"}, 10, "first 3"},
        {{"quav-cli", "second", "model.quav"}, 20, "second model.quav"},
        {{"quav-cli"}, 2, ""},                          // no command
        {{"quav-cli", "first", "--count", "x"}, 2, ""}, // not a number
        {{"quav-cli", "first", "--bogus"}, 2, ""},      // not an option
        {{"quav-cli", "second"}, 2, ""},                // required argument missing
        {{"quav-cli", "--help"}, 0, ""},                // help is no error
        {{"quav-cli", "third"}, 2, ""},                 // no such command
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.size() > 1 ? c.args[1] : "(none)");
        int count = 0;
        std::string file, ran;
        const std::vector<CliCommand> commands{
            {"first", "The first",
             [&](CLI::App& app) { app.add_option("--count", count, "How many"); },
             [&] {
                 ran += "first " + std::to_string(count);
                 return 10;
             }},
            {"second", "The second",
             [&](CLI::App& app) { app.add_option("FILE", file, "A file")->required(); },
             [&] {
                 ran += "second " + file;
                 return 20;
             }},
        };
        CLI::App app{"test"};
        app.require_subcommand(1);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const int exit = runCommands(app, commands, static_cast<int>(c.args.size()), c.args.data());
        const std::string printed =
            testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
        EXPECT_EQ(exit, c.exit) << printed;
        EXPECT_EQ(ran, c.ran);
    }
}

} // namespace
