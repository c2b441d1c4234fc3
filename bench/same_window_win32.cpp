// A reference beside the floor, not the floor: the wizard window's own tree (the same classes,
// styles, places, fonts, class icon and manifest as Kurdb.exe makes from resources/window.def)
// built by a minimal program, without the controller, the model or the definition. Its start
// against the bare window's is what the window itself costs under Wine; Kurdb.exe's against its
// own is what the program adds. Written out by hand: keep it in step with window.def.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>

namespace {

LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK Subclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

HFONT Font(int pixels, bool bold) {
    return ::CreateFontW(-pixels, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, TURKISH_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                         DEFAULT_PITCH | FF_DONTCARE, L"MS Sans Serif");
}

HWND Child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, DWORD exStyle, RECT r,
           HFONT font, int id) {
    HWND hwnd = ::CreateWindowExW(exStyle, cls, text, WS_CHILD | style, r.left, r.top, r.right - r.left,
                                  r.bottom - r.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                  ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return hwnd;
}

RECT At(int left, int top, int width, int height) {
    return RECT{left, top, left + width, top + height};
}

// A label sized to its text, as the wizard's labels are.
HWND Label(HDC measure, HWND parent, const wchar_t* text, RECT r, HFONT font, int id) {
    const HGDIOBJ old = ::SelectObject(measure, font);
    SIZE extent{};
    ::GetTextExtentPoint32W(measure, text, ::lstrlenW(text), &extent);
    ::SelectObject(measure, old);
    r.right = std::max<LONG>(r.right, r.left + extent.cx);
    r.bottom = std::max<LONG>(r.bottom, r.top + extent.cy);
    return Child(parent, WC_STATICW, text, WS_VISIBLE | WS_GROUP | SS_LEFTNOWORDWRAP, 0, r, font, id);
}

void Check(HWND button) {
    ::SendMessageW(button, BM_SETCHECK, BST_CHECKED, 0);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"KurdbSameWindow";
    ::RegisterClassExW(&wc);
    wc.hIcon = nullptr;
    wc.lpszClassName = L"KurdbSamePage";
    ::RegisterClassExW(&wc);
    HWND form =
        ::CreateWindowExW(0, L"KurdbSameWindow", L"Kurdb same window", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                          17, 9, 554, 374, nullptr, nullptr, instance, nullptr);

    const HDC measure = ::CreateCompatibleDC(nullptr);
    const HFONT f11 = Font(11, false), f13 = Font(13, true), f16 = Font(16, true), f19 = Font(19, true);
    const DWORD stop = WS_VISIBLE | WS_GROUP | WS_TABSTOP;
    HWND pages[4];
    for (int i = 0; i < 4; ++i)
        pages[i] =
            Child(form, L"KurdbSamePage", L"", (i == 0 ? WS_VISIBLE : 0) | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                  WS_EX_CONTROLPARENT, RECT{}, f11, 100 + i);
    HWND tabs = Child(form, WC_TABCONTROLW, L"", stop | WS_CLIPSIBLINGS, 0, At(9, 30, 521, 305), f11, 1);
    ::SetWindowSubclass(tabs, Subclass, 1, 0);
    const wchar_t* captions[] = {L"Ba\u011flan", L"G\u00fcncelle", L"Bitir", L"Rapor"};
    for (int i = 0; i < 4; ++i) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(captions[i]);
        ::SendMessageW(tabs, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    }
    RECT display = At(9, 30, 521, 305);
    ::SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    for (HWND page : pages)
        ::MoveWindow(page, display.left, display.top, display.right - display.left,
                     display.bottom - display.top, TRUE);
    Child(form, WC_STATICW, L"DURANIX DORVA VER\u0130TABANI KURULUMU", WS_VISIBLE | WS_GROUP | SS_CENTER, 0,
          At(0, 3, 538, 24), f19, 2);

    HWND page = pages[0];
    Child(page, WC_EDITW, L"", stop | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, At(160, 64, 177, 24), f13, 3);
    Child(page, WC_EDITW, L"sa", stop | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, At(160, 96, 177, 24), f13, 4);
    HWND password = Child(page, WC_EDITW, L"", stop | ES_AUTOHSCROLL | ES_PASSWORD, WS_EX_CLIENTEDGE,
                          At(160, 128, 177, 24), f13, 5);
    ::SendMessageW(password, EM_SETPASSWORDCHAR, L'*', 0);
    Child(page, WC_BUTTONW, L"\u0130leri", stop | BS_PUSHBUTTON, 0, At(375, 227, 127, 27), f13, 6);
    Child(page, WC_BUTTONW, L"Firmalar Veri Taban\u0131 Kur", stop | BS_AUTOCHECKBOX, 0,
          At(160, 193, 281, 17), f13, 7);
    Check(Child(page, WC_BUTTONW, L"Ba\u011flant\u0131 Parametrelerini Kaydet", stop | BS_AUTOCHECKBOX, 0,
                At(161, 167, 281, 17), f13, 8));
    Child(page, WC_BUTTONW, L"Ana Makine", WS_VISIBLE | WS_GROUP | BS_AUTORADIOBUTTON, 0,
          At(115, 25, 138, 23), f13, 9);
    Check(Child(page, WC_BUTTONW, L"Terminal", WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON, 0,
                At(253, 25, 138, 23), f13, 10));
    Child(page, WC_BUTTONW, L" Kurulum Yeri ", WS_VISIBLE | WS_GROUP | BS_GROUPBOX | WS_CLIPSIBLINGS,
          WS_EX_TRANSPARENT, At(107, 9, 286, 44), f13, 11);
    Label(measure, page, L"Server Ad\u0131 ", At(72, 68, 78, 16), f13, 12);
    Label(measure, page, L"Kullan\u0131c\u0131 Ad\u0131", At(71, 98, 86, 16), f13, 13);
    Label(measure, page, L"\u015eifre", At(71, 119, 33, 16), f13, 14);
    Label(measure, page, L"03.06.2010", At(429, 257, 73, 16), f13, 15);

    page = pages[1];
    Check(Child(page, WC_BUTTONW, L"G\u00fcncellemeleri Kontrol Et", stop | BS_AUTOCHECKBOX, 0,
                At(64, 32, 321, 17), f16, 16));
    Check(Child(page, WC_BUTTONW, L"K\u0131sayollar\u0131 Olu\u015ftur", stop | BS_AUTOCHECKBOX, 0,
                At(64, 64, 321, 17), f16, 17));
    Child(page, WC_BUTTONW, L"\u0130leri", stop | BS_PUSHBUTTON, 0, At(372, 227, 127, 27), f13, 18);

    page = pages[2];
    Child(page, WC_BUTTONW, L"Yeni Firma A\u00e7", stop | BS_AUTOCHECKBOX, 0, At(64, 32, 257, 17), f16, 19);
    Child(page, WC_BUTTONW, L"&Son", stop | BS_PUSHBUTTON, 0, At(371, 222, 129, 33), f13, 20);

    page = pages[3];
    HWND log = Child(page, WC_EDITW, L"",
                     stop | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL |
                         ES_WANTRETURN | ES_NOHIDESEL,
                     WS_EX_CLIENTEDGE, At(8, 10, 505, 255), f13, 21);
    ::SendMessageW(log, EM_SETLIMITTEXT, 0, 0);
    ::SetWindowSubclass(log, Subclass, 1, 0);
    ::DeleteDC(measure);

    ::ShowWindow(form, show);
    ::UpdateWindow(form);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (::IsDialogMessageW(form, &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}
