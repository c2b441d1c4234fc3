#include "app/win32/WizardWindow.h"

#include <commctrl.h>

#include <algorithm>
#include "base/Exception.h"
#include "base/Text.h"

#include "app/ErrorBox.h"
#include "app/win32/ControlIds.h"
#include "app/win32/Dpi.h"
#include "app/win32/Gdi.h"
#include "app/win32/Win32FormHost.h"
#include "shell/win32/WideString.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace kurdb::win32 {
namespace {

constexpr wchar_t kPageClass[] = L"TcxTabSheet";
constexpr UINT_PTR kSubclassId = 1;
// Posted by the handler runner's waker: work from the worker waits for this thread.
constexpr UINT kRunPendingMessage = WM_APP + 1;

// The input a run drops: the client area's mouse and every key.
bool IsUserInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
}

// Sets a flag for the lifetime of a scope and restores it afterwards (nesting keeps it set).
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = old_; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
    bool old_;
};

std::wstring WindowText(HWND hwnd) {
    const int length = ::GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return text;
}

// The memo shows the model's lines separated by CR LF, the edit control's own line break.
std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i) text += "\r\n";
        text += lines[i];
    }
    return text;
}

// The model's lines of the memo's text: every line the edit control shows, also the empty one
// after a final break.
std::vector<std::string> MemoLines(std::string_view text) {
    std::vector<std::string> lines;
    for (const kurdb::text::TextLine& line :
         kurdb::text::SplitLines(text, kurdb::text::LineBreaks::Any, kurdb::text::FinalBreak::OpensLine))
        lines.emplace_back(line.text);
    return lines;
}

RECT ScaledRect(const ControlDef& def, int dpi) {
    const int left = Scale(def.left, dpi);
    const int top = Scale(def.top, dpi);
    return RECT{left, top, left + Scale(def.width, dpi), top + Scale(def.height, dpi)};
}

// The character cell height of a font, tmHeight.
int TextHeight(HDC dc, HFONT font) {
    const ScopedSelectObject selected(dc, font);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    return metrics.tmHeight;
}

void Move(HWND hwnd, const RECT& r) {
    ::MoveWindow(hwnd, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

void SetStyle(HWND hwnd, LONG_PTR style, bool on) {
    const LONG_PTR old = ::GetWindowLongPtrW(hwnd, GWL_STYLE);
    const LONG_PTR now = on ? (old | style) : (old & ~style);
    if (now != old) ::SetWindowLongPtrW(hwnd, GWL_STYLE, now);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Creation

WizardWindow::WizardWindow(FormModel& form, HandlerRunner& runs, Win32FormHost& host, HINSTANCE instance)
    : form_(form),
      runs_(runs),
      host_(host),
      formDef_(form.Definition().Form()),
      dpi_(SystemDpi()),
      fonts_(formDef_, dpi_),
      self_(std::make_shared<WizardWindow*>(this)) {
    RegisterClasses(instance);
    for (const ControlDef& c : form_.Definition().Controls())
        if (c.kind == ControlKind::PageControl) {
            pageControl_ = c.name;
            break;
        }

    const std::wstring caption = Wide(form_.Text(formDef_.name));
    // The definition gives the outer frame; its place and size are design pixels.
    ::CreateWindowExW(0, kWizardWindowClass, caption.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                      Scale(formDef_.left, dpi_), Scale(formDef_.top, dpi_), Scale(formDef_.width, dpi_),
                      Scale(formDef_.height, dpi_), nullptr, nullptr, instance, this);
    if (!hwnd_) throw EPlatformError("Cannot create the wizard window");
    try {
        // A per-monitor aware window on a monitor whose DPI differs from the primary one.
        const int windowDpi = DpiForWindow(hwnd_);
        if (windowDpi != dpi_) {
            dpi_ = windowDpi;
            fonts_ = FontSet(formDef_, dpi_);
            ::SetWindowPos(hwnd_, nullptr, 0, 0, Scale(formDef_.width, dpi_), Scale(formDef_.height, dpi_),
                           SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        CreateControls(instance);
    } catch (...) {
        ::DestroyWindow(hwnd_);
        throw;
    }

    std::weak_ptr<WizardWindow*> weak = self_;
    runs_.Subscribe(form_, [weak](const std::string& control, Property what) {
        if (const auto self = weak.lock()) (*self)->Mirror(control, what);
    });
    runs_.SetWaker([hwnd = hwnd_] { ::PostMessageW(hwnd, kRunPendingMessage, 0, 0); });
    runs_.SetRunListener([weak](bool running) {
        if (const auto self = weak.lock()) (*self)->ShowRun(running);
    });
}

WizardWindow::~WizardWindow() {
    runs_.SetRunListener(nullptr);
    runs_.SetWaker(nullptr);
    if (host_.Busy()) host_.SetBusy(false);
    self_.reset();
    if (hwnd_) ::DestroyWindow(hwnd_);
}

void WizardWindow::RegisterClasses(HINSTANCE instance) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (::GetClassInfoExW(instance, kWizardWindowClass, &existing)) return;

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWizardWindowClass;
    if (!::RegisterClassExW(&wc)) throw EPlatformError("Cannot register the window class");

    wc.hIcon = nullptr;
    wc.lpszClassName = kPageClass;
    if (!::RegisterClassExW(&wc)) throw EPlatformError("Cannot register the page class");
}

// Every control is made once, in its final place, stacking and font: under Wine each later
// move, restack or repaint of a control is a round trip to the server before the window can
// show. Text is measured on a memory DC, which gives the same extents as a control's own DC.
void WizardWindow::CreateControls(HINSTANCE instance) {
    FlagScope scope(mirroring_);
    const ScopedMemoryDC measure;
    for (const ControlDef* def : CreationOrder()) CreateControl(*def, instance, measure.Get());
    busy_ = ::CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | PBS_MARQUEE, 0, 0, 0, 0, hwnd_, nullptr,
                              instance, nullptr);
    PlaceBusyBar();
    ShowActivePage();
}

// Beside the tabs, at the right end of the strip, where four captions leave room.
void WizardWindow::PlaceBusyBar() {
    if (!busy_ || !tabs_) return;
    RECT strip;
    ::GetWindowRect(tabs_, &strip);
    ::MapWindowPoints(HWND_DESKTOP, hwnd_, reinterpret_cast<POINT*>(&strip), 2);
    const int width = Scale(120, dpi_), height = Scale(12, dpi_);
    ::MoveWindow(busy_, strip.right - width - Scale(4, dpi_), strip.top + Scale(5, dpi_), width, height,
                 FALSE);
}

void WizardWindow::ShowRun(bool running) {
    host_.SetBusy(running);
    if (!busy_) return;
    ::SendMessageW(busy_, PBM_SETMARQUEE, running ? TRUE : FALSE, 30);
    // Above the page control, which was made before it and so lies above it.
    ::SetWindowPos(busy_, HWND_TOP, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | (running ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

// A child window made later lies below the ones made before it, so the order of creation is the
// z-order, which the dialog manager walks as the tab order: within every parent the tab stops
// come first, in the definition's tab order, then the other controls; a radio group's buttons
// lie above its box (see CreateControl). The pages come first of all, above the page control,
// so that it never paints over them; since the pages hold the only other tab stops, Tab still
// cycles from the tab strip through the shown page and back.
std::vector<const ControlDef*> WizardWindow::CreationOrder() const {
    const WindowDef& def = form_.Definition();
    const std::vector<const ControlDef*> pages = def.PagesOf(pageControl_);
    std::vector<const ControlDef*> order = pages;
    auto addChildren = [&](const std::string& parent) {
        for (const ControlDef* c : def.TabOrderOf(parent))
            if (c->kind != ControlKind::Page) order.push_back(c);
        for (const ControlDef* c : def.ChildrenOf(parent))
            if (c->tabOrder < 0 && c->kind != ControlKind::Page && c->kind != ControlKind::Action)
                order.push_back(c);
    };
    addChildren(formDef_.name);
    for (const ControlDef* page : pages) addChildren(page->name);
    // Controls of any other parent follow in definition order, after their parents.
    for (const ControlDef& c : def.Controls())
        if (c.kind != ControlKind::Form && c.kind != ControlKind::Action &&
            std::find(order.begin(), order.end(), &c) == order.end())
            order.push_back(&c);
    return order;
}

void WizardWindow::CreateControl(const ControlDef& def, HINSTANCE instance, HDC measure) {
    Widget w;
    w.def = &def;
    // Pages lie beside the page control, over its display area, so that the dialog manager
    // walks into them (WS_EX_CONTROLPARENT) while the tab strip stays a tab stop of its own.
    if (def.kind == ControlKind::Page || def.parent == formDef_.name) {
        w.parent = hwnd_;
    } else {
        const Widget* parent = Find(def.parent);
        if (!parent) throw EPlatformError("No parent window for " + def.name);
        w.parent = parent->hwnd;
    }
    const auto id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(form_.Definition(), def.name)));
    const bool shown = def.kind == ControlKind::Page
                           ? static_cast<int>(pages_.size()) == form_.ActivePage(pageControl_)
                           : form_.Visible(def.name);
    const DWORD visible = shown ? WS_VISIBLE : 0;
    const std::wstring text = def.kind == ControlKind::Memo ? std::wstring() : Wide(form_.Text(def.name));
    const HFONT font = fonts_.For(def.font);
    // Pages are placed by the page control, which is made after them.
    RECT r = def.kind == ControlKind::Page ? RECT{} : ScaledRect(def, dpi_);

    const wchar_t* className = WC_BUTTONW;
    DWORD style = WS_CHILD | visible | WS_GROUP;
    DWORD exStyle = 0;
    switch (def.kind) {
        case ControlKind::Label:
            className = WC_STATICW;
            style |= def.centred ? SS_CENTER : SS_LEFTNOWORDWRAP;
            r = LabelRect(def, measure);
            break;
        case ControlKind::PageControl:
            className = WC_TABCONTROLW;
            style |= WS_TABSTOP | WS_CLIPSIBLINGS;
            break;
        case ControlKind::Page:
            className = kPageClass;
            style = WS_CHILD | visible | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;  // the active one shown
            exStyle = WS_EX_CONTROLPARENT;
            break;
        case ControlKind::Edit:
            className = WC_EDITW;
            style |= WS_TABSTOP | ES_AUTOHSCROLL | (def.password ? ES_PASSWORD : 0);
            exStyle = WS_EX_CLIENTEDGE;
            break;
        case ControlKind::Memo:
            className = WC_EDITW;
            style |= WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL |
                     ES_WANTRETURN | ES_NOHIDESEL;
            exStyle = WS_EX_CLIENTEDGE;
            break;
        case ControlKind::RadioGroup:
            // The group box lies below its radio buttons, clipped by them. It paints only its
            // frame and caption: WS_EX_TRANSPARENT lets the page, which clips its children,
            // paint the box's inside.
            style |= BS_GROUPBOX | WS_CLIPSIBLINGS;
            exStyle = WS_EX_TRANSPARENT;
            w.items = CreateRadioItems(def, r, visible, w.parent, instance, font, measure);
            break;
        case ControlKind::CheckBox:
            style |= WS_TABSTOP | BS_AUTOCHECKBOX;
            break;
        case ControlKind::Button:
            style |= WS_TABSTOP | BS_PUSHBUTTON;
            break;
        case ControlKind::Form:
        case ControlKind::Action:
            return;
    }
    w.hwnd = ::CreateWindowExW(exStyle, className, text.c_str(), style, r.left, r.top, r.right - r.left,
                               r.bottom - r.top, w.parent, id, instance, this);
    if (!w.hwnd) throw EPlatformError("Cannot create the control " + def.name);
    // Not shown yet: nothing to repaint.
    ::SendMessageW(w.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

    switch (def.kind) {
        case ControlKind::PageControl: {
            tabs_ = w.hwnd;
            ::SetWindowSubclass(tabs_, TabSubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
            int index = 0;
            for (const ControlDef* page : form_.Definition().PagesOf(def.name)) {
                std::wstring caption = Wide(form_.Text(page->name));
                TCITEMW item{};
                item.mask = TCIF_TEXT;
                item.pszText = caption.data();
                ::SendMessageW(tabs_, TCM_INSERTITEMW, static_cast<WPARAM>(index++),
                               reinterpret_cast<LPARAM>(&item));
            }
            PlacePages(r);
            break;
        }
        case ControlKind::Page:
            pages_.push_back(w.hwnd);
            break;
        case ControlKind::Edit:
            // The definition asks for "*"; visual styles would show a dot.
            if (def.password) ::SendMessageW(w.hwnd, EM_SETPASSWORDCHAR, L'*', 0);
            break;
        case ControlKind::Memo:
            ::SendMessageW(w.hwnd, EM_SETLIMITTEXT, 0, 0);  // the log may outgrow the 32K default
            ::SetWindowSubclass(w.hwnd, MemoSubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
            break;
        default:
            break;
    }
    MirrorInitialState(w);
    byName_.emplace(def.name, widgets_.size());
    widgets_.push_back(std::move(w));
}

// The buttons of a radio group, made before its box so that they lie above it, in their places
// inside it and with the selected one as the group's tab stop.
std::vector<HWND> WizardWindow::CreateRadioItems(const ControlDef& def, const RECT& box, DWORD visible,
                                                 HWND parent, HINSTANCE instance, HFONT font, HDC measure) {
    const std::vector<RECT> places = RadioItemRects(def, box, TextHeight(measure, font));
    const int selected = form_.ItemIndex(def.name);
    std::vector<HWND> items;
    for (std::size_t i = 0; i < def.items.size(); ++i) {
        const int itemId = RadioItemId(form_.Definition(), def.name, static_cast<int>(i));
        // WS_GROUP on the first radio button starts the group that the arrow keys walk. Only the
        // selected button is a tab stop: Tab must not land on (and so select) another.
        const bool tabStop = static_cast<int>(i) == selected || (selected < 0 && i == 0);
        const DWORD itemStyle =
            WS_CHILD | visible | BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP : 0) | (tabStop ? WS_TABSTOP : 0);
        const RECT& r = places[i];
        HWND radio =
            ::CreateWindowExW(0, WC_BUTTONW, Wide(def.items[i]).c_str(), itemStyle, r.left, r.top,
                              r.right - r.left, r.bottom - r.top, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(itemId)), instance, nullptr);
        if (!radio) throw EPlatformError("Cannot create the radio button " + def.items[i]);
        ::SendMessageW(radio, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        items.push_back(radio);
    }
    return items;
}

void WizardWindow::ApplyFonts() {
    for (const Widget& w : widgets_) {
        const auto font = reinterpret_cast<WPARAM>(fonts_.For(w.def->font));
        ::SendMessageW(w.hwnd, WM_SETFONT, font, TRUE);
        for (HWND radio : w.items) ::SendMessageW(radio, WM_SETFONT, font, TRUE);
    }
}

// ---------------------------------------------------------------------------------------------
// Layout: definition geometry scaled to the window's DPI

void WizardWindow::Layout() {
    for (const Widget& w : widgets_) {
        switch (w.def->kind) {
            case ControlKind::Page:
                break;  // placed with the page control
            case ControlKind::Label:
                LayoutLabel(w);
                break;
            case ControlKind::RadioGroup:
                LayoutRadioGroup(w);
                break;
            case ControlKind::PageControl: {
                const RECT r = ScaledRect(*w.def, dpi_);
                Move(w.hwnd, r);
                PlacePages(r);
                break;
            }
            default:
                Move(w.hwnd, ScaledRect(*w.def, dpi_));
                break;
        }
    }
}

// The pages cover the page control's display area, which depends on the strip's font and items.
void WizardWindow::PlacePages(RECT pageControl) {
    ::SendMessageW(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&pageControl));
    for (HWND page : pages_) Move(page, pageControl);
}

// Labels size themselves to their text, as the designer's labels did; a centred label keeps
// its width so that the text stays centred on the window.
RECT WizardWindow::LabelRect(const ControlDef& def, HDC measure) {
    RECT r = ScaledRect(def, dpi_);
    if (!def.centred) {
        const std::wstring text = Wide(StripAccessKey(form_.Text(def.name)));
        const ScopedSelectObject selected(measure, fonts_.For(def.font));
        SIZE extent{};
        ::GetTextExtentPoint32W(measure, text.c_str(), static_cast<int>(text.size()), &extent);
        r.right = std::max<LONG>(r.right, r.left + extent.cx);
        r.bottom = std::max<LONG>(r.bottom, r.top + extent.cy);
    }
    return r;
}

void WizardWindow::LayoutLabel(const Widget& w) {
    const ScopedMemoryDC measure;
    Move(w.hwnd, LabelRect(*w.def, measure.Get()));
}

// The radio buttons fill the box below its caption: items run down each column, the columns
// share the width.
std::vector<RECT> WizardWindow::RadioItemRects(const ControlDef& def, const RECT& box, int textHeight) const {
    std::vector<RECT> places;
    const int count = static_cast<int>(def.items.size());
    if (count == 0) return places;
    const int columns = std::clamp(def.columns, 1, count);
    const int perColumn = (count + columns - 1) / columns;
    const int buttonWidth = (box.right - box.left - Scale(10, dpi_)) / columns;
    const int room = std::max(0, static_cast<int>(box.bottom - box.top - textHeight - Scale(5, dpi_)));
    const int buttonHeight = room / perColumn;
    const int topMargin = textHeight + 1 + (room % perColumn) / 2;
    for (int i = 0; i < count; ++i) {
        const int left = box.left + (i / perColumn) * buttonWidth + Scale(8, dpi_);
        const int top = box.top + (i % perColumn) * buttonHeight + topMargin;
        places.push_back(RECT{left, top, left + buttonWidth, top + buttonHeight});
    }
    return places;
}

void WizardWindow::LayoutRadioGroup(const Widget& w) {
    const RECT box = ScaledRect(*w.def, dpi_);
    Move(w.hwnd, box);
    const ScopedMemoryDC measure;
    const std::vector<RECT> places =
        RadioItemRects(*w.def, box, TextHeight(measure.Get(), fonts_.For(w.def->font)));
    for (std::size_t i = 0; i < w.items.size() && i < places.size(); ++i) Move(w.items[i], places[i]);
}

void WizardWindow::ApplyDpi(int dpi, const RECT* suggested) {
    // The old fonts stay alive until every control has switched to the new ones.
    FontSet old = std::move(fonts_);
    dpi_ = dpi;
    fonts_ = FontSet(formDef_, dpi_);
    ApplyFonts();
    if (suggested)
        ::SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                       suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    Layout();
    PlaceBusyBar();
}

// ---------------------------------------------------------------------------------------------
// Model -> controls

// The model's state that a control does not take at its creation (which gives it its text,
// visibility, place and font). A new button is unchecked and a new edit empty, so only what
// differs is sent: under Wine a button's BM_SETCHECK rewrites its style through the server.
void WizardWindow::MirrorInitialState(const Widget& w) {
    switch (w.def->kind) {
        case ControlKind::CheckBox:
            MirrorChecked(w);
            break;
        case ControlKind::RadioGroup:
            MirrorItemIndex(w);
            break;
        case ControlKind::Memo:
            MirrorLines(w);
            break;
        default:
            break;
    }
}

void WizardWindow::MirrorChecked(const Widget& w) {
    const WPARAM wanted = form_.Checked(w.def->name) ? BST_CHECKED : BST_UNCHECKED;
    if (static_cast<WPARAM>(::SendMessageW(w.hwnd, BM_GETCHECK, 0, 0)) != wanted)
        ::SendMessageW(w.hwnd, BM_SETCHECK, wanted, 0);
}

void WizardWindow::Mirror(const std::string& control, Property what) {
    if (!hwnd_) return;
    FlagScope scope(mirroring_);
    if (control == formDef_.name) {
        if (what == Property::Text) ::SetWindowTextW(hwnd_, Wide(form_.Text(control)).c_str());
        return;
    }
    const Widget* w = Find(control);
    if (!w) return;  // an invisible action button
    switch (what) {
        case Property::Text:
            MirrorText(*w);
            break;
        case Property::Checked:
            if (w->def->kind == ControlKind::CheckBox) MirrorChecked(*w);
            break;
        case Property::ItemIndex:
            MirrorItemIndex(*w);
            break;
        case Property::Visible:
            MirrorVisible(*w);
            break;
        case Property::ActivePage:
            ShowActivePage();
            break;
        case Property::Lines:
            MirrorLines(*w);
            break;
        case Property::Tag:
            break;  // the controller's own bookkeeping; nothing to show
    }
}

void WizardWindow::MirrorText(const Widget& w) {
    const std::wstring text = Wide(form_.Text(w.def->name));
    switch (w.def->kind) {
        case ControlKind::Memo:
            return;
        case ControlKind::Page: {
            const auto it = std::find(pages_.begin(), pages_.end(), w.hwnd);
            if (it == pages_.end()) return;
            std::wstring caption = text;
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = caption.data();
            ::SendMessageW(tabs_, TCM_SETITEMW, static_cast<WPARAM>(it - pages_.begin()),
                           reinterpret_cast<LPARAM>(&item));
            return;
        }
        default:
            if (WindowText(w.hwnd) == text) return;
            ::SetWindowTextW(w.hwnd, text.c_str());
            if (w.def->kind == ControlKind::Label) LayoutLabel(w);
            return;
    }
}

void WizardWindow::MirrorItemIndex(const Widget& w) {
    const int selected = form_.ItemIndex(w.def->name);
    for (std::size_t i = 0; i < w.items.size(); ++i) {
        const bool on = static_cast<int>(i) == selected;
        if ((::SendMessageW(w.items[i], BM_GETCHECK, 0, 0) == BST_CHECKED) != on)
            ::SendMessageW(w.items[i], BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
        // Only the selected button is a tab stop: Tab must not land on (and so select) another.
        SetStyle(w.items[i], WS_TABSTOP, on || (selected < 0 && i == 0));
    }
}

void WizardWindow::MirrorVisible(const Widget& w) {
    if (w.def->kind == ControlKind::Page) return;  // the tab control shows the active page only
    const int show = form_.Visible(w.def->name) ? SW_SHOW : SW_HIDE;
    ::ShowWindow(w.hwnd, show);
    for (HWND radio : w.items) ::ShowWindow(radio, show);
}

void WizardWindow::MirrorLines(const Widget& w) {
    const std::wstring wanted = Wide(JoinLines(form_.Lines(w.def->name)));
    const std::wstring shown = WindowText(w.hwnd);
    if (wanted == shown) return;
    if (wanted.compare(0, shown.size(), shown) == 0) {
        // New log lines: append at the end and scroll there, keeping what the user scrolled.
        const auto end = static_cast<WPARAM>(shown.size());
        ::SendMessageW(w.hwnd, EM_SETSEL, end, static_cast<LPARAM>(end));
        ::SendMessageW(w.hwnd, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(wanted.c_str() + shown.size()));
        ::SendMessageW(w.hwnd, EM_SCROLLCARET, 0, 0);
    } else {
        ::SetWindowTextW(w.hwnd, wanted.c_str());
    }
}

void WizardWindow::ShowActivePage() {
    if (!tabs_ || pageControl_.empty()) return;
    const int index = form_.ActivePage(pageControl_);
    if (index < 0 || index >= static_cast<int>(pages_.size())) return;
    FlagScope scope(mirroring_);
    if (::SendMessageW(tabs_, TCM_GETCURSEL, 0, 0) != index)
        ::SendMessageW(tabs_, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    // Show the new page before hiding the old one: the display area never shows through.
    ::ShowWindow(pages_[static_cast<std::size_t>(index)], SW_SHOW);
    for (std::size_t i = 0; i < pages_.size(); ++i)
        if (static_cast<int>(i) != index) ::ShowWindow(pages_[i], SW_HIDE);
    KeepFocusOnShownPage();
}

// ---------------------------------------------------------------------------------------------
// Controls -> model and controller

void WizardWindow::OnCommand(HWND control, int code) {
    if (mirroring_ || !hwnd_) return;
    int item = -1;
    const Widget* w = WidgetOf(control, &item);
    if (!w) return;
    // The handler may close the window, which clears the widgets: keep what is needed.
    const std::string name = w->def->name;
    switch (w->def->kind) {
        case ControlKind::Edit:
            if (code == EN_CHANGE) form_.SetText(name, Narrow(WindowText(control)));
            break;
        case ControlKind::Memo:
            if (code == EN_CHANGE) {
                const std::string text = Narrow(WindowText(control));
                if (JoinLines(form_.Lines(name)) != text) form_.SetLines(name, MemoLines(text));
            }
            break;
        case ControlKind::CheckBox:
            if (code == BN_CLICKED) {
                if (runs_.Running()) {  // a click that slipped through: show the model again
                    MirrorChecked(*w);
                    break;
                }
                form_.SetChecked(name, ::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED);
                runs_.Press(name);
            }
            break;
        case ControlKind::RadioGroup:
            if (code == BN_CLICKED && item >= 0) {
                int selected = -1;
                for (std::size_t i = 0; i < w->items.size(); ++i)
                    if (::SendMessageW(w->items[i], BM_GETCHECK, 0, 0) == BST_CHECKED)
                        selected = static_cast<int>(i);
                // Only a change of item is a click of the group, as with the designer's radio group.
                if (selected >= 0 && selected != form_.ItemIndex(name)) {
                    if (runs_.Running()) {
                        MirrorItemIndex(*w);
                        break;
                    }
                    form_.SetItemIndex(name, selected);
                    runs_.Press(name);
                }
            }
            break;
        case ControlKind::Button:
            if (code == BN_CLICKED) runs_.Press(name);
            break;
        default:
            break;
    }
}

void WizardWindow::OnUserSelectedPage(int index) {
    if (index < 0 || index >= static_cast<int>(pages_.size())) return;
    if (index != form_.ActivePage(pageControl_))
        form_.SetActivePage(pageControl_, index);  // mirrored back by ShowActivePage
    else
        ShowActivePage();
}

void WizardWindow::SelectNextPage(bool forward) {
    const int count = static_cast<int>(pages_.size());
    if (count == 0) return;
    const int current = form_.ActivePage(pageControl_);
    OnUserSelectedPage(((current + (forward ? 1 : -1)) % count + count) % count);
}

// A page that is hidden while it holds the focus would leave the keyboard on an invisible
// control: move the focus to the shown page's first control (or the tab strip).
void WizardWindow::KeepFocusOnShownPage() {
    if (lastFocus_ && !::IsWindowVisible(lastFocus_) && ::IsWindowVisible(hwnd_)) lastFocus_ = nullptr;
    HWND focus = ::GetFocus();
    if (!focus || focus == hwnd_ || !::IsChild(hwnd_, focus) || ::IsWindowVisible(focus)) return;
    const int index = form_.ActivePage(pageControl_);
    HWND target = index >= 0 && index < static_cast<int>(pages_.size())
                      ? FirstTabStop(pages_[static_cast<std::size_t>(index)])
                      : nullptr;
    ::SetFocus(target ? target : tabs_);
}

void WizardWindow::OnDestroyed() {
    hwnd_ = nullptr;
    tabs_ = nullptr;
    busy_ = nullptr;
    lastFocus_ = nullptr;
    widgets_.clear();
    byName_.clear();
    pages_.clear();
}

// ---------------------------------------------------------------------------------------------
// Showing and keyboard

void WizardWindow::Show(int showCommand) {
    ::ShowWindow(hwnd_, showCommand);
    ::UpdateWindow(hwnd_);
    if (HWND first = InitialFocus()) ::SetFocus(first);
}

// The first tab stop of the shown page ("Server Adı" on the first), so that what the user types
// first goes into it; else the first control in the form's tab order (the tab strip).
HWND WizardWindow::InitialFocus() const {
    const int index = form_.ActivePage(pageControl_);
    if (index >= 0 && index < static_cast<int>(pages_.size()))
        if (HWND first = FirstTabStop(pages_[static_cast<std::size_t>(index)])) return first;
    for (const ControlDef* c : form_.Definition().TabOrderOf(formDef_.name))
        if (const Widget* w = Find(c->name); w && ::IsWindowVisible(w->hwnd) && ::IsWindowEnabled(w->hwnd))
            return w->hwnd;
    return FirstTabStop(hwnd_);
}

bool WizardWindow::PreTranslate(MSG& msg) {
    if (!hwnd_ || !msg.hwnd || (msg.hwnd != hwnd_ && !::IsChild(hwnd_, msg.hwnd))) return false;
    // Dropped, not kept: a click given during a run must not land on what the run shows next.
    if (runs_.Running() && IsUserInput(msg.message)) return true;
    if (msg.message == WM_KEYDOWN) {
        const bool control = (::GetKeyState(VK_CONTROL) & 0x8000) != 0;
        if (msg.wParam == VK_TAB && control) {
            SelectNextPage((::GetKeyState(VK_SHIFT) & 0x8000) == 0);
            return true;
        }
        if (msg.wParam == VK_RETURN) {
            // A focused button takes Enter, as in the designer's forms (there is no default button).
            int item = -1;
            HWND focus = ::GetFocus();
            const Widget* w = WidgetOf(focus, &item);
            if (w && w->def->kind == ControlKind::Button) {
                OnCommand(focus, BN_CLICKED);
                return true;
            }
        }
    }
    return ::IsDialogMessageW(hwnd_, &msg) != FALSE;
}

// ---------------------------------------------------------------------------------------------
// Window procedures

// The one window procedure of the form and its pages: recovers the window object that
// CreateWindowExW handed over at WM_NCCREATE and passes the message to its member. An error may
// not unwind through the system's frames: it leaves through the error box, captioned with the
// application title, as the controller's own errors do.
LRESULT CALLBACK WizardWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    WizardWindow* self = nullptr;
    if (msg == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        self = static_cast<WizardWindow*>(create->lpCreateParams);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        if (!create->hwndParent) self->hwnd_ = hwnd;  // the form, the one top-level window
    } else {
        self = reinterpret_cast<WizardWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    try {
        return hwnd == self->hwnd_ ? self->FormMessage(msg, wParam, lParam)
                                   : self->PageMessage(hwnd, msg, wParam, lParam);
    } catch (const std::exception& e) {
        self->host_.ShowError(ErrorBoxText(e.what()), self->runs_.Controller().ApplicationTitle());
        return 0;
    }
}

LRESULT WizardWindow::FormMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND hwnd = hwnd_;
    LRESULT result = 0;
    if (CommonMessage(hwnd, msg, wParam, lParam, result)) return result;
    switch (msg) {
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->hwndFrom == tabs_ && header->code == static_cast<UINT>(TCN_SELCHANGE)) {
                OnUserSelectedPage(static_cast<int>(::SendMessageW(tabs_, TCM_GETCURSEL, 0, 0)));
                return 0;
            }
            break;
        }
        case WM_DPICHANGED:
            ApplyDpi(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = ::GetFocus();
                if (focus && ::IsChild(hwnd, focus)) lastFocus_ = focus;
            }
            break;  // the default activation focuses the window itself: WM_SETFOCUS below
        case WM_SETFOCUS: {
            HWND target = lastFocus_ && ::IsChild(hwnd, lastFocus_) && ::IsWindowVisible(lastFocus_)
                              ? lastFocus_
                              : InitialFocus();
            if (target) ::SetFocus(target);
            return 0;
        }
        case kRunPendingMessage:
            runs_.RunPending();
            return 0;
        case WM_CLOSE:
            // A close during a run is honoured when the run ends: the runner closes the window.
            if (runs_.HoldClose()) return 0;
            break;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY:
            OnDestroyed();
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT WizardWindow::PageMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (CommonMessage(hwnd, msg, wParam, lParam, result)) return result;
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

// What the form and its pages share: commands from the controls (a page's controls report to
// the page, the dialog manager's access keys report to the form) and the wait cursor.
bool WizardWindow::CommonMessage(HWND, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (msg) {
        case WM_COMMAND:
            if (lParam == 0) return false;  // menus, and IDOK/IDCANCEL from the dialog manager
            OnCommand(reinterpret_cast<HWND>(lParam), HIWORD(wParam));
            result = 0;
            return true;
        case WM_SETCURSOR:
            if (!host_.Busy()) return false;
            ::SetCursor(Win32FormHost::WaitCursor());
            result = TRUE;
            return true;
    }
    return false;
}

LRESULT CALLBACK WizardWindow::TabSubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                               DWORD_PTR data) {
    auto* self = reinterpret_cast<WizardWindow*>(data);
    switch (msg) {
        case TCM_SETCURSEL: {
            // A selection made from outside (accessibility tools, tests) sends no TCN_SELCHANGE.
            const LRESULT result = ::DefSubclassProc(hwnd, msg, wParam, lParam);
            if (!self->mirroring_)
                self->OnUserSelectedPage(static_cast<int>(::SendMessageW(hwnd, TCM_GETCURSEL, 0, 0)));
            return result;
        }
        case WM_NCDESTROY:
            ::RemoveWindowSubclass(hwnd, TabSubclassProc, kSubclassId);
            break;
    }
    return ::DefSubclassProc(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK WizardWindow::MemoSubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                                DWORD_PTR) {
    switch (msg) {
        case WM_GETDLGCODE: {
            // The log does not take Tab: Tab leaves it like any other control. Nor does the
            // dialog manager select all of it when Tab brings the focus: the caret stays where
            // the user left it, and a key does not replace the whole log.
            LRESULT code =
                ::DefSubclassProc(hwnd, msg, wParam, lParam) & ~static_cast<LRESULT>(DLGC_HASSETSEL);
            const auto* message = reinterpret_cast<const MSG*>(lParam);
            if (message && message->message == WM_KEYDOWN && message->wParam == VK_TAB)
                code &= ~static_cast<LRESULT>(DLGC_WANTTAB | DLGC_WANTALLKEYS | DLGC_WANTMESSAGE);
            return code;
        }
        case WM_NCDESTROY:
            ::RemoveWindowSubclass(hwnd, MemoSubclassProc, kSubclassId);
            break;
    }
    return ::DefSubclassProc(hwnd, msg, wParam, lParam);
}

// ---------------------------------------------------------------------------------------------
// Lookups

const WizardWindow::Widget* WizardWindow::Find(std::string_view name) const {
    const auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : &widgets_[it->second];
}

WizardWindow::Widget* WizardWindow::Find(std::string_view name) {
    const auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : &widgets_[it->second];
}

WizardWindow::Widget* WizardWindow::WidgetOf(HWND hwnd, int* item) {
    if (!hwnd) return nullptr;
    for (Widget& w : widgets_) {
        if (w.hwnd == hwnd) {
            *item = -1;
            return &w;
        }
        const auto it = std::find(w.items.begin(), w.items.end(), hwnd);
        if (it != w.items.end()) {
            *item = static_cast<int>(it - w.items.begin());
            return &w;
        }
    }
    return nullptr;
}

HWND WizardWindow::Control(std::string_view name) const {
    const Widget* w = Find(name);
    return w ? w->hwnd : nullptr;
}

HWND WizardWindow::RadioItem(std::string_view name, int item) const {
    const Widget* w = Find(name);
    if (!w || item < 0 || item >= static_cast<int>(w->items.size())) return nullptr;
    return w->items[static_cast<std::size_t>(item)];
}

// The first visible, enabled tab stop inside a window, walking into control parents as the
// dialog manager does.
HWND WizardWindow::FirstTabStop(HWND container) const {
    for (HWND child = ::GetWindow(container, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        const LONG_PTR style = ::GetWindowLongPtrW(child, GWL_STYLE);
        if (!(style & WS_VISIBLE) || (style & WS_DISABLED)) continue;
        if (::GetWindowLongPtrW(child, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) {
            if (HWND inner = FirstTabStop(child)) return inner;
        } else if (style & WS_TABSTOP) {
            return child;
        }
    }
    return nullptr;
}

}  // namespace kurdb::win32
