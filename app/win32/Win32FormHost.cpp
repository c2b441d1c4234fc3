#include "app/win32/Win32FormHost.h"

#include "app/win32/ConfirmDialog.h"
#include "shell/win32/WideString.h"

namespace kurdb::win32 {

HCURSOR Win32FormHost::WaitCursor() {
    return ::LoadCursorW(nullptr, IDC_WAIT);
}

HWND Win32FormHost::LiveOwner() const {
    return owner_ && ::IsWindow(owner_) ? owner_ : nullptr;
}

bool Win32FormHost::Confirm(const std::string& question) {
    return RunConfirmDialog(LiveOwner(), Wide(question));
}

void Win32FormHost::ShowError(const std::string& text, const std::string& caption) {
    // Without a window (a failure at start), modal over whatever else the thread shows.
    HWND owner = LiveOwner();
    ::MessageBoxW(owner, Wide(text).c_str(), Wide(caption).c_str(),
                  MB_OK | MB_ICONSTOP | (owner ? 0 : MB_TASKMODAL));
}

void Win32FormHost::SetBusy(bool busy) {
    busy_ = busy;
    // The cursor takes the shape a window of this thread gives it: before the window shows (the
    // form's creation) there is none to show the wait cursor over, and nothing to restore.
    const HWND owner = LiveOwner();
    if (!owner || !::IsWindowVisible(owner)) return;
    if (busy) {
        ::SetCursor(WaitCursor());
        return;
    }
    // Let the window under the mouse choose its cursor again (an edit wants its I-beam).
    POINT at;
    if (::GetCursorPos(&at)) {
        HWND under = ::WindowFromPoint(at);
        if (under && ::GetWindowThreadProcessId(under, nullptr) == ::GetCurrentThreadId()) {
            const LRESULT hit = ::SendMessageW(under, WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y));
            ::SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under),
                           MAKELPARAM(static_cast<WORD>(hit), WM_MOUSEMOVE));
            return;
        }
    }
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
}

void Win32FormHost::CloseWindow() {
    if (HWND owner = LiveOwner()) ::DestroyWindow(owner);
}

}  // namespace kurdb::win32
