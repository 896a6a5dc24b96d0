#include "gui/win32/Win32Dialogs.h"

#include <objbase.h>
#include <shobjidl.h>

#include <exception>
#include <string>

#include <fmt/format.h>

#include "core/Log.h"
#include "gui/Dialogs.h"
#include "gui/win32/WinStrings.h"

namespace zelk::win32 {

namespace {

// Releases a COM interface when the scope ends.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr()
    {
        if (p_ != nullptr) p_->Release();
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    T** out() { return &p_; }
    T* operator->() const { return p_; }
    T* get() const { return p_; }

private:
    T* p_ = nullptr;
};

// COM for this thread, released only when this call took it.
class ComApartment {
public:
    ComApartment() : hr_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComApartment()
    {
        if (SUCCEEDED(hr_)) ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT hr_;
};

UINT lf_iconFlags(MessageBoxIcon icon)
{
    switch (icon) {
    case MessageBoxIcon::Error: return MB_ICONERROR;
    case MessageBoxIcon::Warning: return MB_ICONWARNING;
    case MessageBoxIcon::None: break;
    }
    return 0;
}

} // namespace

std::optional<std::filesystem::path> gf_browseForFolder(HWND owner, const std::filesystem::path& start)
{
    const ComApartment com;
    ComPtr<IFileOpenDialog> dialog;
    if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                  reinterpret_cast<void**>(dialog.out()))))
        return std::nullopt;
    FILEOPENDIALOGOPTIONS options = 0;
    if (FAILED(dialog->GetOptions(&options)) ||
        FAILED(dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST)))
        return std::nullopt;
    if (!start.empty()) {
        ComPtr<IShellItem> folder;
        if (SUCCEEDED(::SHCreateItemFromParsingName(start.c_str(), nullptr, IID_IShellItem,
                                                    reinterpret_cast<void**>(folder.out()))))
            dialog->SetFolder(folder.get());
    }
    if (FAILED(dialog->Show(owner))) return std::nullopt; // also HRESULT_FROM_WIN32(ERROR_CANCELLED)
    ComPtr<IShellItem> chosen;
    if (FAILED(dialog->GetResult(chosen.out()))) return std::nullopt;
    PWSTR path = nullptr;
    if (FAILED(chosen->GetDisplayName(SIGDN_FILESYSPATH, &path)) || path == nullptr) return std::nullopt;
    std::filesystem::path result(path);
    ::CoTaskMemFree(path);
    return result;
}

void gf_installWindowDialogs(HWND owner)
{
    DialogHooks hooks;
    hooks.messageBox = [owner](std::string_view text, MessageBoxIcon icon) {
        std::wstring wide;
        try {
            wide = gf_toWide(text);
        } catch (const std::exception& e) {
            gf_writeLogNotice(fmt::format("message box text not shown: {}", e.what()));
            return;
        }
        ::MessageBoxW(::IsWindow(owner) ? owner : nullptr, wide.c_str(), L"ZELK", MB_OK | lf_iconFlags(icon));
    };
    hooks.browseForFolder = [owner](const std::filesystem::path& start) {
        return gf_browseForFolder(::IsWindow(owner) ? owner : nullptr, start).value_or(std::filesystem::path{});
    };
    gf_setDialogHooks(std::move(hooks));
}

} // namespace zelk::win32
