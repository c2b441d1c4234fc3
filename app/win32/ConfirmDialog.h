#pragma once
// The confirmation dialog: question icon, title "Onay", the question, and the buttons "&Evet"
// (default: Enter) and "&Hayır" (cancel: Esc and the close box), in Turkish whatever the
// system's language; centred on the screen.
#include <windows.h>

#include <string>

namespace kurdb::win32 {

inline constexpr wchar_t kConfirmTitle[] = L"Onay";
inline constexpr wchar_t kYesCaption[] = L"&Evet";
inline constexpr wchar_t kNoCaption[] = L"&Hay\u0131r";
// Control ids of the dialog's icon and text; the buttons are IDYES and IDNO.
constexpr int kConfirmIconId = 100;
constexpr int kConfirmTextId = 101;

// Shows the dialog modally over `owner` (may be null) and returns true only for "&Evet".
// Throws EPlatformError when the dialog cannot be created.
bool RunConfirmDialog(HWND owner, const std::wstring& question);

}  // namespace kurdb::win32
