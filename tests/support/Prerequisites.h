#pragma once

// What the test suite needs of the machine beyond the build: programs,
// catalogs and locales that scripts/install-deps.sh installs. A test that
// finds one missing fails with the Debian package to install, rather than
// skipping (a skipped check passes for a green run) or reaching for the
// network.

#include <clocale>
#include <cstdlib>
#include <string>

namespace norvane::test {

// Empty when the program is on the PATH, else what to install.
inline std::string MissingProgram(const std::string& program, const std::string& package)
{
    if (std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0)
        return {};
    return program + " is missing: install Debian's " + package + " (bash scripts/install-deps.sh)";
}

// Empty when xmllint resolves the XHTML 1.0 DTDs from the local XML
// catalog (so that --valid --nonet validates), else what to install.
inline std::string MissingXhtmlCatalog()
{
    if (std::string missing = MissingProgram("xmllint", "libxml2-utils"); !missing.empty())
        return missing;
    const char* probe = "xmlcatalog --noout /etc/xml/catalog "
                        "'http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd' 2>/dev/null | "
                        "grep -q '^file:'";
    if (std::system(probe) == 0)
        return {};
    return "the XHTML 1.0 DTDs are not in the XML catalog: install Debian's w3c-sgml-lib "
           "(bash scripts/install-deps.sh)";
}

// What to install for a locale the C library lacks ("tr_TR.UTF-8").
inline std::string InstallHintForLocale(const std::string& locale)
{
    return "the " + locale +
           " locale is missing: install Debian's locales and generate it "
           "(bash scripts/install-deps.sh does both)";
}

// Switches LC_ALL to de_DE.UTF-8 (a decimal-comma locale); empty when it
// did, else what to install.
inline std::string SwitchToDecimalCommaLocale()
{
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr)
        return {};
    return InstallHintForLocale("de_DE.UTF-8");
}

// Empty when the C library has the locale, else what to install; the
// process's own locale stays as it was.
inline std::string MissingLocale(const std::string& locale)
{
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    const bool present = std::setlocale(LC_ALL, locale.c_str()) != nullptr;
    std::setlocale(LC_ALL, saved.c_str());
    return present ? std::string() : InstallHintForLocale(locale);
}

} // namespace norvane::test
