#include "app/win32/Fonts.h"

#include "base/Exception.h"
#include <tuple>

#include "app/win32/Dpi.h"
#include "shell/win32/WideString.h"

namespace kurdb::win32 {

HFONT FontSet::For(const FontDef& font) {
    const std::string face = font.face.empty() ? form_->font.face : font.face;
    const int height = font.pixelHeight > 0 ? font.pixelHeight : form_->font.pixelHeight;
    const auto key = std::make_tuple(face, height, font.bold);
    auto it = fonts_.find(key);
    if (it != fonts_.end()) return it->second.Get();

    // A negative height asks for the character height, which is what the definition gives.
    HFONT made = ::CreateFontW(-Scale(height, dpi_), 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE,
                               FALSE, TURKISH_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                               DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, Wide(face).c_str());
    if (!made) throw EPlatformError("Cannot create the font " + face);
    return fonts_.emplace(key, GdiFont(made)).first->second.Get();
}

}  // namespace kurdb::win32
