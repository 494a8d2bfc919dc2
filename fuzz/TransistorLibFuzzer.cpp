// libFuzzer program: FuzzTransistorLibReader (fuzz/FuzzTargets.h).

#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    norvane::fuzz::FuzzTransistorLibReader({data, size});
    return 0;
}
