#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz/LoaderCheck.h"
#include "support/TempDir.h"

// Every input the loader's fuzz target ever found wrong stays in tests/fuzz/found and is loaded
// here again, with the real data files the fuzzing starts from.
TEST(FuzzFindings, EveryKeptInputLoadsAndResavesStably)
{
    int files = 0;
    for (const char* folder : {"seeds", "found"}) {
        const std::filesystem::path dir = std::filesystem::path(BRIVANTEL_FUZZ_DIR) / folder;
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            if (!entry.is_regular_file() || entry.path().filename() == ".keep")
                continue;
            ++files;
            EXPECT_TRUE(loader_check::LoadsAndResavesStably(ReadFileBytes(entry.path().string())))
                << entry.path();
        }
    }
    EXPECT_GE(files, 3); // the seeds at least
}
