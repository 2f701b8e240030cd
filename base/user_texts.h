#pragma once
// The caption of every message box the plug-in shows (the crash notice at unload excepted).
constexpr const char* kMessageBoxCaption = "Tolvane";
// Told when no track is chosen: before the burn dialog opens, and at a Burn whose playlist has
// lost every chosen track since.
constexpr const char* kNothingToBurnText = "Select some tracks first !";
// Asked before an audio burn of more tracks than an audio CD holds; the number is how many are chosen.
constexpr const char* kTooManyTracksFormat =
    "An audio CD holds 99 tracks, and %u tracks are chosen.\nDo you want to burn the first 99?";
