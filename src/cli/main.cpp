// norvane-cli: the headless face of Norvane.

#include "cli/CommandLine.h"

#include <unistd.h>

#include <iostream>

int main(int argc, char** argv)
{
    return norvane::cli::Run(argc, argv, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
}
