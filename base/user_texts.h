#pragma once
// The caption of every message box the plug-in shows (the crash notice at unload excepted).
constexpr const char* kMessageBoxCaption = "Tolvane";
