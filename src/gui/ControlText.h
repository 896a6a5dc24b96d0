#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace zelk {

class IntParameter;
class StringParameter;

class GuiControl;

// Fills a list control with its parameter's options and selects the value;
// nothing for other controls.
void gf_fillControl(const GuiControl& control);

// Shows or hides every control that exists (the compact view hides them).
void gf_showAllControls(bool shown);

// The text of a main-window control by command id (UTF-8); empty when the
// control is missing (logged) or its text cannot be read.
std::string lf_getTextFromId(std::uint16_t commandId);

// The entry a list's CBN_SELCHANGE chose: only when the command word's low
// word is the id and its high word CBN_SELCHANGE (1).
struct ComboSelection {
    std::size_t index = 0;
    std::string text;
};
inline constexpr std::uint16_t kCbnSelChange = 1;
std::optional<ComboSelection> lf_getComboSelection(std::uint16_t commandId, std::uint32_t commandWord);

// The low and high words of a WM_COMMAND word parameter.
inline std::uint32_t gf_commandWord(std::uint16_t id, std::uint16_t code) { return id | (std::uint32_t{code} << 16); }

// Writes the value into the parameter's control (an integer in decimal) and
// redraws the settings band; "GetDlgItem failed for ID {}" in the log when the
// parameter has no control.
void gf_showIntParameter(const IntParameter& parameter);
void gf_showStringParameter(const StringParameter& parameter);

} // namespace zelk
