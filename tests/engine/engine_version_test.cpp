#include <gtest/gtest.h>

#include "engine/engine_version.h"

namespace {

struct VersionCase {
    WORD major, minor, release, build;
    bool current;
};

TEST(EngineVersion, CurrentMeansAbove5_5_9_10) {
    const VersionCase cases[] = {
        {5, 5, 9, 10, false}, {5, 5, 9, 11, true},  {5, 5, 10, 0, true},  {5, 6, 0, 0, true},
        {5, 5, 9, 9, false},  {5, 5, 0, 65535, false}, {5, 4, 65535, 65535, false},
        {6, 0, 0, 0, true},   {4, 65535, 65535, 65535, false}, {0, 0, 0, 0, false},
    };
    for (const VersionCase& c : cases) {
        EXPECT_EQ(IsCurrentEngineVersion(c.major, c.minor, c.release, c.build), c.current)
            << c.major << "." << c.minor << "." << c.release << "." << c.build;
    }
}

}  // namespace
