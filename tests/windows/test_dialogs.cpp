// The confirmation dialog and the error box, driven the way a user answers them: a thread timer
// polls for the dialog while it runs modally, reads it and presses a key.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "WinTestSupport.h"
#include "app/win32/ConfirmDialog.h"
#include "app/win32/WindowServices.h"

using namespace kurdb::win32;
using namespace kurdb::win32::test;

namespace {

// What the user sees in a dialog, and the key with which they answer it.
struct DialogVisit {
    DialogVisit(std::wstring cls, std::wstring caption, std::function<void(HWND)> answerWith)
        : className(std::move(cls)), title(std::move(caption)), answer(std::move(answerWith)) {}

    std::wstring className;  // class of the dialog window to wait for
    std::wstring title;
    std::function<void(HWND dialog)> answer;

    bool found = false;
    std::wstring yesText, noText, bodyText;
    HWND focus = nullptr;
    HWND yes = nullptr;
    bool hasIcon = false;
    RECT rect{};
    LRESULT defaultId = 0;
};

DialogVisit* g_visit = nullptr;
UINT_PTR g_timer = 0;

// Collects the texts of the static controls of a dialog, skipping its icon.
std::wstring StaticTexts(HWND dialog) {
    std::wstring all;
    for (HWND child : ChildrenInZOrder(dialog)) {
        wchar_t cls[32] = {};
        ::GetClassNameW(child, cls, 32);
        if (::lstrcmpiW(cls, L"Static") == 0) all += TextOf(child);
    }
    return all;
}

void CALLBACK Poll(HWND, UINT, UINT_PTR, DWORD) {
    DialogVisit& v = *g_visit;
    HWND dialog = ::FindWindowW(v.className.c_str(), v.title.c_str());
    if (!dialog || !::IsWindowVisible(dialog)) return;
    ::KillTimer(nullptr, g_timer);
    v.found = true;
    v.yes = ::GetDlgItem(dialog, IDYES);
    if (HWND yes = v.yes) v.yesText = TextOf(yes);
    if (HWND no = ::GetDlgItem(dialog, IDNO)) v.noText = TextOf(no);
    v.bodyText = StaticTexts(dialog);
    v.focus = ::GetFocus();
    if (HWND icon = ::GetDlgItem(dialog, kConfirmIconId))
        v.hasIcon = ::SendMessageW(icon, STM_GETICON, 0, 0) != 0;
    ::GetWindowRect(dialog, &v.rect);
    v.defaultId = ::SendMessageW(dialog, DM_GETDEFID, 0, 0);
    v.answer(dialog);
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

// A key pressed on the dialog's focused control, as the dialog's own loop receives it.
std::function<void(HWND)> Press(WPARAM key) {
    return [key](HWND dialog) {
        HWND target = ::GetFocus();
        if (!target || !::IsChild(dialog, target)) target = dialog;
        ::PostMessageW(target, WM_KEYDOWN, key, 1);
        ::PostMessageW(target, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001));
    };
}

std::function<void(HWND)> Type(wchar_t c) {
    return [c](HWND dialog) {
        HWND target = ::GetFocus();
        if (!target || !::IsChild(dialog, target)) target = dialog;
        ::PostMessageW(target, WM_CHAR, c, 1);
    };
}

DialogVisit ConfirmVisit(std::function<void(HWND)> answer) {
    return DialogVisit{L"#32770", kConfirmTitle, std::move(answer)};
}

const std::string kQuestion = "Firmalar Veritaban\xc4\xb1 olu\xc5\x9fturulsun mu?";
const std::wstring kQuestionWide = L"Firmalar Veritaban\u0131 olu\u015fturulsun mu?";

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&icc);
    }
    WindowServices services;
};

}  // namespace

TEST_F(DialogTest, ConfirmShowsTurkishButtonsAndEscapeAnswersNo) {
    DialogVisit visit = ConfirmVisit(Press(VK_ESCAPE));
    const bool answer = Visit(visit, [&] { return services.Confirm(kQuestion); });
    ASSERT_TRUE(visit.found) << "no window titled Onay appeared";
    EXPECT_FALSE(answer);
    EXPECT_EQ(visit.yesText, L"&Evet");
    EXPECT_EQ(visit.noText, L"&Hay\u0131r");
    EXPECT_EQ(visit.bodyText, kQuestionWide);
    EXPECT_TRUE(visit.hasIcon) << "question icon";
    EXPECT_EQ(visit.focus, visit.yes) << "\"&Evet\" starts with the focus";
    EXPECT_EQ(LOWORD(visit.defaultId), IDYES);
    EXPECT_EQ(HIWORD(visit.defaultId), DC_HASDEFID);
}

TEST_F(DialogTest, ConfirmEnterAnswersYes) {
    DialogVisit visit = ConfirmVisit(Press(VK_RETURN));
    const bool answer = Visit(visit, [&] { return services.Confirm(kQuestion); });
    ASSERT_TRUE(visit.found);
    EXPECT_TRUE(answer);
}

TEST_F(DialogTest, ConfirmCloseBoxAnswersNo) {
    DialogVisit visit = ConfirmVisit([](HWND dialog) { ::PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); });
    const bool answer = Visit(visit, [&] { return services.Confirm(kQuestion); });
    ASSERT_TRUE(visit.found);
    EXPECT_FALSE(answer);
}

TEST_F(DialogTest, ConfirmAccessKeysAnswer) {
    DialogVisit no = ConfirmVisit(Type(L'h'));
    EXPECT_FALSE(Visit(no, [&] { return services.Confirm(kQuestion); }));
    ASSERT_TRUE(no.found);
    DialogVisit yes = ConfirmVisit(Type(L'e'));
    EXPECT_TRUE(Visit(yes, [&] { return services.Confirm(kQuestion); }));
    ASSERT_TRUE(yes.found);
}

TEST_F(DialogTest, ConfirmIsCentredOnTheScreen) {
    DialogVisit visit = ConfirmVisit(Press(VK_ESCAPE));
    Visit(visit, [&] { return services.Confirm(kQuestion); });
    ASSERT_TRUE(visit.found);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromRect(&visit.rect, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& screen = monitor.rcMonitor;
    EXPECT_LE(std::abs((visit.rect.left + visit.rect.right) - (screen.left + screen.right)), 1);
    EXPECT_LE(std::abs((visit.rect.top + visit.rect.bottom) - (screen.top + screen.bottom)), 1);
}

TEST_F(DialogTest, ErrorBoxShowsTextAndCaption) {
    DialogVisit visit{L"#32770", L"Kurdb", Press(VK_RETURN)};
    const int done = Visit(visit, [&] {
        services.ShowError("Ba\xc4\x9flant\xc4\xb1 kurulamad\xc4\xb1.", "Kurdb");
        return 1;
    });
    EXPECT_EQ(done, 1);
    ASSERT_TRUE(visit.found) << "no error box titled Kurdb appeared";
    EXPECT_NE(visit.bodyText.find(L"Ba\u011flant\u0131 kurulamad\u0131."), std::wstring::npos)
        << "shown: " << std::string(visit.bodyText.begin(), visit.bodyText.end());
}
