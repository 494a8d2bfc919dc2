#include "cli/OptionValues.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <regex>
#include <string>
#include <vector>

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

CLI::Validator QuantityValue(std::string unit)
{
    return CLI::Validator(
        [unit = std::move(unit)](std::string& value) -> std::string {
            static const std::regex leading(R"(^\s*[+-]?[.,]?[0-9])");
            if (!std::regex_search(value, leading)) {
                return {};
            }
            static const std::regex number(
                R"(^\s*[+-]?([0-9]+[pnumkMGPNUK][0-9]+|)"
                R"(([0-9]+([.,][0-9]*)?|[.,][0-9]+)([eE][+-]?[0-9]+)?\s*[pnumkMGPNUK]?)\s*$)");
            std::vector<std::string> units{unit};
            if (unit == "ohm") {
                units = {"ohms", "ohm", "\u03a9"};
            }
            std::string lower = value;
            std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
                return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
            });
            std::string bare = value;
            for (std::string u : units) {
                std::transform(u.begin(), u.end(), u.begin(), [](char c) {
                    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
                });
                const std::size_t end = lower.find_last_not_of(" \t");
                if (end != std::string::npos && lower.substr(0, end + 1).ends_with(u)) {
                    bare = value.substr(0, end + 1 - u.size());
                    break;
                }
            }
            if (!std::regex_match(bare, number)) {
                return "\"" + value + "\" is no value in " + unit +
                       " (a number, a prefix and the unit, as in " +
                       (unit == "ohm"  ? "4k7 or 600 ohm"
                        : unit == "dB" ? "-10 dB"
                                       : "2.2 m" + unit) +
                       ")";
            }
            value = bare;
            return {};
        },
        "");
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
