// Stand-ins until the lifecycle lands.
#include "plugin/lifecycle.h"
#include "plugin/player_menu.h"

WNDPROC previousPlayerWindowProc = nullptr;

void SignalBurnEvent() {}
