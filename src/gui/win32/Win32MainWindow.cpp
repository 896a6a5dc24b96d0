#include "gui/win32/Win32MainWindow.h"

#include <windowsx.h>

#include <algorithm>
#include <exception>
#include <string>

#include <fmt/format.h>

#include "core/Log.h"
#include "core/Parameters.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "gui/ControlTable.h"
#include "gui/ControlText.h"
#include "gui/Destination.h"
#include "gui/Dialogs.h"
#include "gui/WindowCommands.h"
#include "gui/WindowTasks.h"
#include "gui/win32/Win32ControlHost.h"
#include "gui/win32/Win32Dialogs.h"
#include "gui/win32/WinStrings.h"

namespace zelk {

std::shared_ptr<MainWindow> gf_makeMainWindow(MainWindowOptions options)
{
    return std::make_shared<win32::Win32MainWindow>(std::move(options));
}

namespace win32 {

namespace {

constexpr UINT kTitleResource = 101;
constexpr WORD kIconResource = 100;
constexpr COLORREF kBoxFrame = 0x606060;
constexpr COLORREF kBoxFrameDisabled = 0xA0A0A0;
constexpr COLORREF kBoxFill = 0xFFFFFF;
constexpr COLORREF kBoxFillDisabled = 0xF0F0F0;
constexpr COLORREF kTickDisabled = 0x808080;

// The check boxes share the button class's procedure: the first one seen.
WNDPROC lv_checkBoxPrevious = nullptr;

HINSTANCE lf_instance() { return ::GetModuleHandleW(nullptr); }

// A window procedure must not let anything escape, also not a failing log.
void lf_logFailure(std::string text) noexcept
{
    try {
        gf_writeLogNotice(text);
    } catch (...) {
        gf_writeLogLineNoThrow(text);
    }
}

void lf_logFailure(const char* where, UINT message, const std::exception& e) noexcept
{
    try {
        lf_logFailure(fmt::format("{}: message 0x{:04X} failed: {}", where, message, e.what()));
    } catch (...) {
        gf_writeLogLineNoThrow("a window procedure failed");
    }
}

WorkerRuns::Options lf_runOptions(const MainWindowOptions& o)
{
    return WorkerRuns::Options{o.runWorker, o.exitCode, o.logFailedExitCode, {}};
}

// Serves what the worker sends to the window's controls while this thread
// waits for it: wakes as soon as something is sent, at the latest after a step.
void lf_pumpSentMessages()
{
    ::MsgWaitForMultipleObjectsEx(0, nullptr, 20, QS_SENDMESSAGE, 0);
    MSG message;
    ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

void lf_drawCheckBox(HWND box, HDC dc)
{
    RECT client;
    ::GetClientRect(box, &client);
    const int w = client.right;
    const int h = client.bottom;
    HBRUSH panel = ::CreateSolidBrush(colour::kSettings);
    ::FillRect(dc, &client, panel);
    ::DeleteObject(panel);
    const bool enabled = ::IsWindowEnabled(box) != FALSE;
    HPEN framePen = ::CreatePen(PS_SOLID, 1, enabled ? kBoxFrame : kBoxFrameDisabled);
    HBRUSH fill = ::CreateSolidBrush(enabled ? kBoxFill : kBoxFillDisabled);
    HGDIOBJ oldPen = ::SelectObject(dc, framePen);
    HGDIOBJ oldBrush = ::SelectObject(dc, fill);
    ::Rectangle(dc, 0, 0, w, h);
    if (::SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED) {
        const int width = std::max(MulDiv(2, static_cast<int>(::GetDpiForWindow(box)), 96), 1);
        HPEN tick = ::CreatePen(PS_SOLID, width, enabled ? RGB(0, 0, 0) : kTickDisabled);
        ::SelectObject(dc, tick);
        const POINT points[] = {{w / 5, h / 2}, {2 * w / 5, 3 * h / 4}, {4 * w / 5, h / 4}};
        ::Polyline(dc, points, 3);
        ::SelectObject(dc, framePen);
        ::DeleteObject(tick);
    }
    ::SelectObject(dc, oldBrush);
    ::SelectObject(dc, oldPen);
    ::DeleteObject(fill);
    ::DeleteObject(framePen);
}

// What the button class paints itself on these would cover the owner painting.
bool lf_repaintsBox(UINT message)
{
    switch (message) {
    case WM_ENABLE:
    case BM_SETCHECK:
    case BM_SETSTATE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_LBUTTONUP: return true;
    default: return false;
    }
}

std::string lf_caption(const GuiControl& control)
{
    const auto* parameter = dynamic_cast<const Parameter*>(&control);
    return parameter != nullptr ? parameter->name : std::string{};
}

} // namespace

Win32MainWindow::Win32MainWindow(MainWindowOptions options)
    : options_(std::move(options)), runs_(lf_runOptions(options_))
{
}

Win32MainWindow::~Win32MainWindow()
{
    runs_.join(lf_pumpSentMessages);
    if (hwnd_ != nullptr && ::IsWindow(hwnd_)) {
        ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        ::DestroyWindow(hwnd_);
    }
    for (HFONT font : {normal96_, bold96_, childFont_})
        if (font != nullptr) ::DeleteObject(font);
}

HFONT Win32MainWindow::createFont(bool bold, UINT dpi) const
{
    return ::CreateFontW(-MulDiv(12, static_cast<int>(dpi), 72), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, 0, 0, 0, 0, 0, 0,
                         0, 0, L"Segoe UI");
}

bool Win32MainWindow::create()
{
    wchar_t title[100] = {};
    if (::LoadStringW(lf_instance(), kTitleResource, title, 100) <= 0) {
        gf_writeLogLine("Failed to load application title");
        return false;
    }
    title_ = title;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = lf_instance();
    wc.hIcon = ::LoadIconW(lf_instance(), MAKEINTRESOURCEW(kIconResource));
    wc.hIconSm = wc.hIcon;
    wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = title_.c_str();
    if (::RegisterClassExW(&wc) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        gf_writeLogLine("Failed to register window class");
        return false;
    }
    if (!::SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2)) {
        const DWORD error = ::GetLastError();
        // Log.txt opens with the first run, after the window exists.
        if (error != ERROR_ACCESS_DENIED)
            gf_writeLogLineOnceOpen(fmt::format("SetProcessDpiAwarenessContext failed: {}", error));
    }
    const UINT systemDpi = ::GetDpiForSystem();
    gf_gui().setDpi(systemDpi);
    normal96_ = createFont(false, 96);
    bold96_ = createFont(true, 96);
    childFont_ = createFont(false, systemDpi);
    if (normal96_ == nullptr || bold96_ == nullptr || childFont_ == nullptr) {
        gf_writeLogLine("Creating GUI fonts failed");
        return false;
    }
    painter_.setFonts(normal96_, bold96_);
    gf_readWindowPositionEarly(gf_parametersFile());

    const PanelState& panel = gf_gui().panel();
    const SIZE size = windowSizeForHeight(gf_clientHeight96(panel.compact, panel.parkAirport.isSet()));
    const HWND created = ::CreateWindowExW(0, title_.c_str(), title_.c_str(), kMainWindowStyle, MAIN_WINDOW_X.value(),
                                           MAIN_WINDOW_Y.value(), size.cx, size.cy, nullptr, nullptr, lf_instance(), this);
    if (created == nullptr) {
        // WM_CREATE may have attached the window before it failed.
        hwnd_ = nullptr;
        gf_gui().detachWindow();
        return false;
    }

    // The controls were made at their 96-dpi places, whatever the dpi.
    const UINT windowDpi = ::GetDpiForWindow(hwnd_);
    const UINT dpi = windowDpi != 0 ? windowDpi : systemDpi;
    if (dpi != systemDpi) applyDpiFont(dpi);
    rescaleChildren(96, dpi);
    gf_gui().setDpi(dpi);
    gf_gui().invalidateRegions(kBandResize);
    gf_clampWindowPosition(*this, 400, 20);
    gf_installWindowDialogs(hwnd_);
    ::ShowWindow(hwnd_, SW_SHOW);
    ::UpdateWindow(hwnd_);
    return true;
}

int Win32MainWindow::runMessageLoop()
{
    int code = 0;
    MSG message;
    for (;;) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            code = static_cast<int>(message.wParam);
            break;
        }
        if (got == -1) {
            gf_writeLogNotice(fmt::format("GetMessageW failed: {}", ::GetLastError()));
            break;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    runs_.join(lf_pumpSentMessages);
    if (hwnd_ != nullptr && ::IsWindow(hwnd_)) ::DestroyWindow(hwnd_);
    // The quit message WM_DESTROY posts belongs to this loop, not to a later one.
    while (::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
    hwnd_ = nullptr;
    gf_gui().detachWindow();
    gf_setDialogHooks({});
    gf_installControlHost(nullptr);
    return quitCode_.value_or(code);
}

void Win32MainWindow::close()
{
    if (hwnd_ != nullptr) ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
}

void Win32MainWindow::endDemo()
{
    if (hwnd_ != nullptr) ::PostMessageW(hwnd_, MSG_DEMO_END, 0, 0);
}

bool Win32MainWindow::postMessage(std::uint32_t message)
{
    return hwnd_ != nullptr && ::PostMessageW(hwnd_, message, 0, 0) != FALSE;
}

SIZE Win32MainWindow::windowSizeForHeight(std::int32_t height96) const
{
    const auto dpi = static_cast<int>(gf_gui().dpi());
    RECT r{0, 0, MulDiv(kClientWidth96, dpi, 96), MulDiv(height96, dpi, 96)};
    if (!::AdjustWindowRectExForDpi(&r, kMainWindowStyle, FALSE, 0, static_cast<UINT>(dpi)))
        ::AdjustWindowRectEx(&r, kMainWindowStyle, FALSE, 0);
    return {r.right - r.left, r.bottom - r.top};
}

void Win32MainWindow::invalidate(const RepaintPlan& plan)
{
    if (hwnd_ == nullptr) return;
    if (plan.resize) {
        const PanelState& panel = gf_gui().panel();
        const SIZE size = windowSizeForHeight(gf_clientHeight96(panel.compact, panel.parkAirport.isSet()));
        ::SetWindowPos(hwnd_, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        ::InvalidateRect(hwnd_, nullptr, TRUE);
        return;
    }
    RECT client;
    ::GetClientRect(hwnd_, &client);
    for (const RepaintPlan::Band& band : plan.bands) {
        const RECT r{0, band.top, client.right, band.bottom};
        ::InvalidateRect(hwnd_, &r, FALSE);
    }
}

void Win32MainWindow::showChildControls(bool shown) { gf_showAllControls(shown); }

void Win32MainWindow::setTopmost(bool onTop)
{
    if (hwnd_ == nullptr) return;
    ::SetWindowPos(hwnd_, onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

std::optional<Rect> Win32MainWindow::windowRect() const
{
    RECT r;
    if (hwnd_ == nullptr || !::GetWindowRect(hwnd_, &r)) return std::nullopt;
    return Rect{r.left, r.top, r.right, r.bottom};
}

Rect Win32MainWindow::workAreaNear(const Rect& r) const
{
    const RECT rect{r.left, r.top, r.right, r.bottom};
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (!::GetMonitorInfoW(::MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &info)) return r;
    return {info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom};
}

void Win32MainWindow::moveTo(Point p)
{
    if (hwnd_ == nullptr) return;
    ::SetWindowPos(hwnd_, nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32MainWindow::pumpMessages()
{
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

// ---- Controls ------------------------------------------------------------------

void Win32MainWindow::lf_createControls()
{
    gf_installControlHost(std::make_shared<Win32ControlHost>());
    children_.clear();
    designHeights_.clear();
    HFONT font = childFont_ != nullptr ? childFont_ : normal96_;
    for (const ControlSpec& entry : gf_controlTable()) {
        GuiControl& c = *entry.control;
        const Rect r = gf_controlRect(entry);
        const auto id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.commandId));
        HWND child = nullptr;
        switch (entry.kind) {
        case ControlKind::Check:
            child = ::CreateWindowExW(0, L"button", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_CHECKBOX, r.left, r.top,
                                      entry.width, entry.height, hwnd_, id, lf_instance(), nullptr);
            if (child != nullptr) {
                const auto previous = reinterpret_cast<WNDPROC>(
                    ::SetWindowLongPtrW(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(lf_checkBoxProc)));
                if (lv_checkBoxPrevious == nullptr) lv_checkBoxPrevious = previous;
            }
            break;
        case ControlKind::List:
            child = ::CreateWindowExW(0, L"ComboBox", L"",
                                      WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST, r.left, r.top,
                                      entry.width, entry.height, hwnd_, id, lf_instance(), nullptr);
            if (child != nullptr && entry.height >= 1) designHeights_[child] = entry.height;
            break;
        case ControlKind::Button:
            child = ::CreateWindowExW(0, L"BUTTON", gf_toWide(lf_caption(c)).c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP,
                                      r.left, r.top, entry.width, entry.height, hwnd_, id, lf_instance(), nullptr);
            break;
        case ControlKind::Edit:
            child = ::CreateWindowExW(0, L"Edit", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP, r.left, r.top,
                                      entry.width, entry.height, hwnd_, id, lf_instance(), nullptr);
            if (child != nullptr)
                c.setPreviousProc(static_cast<std::uintptr_t>(
                    ::SetWindowLongPtrW(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(lf_destinationEditProc))));
            break;
        }
        if (child == nullptr) {
            c.setHwnd(kNoControl);
            continue;
        }
        if (entry.kind != ControlKind::Check) ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        c.setHwnd(reinterpret_cast<ControlHandle>(child));
        children_.push_back(child);
    }
    for (const ControlSpec& entry : gf_controlTable()) gf_fillControl(*entry.control);
    DESTINATION.enable(false);
    gf_controlsCreated();
}

// ---- Painting and dpi ----------------------------------------------------------

void Win32MainWindow::paint()
{
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd_, &ps);
    RECT client;
    ::GetClientRect(hwnd_, &client);
    const DisplayList list = gf_paintPanel(gf_gui().panel(), *gf_settings(), gf_panelFacts());
    compactBox96_ = list.compactBox;
    painter_.paint(dc, client, list);
    ::EndPaint(hwnd_, &ps);
}

void Win32MainWindow::rescaleChildren(UINT oldDpi, UINT newDpi)
{
    if (hwnd_ == nullptr || oldDpi == 0 || oldDpi == newDpi) return;
    for (HWND child : children_) {
        RECT r;
        if (!::GetWindowRect(child, &r)) continue;
        ::MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
        const auto design = designHeights_.find(child);
        const Rect scaled = gf_rescaleChild({r.left, r.top, r.right, r.bottom}, oldDpi, newDpi,
                                            design != designHeights_.end() ? std::optional(design->second) : std::nullopt);
        ::SetWindowPos(child, nullptr, scaled.left, scaled.top, scaled.width(), scaled.height(),
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void Win32MainWindow::applyDpiFont(UINT dpi)
{
    HFONT font = createFont(false, dpi);
    if (font == nullptr) return;
    HFONT old = childFont_;
    childFont_ = font;
    for (HWND child : children_) ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (old != nullptr) ::DeleteObject(old);
}

void Win32MainWindow::onDpiChanged(UINT dpi, const RECT* suggested)
{
    if (dpi == 0 || suggested == nullptr) return;
    // The font first: a list works out its drop-down from its closed height,
    // which follows the font.
    applyDpiFont(dpi);
    rescaleChildren(gf_gui().dpi(), dpi);
    gf_gui().setDpi(dpi);
    const PanelState& panel = gf_gui().panel();
    const SIZE size = windowSizeForHeight(gf_clientHeight96(panel.compact, panel.parkAirport.isSet()));
    ::SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    ::InvalidateRect(hwnd_, nullptr, TRUE);
}

// ---- Runs ----------------------------------------------------------------------

void Win32MainWindow::savePosition()
{
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    RECT r{};
    if (::GetWindowPlacement(hwnd_, &placement) &&
        (placement.showCmd == SW_SHOWMINIMIZED || placement.showCmd == SW_SHOWMAXIMIZED))
        r = placement.rcNormalPosition;
    else
        ::GetWindowRect(hwnd_, &r);
    gf_saveWindowPosition(*this, {r.left, r.top, r.right, r.bottom});
}

void Win32MainWindow::onStart()
{
    if (const std::optional<int> code = runs_.onStart(lf_pumpSentMessages)) {
        quitCode_ = *code;
        ::PostQuitMessage(*code);
    }
}

void Win32MainWindow::onExit()
{
    const int code = runs_.onExit([this] { savePosition(); }, lf_pumpSentMessages);
    quitCode_ = code;
    ::PostQuitMessage(code);
}

// ---- Window procedures -----------------------------------------------------------

LRESULT CALLBACK Win32MainWindow::MainWndProc(HWND hwnd, UINT message, WPARAM w, LPARAM l)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Win32MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        if (self != nullptr) self->hwnd_ = hwnd;
    }
    auto* self = reinterpret_cast<Win32MainWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) return ::DefWindowProcW(hwnd, message, w, l);
    try {
        return self->handle(message, w, l);
    } catch (const std::exception& e) {
        lf_logFailure("MainWndProc", message, e);
    } catch (...) {
        lf_logFailure("MainWndProc failed with an unknown exception");
    }
    return message == WM_CREATE ? -1 : 0;
}

LRESULT Win32MainWindow::handle(UINT message, WPARAM w, LPARAM l)
{
    switch (message) {
    case WM_CREATE:
        gf_gui().attachWindow(shared_from_this());
        lf_createControls();
        return 0;
    case WM_DESTROY:
        gf_gui().closeUpdateQueue();
        ::PostQuitMessage(0);
        return 0;
    case WM_PAINT: paint(); return 0;
    case WM_CLOSE: runs_.onClose(gf_closeButtonText(), true); return 0;
    case MSG_DEMO_END: runs_.onClose(gf_demoEndText(), true, StopReason::DemoEnded); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_COMMAND:
        if (lf_HandleWMCOMMAND(static_cast<std::uint32_t>(w))) return 0;
        break;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(w);
        ::SetBkMode(dc, OPAQUE);
        ::SetBkColor(dc, colour::kSettings);
        ::SetDCBrushColor(dc, colour::kSettings);
        return reinterpret_cast<LRESULT>(::GetStockObject(DC_BRUSH));
    }
    case WM_LBUTTONDOWN:
        if (gf_onPanelClick({GET_X_LPARAM(l), GET_Y_LPARAM(l)}, compactBox96_, gf_gui().dpi())) {
            ::InvalidateRect(hwnd_, nullptr, TRUE);
            ::UpdateWindow(hwnd_);
        }
        return 0;
    case WM_DPICHANGED: onDpiChanged(LOWORD(w), reinterpret_cast<const RECT*>(l)); return 0;
    case MSG_START: onStart(); return 0;
    case MSG_EXIT: onExit(); return 0;
    case MSG_GUI_UPDATE: gf_gui().drainUpdateQueue(); return 0;
    case MSG_WINDOW_TASK: gf_runWindowTasks(); return 0;
    case MSG_SWITCH_SIM: gf_onSwitchSim(); return 0;
    default: break;
    }
    return ::DefWindowProcW(hwnd_, message, w, l);
}

LRESULT CALLBACK Win32MainWindow::lf_checkBoxProc(HWND hwnd, UINT message, WPARAM w, LPARAM l)
{
    try {
        if (message == WM_PAINT) {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(hwnd, &ps);
            lf_drawCheckBox(hwnd, dc);
            ::EndPaint(hwnd, &ps);
            return 0;
        }
        if (message == WM_ERASEBKGND) return 1;
        const LRESULT result = lv_checkBoxPrevious != nullptr ? ::CallWindowProcW(lv_checkBoxPrevious, hwnd, message, w, l)
                                                              : ::DefWindowProcW(hwnd, message, w, l);
        if (lf_repaintsBox(message)) ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        return result;
    } catch (const std::exception& e) {
        lf_logFailure("lf_checkBoxProc", message, e);
    }
    return 0;
}

LRESULT CALLBACK Win32MainWindow::lf_destinationEditProc(HWND hwnd, UINT message, WPARAM w, LPARAM l)
{
    try {
        if (message == WM_CHAR && w == VK_RETURN) {
            gf_guiClearMessage();
            lf_onDestinationEntered();
            return 0;
        }
    } catch (const std::exception& e) {
        lf_logFailure("lf_destinationEditProc", message, e);
        return 0;
    }
    const auto previous = reinterpret_cast<WNDPROC>(DESTINATION.previousProc());
    return previous != nullptr ? ::CallWindowProcW(previous, hwnd, message, w, l) : ::DefWindowProcW(hwnd, message, w, l);
}

} // namespace win32
} // namespace zelk
