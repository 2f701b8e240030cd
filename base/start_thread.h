#pragma once
#include <windows.h>

#include "base/handles.h"

// Creates a thread with default security, the given stack size and creation flags, sets its
// priority, and closes the handle. Returns the thread's identifier, or 0 when none was created.
DWORD StartThread(LPTHREAD_START_ROUTINE procedure, void* argument, int priority, SIZE_T stackSize,
                  DWORD creationFlags);

// The same, handing the thread's handle to the caller (none when no thread was created), for a
// caller that must wait for the thread's very end; `id`, when given, receives its identifier.
UniqueThreadHandle StartOwnedThread(LPTHREAD_START_ROUTINE procedure, void* argument, int priority,
                                    SIZE_T stackSize, DWORD creationFlags, DWORD* id = nullptr);
