#include <gtest/gtest.h>
#include <windows.h>
#include "support/test_paths.h"
TEST(Smoke, LoadsPlugin) {
    HMODULE m = LoadLibraryA((BinDir() + "\\Tolvane.dll").c_str());
    ASSERT_NE(m, nullptr);
    EXPECT_NE(GetProcAddress(m, "QGeneralModule"), nullptr);
    FreeLibrary(m);
}
