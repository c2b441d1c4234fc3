// The wizard window under Wine: built from the definition, mirroring the model, writing the
// user's input back, keyboard handling; the confirmation dialog and the error box, answered by
// a thread timer that polls for them while they run modally. Controls are found by their ids.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/Fakes.h"
#include "WinTestSupport.h"
#include "app/Kurdb.h"
#include "app/win32/ControlIds.h"
#include "app/win32/Dpi.h"
#include "app/win32/Win32FormHost.h"
#include "app/win32/WizardWindow.h"
#include "resources/ControlNames.h"

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
        gate.Open();
        if (runs) pump.Until([&] { return !runs->Running(); });
        window.reset();
        runs.reset();  // before the controller its run uses
        pump.Drain();  // the WM_QUIT of the destroyed window must not end a later dialog
    }

    // Creates and shows the window as the program entry does.
    void Open(int edition = 3) {
        runs = std::make_unique<HandlerRunner>(services);
        controller = std::make_unique<TFFirmaDB>(
            form, runs->HandlerHost(), EditionFor(edition),
            SystemServices{platform, profiles, database, registry, processes, links});
        runs->Attach(*controller);
        window = std::make_unique<WizardWindow>(form, *runs, services, ::GetModuleHandleW(nullptr));
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
        return FindById(window->Handle(), RadioItemId(form.Definition(), controls::cbTerminal, item));
    }
    bool IsChecked(HWND button) const { return ::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }
    int Scaled(int pixels) const { return Scale(pixels, window->Dpi()); }

    // A click as the message loop sees it: posted to `control` at its middle; `twice` adds the
    // second click of a double click.
    void PostClick(HWND control, bool twice = false) {
        RECT r;
        ::GetClientRect(control, &r);
        const LPARAM at = MAKELPARAM((r.right - r.left) / 2, (r.bottom - r.top) / 2);
        ::PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::PostMessageW(control, WM_LBUTTONUP, 0, at);
        if (!twice) return;
        ::PostMessageW(control, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        ::PostMessageW(control, WM_LBUTTONUP, 0, at);
    }

    // Keyboard input as the message loop sees it: posted to the focused control.
    void PostKey(UINT message, WPARAM key, LPARAM flags = 1) {
        ::PostMessageW(::GetFocus(), message, key, flags);
    }
    void PressKey(WPARAM key) {
        PostKey(WM_KEYDOWN, key);
        PostKey(WM_KEYUP, key, static_cast<LPARAM>(0xC0000001));
    }
    // Presses Tab with Ctrl and/or Shift held in the thread's keyboard state, as GetKeyState
    // reports them while the user holds the keys, and pumps until `done` holds.
    bool PressTab(bool control, bool shift, const std::function<bool()>& done) {
        BYTE keys[256], held[256];
        ::GetKeyboardState(keys);
        std::copy(std::begin(keys), std::end(keys), std::begin(held));
        if (control) held[VK_CONTROL] = held[VK_LCONTROL] = 0x80;
        if (shift) held[VK_SHIFT] = held[VK_LSHIFT] = 0x80;
        ::SetKeyboardState(held);
        PressKey(VK_TAB);
        const bool reached = pump.Until(done);
        ::SetKeyboardState(keys);
        return reached;
    }

    kurdb::test::FakePlatform platform;
    kurdb::test::MemoryProfiles profiles;
    kurdb::db::Components database{
        std::make_unique<kurdb::db::OdbcEngine>("kurdb-no-such-driver-manager.dll")};
    kurdb::test::MemoryRegistry registry;
    kurdb::test::RecordingProcesses processes;
    kurdb::test::RecordingShellLinks links;
    Win32FormHost services;
    FormModel form{WindowDef::Embedded()};
    kurdb::test::Gate gate;  // a program's start waits here once `processes.onOpen` says so
    std::unique_ptr<HandlerRunner> runs;
    std::unique_ptr<TFFirmaDB> controller;
    std::unique_ptr<WizardWindow> window;
    MessagePump pump;
};

LOGFONTW FontOf(HWND hwnd) {
    LOGFONTW font{};
    if (auto handle = reinterpret_cast<HFONT>(::SendMessageW(hwnd, WM_GETFONT, 0, 0)))
        ::GetObjectW(handle, sizeof font, &font);
    return font;
}

// What the user sees in a dialog of the predefined class titled `title`, answered with `key`.
struct DialogVisit {
    DialogVisit(std::wstring caption, WPARAM answer) : title(std::move(caption)), key(answer) {}
    std::wstring title;
    WPARAM key;

    bool found = false;
    std::wstring yesText, noText, bodyText;
    LRESULT defaultId = 0;
};

DialogVisit* g_visit = nullptr;
UINT_PTR g_timer = 0;

void CALLBACK Poll(HWND, UINT, UINT_PTR, DWORD) {
    DialogVisit& v = *g_visit;
    HWND dialog = ::FindWindowW(L"#32770", v.title.c_str());
    if (!dialog || !::IsWindowVisible(dialog)) return;
    ::KillTimer(nullptr, g_timer);
    v.found = true;
    if (HWND yes = ::GetDlgItem(dialog, IDYES)) v.yesText = TextOf(yes);
    if (HWND no = ::GetDlgItem(dialog, IDNO)) v.noText = TextOf(no);
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        wchar_t cls[32] = {};
        ::GetClassNameW(child, cls, 32);
        if (::lstrcmpiW(cls, L"Static") == 0) v.bodyText += TextOf(child);
    }
    v.defaultId = ::SendMessageW(dialog, DM_GETDEFID, 0, 0);
    // the key goes to the focused control, as the dialog's own loop receives it
    HWND target = ::GetFocus();
    if (!target || !::IsChild(dialog, target)) target = dialog;
    ::PostMessageW(target, WM_KEYDOWN, v.key, 1);
    ::PostMessageW(target, WM_KEYUP, v.key, static_cast<LPARAM>(0xC0000001));
}

// Runs `show` (which shows a modal dialog) while the visit waits for the dialog and answers it.
template <typename F>
auto Visit(DialogVisit& visit, F&& show) {
    g_visit = &visit;
    g_timer = ::SetTimer(nullptr, 0, 20, Poll);
    auto result = show();
    ::KillTimer(nullptr, g_timer);
    g_visit = nullptr;
    return result;
}

const std::string kQuestion = "Firmalar Veritaban\xc4\xb1 olu\xc5\x9fturulsun mu?";

}  // namespace

TEST_F(WizardWindowTest, WindowFollowsTheDefinition) {
    Open();
    HWND hwnd = window->Handle();
    EXPECT_EQ(TextOf(hwnd), L"DURANIX Veritaban\u0131 Kurulumu");
    RECT r;
    ::GetWindowRect(hwnd, &r);
    EXPECT_EQ(r.right - r.left, Scaled(554));
    EXPECT_EQ(r.bottom - r.top, Scaled(374));
    EXPECT_EQ(TextOf(Ctl(controls::RxLabel1)), L"DURANIX DORVA VER\u0130TABANI KURULUMU");
    HWND tabs = Ctl(controls::cxPage);
    ASSERT_EQ(::SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 4);
    const wchar_t* captions[] = {L"Ba\u011flan", L"G\u00fcncelle", L"Bitir", L"Rapor"};
    for (WPARAM i = 0; i < 4; ++i) {
        wchar_t caption[64] = {};
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = caption;
        item.cchTextMax = 64;
        ::SendMessageW(tabs, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
        EXPECT_STREQ(caption, captions[i]);
    }
    EXPECT_EQ(::SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 0);

    // page 1 as designed; labels are left out, as they size themselves to their text
    int placed = 0;
    for (const ControlDef* def : form.Definition().ChildrenOf(controls::cxTabSheet1)) {
        if (def->kind == ControlKind::Label || def->kind == ControlKind::Action) continue;
        HWND control = Ctl(def->name.c_str());
        ASSERT_NE(control, nullptr) << def->name;
        const RECT c = RectInParent(control);
        EXPECT_EQ(c.left, Scaled(def->left)) << def->name;
        EXPECT_EQ(c.top, Scaled(def->top)) << def->name;
        EXPECT_EQ(c.right - c.left, Scaled(def->width)) << def->name;
        EXPECT_EQ(c.bottom - c.top, Scaled(def->height)) << def->name;
        ++placed;
    }
    EXPECT_EQ(placed, 7);
    // the radio items side by side inside their box
    const RECT box = RectInParent(Ctl(controls::cbTerminal)), first = RectInParent(Radio(0)),
               second = RectInParent(Radio(1));
    EXPECT_EQ(first.top, second.top);
    EXPECT_LE(first.right, second.left);
    EXPECT_TRUE(first.left > box.left && second.right < box.right && first.top > box.top &&
                first.bottom <= box.bottom);
    EXPECT_EQ(TextOf(Radio(0)), L"Ana Makine");
    EXPECT_TRUE(IsChecked(Radio(1)) && !IsChecked(Radio(0)));
    EXPECT_EQ(TextOf(Ctl(controls::BitBtn2)), L"&Son");
    EXPECT_EQ(Ctl(controls::BitBtn1), nullptr) << "invisible buttons get no window";

    // fonts: a page-1 control's, a bigger page-2 caption's, the title's and the form's
    const LOGFONTW edit = FontOf(Ctl(controls::editUser));
    EXPECT_EQ(edit.lfHeight, -Scaled(13));
    EXPECT_EQ(edit.lfWeight, FW_BOLD);
    EXPECT_EQ(edit.lfCharSet, TURKISH_CHARSET);
    EXPECT_STREQ(edit.lfFaceName, L"MS Sans Serif");
    EXPECT_EQ(FontOf(Ctl(controls::cbGuncel)).lfHeight, -Scaled(16));
    EXPECT_EQ(FontOf(Ctl(controls::RxLabel1)).lfHeight, -Scaled(19));
    EXPECT_EQ(FontOf(tabs).lfHeight, -Scaled(11));
    EXPECT_EQ(FontOf(tabs).lfWeight, FW_NORMAL);
}

// The position of a window among its siblings, 0 the topmost.
int StackPosition(HWND hwnd) {
    int position = 0;
    for (HWND w = ::GetWindow(hwnd, GW_HWNDFIRST); w && w != hwnd; w = ::GetWindow(w, GW_HWNDNEXT))
        ++position;
    return position;
}

TEST_F(WizardWindowTest, PagesLieAboveTheStripAndRadioButtonsAboveTheirBox) {
    Open();
    // The page control would otherwise paint over the shown page, and the group box over its
    // buttons.
    const int strip = StackPosition(Ctl(controls::cxPage));
    for (const char* page :
         {controls::cxTabSheet1, controls::cxTabSheet2, controls::cxTabSheet3, controls::cxTabSheet4})
        EXPECT_LT(StackPosition(Ctl(page)), strip) << page;
    const int box = StackPosition(Ctl(controls::cbTerminal));
    EXPECT_LT(StackPosition(Radio(0)), StackPosition(Radio(1)));
    EXPECT_LT(StackPosition(Radio(1)), box);
    // Only the shown page is visible.
    EXPECT_TRUE(::IsWindowVisible(Ctl(controls::cxTabSheet1)));
    EXPECT_FALSE(::IsWindowVisible(Ctl(controls::cxTabSheet2)));
}

TEST_F(WizardWindowTest, RadioGroupSetsLoginAndCompaniesBox) {
    Open();
    EXPECT_EQ(TextOf(Ctl(controls::editUser)), L"DURANIX");
    ::SendMessageW(Radio(0), BM_CLICK, 0, 0);  // "Ana Makine"
    // the handler runs on the worker: wait for its run to end
    EXPECT_TRUE(pump.Until([&] { return form.ItemIndex(controls::cbTerminal) == 0 && !runs->Running(); }));
    EXPECT_EQ(TextOf(Ctl(controls::editUser)), L"sa");
    EXPECT_TRUE(IsChecked(Ctl(controls::cbFirmalar)));
    EXPECT_FALSE(IsChecked(Radio(1)));
    // the arrow keys move within the group and select as they go
    ::SetFocus(Radio(0));
    PressKey(VK_RIGHT);
    EXPECT_TRUE(pump.Until([&] { return form.ItemIndex(controls::cbTerminal) == 1 && !runs->Running(); }));
    EXPECT_EQ(::GetFocus(), Radio(1));
    EXPECT_EQ(TextOf(Ctl(controls::editUser)), L"DURANIX");
    EXPECT_FALSE(IsChecked(Ctl(controls::cbFirmalar)));
}

TEST_F(WizardWindowTest, ModelChangesReachTheWidgets) {
    Open();
    EXPECT_EQ(TextOf(Ctl(controls::Memo1)), kNoSettingsLine) << "no Duranix.ini beside the program";
    EXPECT_EQ(TextOf(Ctl(controls::editServer)), L"");
    controller->LogLine("Birinci\r\n\u0130kinci");
    EXPECT_EQ(TextOf(Ctl(controls::Memo1)), std::wstring(kNoSettingsLine) + L"\r\nBirinci\r\n\u0130kinci");
    form.SetLines(controls::Memo1, {"yeni"});
    EXPECT_EQ(TextOf(Ctl(controls::Memo1)), L"yeni");
    form.SetActivePage(controls::cxPage, 1);
    EXPECT_EQ(::SendMessageW(Ctl(controls::cxPage), TCM_GETCURSEL, 0, 0), 1);
    EXPECT_TRUE(::IsWindowVisible(Ctl(controls::Button1)));
    EXPECT_FALSE(::IsWindowVisible(Ctl(controls::cxTabSheet1)));
}

TEST_F(WizardWindowTest, UserInputReachesTheModel) {
    Open();
    ::SetFocus(Ctl(controls::editServer));
    for (wchar_t c : std::wstring(L"SRV\u015e")) PostKey(WM_CHAR, c);
    EXPECT_TRUE(pump.Until([&] { return form.Text(controls::editServer) == "SRV\u015e"; }))
        << form.Text(controls::editServer);
    ::SendMessageW(Ctl(controls::cbKaydet), BM_CLICK, 0, 0);
    EXPECT_TRUE(pump.Until([&] { return !form.Checked(controls::cbKaydet); }));
    // a tab chosen by the tab control's own notification, as a mouse click takes it
    ::SendMessageW(Ctl(controls::cxPage), TCM_SETCURFOCUS, 3, 0);
    EXPECT_TRUE(pump.Until([&] { return form.ActivePage(controls::cxPage) == 3; }));
    EXPECT_TRUE(::IsWindowVisible(Ctl(controls::cxTabSheet4)));
    // the log is editable: a line typed at its end becomes a new model line
    HWND memo = Ctl(controls::Memo1);
    ::SetFocus(memo);
    const auto end = static_cast<WPARAM>(::GetWindowTextLengthW(memo));
    ::SendMessageW(memo, EM_SETSEL, end, static_cast<LPARAM>(end));
    for (wchar_t c : std::wstring(L"\rnot")) PostKey(WM_CHAR, c);
    const std::vector<std::string> want = {"Server Ba\u011flant\u0131 Parametresi mevcut de\u011fil!", "not"};
    EXPECT_TRUE(pump.Until([&] { return form.Lines(controls::Memo1) == want; }));
}

TEST_F(WizardWindowTest, TabFollowsThePageOneTabOrder) {
    Open();
    const std::vector<HWND> cycle = {Ctl(controls::editUser),   Ctl(controls::editPass),
                                     Ctl(controls::btnConnect), Ctl(controls::cbFirmalar),
                                     Ctl(controls::cbKaydet),   Radio(1),
                                     Ctl(controls::cxPage),     Ctl(controls::editServer)};
    ::SetFocus(Ctl(controls::editServer));
    for (HWND next : cycle)
        EXPECT_TRUE(PressTab(false, false, [&] { return ::GetFocus() == next; }))
            << "focus on id " << ::GetDlgCtrlID(::GetFocus()) << ", expected " << ::GetDlgCtrlID(next);
    EXPECT_TRUE(PressTab(false, true, [&] { return ::GetFocus() == Ctl(controls::cxPage); }))
        << "Shift+Tab walks back";
}

TEST_F(WizardWindowTest, CtrlTabChangesThePage) {
    Open();
    ::SetFocus(Ctl(controls::editServer));
    EXPECT_TRUE(PressTab(true, false, [&] { return form.ActivePage(controls::cxPage) == 1; }));
    EXPECT_TRUE(::IsWindowVisible(Ctl(controls::cxTabSheet2)));
    EXPECT_TRUE(::IsChild(Ctl(controls::cxTabSheet2), ::GetFocus())) << "the focus left the hidden page";
    EXPECT_TRUE(PressTab(true, true, [&] { return form.ActivePage(controls::cxPage) == 0; }));
    EXPECT_TRUE(PressTab(true, true, [&] { return form.ActivePage(controls::cxPage) == 3; }))
        << "wraps round";
    EXPECT_EQ(::SendMessageW(Ctl(controls::cxPage), TCM_GETCURSEL, 0, 0), 3);
}

TEST_F(WizardWindowTest, AltSPressesSonAndClosesTheWindow) {
    Open();
    form.SetActivePage(controls::cxPage, 2);
    HWND hwnd = window->Handle();
    ::SetFocus(Ctl(controls::cbFirmaAc));
    PostKey(WM_SYSCHAR, 's', static_cast<LPARAM>(0x20000001));  // Alt+S
    EXPECT_TRUE(pump.Until([&] { return !::IsWindow(hwnd); }));
    EXPECT_EQ(pump.quits, 1) << "closing the window ends the message loop";
}

TEST_F(WizardWindowTest, EditionEighteenHidesNewCompanyBox) {
    Open(18);
    form.SetActivePage(controls::cxPage, 2);
    EXPECT_FALSE(::IsWindowVisible(Ctl(controls::cbFirmaAc)));
    EXPECT_TRUE(::IsWindowVisible(Ctl(controls::BitBtn2)));
    form.SetVisible(controls::cbFirmaAc, true);
    EXPECT_TRUE(::IsWindowVisible(Ctl(controls::cbFirmaAc)));
}

TEST_F(WizardWindowTest, ConfirmEnterAnswersYesOnEvet) {
    DialogVisit visit{L"Onay", VK_RETURN};
    EXPECT_TRUE(Visit(visit, [&] { return services.Confirm(kQuestion); }));
    ASSERT_TRUE(visit.found) << "no window titled Onay appeared";
    EXPECT_EQ(visit.yesText, L"&Evet");
    EXPECT_EQ(visit.noText, L"&Hay\u0131r");
    EXPECT_EQ(visit.bodyText, L"Firmalar Veritaban\u0131 olu\u015fturulsun mu?");
    EXPECT_EQ(visit.defaultId, MAKELRESULT(IDYES, DC_HASDEFID));
}

TEST_F(WizardWindowTest, ConfirmEscapeAnswersNo) {
    DialogVisit visit{L"Onay", VK_ESCAPE};
    EXPECT_FALSE(Visit(visit, [&] { return services.Confirm(kQuestion); }));
    EXPECT_TRUE(visit.found);
}

TEST_F(WizardWindowTest, ErrorBoxShowsTextAndCaption) {
    DialogVisit visit{L"Kurdb", VK_RETURN};
    Visit(visit, [&] {
        services.ShowError("Ba\xc4\x9flant\xc4\xb1 kurulamad\xc4\xb1.", "Kurdb");
        return 0;
    });
    ASSERT_TRUE(visit.found) << "no error box titled Kurdb appeared";
    EXPECT_NE(visit.bodyText.find(L"Ba\u011flant\u0131 kurulamad\u0131."), std::wstring::npos);
}
TEST_F(WizardWindowTest, StartsWithTheFocusInServerAdi) {
    Open();
    EXPECT_EQ(::GetFocus(), Ctl(controls::editServer));
}

TEST_F(WizardWindowTest, TabIntoTheLogKeepsItsCaret) {
    Open();
    form.SetActivePage(controls::cxPage, 3);
    HWND memo = Ctl(controls::Memo1);
    ::SetFocus(memo);
    ::SendMessageW(memo, EM_SETSEL, 3, 3);
    ::SetFocus(Ctl(controls::cxPage));
    ASSERT_TRUE(PressTab(false, false, [&] { return ::GetFocus() == memo; }));
    DWORD start = 0, end = 0;
    ::SendMessageW(memo, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 3u);
    EXPECT_EQ(end, 3u) << "nothing selected, so a key does not replace the log";
}

// A press runs its handler on a worker: the window shows the run's lines as they come and its
// busy bar, and drops the clicks given meanwhile; the second click of a double click among them,
// which would otherwise press what the run shows next.
TEST_F(WizardWindowTest, PressRunsOnceAndDropsInputMeanwhile) {
    Open();
    processes.onOpen = [&](const std::string&) { gate.Wait(); };  // the updater's start waits
    form.SetActivePage(controls::cxPage, 1);
    PostClick(Ctl(controls::Button1), true);
    ASSERT_TRUE(pump.Until([&] { return runs->Running(); }));
    pump.Drain();
    PostClick(Ctl(controls::cbGuncel));
    PressKey(VK_SPACE);
    RECT first{};  // the first page's tab: the run would then move the window on from there
    ::SendMessageW(Ctl(controls::cxPage), TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first));
    const LPARAM at = MAKELPARAM((first.left + first.right) / 2, (first.top + first.bottom) / 2);
    ::PostMessageW(Ctl(controls::cxPage), WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageW(Ctl(controls::cxPage), WM_LBUTTONUP, 0, at);
    HWND memo = Ctl(controls::Memo1);
    EXPECT_TRUE(pump.Until(
        [&] { return TextOf(memo).find(L"K\u0131sayollar olu\u015fturuldu.") != std::wstring::npos; }));
    EXPECT_TRUE(runs->Running());
    EXPECT_TRUE(services.Busy());
    HWND busy = ::FindWindowExW(window->Handle(), nullptr, PROGRESS_CLASSW, nullptr);
    EXPECT_TRUE(busy && ::IsWindowVisible(busy));

    gate.Open();
    ASSERT_TRUE(pump.Until([&] { return !runs->Running(); }));
    pump.Drain();
    EXPECT_EQ(processes.opened.size(), 1u);
    EXPECT_EQ(form.ActivePage(controls::cxPage), 2);
    EXPECT_TRUE(form.Checked(controls::cbGuncel));
    EXPECT_TRUE(IsChecked(Ctl(controls::cbGuncel)));
    EXPECT_TRUE(::IsWindow(window->Handle()));
    EXPECT_FALSE(services.Busy());
    EXPECT_FALSE(::IsWindowVisible(busy));
}

TEST_F(WizardWindowTest, CloseDuringARunWaitsForItsEnd) {
    Open();
    processes.onOpen = [&](const std::string&) { gate.Wait(); };
    form.SetActivePage(controls::cxPage, 1);
    HWND hwnd = window->Handle();
    ASSERT_TRUE(runs->Press(controls::Button1));
    ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
    pump.Drain();
    EXPECT_TRUE(::IsWindow(hwnd));
    gate.Open();
    EXPECT_TRUE(pump.Until([&] { return !::IsWindow(hwnd); }));
    EXPECT_EQ(form.ActivePage(controls::cxPage), 2) << "the run ended before the close";
}
