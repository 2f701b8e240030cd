#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "base/handles.h"
#include "base/plugin_state.h"
#include "engine/engine_callbacks.h"
#include "automation/box_watcher.h"
#include "support/callback_windows.h"

namespace {

class EngineCallbacks : public ::testing::Test {
protected:
    void SetUp() override {
        player_ = CreateWindowExA(0, "STATIC", "Player", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
        playerWindow = player_;
        abortFlag = 0;
    }
    void TearDown() override {
        playerWindow = nullptr;
        abortFlag = 0;
        DestroyWindow(player_);
    }

    HWND player_ = nullptr;
    CallbackWindows windows_;
};

const char kDisconnectOff[] =
    "Disconnect is turned off in the system configuration.\n\t\t\t\t\tThis may cause serious problems while "
    "burning: your CD\n\t\t\t\t\tmight be damaged, or the system might hang up.\nBurning Cancelled";
const char kTrackAtOnce[] =
    "Disc must be written as 'track at once' ('disc at once' not\nsupported or not able to write such a disc).";

}  // namespace

TEST_F(EngineCallbacks, RecordsCarryTheirFixedValues) {
    EngineSettings& settings = engineSettingsRecord();
    EXPECT_EQ(settings.filesPath, nullptr);
    EXPECT_STREQ(settings.vendor, "ahead");
    EXPECT_STREQ(settings.software, "Nero - Burning Rom");
    EXPECT_STREQ(settings.languageFile, "Nero.txt");
    EXPECT_EQ(settings.idle, &EngineIdleCallbackImpl);
    EXPECT_EQ(settings.idleUserData, &settings);
    EXPECT_EQ(settings.userDialog, &EngineUserDialogCallbackImpl);
    EXPECT_EQ(settings.overburn, 0u);
    EXPECT_EQ(settings.overburnSize, 0u);

    ProgressRecord& progress = engineProgressRecord();
    EXPECT_EQ(progress.progress, &EngineProgressCallbackImpl);
    EXPECT_EQ(progress.aborted, &EngineAbortedCallbackImpl);
    EXPECT_EQ(progress.addLogLine, &EngineAddLogLineCallbackImpl);
    EXPECT_EQ(progress.setPhase, &EngineSetPhaseCallbackImpl);
    EXPECT_EQ(progress.userData, &settings);
    EXPECT_EQ(progress.disableAbort, &EngineDisableAbortCallbackImpl);
    EXPECT_EQ(progress.setMajorPhase, &EngineSetMajorPhaseCallbackImpl);
    EXPECT_EQ(progress.furtherCallback, nullptr);
}

TEST_F(EngineCallbacks, ProgressAndPhaseTexts) {
    EXPECT_FALSE(EngineProgressCallbackImpl(nullptr, 42));
    EXPECT_EQ(windows_.ProgressPosition(), 42);

    EngineSetPhaseCallbackImpl(nullptr, "Writing track 3");
    EXPECT_EQ(windows_.StatusText(), "Writing track 3");

    struct Case {
        int32_t phase;
        const char* text;
    };
    const Case phases[] = {{-1, "Unspecified"},  {24, "Start cache"},  {26, "unknown"},
                           {36, "Start write"},  {115, "Dvdvideo realloc failed"},
                           {116, "unknown"},     {0, "unknown"}};
    for (const Case& c : phases) {
        EngineSetMajorPhaseCallbackImpl(nullptr, c.phase, nullptr);
        EXPECT_EQ(windows_.StatusText(), c.text) << "phase " << c.phase;
    }

    // Neither direction of the disable-abort callback touches the dialog.
    EngineDisableAbortCallbackImpl(nullptr, FALSE);
    EngineDisableAbortCallbackImpl(nullptr, TRUE);
    EngineAddLogLineCallbackImpl(nullptr, 0, "log");
    EXPECT_EQ(windows_.StatusText(), "unknown");
    EXPECT_EQ(windows_.ProgressPosition(), 42);
}

TEST_F(EngineCallbacks, AbortFlagAnsweredByIdleProgressAndAborted) {
    for (uint8_t flag : {0, 1}) {
        abortFlag = flag;
        EXPECT_EQ(EngineIdleCallbackImpl(nullptr) != FALSE, flag == 1);
        EXPECT_EQ(EngineProgressCallbackImpl(nullptr, 10) != FALSE, flag == 1);
        EXPECT_EQ(EngineAbortedCallbackImpl(nullptr) != FALSE, flag == 1);
    }
}

TEST_F(EngineCallbacks, IdlePumpsOnlyTheDialogsMessages) {
    HWND other = CreateWindowExA(0, "STATIC", "Other", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    PostMessageA(windows_.dialog(), WM_APP, 0, 0);
    PostMessageA(windows_.dialog(), WM_APP, 0, 0);
    PostMessageA(other, WM_APP, 0, 0);
    EngineIdleCallbackImpl(nullptr);
    EXPECT_EQ(windows_.appMessagesDispatched(), 2);
    MSG message;
    EXPECT_TRUE(PeekMessageA(&message, other, WM_APP, WM_APP, PM_REMOVE)) << "the other window's message stays";
    DestroyWindow(other);
}

// During a burn the callbacks run on the burn thread and reach the dialog's thread by messages.
TEST_F(EngineCallbacks, CallbacksFromTheBurnThread) {
    UniqueEvent done(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    HANDLE doneEvent = done.get();
    std::thread burnThread([doneEvent] {
        EngineProgressCallbackImpl(nullptr, 77);
        EngineSetMajorPhaseCallbackImpl(nullptr, 37, nullptr);
        SetEvent(doneEvent);
    });
    const bool finished = windows_.PumpUntil(doneEvent);
    burnThread.join();
    ASSERT_TRUE(finished);
    EXPECT_EQ(windows_.ProgressPosition(), 77);
    EXPECT_EQ(windows_.StatusText(), "Done write");
}

TEST_F(EngineCallbacks, UserDialogBoxes) {
    struct Case {
        int32_t code;
        const char* icon;
        const char* text;
    };
    const Case cases[] = {
        {2, "error", kDisconnectOff},
        {6, "error", kDisconnectOff},
        {7, "error",
         "Auto Insert Notification is turned on in the system configuration.\n\t\t\t\t\tThis may cause serious "
         "problems while burning: your CD might be damaged,\n\t\t\t\t\tor the system might hang up.\nBurning "
         "Cancelled."},
        {10, "warning", "Please restart Windows now."},
        {11, "warning", "Auto Insert Notification is now OFF. You should restart Windows."},
        {12, "warning", "Please restart Windows now."},
        {13, "error",
         "Sorry, this compilation contains too much data to fit on the CD\n\t\t\t\twith respect to the normal CD "
         "capacity."},
        {14, "error",
         "Nero detected some problems with the audio settings.\nPlease try burning the CD in Nero instead."},
        {18, "error", kTrackAtOnce},
        {19, "error", kTrackAtOnce},
        {22, "error", "The Tolvane Plugin Can Not Write On Non Empty CDRW."},
        {23, "error",
         "The compilation cannot be written on this recorder!\nYou should modify your compilation settings or "
         "burn\nthe disc on another recorder, that supports the required medium type."},
        {24, "error", "Another type of medium must be used to burn this compilation!"},
    };
    BoxWatcher watcher;
    size_t expectedBoxes = 0;
    for (const Case& c : cases) {
        EXPECT_EQ(EngineUserDialogCallbackImpl(nullptr, c.code, nullptr), 0) << "code " << c.code;
        ++expectedBoxes;
        ASSERT_TRUE(watcher.WaitForCount(expectedBoxes, 5000)) << "no box for code " << c.code;
        const SeenBox box = watcher.Seen().back();
        EXPECT_EQ(box.caption, "Tolvane") << "code " << c.code;
        EXPECT_EQ(box.text, c.text) << "code " << c.code;
        EXPECT_EQ(box.icon, c.icon) << "code " << c.code;
        EXPECT_EQ(box.owner, player_) << "code " << c.code;
        EXPECT_EQ(box.buttons, std::vector<int>{IDOK}) << "code " << c.code;
    }
}

TEST_F(EngineCallbacks, UserDialogCodesThatShowNothing) {
    BoxWatcher watcher;
    SetWindowTextA(windows_.status(), "before");
    for (int32_t code : {-1, 0, 1, 3, 4, 5, 8, 9, 16, 17, 20, 21, 25, 26, 27, 29, 30, 100}) {
        EXPECT_EQ(EngineUserDialogCallbackImpl(nullptr, code, nullptr), 0) << "code " << code;
    }
    // Without an engine there is no wait text: code 15 changes nothing either.
    EXPECT_EQ(EngineUserDialogCallbackImpl(nullptr, 15, reinterpret_cast<void*>(3)), 0);
    // A box would have held its call until the watcher had counted and answered it.
    EXPECT_EQ(watcher.Count(), 0u);
    EXPECT_EQ(windows_.StatusText(), "before");
}

TEST_F(EngineCallbacks, MediaMismatchShowsBothTextsOnTwoLines) {
    MediaMismatchRecord mismatch = {};
    mismatch.lastDetectedMedia = "CD-R";
    mismatch.requestedMedia = "DVD-R";
    EXPECT_EQ(EngineUserDialogCallbackImpl(nullptr, 28, &mismatch), 0);
    EXPECT_EQ(windows_.StatusText(), "Last detected media: CD-R\nRequested media: DVD-R");

    const std::string longText(300, 'M');
    mismatch.lastDetectedMedia = longText.c_str();
    EngineUserDialogCallbackImpl(nullptr, 28, &mismatch);
    EXPECT_EQ(windows_.StatusText(), ("Last detected media: " + longText).substr(0, 255));

    // A missing text reads as empty; a missing record changes nothing.
    const struct {
        const char* last;
        const char* requested;
        const char* shown;
    } halves[] = {
        {nullptr, "DVD-R", "Last detected media: \nRequested media: DVD-R"},
        {"CD-R", nullptr, "Last detected media: CD-R\nRequested media: "},
        {nullptr, nullptr, "Last detected media: \nRequested media: "},
    };
    for (const auto& half : halves) {
        mismatch.lastDetectedMedia = half.last;
        mismatch.requestedMedia = half.requested;
        EXPECT_EQ(EngineUserDialogCallbackImpl(nullptr, 28, &mismatch), 0);
        EXPECT_EQ(windows_.StatusText(), half.shown);
    }
    EXPECT_EQ(EngineUserDialogCallbackImpl(nullptr, 28, nullptr), 0);
    EXPECT_EQ(windows_.StatusText(), halves[2].shown);
}
