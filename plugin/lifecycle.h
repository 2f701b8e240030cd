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

// Asks the worker thread to open the burn dialog (no effect without a worker).
void SignalBurnEvent();
