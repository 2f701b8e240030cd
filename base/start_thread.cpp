#include "base/start_thread.h"

namespace {

UniqueThreadHandle Start(LPTHREAD_START_ROUTINE procedure, void* argument, int priority, SIZE_T stackSize,
                         DWORD creationFlags, DWORD& id) {
    UniqueThreadHandle thread(CreateThread(nullptr, stackSize, procedure, argument, creationFlags, &id));
    if (thread) SetThreadPriority(thread.get(), priority);
    return thread;
}

}  // namespace

DWORD StartThread(LPTHREAD_START_ROUTINE procedure, void* argument, int priority, SIZE_T stackSize,
                  DWORD creationFlags) {
    DWORD id = 0;
    return Start(procedure, argument, priority, stackSize, creationFlags, id) ? id : 0;
}

UniqueThreadHandle StartOwnedThread(LPTHREAD_START_ROUTINE procedure, void* argument, int priority,
                                    SIZE_T stackSize, DWORD creationFlags, DWORD* id) {
    DWORD ignored = 0;
    return Start(procedure, argument, priority, stackSize, creationFlags, id != nullptr ? *id : ignored);
}
