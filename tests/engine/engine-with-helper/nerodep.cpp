// The helper DLL of the loader tests' own engine. Copies of it planted elsewhere are told apart
// by the file each was loaded from.
#include <windows.h>

extern "C" __declspec(dllexport) BOOL __cdecl NeroDepAnswer() { return TRUE; }
