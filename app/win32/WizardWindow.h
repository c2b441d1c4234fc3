#pragma once
// The wizard window in native Win32 controls, built from the window definition: the form, the
// title label, the page control with its four pages and the controls on them. It mirrors the
// form model into the controls, writes the user's input back into the model and hands clicks
// to the handler runner, which runs the handlers on a worker. While a run goes on the window
// keeps painting and mirroring the model, shows the wait cursor and a busy bar beside the page
// tabs, drops the user's clicks and keys (never replayed) and holds a close until the run
// ends. It never decides anything itself.
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/FormModel.h"
#include "app/HandlerRunner.h"
#include "app/Kurdb.h"
#include "app/win32/Fonts.h"

namespace kurdb::win32 {

class Win32FormHost;

// Class name of the wizard's main window.
inline constexpr wchar_t kWizardWindowClass[] = L"TFFirmaDB";

class WizardWindow {
public:
    // Creates the window, hidden, at its designed place and size scaled to the screen's DPI,
    // with every control showing the model's current state. Throws EPlatformError when a
    // window cannot be created.
    // `runs` runs the handlers and brings the worker's changes to this thread.
    WizardWindow(FormModel& form, HandlerRunner& runs, Win32FormHost& host, HINSTANCE instance);
    // Destroys the window if it still exists.
    ~WizardWindow();
    WizardWindow(const WizardWindow&) = delete;
    WizardWindow& operator=(const WizardWindow&) = delete;

    // The main window; null once it has been destroyed.
    HWND Handle() const { return hwnd_; }
    // The window of a control: the group box of a radio group, the page window of a page;
    // null for an invisible action button, an unknown name or after destruction.
    HWND Control(std::string_view name) const;
    // The window of an item of a radio group, or null.
    HWND RadioItem(std::string_view name, int item) const;
    // The DPI the window is laid out for.
    int Dpi() const { return dpi_; }

    // Shows the window and puts the focus on the first control of the shown page.
    void Show(int showCommand);

    // The message loop's keyboard handling, called for every message before it is dispatched:
    // Ctrl+Tab / Ctrl+Shift+Tab change the page, Enter presses a focused button, and the dialog
    // manager handles Tab, arrows and access keys. While a run goes on, the window's mouse and
    // keyboard input is consumed unhandled. True when the message was consumed.
    bool PreTranslate(MSG& msg);

private:
    struct Widget {
        const ControlDef* def = nullptr;
        HWND hwnd = nullptr;
        HWND parent = nullptr;
        std::vector<HWND> items;  // radio buttons of a radio group
    };

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK TabSubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                            DWORD_PTR self);
    static LRESULT CALLBACK MemoSubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                             DWORD_PTR self);
    static void RegisterClasses(HINSTANCE instance);

    LRESULT FormMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT PageMessage(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);
    bool CommonMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

    void CreateControls(HINSTANCE instance);
    std::vector<const ControlDef*> CreationOrder() const;
    void CreateControl(const ControlDef& def, HINSTANCE instance, HDC measure);
    std::vector<HWND> CreateRadioItems(const ControlDef& def, const RECT& box, DWORD visible, HWND parent,
                                       HINSTANCE instance, HFONT font, HDC measure);
    void ApplyFonts();
    void Layout();
    void PlacePages(RECT pageControl);
    RECT LabelRect(const ControlDef& def, HDC measure);
    void LayoutLabel(const Widget& w);
    std::vector<RECT> RadioItemRects(const ControlDef& def, const RECT& box, int textHeight) const;
    void LayoutRadioGroup(const Widget& w);
    void ApplyDpi(int dpi, const RECT* suggested);

    // Model -> controls: one function per property, named as on the Qt side.
    void Mirror(const std::string& control, Property what);
    void MirrorText(const Widget& w);
    void MirrorChecked(const Widget& w);
    void MirrorItemIndex(const Widget& w);
    void MirrorVisible(const Widget& w);
    void ShowActivePage();
    void MirrorLines(const Widget& w);
    void MirrorInitialState(const Widget& w);

    // Controls -> model and controller.
    void OnCommand(HWND control, int code);
    void OnUserSelectedPage(int index);
    void SelectNextPage(bool forward);
    void KeepFocusOnShownPage();
    void OnDestroyed();
    void ShowRun(bool running);
    void PlaceBusyBar();

    Widget* Find(std::string_view name);
    const Widget* Find(std::string_view name) const;
    Widget* WidgetOf(HWND hwnd, int* item);
    HWND FirstTabStop(HWND container) const;
    HWND InitialFocus() const;

    FormModel& form_;
    HandlerRunner& runs_;
    Win32FormHost& host_;
    const ControlDef& formDef_;
    std::string pageControl_;  // name of the page control
    HWND hwnd_ = nullptr;
    HWND tabs_ = nullptr;
    HWND busy_ = nullptr;       // the busy bar, shown while a run goes on
    HWND lastFocus_ = nullptr;  // restored when the window is activated again
    int dpi_ = 96;
    FontSet fonts_;
    std::vector<Widget> widgets_;
    std::map<std::string, std::size_t, std::less<>> byName_;
    std::vector<HWND> pages_;              // page windows in tab order
    bool mirroring_ = false;               // true while the model is copied into the controls
    std::shared_ptr<WizardWindow*> self_;  // lets the model's listener outlive the window safely
};

}  // namespace kurdb::win32
