// A tiny engine that imports the helper DLL lying beside it, as the real engine does with its
// own DLLs; it accepts any expected version through the helper.
#include <windows.h>

extern "C" __declspec(dllimport) BOOL __cdecl NeroDepAnswer();

extern "C" __declspec(dllexport) BOOL __cdecl NeroSetExpectedAPIVersionEx(WORD, WORD, WORD, WORD, void*) {
    return NeroDepAnswer();
}
