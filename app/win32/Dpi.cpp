#include "app/win32/Dpi.h"

#include "app/win32/Gdi.h"
#include "shell/win32/SystemLibrary.h"

namespace kurdb::win32 {
namespace {

// DPI_AWARENESS_CONTEXT values; the mingw headers for Windows 7 do not declare them.
const HANDLE kPerMonitorAwareV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));
const HANDLE kPerMonitorAware = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3));
constexpr int kProcessPerMonitorDpiAware = 2;  // PROCESS_DPI_AWARENESS of shcore.dll

// Every DPI function of user32 the window uses: newer than Windows 7, so looked up at run time;
// a missing one is nullptr and the caller falls back to the older way.
//   X(name, return type, parameters)
#define KURDB_DPI_ENTRY_POINTS(X)                                         \
    X(GetDpiForWindow, UINT, (HWND))                                      \
    X(GetDpiForSystem, UINT, ())                                          \
    X(GetSystemMetricsForDpi, int, (int, UINT))                           \
    X(SystemParametersInfoForDpi, BOOL, (UINT, UINT, PVOID, UINT, UINT))  \
    X(AdjustWindowRectExForDpi, BOOL, (LPRECT, DWORD, BOOL, DWORD, UINT)) \
    X(SetProcessDpiAwarenessContext, BOOL, (HANDLE))                      \
    X(SetProcessDPIAware, BOOL, ())

struct DpiApi {
#define KURDB_DPI_MEMBER(name, ret, params) ret(WINAPI* name) params = nullptr;
    KURDB_DPI_ENTRY_POINTS(KURDB_DPI_MEMBER)
#undef KURDB_DPI_MEMBER
};

// user32 comes from the system directory only and stays loaded for the process's lifetime.
DpiApi ResolveDpiApi() {
    DpiApi api;
#define KURDB_DPI_RESOLVE(name, ret, params) \
    api.name = SystemFunction<ret WINAPI params>(L"user32.dll", #name);
    KURDB_DPI_ENTRY_POINTS(KURDB_DPI_RESOLVE)
#undef KURDB_DPI_RESOLVE
    return api;
}

const DpiApi& Api() {
    static const DpiApi api = ResolveDpiApi();
    return api;
}

// The DPI the system reports for the screen when it has no per-window DPI.
int ScreenDpi() {
    const ScopedGetDC screen(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen.Get(), LOGPIXELSX) : kDesignDpi;
    return dpi > 0 ? dpi : kDesignDpi;
}

}  // namespace

void EnsureDpiAwareness() {
    // Each call fails harmlessly (access denied) when the manifest already set the awareness.
    const DpiApi& api = Api();
    if (api.SetProcessDpiAwarenessContext) {
        if (!api.SetProcessDpiAwarenessContext(kPerMonitorAwareV2))
            api.SetProcessDpiAwarenessContext(kPerMonitorAware);
        return;
    }
    // Windows 8.1: shcore.dll has the call; loaded only there, as no later system needs it.
    using SetProcessDpiAwarenessFn = HRESULT WINAPI(int);
    if (const auto setAwareness =
            SystemFunction<SetProcessDpiAwarenessFn>(L"shcore.dll", "SetProcessDpiAwareness")) {
        setAwareness(kProcessPerMonitorDpiAware);
        return;
    }
    if (api.SetProcessDPIAware) api.SetProcessDPIAware();
}

int DpiForWindow(HWND hwnd) {
    if (hwnd && Api().GetDpiForWindow) {
        const UINT dpi = Api().GetDpiForWindow(hwnd);
        if (dpi > 0) return static_cast<int>(dpi);
    }
    return SystemDpi();
}

int SystemDpi() {
    if (Api().GetDpiForSystem) {
        const UINT dpi = Api().GetDpiForSystem();
        if (dpi > 0) return static_cast<int>(dpi);
    }
    return ScreenDpi();
}

int SystemMetricForDpi(int index, int dpi) {
    if (Api().GetSystemMetricsForDpi) return Api().GetSystemMetricsForDpi(index, static_cast<UINT>(dpi));
    return ::MulDiv(::GetSystemMetrics(index), dpi, ScreenDpi());
}

LOGFONTW MessageFontForDpi(int dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (Api().SystemParametersInfoForDpi &&
        Api().SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0,
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
    if (Api().AdjustWindowRectExForDpi) {
        Api().AdjustWindowRectExForDpi(&rect, style, FALSE, exStyle, static_cast<UINT>(dpi));
        return;
    }
    ::AdjustWindowRectEx(&rect, style, FALSE, exStyle);
}

}  // namespace kurdb::win32
