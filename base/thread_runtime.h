#pragma once
// The C++ runtime's per-thread data (what an exception in flight needs) kept by the module
// itself, in a block each thread gets before it runs any code that may throw.
//
// The runtime linked in keeps that data through the posix threads library, which makes a record
// of its own for every thread it has not started and ends the process (abort) when memory, a
// duplicated handle or its thread-local slot cannot be had; the emulated thread-local storage
// under it aborts too when memory is short. None of it can be asked first whether it will work.
// So the module answers the runtime's thread-local look-ups itself (see thread_runtime.cpp) and
// each thread of the plug-in, and each call from the player, first makes sure its block exists:
// where that fails, the caller is told and does without, and nothing of the runtime aborts later.

// True when the calling thread has its block (made now if need be); false when memory is short.
bool PrepareThreadRuntime();
// Gives the calling thread's block back. For a thread about to leave the module for good (a
// thread that unloads it never gets the module's thread-detach notice); harmless without one.
void ReleaseThreadRuntime();
// At the module's unload, after the unloading thread's block went: gives the slot back.
void ReleaseThreadRuntimeSlot();
