// libFuzzer entry point for the data file loader: `make fuzz`. Inputs it finds wrong are kept in
// tests/fuzz/found and loaded again by the regression test of app_tests.
#include <cstdlib>

#include "LoaderCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!loader_check::LoadsAndResavesStably(std::vector<std::uint8_t>(data, data + size)))
        std::abort();
    return 0;
}
