#pragma once
// GDI state in scopes. An owned object (a font the program made) is deleted by its owner; a
// borrowed one (a window's device context, an object selected into it) is given back when its
// scope ends, so that no path through the code can forget the release.
#include <windows.h>

#include <utility>

namespace kurdb::win32 {

// A font the program made; deleted by the destructor. Move-only.
class GdiFont {
public:
    GdiFont() = default;
    explicit GdiFont(HFONT font) : font_(font) {}
    ~GdiFont() { Reset(); }
    GdiFont(const GdiFont&) = delete;
    GdiFont& operator=(const GdiFont&) = delete;
    GdiFont(GdiFont&& other) noexcept : font_(std::exchange(other.font_, nullptr)) {}
    GdiFont& operator=(GdiFont&& other) noexcept {
        if (this != &other) {
            Reset();
            font_ = std::exchange(other.font_, nullptr);
        }
        return *this;
    }
    HFONT Get() const { return font_; }
    explicit operator bool() const { return font_ != nullptr; }

private:
    void Reset() {
        if (font_) ::DeleteObject(font_);
        font_ = nullptr;
    }
    HFONT font_ = nullptr;
};

// The device context of a window (or of the screen, for a null window), borrowed with GetDC and
// released with ReleaseDC. Get() is null when the system gave none.
class ScopedGetDC {
public:
    explicit ScopedGetDC(HWND hwnd) : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
    ~ScopedGetDC() {
        if (dc_) ::ReleaseDC(hwnd_, dc_);
    }
    ScopedGetDC(const ScopedGetDC&) = delete;
    ScopedGetDC& operator=(const ScopedGetDC&) = delete;
    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND hwnd_;
    HDC dc_;
};

// A memory device context compatible with the screen, for measuring text without a window;
// deleted by the destructor. Get() is null when the system gave none.
class ScopedMemoryDC {
public:
    ScopedMemoryDC() : dc_(::CreateCompatibleDC(nullptr)) {}
    ~ScopedMemoryDC() {
        if (dc_) ::DeleteDC(dc_);
    }
    ScopedMemoryDC(const ScopedMemoryDC&) = delete;
    ScopedMemoryDC& operator=(const ScopedMemoryDC&) = delete;
    HDC Get() const { return dc_; }

private:
    HDC dc_;
};

// An object selected into a device context for the scope; the one it replaced is selected back
// at the end.
class ScopedSelectObject {
public:
    ScopedSelectObject(HDC dc, HGDIOBJ object)
        : dc_(dc), previous_(dc ? ::SelectObject(dc, object) : nullptr) {}
    ~ScopedSelectObject() {
        if (dc_ && previous_ && previous_ != HGDI_ERROR) ::SelectObject(dc_, previous_);
    }
    ScopedSelectObject(const ScopedSelectObject&) = delete;
    ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace kurdb::win32
