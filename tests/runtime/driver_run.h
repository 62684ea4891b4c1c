// Running the compiled runtime driver (runtime_driver.c) from the runtime tests.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/support.h"

namespace runtimedriver {

// A path in single quotes, for a shell command line.
inline std::string quoted(const std::filesystem::path& path) {
    std::string text(1, '\'');
    text += path.string();
    text += '\'';
    return text;
}

// Feeds commands, one per line, to dir/driver (shell words in prefix go before
// it, e.g. environment settings); returns one result line per command.
inline std::vector<std::string> run(const std::filesystem::path& dir, const std::vector<std::string>& commands,
                                    const std::string& prefix = "") {
    std::string input;
    for (const auto& command : commands) input += command + "\n";
    testsupport::writeFile(dir / "commands.txt", input);
    const std::string call = prefix + quoted(dir / "driver") + " < " + quoted(dir / "commands.txt") + " > " +
                             quoted(dir / "results.txt");
    EXPECT_EQ(std::system(call.c_str()), 0);
    std::vector<std::string> lines;
    std::istringstream results(testsupport::readFile(dir / "results.txt"));
    for (std::string line; std::getline(results, line);) lines.push_back(line);
    EXPECT_EQ(lines.size(), commands.size());
    lines.resize(commands.size());
    return lines;
}

} // namespace runtimedriver
