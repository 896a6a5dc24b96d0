#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "gui/Gui.h"
#include "gui/MainWindow.h"
#include "gui/PanelPainter.h"
#include "gui/WindowPlacement.h"
#include "gui/WorkerRuns.h"
#include "gui/win32/GdiPainter.h"

namespace zelk::win32 {

// The window style: a caption and system menu, no sizing border, no minimise
// or maximise box.
inline constexpr DWORD kMainWindowStyle = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;

// The Win32 main window: the painted panel under the 54 settings controls,
// the program's messages, and the runs it starts and ends.
class Win32MainWindow final : public MainWindow,
                              public GuiWindow,
                              public WindowFrame,
                              public std::enable_shared_from_this<Win32MainWindow> {
public:
    explicit Win32MainWindow(MainWindowOptions options);
    ~Win32MainWindow() override;

    // initInstance: the class (named and titled by string resource 101), DPI
    // awareness, fonts, the position from parameters.xml, the window with its
    // controls, rescaled to its dpi and kept on a monitor, shown.
    bool create() override;
    int runMessageLoop() override;
    void close() override;
    void endDemo() override;

    // GuiWindow
    bool postMessage(std::uint32_t message) override;
    void invalidate(const RepaintPlan& plan) override;
    void showChildControls(bool shown) override;
    void setTopmost(bool onTop) override;
    void messageLineShown(std::string_view, bool) override {}

    // WindowFrame
    std::optional<Rect> windowRect() const override;
    Rect workAreaNear(const Rect& r) const override;
    void moveTo(Point p) override;

    HWND hwnd() const { return hwnd_; }
    const std::wstring& title() const { return title_; }
    // The outer size for a client area of 900 x height (96-dpi units) at the current dpi.
    SIZE windowSizeForHeight(std::int32_t height96) const;
    // The children as created, and each list's design drop-down height.
    const std::vector<HWND>& children() const { return children_; }
    // Runs the messages already queued (tests, and waits that must not freeze the window).
    static void pumpMessages();

    // The window procedure and the subclass procedures; every one catches and
    // logs what a handler throws.
    static LRESULT CALLBACK MainWndProc(HWND hwnd, UINT message, WPARAM w, LPARAM l);
    static LRESULT CALLBACK lf_checkBoxProc(HWND hwnd, UINT message, WPARAM w, LPARAM l);
    static LRESULT CALLBACK lf_destinationEditProc(HWND hwnd, UINT message, WPARAM w, LPARAM l);

private:
    LRESULT handle(UINT message, WPARAM w, LPARAM l);
    void lf_createControls();
    void paint();
    void onDpiChanged(UINT dpi, const RECT* suggested);
    void rescaleChildren(UINT oldDpi, UINT newDpi);
    void applyDpiFont(UINT dpi);
    void savePosition();
    void onStart();
    void onExit();
    HFONT createFont(bool bold, UINT dpi) const;

    MainWindowOptions options_;
    WorkerRuns runs_;
    std::wstring title_;
    HWND hwnd_ = nullptr;
    HFONT normal96_ = nullptr;
    HFONT bold96_ = nullptr;
    HFONT childFont_ = nullptr;
    GdiPainter painter_;
    Rect compactBox96_{765, 4, 855, 30};
    std::vector<HWND> children_;
    std::unordered_map<HWND, std::int32_t> designHeights_;
    std::optional<int> quitCode_;
};

} // namespace zelk::win32
