#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "base/Exception.h"
#include "shell/Shortcuts.h"
#include "shell/win32/SystemLibrary.h"
#include "shell/win32/WideString.h"

namespace kurdb {
namespace {

// A COM interface pointer, released when the scope ends.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() {
        if (p_) p_->Release();
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    T* operator->() const { return p_; }
    T* Get() const { return p_; }
    void** Out() { return reinterpret_cast<void**>(&p_); }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

// Shell links through IShellLinkW, so Turkish names are right whatever the system's ANSI code
// page. Each link initialises COM on the calling thread for as long as it takes; ole32.dll is
// loaded with the first link, not at the program's start.
class ComShellLinks final : public IShellLinks {
public:
    std::string Extension() const override { return ".lnk"; }

    void Save(const ShellLinkData& link, const std::string& linkPath) override {
        static const auto createInstance =
            win32::SystemFunction<decltype(::CoCreateInstance)>(L"ole32.dll", "CoCreateInstance");
        if (!createInstance) throw Exception("ole32.dll: CoCreateInstance not found");
        const win32::ComScope com;
        // Declared after the scope: the interfaces are released before COM is uninitialised.
        ComPtr<IUnknown> object;
        const HRESULT hr = createInstance(
            CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown, object.Out());
        if (FAILED(hr)) throw Exception(win32::SystemMessage(static_cast<DWORD>(hr)));
        ComPtr<IShellLinkW> shellLink;
        ComPtr<IPersistFile> file;
        if (FAILED(object->QueryInterface(IID_IShellLinkW, shellLink.Out())) ||
            FAILED(object->QueryInterface(IID_IPersistFile, file.Out())))
            throw Exception("Interface not supported");
        // The setters' and Save's results go unchecked: a link that cannot be written is not
        // an error of the wizard.
        shellLink->SetPath(win32::Wide(link.target).c_str());
        shellLink->SetArguments(win32::Wide(link.arguments).c_str());
        shellLink->SetDescription(win32::Wide(link.description).c_str());
        shellLink->SetWorkingDirectory(win32::Wide(link.workingDirectory).c_str());
        file->Save(win32::Wide(linkPath).c_str(), FALSE);
    }
};

}  // namespace

std::unique_ptr<IShellLinks> MakeNativeShellLinks() {
    return std::make_unique<ComShellLinks>();
}

}  // namespace kurdb
