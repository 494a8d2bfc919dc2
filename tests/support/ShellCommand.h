#pragma once

// Runs a program through the shell and keeps what it printed and its exit
// status, for the tests that start the real norvane-cli.

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace norvane::test {

struct CommandResult {
    int status = -1; // exit status; -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// A word for the shell, in single quotes.
inline std::string ShellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text) {
        quoted += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// Runs command (shell syntax, without redirections of its own).
inline CommandResult RunShellCommand(const std::string& command)
{
    static int counter = 0;
    const auto errFile =
        std::filesystem::temp_directory_path() /
        ("norvane-test-" + std::to_string(::getpid()) + "-" + std::to_string(++counter) + ".err");
    CommandResult result;
    FILE* pipe = ::popen((command + " 2>" + ShellQuote(errFile.string())).c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    std::array<char, 4096> buffer{};
    std::size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        result.out.append(buffer.data(), n);
    }
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(errFile);
    std::stringstream text;
    text << err.rdbuf();
    result.err = text.str();
    std::filesystem::remove(errFile);
    return result;
}

} // namespace norvane::test
