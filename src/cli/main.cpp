// norvane-cli: the headless face of Norvane.

#include "format/EngineeringFormat.h"

#include <CLI/CLI.hpp>

#include <iostream>

int main(int argc, char** argv)
{
    norvane::UseEnglishNumberFormat();

    CLI::App app{"Norvane: design of single-stage bipolar transistor amplifiers", "norvane-cli"};
    app.set_version_flag("--version", std::string("norvane-cli ") + NORVANE_VERSION);
    CLI11_PARSE(app, argc, argv);

    std::cout << app.help();
    return 0;
}
