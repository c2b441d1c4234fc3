#include "app/win32/ConfirmDialog.h"

#include <algorithm>
#include "base/Exception.h"
#include <vector>

#include "app/win32/Dpi.h"
#include "app/win32/Fonts.h"

namespace kurdb::win32 {
namespace {

constexpr WORD kButtonAtom = 0x0080;
constexpr WORD kStaticAtom = 0x0082;

// An in-memory dialog template (DLGTEMPLATE followed by DLGITEMTEMPLATEs). Positions are left
// at zero: the dialog lays itself out in pixels once it knows its DPI and font.
class DialogTemplate {
public:
    DialogTemplate(DWORD style, const wchar_t* title) {
        Dword(style);
        Dword(0);  // extended style
        count_ = words_.size();
        Word(0);                             // item count, filled in by Add
        Word(0), Word(0), Word(0), Word(0);  // x, y, cx, cy
        Word(0);                             // no menu
        Word(0);                             // the predefined dialog class
        String(title);
    }
    void Add(DWORD style, WORD id, WORD classAtom, const wchar_t* text) {
        Align();
        Dword(style);
        Dword(0);
        Word(0), Word(0), Word(0), Word(0);
        Word(id);
        Word(0xFFFF);
        Word(classAtom);
        String(text);
        Word(0);  // no creation data
        ++words_[count_];
    }
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void Word(WORD w) { words_.push_back(w); }
    void Dword(DWORD d) {
        Word(LOWORD(d));
        Word(HIWORD(d));
    }
    void String(const wchar_t* s) {
        for (; *s; ++s) Word(static_cast<WORD>(*s));
        Word(0);
    }
    void Align() {
        if (words_.size() % 2) Word(0);
    }
    std::vector<WORD> words_;  // WORD-sized units; the vector's buffer is DWORD aligned
    std::size_t count_ = 0;
};

struct DialogState {
    const std::wstring& question;
    GdiFont font;
};

SIZE TextExtent(HWND hwnd, HFONT font, const std::wstring& text, int maxWidth, UINT format) {
    const ScopedGetDC dc(hwnd);
    const ScopedSelectObject selected(dc.Get(), font);
    RECT r{0, 0, maxWidth, 0};
    ::DrawTextW(dc.Get(), text.c_str(), static_cast<int>(text.size()), &r, format | DT_CALCRECT);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

void Layout(HWND dlg, DialogState& state) {
    const int dpi = DpiForWindow(dlg);
    const LOGFONTW messageFont = MessageFontForDpi(dpi);
    state.font = GdiFont(::CreateFontIndirectW(&messageFont));
    HFONT font = state.font.Get();

    HWND icon = ::GetDlgItem(dlg, kConfirmIconId);
    HWND text = ::GetDlgItem(dlg, kConfirmTextId);
    HWND yes = ::GetDlgItem(dlg, IDYES);
    HWND no = ::GetDlgItem(dlg, IDNO);
    for (HWND h : {text, yes, no}) ::SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    ::SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(::LoadIconW(nullptr, IDI_QUESTION)), 0);

    const int margin = Scale(12, dpi);
    const int gap = Scale(12, dpi);
    const int iconSize = SystemMetricForDpi(SM_CXICON, dpi);
    const UINT textFormat = DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS;
    const SIZE textSize = TextExtent(dlg, font, state.question, Scale(420, dpi), textFormat);
    const int buttonHeight = Scale(25, dpi);
    int buttonWidth = Scale(75, dpi);
    for (const wchar_t* caption : {kYesCaption, kNoCaption})
        buttonWidth = std::max<int>(buttonWidth,
                                    TextExtent(dlg, font, caption, 1000, DT_SINGLELINE).cx + Scale(16, dpi));
    const int buttonGap = Scale(8, dpi);

    const int contentHeight = std::max<int>(iconSize, textSize.cy);
    const int buttonsWidth = 2 * buttonWidth + buttonGap;
    const int clientWidth =
        std::max<int>(margin + iconSize + gap + textSize.cx + margin, margin + buttonsWidth + margin);
    const int buttonsTop = margin + contentHeight + Scale(16, dpi);
    const int clientHeight = buttonsTop + buttonHeight + margin;

    ::SetWindowPos(icon, nullptr, margin, margin, iconSize, iconSize, SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowPos(text, nullptr, margin + iconSize + gap, margin + (contentHeight - textSize.cy) / 2,
                   textSize.cx, textSize.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    const int buttonsLeft = (clientWidth - buttonsWidth) / 2;
    ::SetWindowPos(yes, nullptr, buttonsLeft, buttonsTop, buttonWidth, buttonHeight,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowPos(no, nullptr, buttonsLeft + buttonWidth + buttonGap, buttonsTop, buttonWidth, buttonHeight,
                   SWP_NOZORDER | SWP_NOACTIVATE);

    RECT frame{0, 0, clientWidth, clientHeight};
    AdjustWindowRectForDpi(frame, static_cast<DWORD>(::GetWindowLongPtrW(dlg, GWL_STYLE)),
                           static_cast<DWORD>(::GetWindowLongPtrW(dlg, GWL_EXSTYLE)), dpi);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    // Centred on the screen that holds the window, as the users know it from the suite.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    HWND owner = ::GetWindow(dlg, GW_OWNER);
    ::GetMonitorInfoW(::MonitorFromWindow(owner ? owner : dlg, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& screen = monitor.rcMonitor;
    ::SetWindowPos(dlg, nullptr, screen.left + (screen.right - screen.left - width) / 2,
                   screen.top + (screen.bottom - screen.top - height) / 2, width, height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK ConfirmProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_INITDIALOG: {
            auto* state = reinterpret_cast<DialogState*>(lParam);
            ::SetWindowLongPtrW(dlg, DWLP_USER, lParam);
            ::SetDlgItemTextW(dlg, kConfirmTextId, state->question.c_str());
            Layout(dlg, *state);
            ::SendMessageW(dlg, DM_SETDEFID, IDYES, 0);
            ::SetFocus(::GetDlgItem(dlg, IDYES));
            return FALSE;  // the focus is set
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDYES:
                    ::EndDialog(dlg, IDYES);
                    return TRUE;
                case IDNO:
                case IDCANCEL:  // Esc and the close box
                    ::EndDialog(dlg, IDNO);
                    return TRUE;
            }
            break;
    }
    return FALSE;
}

}  // namespace

bool RunConfirmDialog(HWND owner, const std::wstring& question) {
    DialogTemplate dialog(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFOREGROUND,
                          kConfirmTitle);
    dialog.Add(WS_CHILD | WS_VISIBLE | SS_ICON, kConfirmIconId, kStaticAtom, L"");
    dialog.Add(WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, kConfirmTextId, kStaticAtom, L"");
    dialog.Add(WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_DEFPUSHBUTTON, IDYES, kButtonAtom,
               kYesCaption);
    dialog.Add(WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, IDNO, kButtonAtom, kNoCaption);

    DialogState state{question, {}};
    const INT_PTR result = ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), dialog.Get(), owner,
                                                     ConfirmProc, reinterpret_cast<LPARAM>(&state));
    if (result == -1) throw EPlatformError("Cannot show the confirmation dialog");
    return result == IDYES;
}

}  // namespace kurdb::win32
