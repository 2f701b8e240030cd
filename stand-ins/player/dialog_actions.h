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
// One line per action, for the usage text.
const char* DialogActionsUsage();

}  // namespace standin
