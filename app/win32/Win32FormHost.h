#pragma once
// The Win32 side of what the controller asks of its window: the confirmation dialog, the error
// box, the wait cursor and closing the window.
#include <windows.h>

#include "app/FormHost.h"

namespace kurdb::win32 {

class Win32FormHost final : public IFormHost {
public:
    Win32FormHost() = default;
    Win32FormHost(const Win32FormHost&) = delete;
    Win32FormHost& operator=(const Win32FormHost&) = delete;

    // The window that owns the dialogs and that CloseWindow destroys; null until it exists.
    void SetOwner(HWND owner) { owner_ = owner; }
    HWND Owner() const { return owner_; }
    // True while a handler runs; the window keeps the wait cursor meanwhile (WM_SETCURSOR).
    bool Busy() const { return busy_; }
    static HCURSOR WaitCursor();

    // "&Evet" / "&Hayır" dialog, see ConfirmDialog.h.
    bool Confirm(const std::string& question) override;
    // MessageBoxW with the stop icon and one OK button, modal over the window.
    void ShowError(const std::string& text, const std::string& caption) override;
    void SetBusy(bool busy) override;
    // Destroys the window; its WM_DESTROY ends the message loop.
    void CloseWindow() override;

private:
    HWND LiveOwner() const;

    HWND owner_ = nullptr;
    bool busy_ = false;
};

}  // namespace kurdb::win32
