#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace zelk {

class GuiControl;

// The kinds of child control the settings area holds.
enum class ControlKind : std::uint8_t {
    Check,  // owner-painted check box, 14 x 14
    Button, // push button, 80 x 26, carrying its caption
    List,   // drop-down list of the given width and drop-down height
    Edit,   // the destination edit box, 70 x 28
};

// One child control as the window creates it, in 96-dpi units.
struct ControlSpec {
    GuiControl* control = nullptr;
    ControlKind kind = ControlKind::Check;
    std::int32_t width = 0;
    std::int32_t height = 0;     // the closed control; for a list its drop-down height
    std::string_view label;      // painted by the panel at (labelX, y); empty for buttons and unlabelled lists
    bool boldLabel = false;
};

inline constexpr std::size_t kControlCount = 54;

// The controls in creation order (which is also the tab order).
const std::array<ControlSpec, kControlCount>& gf_controlTable();
// The entry of a command id; null when no control has it.
const ControlSpec* gf_findControlSpec(std::uint16_t commandId);

// A rectangle in 96-dpi or pixel units (left, top, right, bottom).
struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    std::int32_t width() const { return right - left; }
    std::int32_t height() const { return bottom - top; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// Where a control is created: (x, row y + dy) with its size, at 96 dpi.
Rect gf_controlRect(const ControlSpec& entry);

// The row labels painted left of the first control of a row.
struct PanelLabel {
    std::string_view text;
    std::int32_t x = 0;
    std::int32_t y = 0;
};
const std::array<PanelLabel, 5>& gf_rowLabels();

} // namespace zelk
