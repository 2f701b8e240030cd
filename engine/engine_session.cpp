#include "engine/engine_session.h"

#include "base/trace.h"
#include "engine/engine_callbacks.h"
#include "engine/engine_library.h"

EngineSession::EngineSession(const RecorderChoice& recorder) : recorder_(recorder) {}

EngineResult EngineSession::Load() {
    loaded_ = loadEngine();
    return EngineResult(loaded_ ? EXITCODE_OK : EXITCODE_NO_NERO_API);
}

EngineResult EngineSession::Initialise() {
    EngineSettings& settings = engineSettingsRecord();
    settings.userDialog = EngineUserDialogCallbackImpl;
    settings.userDialogUserData = this;
    Trace("init\n");
    const int32_t status = engine::NeroInit(&settings, nullptr);
    return EngineResult(status == 0 ? EXITCODE_OK : EXITCODE_INTERNAL);
}

EngineResult EngineSession::QueryDrives() {
    if (driveList_ == nullptr) {
        Trace("Querying drives\n");
        driveList_ = engine::NeroGetAvailableDrivesEx(static_cast<int32_t>(recorder_.mediumType), nullptr);
    }
    return EngineResult(driveList_ != nullptr ? EXITCODE_OK : EXITCODE_NO_DRIVE_LIST);
}

// A device still held from an earlier burn is closed before the next one opens, so no engine
// handle is left behind. A name that matches nothing keeps the held device.
EngineResult EngineSession::OpenDevice() {
    if (recorder_.driveName == nullptr) return EngineResult(EXITCODE_MISSING_DRIVE_NAME);
    const int index = FindDrive(recorder_);
    if (index >= 0) {
        if (deviceHandle_ != nullptr) {
            engine::NeroCloseDevice(deviceHandle_);
            deviceHandle_ = nullptr;
        }
        deviceHandle_ = engine::NeroOpenDevice(&driveList_->devices[index]);
        if (deviceHandle_ == nullptr) return EngineResult(EXITCODE_DRIVE_ACCESS);
    }
    return EngineResult(deviceHandle_ != nullptr ? EXITCODE_OK : EXITCODE_DRIVE_NOT_FOUND);
}

int32_t EngineSession::MapBurnResult(int32_t engineResult) {
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

void EngineSession::Close() {
    if (!loaded_) return;
    engine::NeroCloseDevice(deviceHandle_);
    deviceHandle_ = nullptr;
    engine::NeroFreeMem(driveList_);
    driveList_ = nullptr;
    engine::NeroFreeMem(discInfo_);
    discInfo_ = nullptr;
    engine::NeroFreeCDStamp(discStamp_);
    discStamp_ = nullptr;
    engine::NeroClearErrors();
}

void EngineSession::Destroy() {
    Close();
    engine::NeroDone();
    releaseEngine();
    loaded_ = false;
}

void EngineSession::SetDialogWindow(HWND window) { SetCallbackDialogWindow(window); }
void EngineSession::SetStatusWindow(HWND window) { SetCallbackStatusWindow(window); }
void EngineSession::SetProgressWindow(HWND window) { SetCallbackProgressWindow(window); }
