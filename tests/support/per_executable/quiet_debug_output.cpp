// Linked into every test executable. GoogleTest copies each failure to OutputDebugStringA; on
// our emulated Wine that call can take the whole process down, losing every later result. The
// executable's import of it is pointed at a no-op before any test runs; failures still print.
#include <windows.h>

namespace {

void WINAPI QuietDebugString(LPCSTR) {}

IMAGE_THUNK_DATA* FindImportSlot(const char* dll, const char* function) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return nullptr;
    for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name; ++entry) {
        if (lstrcmpiA(reinterpret_cast<char*>(base + entry->Name), dll) != 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (names->u1.Ordinal & IMAGE_ORDINAL_FLAG) continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (lstrcmpA(reinterpret_cast<char*>(byName->Name), function) == 0) return slots;
        }
    }
    return nullptr;
}

bool Redirect(const char* dll, const char* function, void* replacement) {
    IMAGE_THUNK_DATA* slot = FindImportSlot(dll, function);
    if (slot == nullptr) return false;
    DWORD oldProtection = 0;
    if (!VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &oldProtection)) return false;
    slot->u1.Function = reinterpret_cast<DWORD_PTR>(replacement);
    VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, oldProtection, &oldProtection);
    return true;
}

const bool redirected = Redirect("kernel32.dll", "OutputDebugStringA", reinterpret_cast<void*>(&QuietDebugString));

}  // namespace
