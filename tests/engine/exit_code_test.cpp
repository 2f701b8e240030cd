#include <gtest/gtest.h>

#include "engine/exit_code.h"

TEST(ResultMessages, EveryCodeHasItsText) {
    struct Row {
        int32_t code;
        const char* message;
    };
    const Row rows[] = {
        {0, "Ok."},
        {1, "Bad usage!"},
        {2, "Internal error!"},
        {3, "NEROAPI.DLL was not found!"},
        {4, "Unknown error."},
        {5, "Unknown error."},
        {6, "No CD was inserted!"},
        {7, "CDRW is not supported!"},
        {8, "There was an error erasing CDRW!"},
        {9, "There was an error obtaining a list of available drives!"},
        {10, "Drive name is missing!"},
        {11, "There was an error while trying to access the drive!"},
        {12, "Drive was not found!"},
        {13, "Unknown CD format!"},
        {14, "Invalid drive!"},
        {15, "Burn process failed!"},
        {16, "Function was not allowed!"},
        {17, "Drive was not allowed!"},
        {18, "There was an error obtaining CD info!"},
        {19, "Track was not found!"},
        {20, "File type is unknown!"},
        {21, "Digital audio extraction failed!"},
        {22, "There was an error openning the file!"},
        {23, "Out of memory!"},
        {24, "Error determining the length of input file!"},
        {25, "Eject/Load failed!"},
        {26, "Invalid session number to import!"},
        {27, "Failed to create ISO track!"},
        {28, "Specified file was not found!"},
        {29, "Unknown error."},
        {30, "User aborted!"},
        {31, "The path of this file is too long for the disc:"},
        {32, "Unknown error."},
        {1000, "Unknown error."},
        {-1, "Unknown error."},
    };
    for (const Row& row : rows) EXPECT_STREQ(ResultMessage(row.code), row.message) << "code " << row.code;
}

TEST(ResultMessages, BurnResultMapping) {
    const int32_t expected[] = {0, 13, 14, 15, 16, 17, 30};
    for (int32_t engineResult = 0; engineResult < 7; ++engineResult)
        EXPECT_EQ(MapBurnResult(engineResult), expected[engineResult]) << engineResult;
    for (int32_t other : {7, 8, -1, 100})
        EXPECT_EQ(MapBurnResult(other), 2) << other;
    EXPECT_STREQ(ResultMessage(MapBurnResult(6)), "User aborted!");
    EXPECT_STREQ(ResultMessage(MapBurnResult(7)), "Internal error!");
}
