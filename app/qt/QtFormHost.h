#pragma once
// The form host of the Qt front end: the confirmation dialog, the error box, the busy
// cursor and closing the window.
#include <QPointer>
#include <QWidget>

#include "app/FormHost.h"

namespace kurdb::qt {

class QtFormHost final : public IFormHost {
public:
    // The window that CloseWindow closes and that the error box is modal over. Until it is set
    // (an error while the program is put together), the error box has no owner.
    void SetWindow(QWidget* window) { window_ = window; }

    // Question icon, title "Onay", "&Evet" (default, Enter) and "&Hayır" (Esc), centred on the
    // screen of the window. True only when "&Evet" was pressed.
    bool Confirm(const std::string& question) override;
    // Critical (stop) icon, one OK button, application modal.
    void ShowError(const std::string& text, const std::string& caption) override;
    // The wait cursor over the whole application while busy; calls nest.
    void SetBusy(bool busy) override;
    // Closes the window; the last window closed ends the message loop.
    void CloseWindow() override;

private:
    QPointer<QWidget> window_;
    int busyDepth_ = 0;
};

}  // namespace kurdb::qt
