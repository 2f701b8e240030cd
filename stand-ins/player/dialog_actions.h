#pragma once
// Actions of standin-player.exe that reach into a general plug-in's windows like a user does:
// its pop-up menu entries, its burn dialog and its message boxes. Used by the demo.

#include <string>
#include <vector>

#include "standin_host.h"

namespace standin {

// True when the action was one of these (and `next` has moved past its arguments); `ok` tells
// whether it succeeded.
bool RunDialogAction(Host& host, const std::vector<std::string>& args, size_t& next, bool& ok);
// Starts the watcher that answers every message box of the process (the first dialog action
// does it otherwise): a run that measures the process starts it before the plug-in is loaded.
void StartBoxWatcher();
// The longest an action waits for what it expects (a dialog, a burn's end, ...): 10 minutes
// unless set.
void SetActionPatience(DWORD milliseconds);
// One line per action, for the usage text.
const char* DialogActionsUsage();

}  // namespace standin
