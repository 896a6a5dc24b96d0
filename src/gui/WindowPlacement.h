#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

#include "gui/ControlTable.h"

namespace zelk {

// Where the main window sits and how big it is, as pure rules plus the few
// calls that need the window system (WindowFrame).

// MulDiv as the window system computes it: a x b / c in 64 bits, rounded half
// away from zero; -1 when c is 0 or the result does not fit 32 bits.
std::int32_t gf_mulDiv(std::int32_t a, std::int32_t b, std::int32_t c);

// Client height in 96-dpi units: 768 full; compact 224 with a park airport, 128 without.
std::int32_t gf_clientHeight96(bool compact, bool hasParkAirport);
inline constexpr std::int32_t kClientWidth96 = 900;

// A child window's rectangle (client coordinates) after a dpi change: left,
// top and width scaled from old to new; the height scaled likewise, except a
// drop-down list, which takes its design height scaled from 96 dpi (the
// window system reports the closed box's height, not the drop-down's).
// Unchanged when a dpi is 0 or both are equal.
Rect gf_rescaleChild(const Rect& r, std::uint32_t oldDpi, std::uint32_t newDpi,
                     std::optional<std::int32_t> designHeight);

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

// Moves a window so that at least margin pixels of it lie on the work area:
// wider (higher) than the area, its left (top) edge goes to the area's; then
// its right (bottom) edge is kept at least margin right of (below) the area's
// left (top), and its left (top) edge at most margin left of (above) the area's right (bottom).
Point gf_keepOnWorkArea(const Rect& window, const Rect& workArea, std::int32_t margin = 48);

// What the window system tells and does for the placement rules.
class WindowFrame {
public:
    virtual ~WindowFrame() = default;
    // The outer window rectangle in screen pixels; nothing without a window.
    virtual std::optional<Rect> windowRect() const = 0;
    // The work area of the monitor nearest to the rectangle.
    virtual Rect workAreaNear(const Rect& r) const = 0;
    // Moves the window without sizing, reordering or activating it.
    virtual void moveTo(Point p) = 0;
};

// Keeps the main window on a monitor: a stored MAIN_WINDOW_X or _Y at the end
// of its range (a window once saved far off screen) becomes the fallback
// (clamped, saved); then the window goes to the stored position moved onto
// the nearest work area. A changed position is stored, saved and applied.
void gf_clampWindowPosition(WindowFrame& frame, std::int32_t fallbackX, std::int32_t fallbackY);

// At the end of the program: the window's normal position (left, top of the
// rectangle given) into MAIN_WINDOW_X and _Y (clamped, saved), then kept on a
// monitor with the values stored before as fallback.
void gf_saveWindowPosition(WindowFrame& frame, const Rect& normalRect);

// The position read before the run's full parameter load: MAIN_WINDOW_X and
// _Y from the file (clamped) or their defaults. A file that does not parse
// gives the defaults and is left as it is: the run's load sets it aside and
// takes its backup.
void gf_readWindowPositionEarly(const std::filesystem::path& parametersFile);

} // namespace zelk
