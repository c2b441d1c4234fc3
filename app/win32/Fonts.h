#pragma once
// Fonts of the wizard window. A font handed to a control with WM_SETFONT stays owned by the
// window, so each one lives in a GdiFont that deletes it once no control uses it any more.
#include <windows.h>

#include <map>
#include <string>
#include <tuple>

#include "app/WindowDef.h"
#include "app/win32/Gdi.h"

namespace kurdb::win32 {

// The fonts of the window's controls at one DPI, made on first use: the definition's face
// (the form's where a control names none), its pixel height scaled to the DPI, bold where
// defined, Turkish character set.
class FontSet {
public:
    FontSet(const ControlDef& form, int dpi) : form_(&form), dpi_(dpi) {}
    FontSet(const FontSet&) = delete;
    FontSet& operator=(const FontSet&) = delete;
    FontSet(FontSet&&) = default;
    FontSet& operator=(FontSet&&) = default;

    // Throws EPlatformError when the system cannot make the font.
    HFONT For(const FontDef& font);
    int Dpi() const { return dpi_; }

private:
    const ControlDef* form_;
    int dpi_;
    std::map<std::tuple<std::string, int, bool>, GdiFont> fonts_;
};

}  // namespace kurdb::win32
