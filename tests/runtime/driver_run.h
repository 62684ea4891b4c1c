// Running the compiled runtime driver (runtime_driver.c) from the runtime tests.
#pragma once
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
// it, e.g. environment settings); returns one result line per command. A
// command the driver gave no line for (it crashed or stopped early) gets the
// line "NO RESULT (driver exit status <n>) FOR <command>", so that the first
// expectation it meets names it.
inline std::vector<std::string> run(const std::filesystem::path& dir, const std::vector<std::string>& commands,
                                    const std::string& prefix = "") {
    std::string input;
    for (const auto& command : commands) input += command + "\n";
    testsupport::writeFile(dir / "commands.txt", input);
    const std::string call = prefix + quoted(dir / "driver") + " < " + quoted(dir / "commands.txt") + " > " +
                             quoted(dir / "results.txt");
    const int status = std::system(call.c_str());
    std::vector<std::string> lines;
    std::istringstream results(testsupport::readFile(dir / "results.txt"));
    for (std::string line; std::getline(results, line);) lines.push_back(line);
    for (size_t n = lines.size(); n < commands.size(); ++n) {
        lines.push_back("NO RESULT (driver exit status " + std::to_string(status) + ") FOR " +
                        commands[n].substr(0, 60));
    }
    if (status != 0 && lines.size() == commands.size() && !lines.empty()) {
        lines.back() += " (driver exit status " + std::to_string(status) + ")";
    }
    return lines;
}

} // namespace runtimedriver
