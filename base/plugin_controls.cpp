#include "base/plugin_controls.h"

namespace {

// The manifest resource the system itself reads for a DLL's own imports.
constexpr WORD kModuleManifestId = 2;

// Written by the player's thread before the plug-in's threads start and after they have ended;
// they only read it.
UniqueActCtx pluginControls;

}  // namespace

void MakePluginControlsContext(HMODULE module) {
    if (pluginControls || module == nullptr) return;
    ACTCTXA request = {};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.hModule = module;
    request.lpResourceName = MAKEINTRESOURCEA(kModuleManifestId);
    // The module's path too, for a Windows that reads the manifest by path whatever the module
    // handle says. A path cut short, or one the code page cannot spell (it then names no file),
    // is left out: the handle alone names the module.
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
        request.lpSource = path;
    pluginControls.reset(CreateActCtxA(&request));
}

void ReleasePluginControlsContext() { pluginControls.reset(); }

ScopedActivation UsePluginControls() { return ScopedActivation(pluginControls.get()); }

int PluginMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    const ScopedActivation controls = UsePluginControls();
    return MessageBoxA(owner, text, caption, type);
}
