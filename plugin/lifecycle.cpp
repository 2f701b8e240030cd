#include "plugin/lifecycle.h"
extern "C" int __cdecl QGeneralModule(HostRecord*, ModuleInfo*) { return 0; }
