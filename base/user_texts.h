#pragma once
// The caption of every message box the plug-in shows (the crash notice at unload excepted).
constexpr const char* kMessageBoxCaption = "Tolvane";
// Told when no track is chosen: before the burn dialog opens, and at a Burn whose playlist has
// lost every chosen track since.
constexpr const char* kNothingToBurnText = "Select some tracks first !";
