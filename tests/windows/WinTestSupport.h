#pragma once
// Helpers for the Win32 window tests: finding controls by id, reading texts, and pumping the
// message queue until a condition holds (polling, with a generous limit instead of sleeps).
#include <windows.h>

#include <functional>
#include <string>
#include <utility>

namespace kurdb::win32::test {

// Removes the suite's engine from the 32-bit view of the registry, where the tests register their
// stand-in IDAPI32.DLL: a test starts on a machine without the engine.
inline void RemoveSuiteEngine() {
    HKEY borland = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Borland", 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                        &borland) != ERROR_SUCCESS)
        return;
    ::RegDeleteTreeW(borland, L"Database Engine");
    ::RegCloseKey(borland);
}

// The text of a window, also of another process's (WM_GETTEXT, as GetWindowText does not ask).
inline std::wstring TextOf(HWND hwnd) {
    const auto length = ::SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::SendMessageW(hwnd, WM_GETTEXT, static_cast<WPARAM>(length + 1),
                                                        reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

// A descendant window of `root` with the control id `id`, or null.
inline HWND FindById(HWND root, int id) {
    std::pair<int, HWND> search{id, nullptr};
    ::EnumChildWindows(
        root,
        [](HWND hwnd, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<std::pair<int, HWND>*>(data);
            if (::GetDlgCtrlID(hwnd) != s->first) return TRUE;
            s->second = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.second;
}

// The rectangle of a window in its parent's client coordinates.
inline RECT RectInParent(HWND hwnd) {
    RECT r;
    ::GetWindowRect(hwnd, &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Runs the message loop as the program does: `preTranslate` gets each message first (the
// window's keyboard handling). Stops when `done` holds (true) or after `limitMs` (false).
// A WM_QUIT is taken off the queue and counted in `quits`.
class MessagePump {
public:
    std::function<bool(MSG&)> preTranslate;
    int quits = 0;

    bool Until(const std::function<bool()>& done, DWORD limitMs = 15000) {
        const ULONGLONG start = ::GetTickCount64();
        for (;;) {
            Drain();
            if (done()) return true;
            if (::GetTickCount64() - start > limitMs) return false;
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
    }
    // Handles every message that is waiting.
    void Drain() {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                ++quits;
                continue;
            }
            if (preTranslate && preTranslate(msg)) continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
};

}  // namespace kurdb::win32::test