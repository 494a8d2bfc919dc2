// libFuzzer program: FuzzReportReader (fuzz/FuzzTargets.h).

#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    norvane::fuzz::FuzzReportReader({data, size});
    return 0;
}
