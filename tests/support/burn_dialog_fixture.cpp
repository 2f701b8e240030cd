#include "support/burn_dialog_fixture.h"

#include <cstring>

#include "base/handles.h"
#include "support/test_paths.h"

namespace {

std::string PluginPath() { return BinDir() + "\\Tolvane.dll"; }

}  // namespace

void BurnDialogFixture::SetUp() {
    hive_ = std::make_unique<ScopedUserHive>("BurnDialogTest");
    ASSERT_TRUE(hive_->active());
    engine_ = std::make_unique<EngineStandin>();
    engine_->PointRegistry();
    folder_ = MakeTempDir("burndialog");
    boxes_ = std::make_unique<BoxWatcher>();
}

void BurnDialogFixture::TearDown() {
    if (host_ && host_->running()) {
        if (HWND dialog = FindBurnDialog(false)) CloseDialog(dialog);
        StopPlugin();
    }
    boxes_.reset();
    host_.reset();
    ExpectNoLedgerReports(engine_->ReadLog());
    hive_.reset();
}

EngineScenario BurnDialogFixture::TwoRecorders() {
    EngineScenario scenario;
    StandinDrive plextor;
    plextor.name = "Plextor PX-W4824A";
    plextor.letter = 'D';
    plextor.speeds1 = {4, 8, 16, 24, 48};
    StandinDrive nec;
    nec.name = "_NEC DVD_RW ND-3520A";
    nec.letter = 'E';
    nec.speeds1 = {4, 8, 16};
    scenario.AddDrive(plextor).AddDrive(nec);
    return scenario;
}

std::string BurnDialogFixture::MakeFile(const std::string& name, unsigned long long size) const {
    const std::string path = folder_ + "\\" + name;
    HANDLE raw = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (raw == INVALID_HANDLE_VALUE) return path;
    UniqueHandle<KernelHandleTraits> file(raw);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN);
    SetEndOfFile(file.get());
    return path;
}

standin::Track BurnDialogFixture::Track(const std::string& file, const std::string& title, int seconds,
                                        bool selected) {
    standin::Track track;
    track.file = file;
    track.title = title;
    track.artist = "Artist";
    track.lengthSeconds = seconds;
    track.selected = selected;
    return track;
}

void BurnDialogFixture::StartPlugin(const standin::Playlist& playlist, const EngineScenario& scenario) {
    engine_->Use(scenario);
    preloaded_ = GetModuleHandleA(PluginPath().c_str()) != nullptr;
    host_ = std::make_unique<standin::Host>(playlist);
    ASSERT_TRUE(host_->Load(PluginPath())) << host_->error();
    ASSERT_EQ(host_->CallModule(), 1);
}

HWND BurnDialogFixture::OpenDialog(UINT command) {
    host_->SendCommand(command);
    return WaitForBurnDialog();
}

bool BurnDialogFixture::CloseDialog(HWND dialog) {
    PostButtonCommand(dialog, 2);
    return WaitForBurnDialogGone();
}

void BurnDialogFixture::StopPlugin() {
    host_->Shutdown();
    // A module the tests keep loaded for its resources cannot go away; do not wait for it.
    host_->Unload(preloaded_ ? 0 : 10000);
}

bool BurnDialogFixture::WaitForBoxes(size_t count, DWORD timeoutMs) {
    return PumpUntil([&] { return boxes_->Count() >= count; }, timeoutMs);
}

SeenBox BurnDialogFixture::BurnAndWait(HWND dialog) {
    const size_t before = boxes_->Count();
    SendButtonCommand(dialog, 1);
    EXPECT_TRUE(PumpUntil([&] { return boxes_->Count() > before && DialogLooksIdle(dialog); }))
        << "no result box, or the dialog did not come back to idle";
    const auto seen = boxes_->Seen();
    return seen.size() > before ? seen.back() : SeenBox();
}


std::string BurnDialogFixture::ReadSetting(const char* name) const {
    // Up to the first zero byte, as the plug-in reads it back.
    const std::string bytes = QueryRawValue(HKEY_CURRENT_USER, kSettingsKey, name).bytes;
    return bytes.substr(0, bytes.find('\0'));
}

DWORD BurnDialogFixture::ReadSettingNumber(const char* name) const {
    const RawValue value = QueryRawValue(HKEY_CURRENT_USER, kSettingsKey, name);
    DWORD number = 0xFFFFFFFF;
    if (value.type == REG_DWORD && value.bytes.size() == 4) memcpy(&number, value.bytes.data(), 4);
    return number;
}

bool BurnDialogFixture::HasSetting(const char* name) const {
    return QueryRawValue(HKEY_CURRENT_USER, kSettingsKey, name).exists;
}

void BurnDialogFixture::WriteSetting(const char* name, const std::string& text) const {
    SetRawValue(HKEY_CURRENT_USER, kSettingsKey, name, REG_SZ, text);
}
