#pragma once
// Result codes of job operations, builders and session operations. 0 is success.

#include <cstdint>

enum EXITCODE : int32_t {
    EXITCODE_OK = 0,
    EXITCODE_BAD_USAGE = 1,
    EXITCODE_INTERNAL = 2,
    EXITCODE_NO_NERO_API = 3,
    EXITCODE_NO_CD_INSERTED = 6,
    EXITCODE_CDRW_NOT_SUPPORTED = 7,
    EXITCODE_ERASE_FAILED = 8,
    EXITCODE_NO_DRIVE_LIST = 9,
    EXITCODE_MISSING_DRIVE_NAME = 10,
    EXITCODE_DRIVE_ACCESS = 11,
    EXITCODE_DRIVE_NOT_FOUND = 12,
    EXITCODE_UNKNOWN_CD_FORMAT = 13,
    EXITCODE_INVALID_DRIVE = 14,
    EXITCODE_BURN_FAILED = 15,
    EXITCODE_FUNCTION_NOT_ALLOWED = 16,
    EXITCODE_DRIVE_NOT_ALLOWED = 17,
    EXITCODE_NO_CD_INFO = 18,
    EXITCODE_TRACK_NOT_FOUND = 19,
    EXITCODE_UNKNOWN_FILE_TYPE = 20,
    EXITCODE_DAE_FAILED = 21,
    EXITCODE_FILE_OPEN = 22,
    EXITCODE_OUT_OF_MEMORY = 23,
    EXITCODE_FILE_LENGTH = 24,
    EXITCODE_EJECT_LOAD = 25,
    EXITCODE_INVALID_IMPORT_SESSION = 26,
    EXITCODE_ISO_TRACK_FAILED = 27,
    EXITCODE_FILE_NOT_FOUND = 28,
    EXITCODE_UNKNOWN = 29,
    EXITCODE_USER_ABORTED = 30,
    EXITCODE_PATH_TOO_LONG = 31,
};

// The user's text for a code, from the result message table; "Unknown error." for any code
// without a row.
const char* ResultMessage(int32_t code);
// True when the code's text is followed by the file the failure concerns.
bool ResultNamesFile(int32_t code);
// The code of NeroBurn's answer; "Internal error" (2) for an answer without a row.
int32_t MapBurnResult(int32_t engineResult);
