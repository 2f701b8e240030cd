#include "base/start_thread.h"

#include "base/handles.h"

DWORD StartThread(LPTHREAD_START_ROUTINE procedure, void* argument, int priority, SIZE_T stackSize,
                  DWORD creationFlags) {
    DWORD id = 0;
    UniqueThreadHandle thread(CreateThread(nullptr, stackSize, procedure, argument, creationFlags, &id));
    if (!thread) return 0;
    SetThreadPriority(thread.get(), priority);
    return id;
}
