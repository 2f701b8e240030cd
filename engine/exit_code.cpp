#include "engine/exit_code.h"

namespace {

struct ResultMessageRow {
    int32_t code;
    const char* message;
};

// Searched in order; the first row also answers every code without a row of its own.
const ResultMessageRow kResultMessages[] = {
    {EXITCODE_UNKNOWN, "Unknown error."},
    {EXITCODE_OK, "Ok."},
    {EXITCODE_BAD_USAGE, "Bad usage!"},
    {EXITCODE_INTERNAL, "Internal error!"},
    {EXITCODE_NO_NERO_API, "NEROAPI.DLL was not found!"},
    {EXITCODE_NO_CD_INSERTED, "No CD was inserted!"},
    {EXITCODE_CDRW_NOT_SUPPORTED, "CDRW is not supported!"},
    {EXITCODE_ERASE_FAILED, "There was an error erasing CDRW!"},
    {EXITCODE_NO_DRIVE_LIST, "There was an error obtaining a list of available drives!"},
    {EXITCODE_MISSING_DRIVE_NAME, "Drive name is missing!"},
    {EXITCODE_DRIVE_ACCESS, "There was an error while trying to access the drive!"},
    {EXITCODE_DRIVE_NOT_FOUND, "Drive was not found!"},
    {EXITCODE_UNKNOWN_CD_FORMAT, "Unknown CD format!"},
    {EXITCODE_INVALID_DRIVE, "Invalid drive!"},
    {EXITCODE_BURN_FAILED, "Burn process failed!"},
    {EXITCODE_FUNCTION_NOT_ALLOWED, "Function was not allowed!"},
    {EXITCODE_DRIVE_NOT_ALLOWED, "Drive was not allowed!"},
    {EXITCODE_NO_CD_INFO, "There was an error obtaining CD info!"},
    {EXITCODE_TRACK_NOT_FOUND, "Track was not found!"},
    {EXITCODE_UNKNOWN_FILE_TYPE, "File type is unknown!"},
    {EXITCODE_DAE_FAILED, "Digital audio extraction failed!"},
    {EXITCODE_FILE_OPEN, "There was an error openning the file!"},
    {EXITCODE_OUT_OF_MEMORY, "Out of memory!"},
    {EXITCODE_FILE_LENGTH, "Error determining the length of input file!"},
    {EXITCODE_EJECT_LOAD, "Eject/Load failed!"},
    {EXITCODE_INVALID_IMPORT_SESSION, "Invalid session number to import!"},
    {EXITCODE_ISO_TRACK_FAILED, "Failed to create ISO track!"},
    {EXITCODE_FILE_NOT_FOUND, "Specified file was not found!"},
    {EXITCODE_USER_ABORTED, "User aborted!"},
    {EXITCODE_PATH_TOO_LONG, "The path of this file is too long for the disc:"},
};

const ResultMessageRow& RowOf(int32_t code) {
    for (const ResultMessageRow& row : kResultMessages)
        if (row.code == code) return row;
    return kResultMessages[0];
}

}  // namespace

const char* ResultMessage(int32_t code) { return RowOf(code).message; }

// The engine's fields hold 255 characters: the user has to know which file to move.
bool ResultNamesFile(int32_t code) { return code == EXITCODE_PATH_TOO_LONG; }

int32_t MapBurnResult(int32_t engineResult) {
    static const int32_t kBurnResults[] = {
        EXITCODE_OK,                    // 0
        EXITCODE_UNKNOWN_CD_FORMAT,     // 1
        EXITCODE_INVALID_DRIVE,         // 2
        EXITCODE_BURN_FAILED,           // 3
        EXITCODE_FUNCTION_NOT_ALLOWED,  // 4
        EXITCODE_DRIVE_NOT_ALLOWED,     // 5
        EXITCODE_USER_ABORTED,          // 6
    };
    const int32_t rows = static_cast<int32_t>(sizeof kBurnResults / sizeof kBurnResults[0]);
    if (engineResult < 0 || engineResult >= rows) return EXITCODE_INTERNAL;
    return kBurnResults[engineResult];
}
