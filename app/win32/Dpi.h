#pragma once
// DPI of windows and monitors for a per-monitor aware program. The functions that appeared after
// Windows 7 (GetDpiForWindow, SetProcessDpiAwarenessContext, ...) are looked up at run time so
// that the program still starts there and falls back to the system DPI.
#include <windows.h>

namespace kurdb::win32 {

constexpr int kDesignDpi = 96;

// Pixels at 96 DPI -> pixels at `dpi`.
inline int Scale(int designPixels, int dpi) {
    return ::MulDiv(designPixels, dpi, kDesignDpi);
}

// Makes the process per-monitor DPI aware when its manifest has not already done so: per-monitor
// v2 on Windows 10 1703 and later, per-monitor on 8.1, system aware on Windows 7.
void EnsureDpiAwareness();

// The DPI the window is shown at; the system DPI where Windows has no per-window DPI.
int DpiForWindow(HWND hwnd);
// The DPI of the primary monitor's desktop (before any window exists).
int SystemDpi();

// A system metric for a DPI (GetSystemMetricsForDpi where it exists, else scaled by hand).
int SystemMetricForDpi(int index, int dpi);
// The message box font of the system for a DPI.
LOGFONTW MessageFontForDpi(int dpi);
// AdjustWindowRectExForDpi where it exists.
void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi);

}  // namespace kurdb::win32
