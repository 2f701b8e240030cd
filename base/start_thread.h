#pragma once
#include <windows.h>

// Creates a thread with default security, the given stack size and creation flags, sets its
// priority, and closes the handle. Returns the thread's identifier, or 0 when none was created.
DWORD StartThread(LPTHREAD_START_ROUTINE procedure, void* argument, int priority, SIZE_T stackSize,
                  DWORD creationFlags);
