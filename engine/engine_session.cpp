#include "engine/engine_session.h"

#include <cstring>
#include <utility>

#include "base/trace.h"
#include "engine/engine_callbacks.h"
#include "engine/engine_library.h"

std::atomic<EngineSession*> engineSession{nullptr};

namespace {

uint32_t DiscTrackCount(const void* discInfo) {
    uint32_t count = 0;
    std::memcpy(&count, static_cast<const char*>(discInfo) + kDiscInfoTrackCountOffset, sizeof count);
    return count;
}

}  // namespace

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

bool EngineSession::DiscHasTracks() const { return discInfo_ != nullptr && DiscTrackCount(discInfo_) > 0; }

int32_t EngineSession::ImportDiscTrack(int32_t track, DWORD flags, void** items) {
    *items = nullptr;
    if (track == -1 && !DiscHasTracks()) return EXITCODE_INVALID_IMPORT_SESSION;
    const uint32_t trackNumber = track != -1 ? static_cast<uint32_t>(track) : DiscTrackCount(discInfo_) - 1;
    // The information read now replaces the held one, which would otherwise never be released.
    if (discInfo_ != nullptr) engine::NeroFreeMem(std::exchange(discInfo_, nullptr));
    discInfo_ = engine::NeroGetCDInfo(deviceHandle_, 0);
    if (discInfo_ == nullptr) return EXITCODE_NO_CD_INFO;
    // Compared unsigned, so a negative track number other than -1 is refused too.
    if (trackNumber >= DiscTrackCount(discInfo_)) return EXITCODE_INVALID_IMPORT_SESSION;
    // The engine fills the slot; a stamp from an earlier import would never be released.
    if (discStamp_ != nullptr) engine::NeroFreeCDStamp(std::exchange(discStamp_, nullptr));
    *items = engine::NeroImportIsoTrackEx(deviceHandle_, trackNumber, &discStamp_, flags);
    return *items == nullptr ? EXITCODE_NO_CD_INSERTED : EXITCODE_OK;
}

void EngineSession::SetDialogWindow(HWND window) { SetCallbackDialogWindow(window); }
void EngineSession::SetStatusWindow(HWND window) { SetCallbackStatusWindow(window); }
void EngineSession::SetProgressWindow(HWND window) { SetCallbackProgressWindow(window); }
