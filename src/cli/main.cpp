// norvane-cli: the headless face of Norvane.

#include "cli/CommandLine.h"

#include <iostream>

int main(int argc, char** argv)
{
    return norvane::cli::Run(argc, argv, std::cout, std::cerr);
}
