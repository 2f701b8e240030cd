#include "ui/open_burn_dialog.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

#include "base/plugin_controls.h"
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

// Dialog 103 holds a progress bar, whose class must exist before the dialog is created, among
// the controls the dialog is made with.
void RegisterProgressBarClass() {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
}

void RunBurnDialog(bool wholePlaylist) {
    BurnDialogFactory factory(wholePlaylist);
    HWND dialog = nullptr;
    {
        const ScopedActivation controls = UsePluginControls();
        RegisterProgressBarClass();
        dialog = CreateDialogParamA(moduleInstance, MAKEINTRESOURCEA(IDD_BURN), playerWindow.load(), DialogProc,
                                    reinterpret_cast<LPARAM>(static_cast<DialogFactory*>(&factory)));
    }
    if (dialog != nullptr) MessageLoop(dialog).Run();
}

}  // namespace

void OpenBurnDialog() {
    if (shutdownBegun) return;
    // Read once: the count, the dialog's summary and its burns all speak of the same tracks.
    const bool wholePlaylist = burnWholePlaylist;
    if (CountChosenTracks(wholePlaylist) <= 0) {
        PluginMessageBox(playerWindow.load(), kNothingToBurnText, kMessageBoxCaption, MB_ICONINFORMATION | MB_OK);
        return;
    }
    RunBurnDialog(wholePlaylist);
    if (EngineSession* session = engineSession.load()) session->Close();
}
