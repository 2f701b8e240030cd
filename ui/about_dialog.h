#pragma once
#include <windows.h>

// Runs the About box (dialog 107) modally; returns 1 for OK, 0 for Cancel or close.
INT_PTR ShowAbout(HINSTANCE instance, HWND owner, const char* line1, const char* line2, const char* line3);
