#include "app/win32/Dpi.h"

namespace kurdb::win32 {
namespace {

// DPI_AWARENESS_CONTEXT values; the mingw headers for Windows 7 do not declare them.
const HANDLE kPerMonitorAwareV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));
const HANDLE kPerMonitorAware = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3));
constexpr int kProcessPerMonitorDpiAware = 2;  // PROCESS_DPI_AWARENESS of shcore.dll

template <typename F>
F Lookup(const wchar_t* module, const char* name) {
    HMODULE h = ::GetModuleHandleW(module);
    if (!h) h = ::LoadLibraryW(module);
    if (!h) return nullptr;
    return reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(h, name)));
}

struct User32Dpi {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    using GetDpiForSystemFn = UINT(WINAPI*)();
    using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
    using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
    using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    using SetProcessDpiAwarenessContextFn = BOOL(WINAPI*)(HANDLE);
    using SetProcessDPIAwareFn = BOOL(WINAPI*)();

    GetDpiForWindowFn getDpiForWindow = Lookup<GetDpiForWindowFn>(L"user32.dll", "GetDpiForWindow");
    GetDpiForSystemFn getDpiForSystem = Lookup<GetDpiForSystemFn>(L"user32.dll", "GetDpiForSystem");
    GetSystemMetricsForDpiFn getSystemMetricsForDpi =
        Lookup<GetSystemMetricsForDpiFn>(L"user32.dll", "GetSystemMetricsForDpi");
    SystemParametersInfoForDpiFn systemParametersInfoForDpi =
        Lookup<SystemParametersInfoForDpiFn>(L"user32.dll", "SystemParametersInfoForDpi");
    AdjustWindowRectExForDpiFn adjustWindowRectExForDpi =
        Lookup<AdjustWindowRectExForDpiFn>(L"user32.dll", "AdjustWindowRectExForDpi");
    SetProcessDpiAwarenessContextFn setProcessDpiAwarenessContext =
        Lookup<SetProcessDpiAwarenessContextFn>(L"user32.dll", "SetProcessDpiAwarenessContext");
    SetProcessDPIAwareFn setProcessDpiAware =
        Lookup<SetProcessDPIAwareFn>(L"user32.dll", "SetProcessDPIAware");
};

const User32Dpi& Api() {
    static const User32Dpi api;
    return api;
}

// The DPI the system reports for the screen when it has no per-window DPI.
int ScreenDpi() {
    HDC dc = ::GetDC(nullptr);
    const int dpi = dc ? ::GetDeviceCaps(dc, LOGPIXELSX) : kDesignDpi;
    if (dc) ::ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : kDesignDpi;
}

}  // namespace

void EnsureDpiAwareness() {
    // Each call fails harmlessly (access denied) when the manifest already set the awareness.
    const User32Dpi& api = Api();
    if (api.setProcessDpiAwarenessContext) {
        if (!api.setProcessDpiAwarenessContext(kPerMonitorAwareV2))
            api.setProcessDpiAwarenessContext(kPerMonitorAware);
        return;
    }
    using SetProcessDpiAwarenessFn = HRESULT(WINAPI*)(int);
    if (auto setAwareness = Lookup<SetProcessDpiAwarenessFn>(L"shcore.dll", "SetProcessDpiAwareness")) {
        setAwareness(kProcessPerMonitorDpiAware);
        return;
    }
    if (api.setProcessDpiAware) api.setProcessDpiAware();
}

int DpiForWindow(HWND hwnd) {
    if (hwnd && Api().getDpiForWindow) {
        const UINT dpi = Api().getDpiForWindow(hwnd);
        if (dpi > 0) return static_cast<int>(dpi);
    }
    return SystemDpi();
}

int SystemDpi() {
    if (Api().getDpiForSystem) {
        const UINT dpi = Api().getDpiForSystem();
        if (dpi > 0) return static_cast<int>(dpi);
    }
    return ScreenDpi();
}

int SystemMetricForDpi(int index, int dpi) {
    if (Api().getSystemMetricsForDpi) return Api().getSystemMetricsForDpi(index, static_cast<UINT>(dpi));
    return ::MulDiv(::GetSystemMetrics(index), dpi, ScreenDpi());
}

LOGFONTW MessageFontForDpi(int dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (Api().systemParametersInfoForDpi &&
        Api().systemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0,
                                         static_cast<UINT>(dpi)))
        return metrics.lfMessageFont;
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        metrics.lfMessageFont.lfHeight = ::MulDiv(metrics.lfMessageFont.lfHeight, dpi, ScreenDpi());
        return metrics.lfMessageFont;
    }
    LOGFONTW fallback{};
    fallback.lfHeight = -Scale(12, dpi);
    fallback.lfWeight = FW_NORMAL;
    fallback.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(fallback.lfFaceName, L"MS Shell Dlg 2", LF_FACESIZE);
    return fallback;
}

void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi) {
    if (Api().adjustWindowRectExForDpi) {
        Api().adjustWindowRectExForDpi(&rect, style, FALSE, exStyle, static_cast<UINT>(dpi));
        return;
    }
    ::AdjustWindowRectEx(&rect, style, FALSE, exStyle);
}

}  // namespace kurdb::win32
