// The wizard window under Wine: built from the definition, mirroring the model, writing the
// user's input back, keyboard handling, DPI changes. Controls are found by their control ids.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>

#include "FakeServices.h"
#include "WinTestSupport.h"
#include "app/Kurdb.h"
#include "app/win32/ControlIds.h"
#include "app/win32/Dpi.h"
#include "app/win32/WindowServices.h"
#include "app/win32/WizardWindow.h"
#include "shell/win32/WideString.h"

using namespace kurdb;
using namespace kurdb::win32;
using namespace kurdb::win32::test;

namespace {

const wchar_t kNoSettingsLine[] = L"Server Ba\u011flant\u0131 Parametresi mevcut de\u011fil!";

class WizardWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&icc);
        platform.exe = "C:\\Kurdb\\Kurdb.exe";
        pump.preTranslate = [this](MSG& msg) { return window && window->PreTranslate(msg); };
    }

    void TearDown() override {
        window.reset();
        pump.Drain();  // the WM_QUIT of the destroyed window must not end a later dialog
    }

    // Creates and shows the window as the program entry does.
    void Open(int edition = 3) {
        controller = std::make_unique<TFFirmaDB>(form, services, EditionFor(edition),
                                                 Services{platform, profiles, connection});
        window = std::make_unique<WizardWindow>(form, *controller, services, ::GetModuleHandleW(nullptr));
        services.SetOwner(window->Handle());
        controller->FormCreate();
        window->Show(SW_SHOWNORMAL);
        controller->FormShow();
        pump.Drain();
        ASSERT_TRUE(::IsWindowVisible(window->Handle()));
    }

    HWND Ctl(const char* name) const {
        return FindById(window->Handle(), ControlId(form.Definition(), name));
    }
    HWND Radio(int item) const {
        return FindById(window->Handle(), RadioItemId(form.Definition(), "cbTerminal", item));
    }
    bool IsChecked(HWND button) const { return ::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }
    int Scaled(int pixels) const { return Scale(pixels, window->Dpi()); }

    // Keyboard input as the message loop sees it: posted to the focused control.
    void PostKey(UINT message, WPARAM key, LPARAM flags = 1) {
        HWND focus = ::GetFocus();
        ASSERT_NE(focus, nullptr);
        ::PostMessageW(focus, message, key, flags);
    }
    void PressKey(WPARAM key) {
        PostKey(WM_KEYDOWN, key);
        PostKey(WM_KEYUP, key, static_cast<LPARAM>(0xC0000001));
    }
    // Runs `body` with Ctrl (and Shift) held in the thread's keyboard state, as GetKeyState
    // reports them while the user holds the keys.
    template <typename F>
    void WithModifiers(bool shift, F&& body) {
        BYTE keys[256];
        ::GetKeyboardState(keys);
        BYTE held[256];
        std::copy(std::begin(keys), std::end(keys), std::begin(held));
        held[VK_CONTROL] = held[VK_LCONTROL] = 0x80;
        if (shift) held[VK_SHIFT] = held[VK_LSHIFT] = 0x80;
        ::SetKeyboardState(held);
        body();
        ::SetKeyboardState(keys);
    }

    kurdb::test::FakePlatform platform;
    kurdb::test::MemoryProfiles profiles;
    kurdb::test::FakeConnection connection;
    WindowServices services;
    FormModel form{WindowDef::Embedded()};
    std::unique_ptr<TFFirmaDB> controller;
    std::unique_ptr<WizardWindow> window;
    MessagePump pump;
};

std::wstring TabCaption(HWND tabs, int index) {
    wchar_t buffer[64] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = buffer;
    item.cchTextMax = 64;
    ::SendMessageW(tabs, TCM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return buffer;
}

LOGFONTW FontOf(HWND hwnd) {
    LOGFONTW font{};
    auto handle = reinterpret_cast<HFONT>(::SendMessageW(hwnd, WM_GETFONT, 0, 0));
    if (handle) ::GetObjectW(handle, sizeof font, &font);
    return font;
}

}  // namespace

TEST_F(WizardWindowTest, TitleFrameAndPlaceFollowTheDefinition) {
    Open();
    HWND hwnd = window->Handle();
    EXPECT_EQ(TextOf(hwnd), L"DURANIX Veritaban\u0131 Kurulumu");
    wchar_t className[64];
    ::GetClassNameW(hwnd, className, 64);
    EXPECT_STREQ(className, kWizardWindowClass);
    RECT r;
    ::GetWindowRect(hwnd, &r);
    EXPECT_EQ(r.left, Scaled(17));
    EXPECT_EQ(r.top, Scaled(9));
    EXPECT_EQ(r.right - r.left, Scaled(554));
    EXPECT_EQ(r.bottom - r.top, Scaled(374));
    const LONG_PTR style = ::GetWindowLongPtrW(hwnd, GWL_STYLE);
    EXPECT_TRUE(style & WS_THICKFRAME) << "a sizeable frame";
    EXPECT_EQ(::GetClassLongPtrW(hwnd, GCLP_HBRBACKGROUND), static_cast<ULONG_PTR>(COLOR_BTNFACE + 1));
    // FormShow's title, centred and bold.
    HWND title = Ctl("RxLabel1");
    EXPECT_EQ(TextOf(title), L"DURANIX DORVA VER\u0130TABANI KURULUMU");
    EXPECT_EQ(::GetWindowLongPtrW(title, GWL_STYLE) & SS_TYPEMASK, SS_CENTER);
}

TEST_F(WizardWindowTest, PagesCarryTheirCaptionsAndTheFirstIsShown) {
    Open();
    HWND tabs = Ctl("cxPage");
    ASSERT_NE(tabs, nullptr);
    ASSERT_EQ(::SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 4);
    EXPECT_EQ(TabCaption(tabs, 0), L"Ba\u011flan");
    EXPECT_EQ(TabCaption(tabs, 1), L"G\u00fcncelle");
    EXPECT_EQ(TabCaption(tabs, 2), L"Bitir");
    EXPECT_EQ(TabCaption(tabs, 3), L"Rapor");
    EXPECT_EQ(::SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 0);
    const char* pages[] = {"cxTabSheet1", "cxTabSheet2", "cxTabSheet3", "cxTabSheet4"};
    for (int i = 0; i < 4; ++i) {
        HWND page = Ctl(pages[i]);
        ASSERT_NE(page, nullptr) << pages[i];
        EXPECT_TRUE(::GetWindowLongPtrW(page, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) << pages[i];
        EXPECT_EQ(::IsWindowVisible(page) != FALSE, i == 0) << pages[i];
    }
    // Invisible action buttons get no window.
    EXPECT_EQ(Ctl("BitBtn1"), nullptr);
    EXPECT_EQ(Ctl("Btn43"), nullptr);
}

TEST_F(WizardWindowTest, ControlsShowTheirDefaults) {
    Open();
    EXPECT_EQ(TextOf(Ctl("cbTerminal")), L" Kurulum Yeri ");
    EXPECT_EQ(TextOf(Radio(0)), L"Ana Makine");
    EXPECT_EQ(TextOf(Radio(1)), L"Terminal");
    EXPECT_FALSE(IsChecked(Radio(0)));
    EXPECT_TRUE(IsChecked(Radio(1)));
    EXPECT_TRUE(::GetWindowLongPtrW(Radio(0), GWL_STYLE) & WS_GROUP);
    EXPECT_TRUE(IsChecked(Ctl("cbKaydet")));
    EXPECT_FALSE(IsChecked(Ctl("cbFirmalar")));
    EXPECT_TRUE(IsChecked(Ctl("cbGuncel")));
    EXPECT_TRUE(IsChecked(Ctl("cbKisayol")));
    EXPECT_FALSE(IsChecked(Ctl("cbFirmaAc")));
    EXPECT_EQ(TextOf(Ctl("Label4")), L"Server Ad\u0131 ");
    EXPECT_EQ(TextOf(Ctl("Label3")), L"03.06.2010");
    EXPECT_EQ(TextOf(Ctl("btnConnect")), L"\u0130leri");
    EXPECT_EQ(TextOf(Ctl("BitBtn2")), L"&Son");
    // FormShow puts the login name into editUser whatever the radio group shows.
    EXPECT_EQ(TextOf(Ctl("editUser")), L"DURANIX");
    HWND pass = Ctl("editPass");
    EXPECT_TRUE(::GetWindowLongPtrW(pass, GWL_STYLE) & ES_PASSWORD);
    EXPECT_EQ(::SendMessageW(pass, EM_GETPASSWORDCHAR, 0, 0), L'*');
    const LONG_PTR memo = ::GetWindowLongPtrW(Ctl("Memo1"), GWL_STYLE);
    EXPECT_TRUE(memo & ES_MULTILINE);
    EXPECT_TRUE(memo & WS_HSCROLL);
    EXPECT_TRUE(memo & WS_VSCROLL);
    EXPECT_FALSE(memo & ES_READONLY) << "the user can edit the log";
}

TEST_F(WizardWindowTest, ControlsSitAtTheirDesignGeometry) {
    Open();
    int checked = 0;
    for (const ControlDef& def : form.Definition().Controls()) {
        switch (def.kind) {
        case ControlKind::Edit:
        case ControlKind::CheckBox:
        case ControlKind::Button:
        case ControlKind::Memo:
        case ControlKind::RadioGroup:
        case ControlKind::PageControl:
            break;
        default:
            continue;
        }
        HWND hwnd = Ctl(def.name.c_str());
        ASSERT_NE(hwnd, nullptr) << def.name;
        const RECT r = RectInParent(hwnd);
        EXPECT_EQ(r.left, Scaled(def.left)) << def.name;
        EXPECT_EQ(r.top, Scaled(def.top)) << def.name;
        EXPECT_EQ(r.right - r.left, Scaled(def.width)) << def.name;
        EXPECT_EQ(r.bottom - r.top, Scaled(def.height)) << def.name;
        ++checked;
    }
    EXPECT_EQ(checked, 14);
    // Radio buttons: side by side inside their box, in two columns.
    const RECT box = RectInParent(Ctl("cbTerminal"));
    const RECT first = RectInParent(Radio(0));
    const RECT second = RectInParent(Radio(1));
    EXPECT_EQ(first.top, second.top);
    EXPECT_LT(first.right, second.left + 1);
    for (const RECT& r : {first, second}) {
        EXPECT_GT(r.left, box.left);
        EXPECT_LT(r.right, box.right);
        EXPECT_GT(r.top, box.top);
        EXPECT_LE(r.bottom, box.bottom);
    }
    // The pages fill the page control's display area.
    RECT display = RectInParent(Ctl("cxPage"));
    ::SendMessageW(Ctl("cxPage"), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    const RECT page = RectInParent(Ctl("cxTabSheet4"));
    EXPECT_EQ(page.left, display.left);
    EXPECT_EQ(page.top, display.top);
    EXPECT_EQ(page.right, display.right);
    EXPECT_EQ(page.bottom, display.bottom);
}

TEST_F(WizardWindowTest, FontsFollowTheDefinition) {
    Open();
    const LOGFONTW edit = FontOf(Ctl("editUser"));
    EXPECT_EQ(edit.lfHeight, -Scaled(13));
    EXPECT_EQ(edit.lfWeight, FW_BOLD);
    EXPECT_EQ(edit.lfCharSet, TURKISH_CHARSET);
    EXPECT_STREQ(edit.lfFaceName, L"MS Sans Serif");
    const LOGFONTW check = FontOf(Ctl("cbGuncel"));
    EXPECT_EQ(check.lfHeight, -Scaled(16));
    EXPECT_EQ(check.lfWeight, FW_BOLD);
    const LOGFONTW title = FontOf(Ctl("RxLabel1"));
    EXPECT_EQ(title.lfHeight, -Scaled(19));
    EXPECT_EQ(title.lfWeight, FW_BOLD);
    const LOGFONTW tabs = FontOf(Ctl("cxPage"));
    EXPECT_EQ(tabs.lfHeight, -Scaled(11)) << "the form's font";
    EXPECT_EQ(tabs.lfWeight, FW_NORMAL);
    EXPECT_EQ(FontOf(Radio(0)).lfHeight, -Scaled(13));
}

TEST_F(WizardWindowTest, RadioGroupClicksRunTheController) {
    Open();
    ::SendMessageW(Radio(0), BM_CLICK, 0, 0);  // "Ana Makine"
    EXPECT_TRUE(pump.Until([&] {
        return TextOf(Ctl("editUser")) == L"sa" && IsChecked(Ctl("cbFirmalar"));
    })) << "editUser: " << Narrow(TextOf(Ctl("editUser")));
    EXPECT_EQ(form.ItemIndex("cbTerminal"), 0);
    EXPECT_TRUE(IsChecked(Radio(0)));
    EXPECT_FALSE(IsChecked(Radio(1)));
    EXPECT_TRUE(::GetWindowLongPtrW(Radio(0), GWL_STYLE) & WS_TABSTOP);
    EXPECT_FALSE(::GetWindowLongPtrW(Radio(1), GWL_STYLE) & WS_TABSTOP);

    ::SendMessageW(Radio(1), BM_CLICK, 0, 0);  // "Terminal"
    EXPECT_TRUE(pump.Until([&] {
        return TextOf(Ctl("editUser")) == L"DURANIX" && !IsChecked(Ctl("cbFirmalar"));
    })) << "editUser: " << Narrow(TextOf(Ctl("editUser")));
    EXPECT_EQ(form.ItemIndex("cbTerminal"), 1);
    EXPECT_FALSE(form.Checked("cbFirmalar"));
}

TEST_F(WizardWindowTest, ArrowKeysMoveWithinTheRadioGroup) {
    Open();
    ::SetFocus(Radio(1));
    PressKey(VK_LEFT);
    EXPECT_TRUE(pump.Until([&] { return form.ItemIndex("cbTerminal") == 0; }));
    EXPECT_EQ(::GetFocus(), Radio(0));
    EXPECT_EQ(TextOf(Ctl("editUser")), L"sa");
    PressKey(VK_RIGHT);
    EXPECT_TRUE(pump.Until([&] { return form.ItemIndex("cbTerminal") == 1; }));
    EXPECT_EQ(TextOf(Ctl("editUser")), L"DURANIX");
}

TEST_F(WizardWindowTest, WithoutSettingsFileTheLogSaysSo) {
    Open();
    EXPECT_EQ(TextOf(Ctl("Memo1")), kNoSettingsLine);
    EXPECT_EQ(TextOf(Ctl("editServer")), L"");
}

TEST_F(WizardWindowTest, RememberedServerFillsTheServerName) {
    profiles.files["C:\\Kurdb\\Duranix.ini"] = "[SERVER]\r\nServerAdi=SRV\\SQL2019\r\n";
    Open();
    EXPECT_EQ(TextOf(Ctl("editServer")), L"SRV\\SQL2019");
    EXPECT_EQ(TextOf(Ctl("Memo1")), L"");
}

TEST_F(WizardWindowTest, LogLinesAreAppendedToTheMemo) {
    Open();
    controller->LogLine("Birinci\r\n\u0130kinci");
    EXPECT_EQ(TextOf(Ctl("Memo1")), std::wstring(kNoSettingsLine) + L"\r\nBirinci\r\n\u0130kinci");
    form.SetLines("Memo1", {"yeni"});
    EXPECT_EQ(TextOf(Ctl("Memo1")), L"yeni");
}

TEST_F(WizardWindowTest, TypingWritesBackIntoTheModel) {
    Open();
    ::SetFocus(Ctl("editServer"));
    for (wchar_t c : std::wstring(L"SRV\u015e")) PostKey(WM_CHAR, c);
    EXPECT_TRUE(pump.Until([&] { return form.Text("editServer") == "SRV\u015e"; }))
        << form.Text("editServer");

    ::SendMessageW(Ctl("cbKaydet"), BM_CLICK, 0, 0);
    EXPECT_TRUE(pump.Until([&] { return !form.Checked("cbKaydet"); }));

    // The log is editable: a new line typed at its end becomes a new model line.
    form.SetActivePage("cxPage", 3);
    HWND memo = Ctl("Memo1");
    ::SetFocus(memo);
    const auto end = static_cast<WPARAM>(::GetWindowTextLengthW(memo));
    ::SendMessageW(memo, EM_SETSEL, end, static_cast<LPARAM>(end));
    for (wchar_t c : std::wstring(L"\rnot")) PostKey(WM_CHAR, c);
    EXPECT_TRUE(pump.Until([&] { return form.Lines("Memo1").size() == 2 && form.Lines("Memo1")[1] == "not"; }));
    EXPECT_EQ(form.Lines("Memo1")[0], "Server Ba\u011flant\u0131 Parametresi mevcut de\u011fil!");
}

TEST_F(WizardWindowTest, ModelPageChangesSwitchTabAndPage) {
    Open();
    form.SetActivePage("cxPage", 1);
    EXPECT_EQ(::SendMessageW(Ctl("cxPage"), TCM_GETCURSEL, 0, 0), 1);
    EXPECT_TRUE(::IsWindowVisible(Ctl("cxTabSheet2")));
    EXPECT_FALSE(::IsWindowVisible(Ctl("cxTabSheet1")));
    EXPECT_TRUE(::IsWindowVisible(Ctl("Button1")));
}

TEST_F(WizardWindowTest, SelectingATabSetsTheActivePage) {
    Open();
    ::SendMessageW(Ctl("cxPage"), TCM_SETCURSEL, 3, 0);
    EXPECT_TRUE(pump.Until([&] { return form.ActivePage("cxPage") == 3; }));
    EXPECT_TRUE(::IsWindowVisible(Ctl("cxTabSheet4")));
    EXPECT_FALSE(::IsWindowVisible(Ctl("cxTabSheet1")));
    // The tab control's own notification path, as a mouse click on a tab takes it.
    ::SendMessageW(Ctl("cxPage"), TCM_SETCURFOCUS, 1, 0);
    EXPECT_TRUE(pump.Until([&] { return form.ActivePage("cxPage") == 1; }));
    EXPECT_TRUE(::IsWindowVisible(Ctl("cxTabSheet2")));
}

TEST_F(WizardWindowTest, CtrlTabChangesThePage) {
    Open();
    ::SetFocus(Ctl("editServer"));
    WithModifiers(false, [&] {
        PressKey(VK_TAB);
        EXPECT_TRUE(pump.Until([&] { return form.ActivePage("cxPage") == 1; }));
    });
    EXPECT_TRUE(::IsWindowVisible(Ctl("cxTabSheet2")));
    // The focus left the hidden page for the shown one.
    EXPECT_TRUE(::IsWindowVisible(::GetFocus()));
    EXPECT_TRUE(::IsChild(Ctl("cxTabSheet2"), ::GetFocus()));
    WithModifiers(true, [&] {
        PressKey(VK_TAB);
        EXPECT_TRUE(pump.Until([&] { return form.ActivePage("cxPage") == 0; }));
        PressKey(VK_TAB);  // wraps round to the last page
        EXPECT_TRUE(pump.Until([&] { return form.ActivePage("cxPage") == 3; }));
    });
    EXPECT_EQ(::SendMessageW(Ctl("cxPage"), TCM_GETCURSEL, 0, 0), 3);
}

TEST_F(WizardWindowTest, TabFollowsTheTabOrder) {
    Open();
    const std::vector<HWND> expected = {Ctl("editUser"), Ctl("editPass"), Ctl("btnConnect"),
                                        Ctl("cbFirmalar"), Ctl("cbKaydet"), Radio(1),
                                        Ctl("cxPage"), Ctl("editServer")};
    ::SetFocus(Ctl("editServer"));
    for (HWND next : expected) {
        PressKey(VK_TAB);
        EXPECT_TRUE(pump.Until([&] { return ::GetFocus() == next; }))
            << "focus on id " << ::GetDlgCtrlID(::GetFocus()) << ", expected " << ::GetDlgCtrlID(next);
    }
    // Shift+Tab walks back.
    BYTE keys[256];
    ::GetKeyboardState(keys);
    BYTE shifted[256];
    std::copy(std::begin(keys), std::end(keys), std::begin(shifted));
    shifted[VK_SHIFT] = 0x80;
    ::SetKeyboardState(shifted);
    PressKey(VK_TAB);
    const bool back = pump.Until([&] { return ::GetFocus() == Ctl("cxPage"); });
    ::SetKeyboardState(keys);
    EXPECT_TRUE(back);
}

TEST_F(WizardWindowTest, AccessKeyPressesSonAndClosesTheWindow) {
    Open();
    form.SetActivePage("cxPage", 2);
    HWND hwnd = window->Handle();
    ::SetFocus(Ctl("cbFirmaAc"));
    PostKey(WM_SYSCHAR, 's', static_cast<LPARAM>(0x20000001));  // Alt+S
    EXPECT_TRUE(pump.Until([&] { return !::IsWindow(hwnd); }));
    EXPECT_EQ(window->Handle(), nullptr);
    EXPECT_EQ(pump.quits, 1) << "closing the window ends the message loop";
}

TEST_F(WizardWindowTest, EnterPressesTheFocusedButton) {
    Open();
    form.SetActivePage("cxPage", 2);
    HWND hwnd = window->Handle();
    ::SetFocus(Ctl("BitBtn2"));
    PressKey(VK_RETURN);
    EXPECT_TRUE(pump.Until([&] { return !::IsWindow(hwnd); }));
    EXPECT_EQ(pump.quits, 1);
}

TEST_F(WizardWindowTest, EditionEighteenHidesNewCompanyBox) {
    Open(18);
    form.SetActivePage("cxPage", 2);
    EXPECT_FALSE(::IsWindowVisible(Ctl("cbFirmaAc")));
    EXPECT_TRUE(::IsWindowVisible(Ctl("BitBtn2")));
    form.SetVisible("cbFirmaAc", true);
    EXPECT_TRUE(::IsWindowVisible(Ctl("cbFirmaAc")));
}

TEST_F(WizardWindowTest, EditionThreeShowsNewCompanyBox) {
    Open(3);
    form.SetActivePage("cxPage", 2);
    EXPECT_TRUE(::IsWindowVisible(Ctl("cbFirmaAc")));
}

TEST_F(WizardWindowTest, BusyWindowKeepsTheWaitCursor) {
    Open();
    HWND edit = Ctl("editServer");
    const LPARAM hit = MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);
    services.SetBusy(true);
    EXPECT_EQ(::GetCursor(), WindowServices::WaitCursor());
    EXPECT_TRUE(::SendMessageW(edit, WM_SETCURSOR, reinterpret_cast<WPARAM>(edit), hit));
    EXPECT_EQ(::GetCursor(), WindowServices::WaitCursor());
    services.SetBusy(false);
    ::SendMessageW(edit, WM_SETCURSOR, reinterpret_cast<WPARAM>(edit), hit);
    EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_IBEAM)) << "the edit's own cursor again";
}

TEST_F(WizardWindowTest, DpiChangeScalesGeometryAndFonts) {
    Open();
    const int dpi = window->Dpi() * 3 / 2;
    RECT suggested{Scale(17, dpi), Scale(9, dpi), Scale(17 + 554, dpi), Scale(9 + 374, dpi)};
    ::SendMessageW(window->Handle(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(dpi, dpi),
                   reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(window->Dpi(), dpi);
    RECT r;
    ::GetWindowRect(window->Handle(), &r);
    EXPECT_EQ(r.left, suggested.left);
    EXPECT_EQ(r.right - r.left, suggested.right - suggested.left);
    const ControlDef& def = form.Definition().Find("editUser");
    const RECT edit = RectInParent(Ctl("editUser"));
    EXPECT_EQ(edit.left, Scale(def.left, dpi));
    EXPECT_EQ(edit.top, Scale(def.top, dpi));
    EXPECT_EQ(edit.right - edit.left, Scale(def.width, dpi));
    EXPECT_EQ(FontOf(Ctl("editUser")).lfHeight, -Scale(13, dpi));
    EXPECT_EQ(FontOf(Ctl("cbGuncel")).lfHeight, -Scale(16, dpi));
    const RECT memo = RectInParent(Ctl("Memo1"));
    EXPECT_EQ(memo.bottom - memo.top, Scale(255, dpi));
}
