#include "cli/OptionValues.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cstdint>
#include <limits>
#include <string>

namespace norvane::cli {

const CLI::Validator& NotAnOption()
{
    static const CLI::Validator check(
        [](const std::string& value) -> std::string {
            const bool number =
                value.size() > 1 && (std::isdigit(static_cast<unsigned char>(value[1])) || value[1] == '.');
            if (value.starts_with('-') && !number) {
                return "the value is missing (\"" + value + "\" is taken for an option)";
            }
            return {};
        },
        "");
    return check;
}

const CLI::Validator& UnsignedNumber()
{
    static const CLI::Validator check(
        [](const std::string& value) -> std::string {
            std::uint64_t number = 0;
            const char* end = value.data() + value.size();
            const auto [stop, error] = std::from_chars(value.data(), end, number);
            if (value.empty() || error != std::errc() || stop != end) {
                return "\"" + value + "\" is no whole number from 0 to " +
                       std::to_string(std::numeric_limits<std::uint64_t>::max());
            }
            return {};
        },
        "");
    return check;
}

const CLI::Validator& FileName()
{
    static const CLI::Validator check(
        [](const std::string& value) -> std::string {
            if (value.empty()) {
                return "the file name is missing";
            }
            if (value.starts_with('-')) {
                return "the file name is missing, or write a name beginning with '-' as ./" + value;
            }
            return {};
        },
        "");
    return check;
}

} // namespace norvane::cli
