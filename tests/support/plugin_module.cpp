#include "support/plugin_module.h"

#include "base/plugin_state.h"
#include "support/test_paths.h"

HINSTANCE PluginModule() {
    static HINSTANCE module = LoadLibraryA((BinDir() + "\\Tolvane.dll").c_str());
    moduleInstance = module;
    return module;
}
