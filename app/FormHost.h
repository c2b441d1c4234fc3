#pragma once
// The form's host: what the controller asks of the front end that shows its window, besides the
// form model: the two dialogs, the busy cursor and closing. Each front end implements it (Win32FormHost,
// QtFormHost); tests use a scripted fake.
#include <string>

namespace kurdb {

class IFormHost {
public:
    virtual ~IFormHost() = default;
    // The confirmation dialog, centred on the screen: question icon, title "Onay", buttons
    // "&Evet" (default, Enter) and "&Hayır" (cancel, Esc). True only for "&Evet".
    virtual bool Confirm(const std::string& question) = 0;
    // The error box: stop icon, one OK button, modal over the window.
    virtual void ShowError(const std::string& text, const std::string& caption) = 0;
    // The busy cursor while a handler runs.
    virtual void SetBusy(bool busy) = 0;
    // Closes the window, which ends the program.
    virtual void CloseWindow() = 0;
};

}  // namespace kurdb
