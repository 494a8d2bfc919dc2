#pragma once

// Runs norvane-cli's command line in the test's own process (the tests
// linked with norvane_cli_lib), keeping what it printed and its status.

#include "cli/CommandLine.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace norvane::test {

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

// The arguments after the program name.
inline CliResult RunCli(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), "norvane-cli");
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(argument.c_str());
    }
    std::ostringstream out;
    std::ostringstream err;
    CliResult result;
    result.status = cli::Run(static_cast<int>(argv.size()), argv.data(), out, err);
    result.out = out.str();
    result.err = err.str();
    return result;
}

// The whole file, bytes as they are; empty when it cannot be read.
inline std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace norvane::test
