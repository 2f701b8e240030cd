#pragma once
// The plug-in's life from QGeneralModule to PluginShutdown: crash guard, worker thread and
// its two events, teardown.

#include <windows.h>

#include <cstdint>
#include <string>

#include "plugin/host_api.h"

extern "C" {
int __cdecl QGeneralModule(HostRecord* host, ModuleInfo* info);
void __cdecl PluginShutdown(void);
int32_t __cdecl PluginAbout(void);
}

// Builds "<file description> <version text>" from the module's version resource.
std::string BuildModuleDescription(HMODULE module);

// Asks the worker thread to open the burn dialog; false when the worker gave up (a command that
// comes all the same, without the sub-menu) or could not be asked.
bool SignalBurnEvent();
// False once the worker could not be started or could not set itself up: the plug-in then stays
// loaded without its sub-menu, and the player goes on as before.
bool BurnCommandsAvailable();
