#pragma once
// The wizard window of the Qt front end. It builds one widget per control of the window
// definition, named after the control (object name = control name); action controls get none.
// It mirrors the form model into the widgets, writes the user's input back into the model
// (edit texts, check boxes, the radio group, the active page, the memo's lines) and forwards
// clicks and the radio group's selection to the handler runner, which runs the handlers on a
// worker. While a run goes on the window keeps painting and mirroring the model, shows the wait
// cursor and a busy bar beside the page tabs, drops the user's clicks and keys (they are never
// replayed) and holds a close until the run ends. It never decides anything itself.
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include <QString>
#include <QWidget>

class QGroupBox;
class QLabel;
class QProgressBar;

#include "app/FormModel.h"
#include "app/HandlerRunner.h"
#include "app/Kurdb.h"
#include "app/WindowDef.h"
#include "app/FormHost.h"

namespace kurdb::qt {

class WizardWindow final : public QWidget {
public:
    // Builds the widgets from form.Definition() with the model's current values, subscribes to
    // the model through `runs` and puts the focus on the first control of the shown page.
    // `host` is the front end's own form host: the wait cursor, and an error that should escape
    // the controller after all.
    WizardWindow(FormModel& form, HandlerRunner& runs, IFormHost& host, QWidget* parent = nullptr);
    ~WizardWindow() override;
    WizardWindow(const WizardWindow&) = delete;
    WizardWindow& operator=(const WizardWindow&) = delete;

    // The widget of a control: a page's widget for a page, nullptr for an action or an unknown
    // name.
    QWidget* Control(std::string_view name) const;
    // Sets the application's style to the one the window is drawn with (the password character
    // as on Windows). Call before the first widget exists; returns true.
    static bool PrepareApplicationStyle();
    // Object name of the radio button of item `index` of a radio group: "<group>_<index>".
    static QString RadioItemName(std::string_view group, int index);

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls(const ControlDef& parent, QWidget* into);
    QWidget* CreateControl(const ControlDef& c, QWidget* into);
    void CreateRadioItems(const ControlDef& c, QGroupBox* box);
    void LayoutRadioGroup(const ControlDef& c, QGroupBox* box);
    void LayoutLabel(const ControlDef& c, QLabel* label);
    void BuildTabOrder();
    // Model -> widgets: one function per property, named as on the Win32 side.
    void Mirror(const std::string& control, Property what);
    void MirrorText(const ControlDef& c, QWidget* w);
    void MirrorChecked(const ControlDef& c, QWidget* w);
    void MirrorItemIndex(const ControlDef& c, QWidget* w);
    void MirrorVisible(const ControlDef& c, QWidget* w);
    void ShowActivePage(const ControlDef& c, QWidget* w);
    void MirrorLines(const ControlDef& c, QWidget* w);
    void MirrorAll();
    void SelectRadioItem(const ControlDef& group, int index);
    void ClickControl(const std::string& control);
    void FitOuterFrame();
    void ShowRun(bool running);
    bool DropsDuringRun(QObject* watched, const QEvent* event) const;
    void FocusFirstControl();
    template <typename F>
    void Guarded(F&& body) noexcept;
    template <typename F>
    void WriteBack(F&& body) noexcept;

    FormModel& form_;
    HandlerRunner& runs_;
    IFormHost& host_;
    QProgressBar* busy_ = nullptr;  // shown while a run goes on
    bool busyShown_ = false;
    std::map<std::string, QWidget*, std::less<>> widgets_;
    // The model outlives the window but cannot forget a listener: the listener holds this token
    // weakly and does nothing once the window is gone.
    std::shared_ptr<WizardWindow*> token_;
    bool closing_ = false;
    bool mirroring_ = false;  // true while the model is copied into the widgets
    QSize designOuter_;
    QSize designClient_;
    bool frameFitted_ = false;
};

}  // namespace kurdb::qt
