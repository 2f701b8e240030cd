#pragma once
#include <windows.h>

// The built Tolvane.dll, loaded once; also becomes `moduleInstance`, so the plug-in's code
// linked into a test finds the dialog templates and bitmaps there.
HINSTANCE PluginModule();
