#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "gui/ControlTable.h"
#include "gui/WindowPlacement.h"

namespace zelk {

struct PanelState;
struct SettingsSnapshot;

// Colours as the window system's COLORREF, 0x00BBGGRR.
using Colour = std::uint32_t;
namespace colour {
inline constexpr Colour kRed = 0x0000FF;
inline constexpr Colour kSettings = 0xFFCC99;
inline constexpr Colour kBlack = 0x000000;
inline constexpr Colour kGreen = 0x32D232;
inline constexpr Colour kDarkGreen = 0x199619;
inline constexpr Colour kYellow = 0x00FFFF;
inline constexpr Colour kWhite = 0xFFFFFF;
inline constexpr Colour kGrey = 0xA0A0A0;
} // namespace colour

// What the panel paints, in the 96-dpi logical units of a 900-wide canvas.
// A backend (GDI in the window, nothing headless) draws the ops in order.
namespace draw {
struct Fill { Rect rect; Colour colour = 0; };
// A 1-pixel line from one point to the other (the end point not drawn).
struct Line { Point from; Point to; Colour colour = 0; };
// The outline of a rectangle, nothing filled.
struct Frame { Rect rect; Colour colour = 0; };
// Text with its top at y - 3, transparent background, the normal or bold panel font;
// nothing of it is drawn at or right of clipRight (0: up to the canvas edge), so
// a value longer than its room never runs over the label after it.
struct Text { Point at; std::string text; Colour colour = 0; bool bold = false; std::int32_t clipRight = 0; };
} // namespace draw
using DrawOp = std::variant<draw::Fill, draw::Line, draw::Frame, draw::Text>;

struct DisplayList {
    std::int32_t canvasHeight = 768;
    std::vector<DrawOp> ops;
    Rect compactBox; // the Expand/Compact box, for the click test
};

// One op per line ("fill 0,0,900,32 #000000", "text 3,7 #32D232 n 'ZELK'",
// a clipped text ends in " clip 216"):
// what a golden list is compared with.
std::string gf_displayListText(const DisplayList& list);

// What the panel shows besides its own state and the settings snapshot, read
// where it lives (simulator link, feed, park airport) by gf_panelFacts().
struct PanelFacts {
    std::string programVersion;
    std::uint32_t simRunState = 0; // 1 or 2 = the simulator link is connected
    bool feedConnected = false;
    bool rtDirect = true;
    bool msfs2024 = true;
    bool aerowinx = false;         // the AEROWINX parameter
    bool parkingActive = false;    // parking runs at the park airport
    bool generatingParking = false;
    std::uint32_t trafficWeek = 0; // of the loaded airport file
    std::optional<std::string> reservedStand; // at the user's current airport, while parking is active
};

// The facts as they stand now (any thread).
PanelFacts gf_panelFacts();

// The whole client area for a panel state.
DisplayList gf_paintPanel(const PanelState& panel, const SettingsSnapshot& settings, const PanelFacts& facts);

// "{:.0f}" for a whole value, else "{:.1f}": how fit hours are shown.
std::string gf_floatText(float value);

} // namespace zelk
