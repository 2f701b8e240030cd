#include "ui/open_burn_dialog.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

#include "base/plugin_state.h"
#include "base/user_texts.h"
#include "engine/engine_session.h"
#include "plugin/host_playlist.h"
#include "resources/resource.h"
#include "ui/burn_dialog.h"
#include "ui/dialog_framework.h"

namespace {

int32_t CountChosenTracks(bool wholePlaylist) {
    if (hostPlaylist == nullptr) return 0;
    const int32_t count = hostPlaylist->TrackCount();
    if (wholePlaylist) return count;
    int32_t chosen = 0;
    for (int32_t i = 0; i < count; ++i) {
        if (hostPlaylist->IsSelected(i)) ++chosen;
    }
    return chosen;
}

// Dialog 103 holds a progress bar, whose class must exist before the dialog is created.
void RegisterProgressBarClass() {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
}

// Serves the dialog until it has closed: a loop that ended while it is still there (GetMessageA
// failed, or someone else's WM_QUIT) would leave it without anyone to handle its messages.
void RunUntilClosed(HWND dialog) {
    while (MessageLoop(dialog).Run(), IsWindow(dialog))
        MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

// A dialog that could not be made, or not made whole, is destroyed unseen and the user is told
// (a dialog that declined has told the user itself).
void RunBurnDialog(bool wholePlaylist) {
    RegisterProgressBarClass();
    BurnDialogFactory factory(wholePlaylist);
    HWND dialog = CreateDialogParamA(moduleInstance, MAKEINTRESOURCEA(IDD_BURN), playerWindow.load(), DialogProc,
                                     reinterpret_cast<LPARAM>(static_cast<DialogFactory*>(&factory)));
    if (dialog != nullptr && factory.opening() == DialogOpening::Opened) {
        RunUntilClosed(dialog);
        return;
    }
    if (dialog != nullptr) DestroyWindow(dialog);
    if (dialog == nullptr || factory.opening() == DialogOpening::Failed)
        MessageBoxA(playerWindow.load(), kDialogCannotOpenText, kMessageBoxCaption, MB_ICONERROR | MB_OK);
}

}  // namespace

void OpenBurnDialog() {
    if (shutdownBegun) return;
    // Read once: the count, the dialog's summary and its burns all speak of the same tracks.
    const bool wholePlaylist = burnWholePlaylist;
    if (CountChosenTracks(wholePlaylist) <= 0) {
        MessageBoxA(playerWindow.load(), kNothingToBurnText, kMessageBoxCaption, MB_ICONINFORMATION | MB_OK);
        return;
    }
    RunBurnDialog(wholePlaylist);
    if (EngineSession* session = engineSession.load()) session->Close();
}
