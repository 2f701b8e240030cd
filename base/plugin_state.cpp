#include "base/plugin_state.h"

HINSTANCE moduleInstance = nullptr;
std::string moduleDescription;
std::atomic<HWND> playerWindow{nullptr};
std::atomic<bool> burnWholePlaylist{false};
std::atomic<bool> engineVersionIsCurrent{false};
std::atomic<HWND> burnDialogWindow{nullptr};
std::atomic<bool> shutdownBegun{false};
