#pragma once
// The caption of every message box the plug-in shows (the crash notice at unload excepted).
constexpr const char* kMessageBoxCaption = "Tolvane";
// Told when no track is chosen: before the burn dialog opens, and at a Burn whose playlist has
// lost every chosen track since.
constexpr const char* kNothingToBurnText = "Select some tracks first !";
// Asked before an audio burn of more tracks than an audio CD holds; the number is how many are chosen.
constexpr const char* kTooManyTracksFormat =
    "An audio CD holds 99 tracks, and %u tracks are chosen.\nDo you want to burn the first 99?";
// Told when a "Nero" command cannot open the burn dialog (the worker could not be asked, or the
// dialog could not be made).
constexpr const char* kDialogCannotOpenText = "The burn dialog could not be opened.";
// Told when Burn cannot start the burn (no thread for it); the dialog stays idle.
constexpr const char* kBurnCannotStartText = "The burn could not be started.";
