#pragma once
// Pictures of windows as the virtual screen shows them: grabbed through Wine's screen device
// context (under Xvfb, Wine's menu loop never hands its menus to the X server, so a grab from
// the X side shows them black) and written as PNG by ImageMagick's convert, run as a Unix program.

#include <windows.h>

#include <string>
#include <vector>

namespace standin {

// Shoots the screen rectangle to a PNG file (a Windows path on drive Z:) and waits until the
// file is complete and shows a settled screen; false with a reason in `error`. `settle` is a
// window whose thread must have gone idle first (null: none). Never call it from that thread.
bool ShootScreenRect(const RECT& rect, const std::string& pngPath, std::string& error, HWND settle = nullptr);
// The window's outer rectangle, after it has painted what it shows now; not from its own thread.
bool ShootWindow(HWND window, const std::string& pngPath, std::string& error);
// The smallest rectangle around all the windows (of one thread).
bool ShootWindows(const std::vector<HWND>& windows, const std::string& pngPath, std::string& error);

}  // namespace standin
