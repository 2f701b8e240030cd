#pragma once
// The common controls the plug-in's own windows are drawn with: those its module's manifest asks
// for (version 6, the running Windows' own), whatever the player's process asked for itself. The
// manifest's activation context is made active only on the plug-in's threads, only while they
// create its windows and message boxes, so the player's windows keep the player's controls.

#include <windows.h>

#include "base/handles.h"

// Makes the context from `module`'s manifest, once; without one (no manifest, a Windows that will
// not make it) the plug-in's windows get the process's controls, as the player's do.
void MakePluginControlsContext(HMODULE module);
// Only once no thread of the plug-in creates windows any more.
void ReleasePluginControlsContext();

// The plug-in's controls on the calling thread while the result lives; empty without a context.
ScopedActivation UsePluginControls();

// MessageBoxA drawn with the plug-in's controls. On the player's thread (the About box, the
// reload question) the context stays active through the box's modal loop, as around any modal
// window made this way: what the player's own handlers make meanwhile gets these controls too.
int PluginMessageBox(HWND owner, const char* text, const char* caption, UINT type);
