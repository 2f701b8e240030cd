#include "screenshot.h"

#include <cstdio>

#include "base/handles.h"
#include "stand-ins/code_page_text.h"

namespace standin {
namespace {

// Long enough for a machine that emulates x86: it only bounds a tool that never finishes.
constexpr DWORD kMostShotMs = 120000;
constexpr int kMostAttempts = 6;

// Z:\tmp\x.png is /tmp/x.png: the demo and the tests keep their files on the Unix-mapped drive.
bool UnixPath(const std::string& windowsPath, std::string& out) {
    if (windowsPath.size() < 3 || (windowsPath[0] != 'Z' && windowsPath[0] != 'z') || windowsPath[1] != ':') return false;
    out = windowsPath.substr(2);
    for (size_t at = 0; at < out.size(); at = NextCharacter(out, at)) {
        if (out[at] == '\\') out[at] = '/';
    }
    return true;
}

std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

struct MemoryDcTraits {
    using Handle = HDC;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { DeleteDC(h); }
};
using UniqueMemoryDc = UniqueHandle<MemoryDcTraits>;

// The screen rectangle as Wine composes it, as a 24-bit bottom-up BMP file.
bool GrabScreen(const RECT& rect, const std::string& bmpPath, std::string& error) {
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    ScopedWindowDC screen(nullptr);
    UniqueMemoryDc memory(CreateCompatibleDC(screen.get()));
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    UniqueBitmap bitmap(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!memory || !bitmap || width <= 0 || height <= 0) {
        error = "cannot make a picture of " + std::to_string(width) + "x" + std::to_string(height);
        return false;
    }
    {
        ScopedSelectObject selected(memory.get(), bitmap.get());
        if (!BitBlt(memory.get(), 0, 0, width, height, screen.get(), rect.left, rect.top, SRCCOPY)) {
            error = "cannot read the screen";
            return false;
        }
    }
    const DWORD rowBytes = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    const DWORD imageBytes = rowBytes * static_cast<DWORD>(height);
    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42;  // "BM"
    header.bfOffBits = sizeof header + sizeof info.bmiHeader;
    header.bfSize = header.bfOffBits + imageBytes;
    UniqueCFile file(std::fopen(bmpPath.c_str(), "wb"));
    if (!file || std::fwrite(&header, sizeof header, 1, file.get()) != 1 ||
        std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, file.get()) != 1 ||
        std::fwrite(bits, 1, imageBytes, file.get()) != imageBytes) {
        error = "cannot write " + bmpPath;
        return false;
    }
    return true;
}

// One picture of the screen rectangle, complete once this returns true: grabbed through
// Wine's screen, turned into PNG by ImageMagick.
bool ShootOnce(const RECT& rect, const std::string& pngPath, std::string& error) {
    std::string unixPath;
    if (!UnixPath(pngPath, unixPath)) {
        error = pngPath + " is not on drive Z:";
        return false;
    }
    DeleteFileA(pngPath.c_str());
    const std::string bmpPath = pngPath + ".bmp";
    if (!GrabScreen(rect, bmpPath, error)) return false;
    // Written beside the picture and renamed: the file appears whole or not at all. The grab is
    // removed before: once the picture is there, the next attempt may write a grab of its own.
    std::string bmp = Quoted(unixPath + ".bmp"), part = Quoted(unixPath + ".part");
    std::string script = "convert " + bmp + " png:" + part + "; rm -f " + bmp + "; mv " + part + " " + Quoted(unixPath);
    std::string command = "/bin/sh -c \"" + script + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA("Z:\\bin\\sh", &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        error = "cannot start /bin/sh (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    // A Unix program started by Wine may come with handles or without; either way they are ours.
    UniqueProcessHandle processHandle(process.hProcess), threadHandle(process.hThread);
    DWORD start = GetTickCount();
    while (!Exists(pngPath)) {
        if (GetTickCount() - start > kMostShotMs) {
            error = "no picture appeared at " + pngPath + " (is ImageMagick's convert installed?)";
            return false;
        }
        Sleep(20);
    }
    return true;
}

std::string FileBytes(const std::string& path) {
    std::string bytes;
    UniqueCFile file(std::fopen(path.c_str(), "rb"));
    char buffer[8192];
    size_t got = 0;
    while (file && (got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) bytes.append(buffer, got);
    return bytes;
}

// Lets the window's thread handle what is queued before the picture is taken.
void LetThreadSettle(HWND window) {
    DWORD_PTR ignored = 0;
    for (int i = 0; i < 2; ++i) SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
}

BOOL CALLBACK NoteUnpainted(HWND window, LPARAM param) {
    if (GetUpdateRect(window, nullptr, FALSE)) *reinterpret_cast<bool*>(param) = true;
    return TRUE;
}

bool StillToPaint(HWND window) {
    bool unpainted = GetUpdateRect(window, nullptr, FALSE) != FALSE;
    EnumChildWindows(window, NoteUnpainted, reinterpret_cast<LPARAM>(&unpainted));
    return unpainted;
}

// Asks the window to paint itself anew and waits until its thread has done so.
bool Repainted(HWND window) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    DWORD start = GetTickCount();
    while (StillToPaint(window)) {
        if (GetTickCount() - start > kMostShotMs) return false;
        Sleep(10);
    }
    return true;
}

}  // namespace

bool ShootScreenRect(const RECT& rect, const std::string& pngPath, std::string& error, HWND settle) {
    // The screen may lag a paint: the picture counts once two in a row agree.
    std::string previous;
    for (int attempt = 0; attempt < kMostAttempts; ++attempt) {
        if (settle != nullptr) LetThreadSettle(settle);
        if (!ShootOnce(rect, pngPath, error)) return false;
        std::string current = FileBytes(pngPath);
        if (!current.empty() && current == previous) return true;
        previous = current;
    }
    return true;  // still changing (a blinking caret): the last picture will do
}

bool ShootWindows(const std::vector<HWND>& windows, const std::string& pngPath, std::string& error) {
    RECT all = {0, 0, 0, 0};
    for (HWND window : windows) {
        RECT rect;
        if (!IsWindow(window) || !GetWindowRect(window, &rect)) {
            error = "the window to shoot is gone";
            return false;
        }
        if (!Repainted(window)) {
            error = "the window never painted itself";
            return false;
        }
        UnionRect(&all, IsRectEmpty(&all) ? &rect : &all, &rect);
    }
    if (windows.empty()) {
        error = "no window to shoot";
        return false;
    }
    return ShootScreenRect(all, pngPath, error, windows.front());
}

bool ShootWindow(HWND window, const std::string& pngPath, std::string& error) {
    return ShootWindows({window}, pngPath, error);
}

}  // namespace standin
