#pragma once
// What the engine calls back during its work, the two process-wide records that carry those
// callbacks, the abort flag, and the windows the callbacks write to.

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "engine/engine_api.h"

// Set to 1 by the burn dialog when the user confirms a cancel; cleared when a burn starts.
extern std::atomic<uint8_t> abortFlag;

// The records with their fixed values (for the whole process).
EngineSettings& engineSettingsRecord();
ProgressRecord& engineProgressRecord();

// The burn dialog's windows that the callbacks write to; they stay set after the dialog closes.
void SetCallbackDialogWindow(HWND window);
void SetCallbackStatusWindow(HWND window);
void SetCallbackProgressWindow(HWND window);

// The status text for a major phase code, "unknown" for a code without a row.
const char* MajorPhaseText(int32_t phase);

extern "C" {
BOOL __cdecl EngineIdleCallbackImpl(void* userData);
BOOL __cdecl EngineProgressCallbackImpl(void* userData, DWORD percent);
BOOL __cdecl EngineAbortedCallbackImpl(void* userData);
void __cdecl EngineAddLogLineCallbackImpl(void* userData, int32_t kind, const char* text);
void __cdecl EngineSetPhaseCallbackImpl(void* userData, const char* text);
void __cdecl EngineDisableAbortCallbackImpl(void* userData, BOOL enable);
void __cdecl EngineSetMajorPhaseCallbackImpl(void* userData, int32_t phase, void* reserved);
int32_t __cdecl EngineUserDialogCallbackImpl(void* userData, int32_t code, void* data);
}
