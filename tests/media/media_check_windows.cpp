// The checker's table of media, run by the Windows build (under Wine in the
// test command): the same cases as the native unit tests, with pictures
// decoded by the launcher's own imaging code.
//
// Prints one line per difference and finally "N passed, N failed".
#include <cstdio>

#include "media/MediaCases.h"

int wmain()
{
    int passed = 0, failed = 0;
    for (const auto& c : trelvo::testing::MediaCases()) {
        std::vector<std::string> failures = trelvo::testing::RunMediaCase(c);
        for (const std::string& failure : failures) std::printf("FAIL %s\n", failure.c_str());
        (failures.empty() ? passed : failed) += 1;
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
