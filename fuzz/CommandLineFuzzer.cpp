// libFuzzer program: FuzzCommandLine (fuzz/FuzzTargets.h).

#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    norvane::fuzz::FuzzCommandLine({data, size});
    return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    norvane::fuzz::PrepareCommandLineScratch();
    return 0;
}
