#include "gui/win32/Win32ControlHost.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "gui/win32/WinStrings.h"

namespace zelk::win32 {

namespace {

HWND lf_hwnd(ControlHandle control) { return reinterpret_cast<HWND>(control); }

LRESULT lf_send(ControlHandle control, UINT message, WPARAM w = 0, LPARAM l = 0)
{
    return ::SendMessageW(lf_hwnd(control), message, w, l);
}

} // namespace

bool Win32ControlHost::isControl(ControlHandle control) const
{
    return control != kNoControl && ::IsWindow(lf_hwnd(control));
}

void Win32ControlHost::setCheck(ControlHandle control, bool checked)
{
    lf_send(control, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool Win32ControlHost::isChecked(ControlHandle control) const { return lf_send(control, BM_GETCHECK) == BST_CHECKED; }

void Win32ControlHost::fillCombo(ControlHandle control, const std::vector<std::string>& items)
{
    lf_send(control, CB_RESETCONTENT);
    for (const std::string& item : items) {
        const std::wstring wide = gf_toWide(item);
        lf_send(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    }
}

void Win32ControlHost::selectComboIndex(ControlHandle control, std::size_t index)
{
    const auto count = static_cast<std::size_t>(std::max<LRESULT>(lf_send(control, CB_GETCOUNT), 0));
    lf_send(control, CB_SETCURSEL, index < count ? static_cast<WPARAM>(index) : static_cast<WPARAM>(-1));
}

std::optional<std::size_t> Win32ControlHost::comboSelection(ControlHandle control) const
{
    const LRESULT index = lf_send(control, CB_GETCURSEL);
    if (index == CB_ERR || index < 0) return std::nullopt;
    return static_cast<std::size_t>(index);
}

void Win32ControlHost::enable(ControlHandle control, bool enabled) { ::EnableWindow(lf_hwnd(control), enabled); }

bool Win32ControlHost::isEnabled(ControlHandle control) const { return ::IsWindowEnabled(lf_hwnd(control)) != FALSE; }

void Win32ControlHost::setText(ControlHandle control, const std::string& text)
{
    const std::wstring wide = gf_toWide(text);
    ::SetWindowTextW(lf_hwnd(control), wide.c_str());
}

std::optional<std::string> Win32ControlHost::text(ControlHandle control) const
{
    if (!isControl(control)) return std::nullopt;
    const int length = ::GetWindowTextLengthW(lf_hwnd(control));
    if (length <= 0) return std::string{};
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
    const int got = ::GetWindowTextW(lf_hwnd(control), buffer.data(), static_cast<int>(buffer.size()));
    if (got <= 0) return std::string{};
    return gf_fromWide(std::wstring_view(buffer.data(), static_cast<std::size_t>(got)));
}

std::optional<std::string> Win32ControlHost::comboItemText(ControlHandle control, std::size_t index) const
{
    const LRESULT length = lf_send(control, CB_GETLBTEXTLEN, static_cast<WPARAM>(index));
    if (length == CB_ERR || length < 0) return std::nullopt;
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
    const LRESULT got = lf_send(control, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
    if (got == CB_ERR || got < 0) return std::nullopt;
    return gf_fromWide(std::wstring_view(buffer.data(), static_cast<std::size_t>(got)));
}

void Win32ControlHost::show(ControlHandle control, bool shown) { ::ShowWindow(lf_hwnd(control), shown ? SW_SHOW : SW_HIDE); }

bool Win32ControlHost::isShown(ControlHandle control) const
{
    return (::GetWindowLongPtrW(lf_hwnd(control), GWL_STYLE) & WS_VISIBLE) != 0;
}

} // namespace zelk::win32
