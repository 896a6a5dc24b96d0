#include "gui/ControlText.h"

#include <exception>

#include <fmt/format.h>

#include "core/ControlHost.h"
#include "core/Log.h"
#include "core/Parameters.h"
#include "gui/ControlTable.h"
#include "gui/GuiUpdate.h"

namespace zelk {

namespace {

// The control of a parameter that has one, when it exists.
const GuiControl* lf_controlOf(const Parameter& parameter)
{
    const auto* control = dynamic_cast<const GuiControl*>(&parameter);
    return control != nullptr && control->hasWindow() ? control : nullptr;
}

std::uint16_t lf_idOf(const Parameter& parameter)
{
    const auto* control = dynamic_cast<const GuiControl*>(&parameter);
    return control != nullptr ? control->commandId : 0;
}

void lf_showText(const Parameter& parameter, const std::string& text)
{
    const GuiControl* control = lf_controlOf(parameter);
    if (control == nullptr) {
        gf_writeLogLine(fmt::format("GetDlgItem failed for ID {}", lf_idOf(parameter)));
        return;
    }
    gf_controlHost()->setText(control->hwnd(), text);
    gf_guiRedrawSettings();
}

} // namespace

void gf_fillControl(const GuiControl& control)
{
    if (const auto* choice = dynamic_cast<const ChoiceParameter*>(&control)) {
        choice->fillCombo();
    } else if (const auto* list = dynamic_cast<const ListSelectParameter*>(&control)) {
        list->fillCombo();
    } else if (const auto* ints = dynamic_cast<const IntListParameter*>(&control)) {
        ints->fillCombo();
    } else if (const auto* floats = dynamic_cast<const FloatListParameter*>(&control)) {
        floats->fillCombo();
    } else if (const auto* box = dynamic_cast<const GuiBoolParameter*>(&control)) {
        box->showValue();
    }
}

void gf_showAllControls(bool shown)
{
    const auto host = gf_controlHost();
    for (const ControlSpec& entry : gf_controlTable())
        if (entry.control->hasWindow()) host->show(entry.control->hwnd(), shown);
}

std::string lf_getTextFromId(std::uint16_t commandId)
{
    const GuiControl* control = gf_findGuiControl(commandId);
    if (control == nullptr || !control->hasWindow()) {
        gf_writeLogLine(fmt::format("{}: GetDlgItem failed for ID {}", "lf_getTextFromId", commandId));
        return {};
    }
    try {
        return gf_controlHost()->text(control->hwnd()).value_or(std::string{});
    } catch (const std::exception& e) {
        gf_writeLogNotice(fmt::format("{}: UTF-16 to UTF-8 failed for ID {}: {}", "lf_getTextFromId", commandId, e.what()));
        return {};
    }
}

std::optional<ComboSelection> lf_getComboSelection(std::uint16_t commandId, std::uint32_t commandWord)
{
    if ((commandWord & 0xFFFF) != commandId || (commandWord >> 16) != kCbnSelChange) return std::nullopt;
    const GuiControl* control = gf_findGuiControl(commandId);
    if (control == nullptr || !control->hasWindow()) return std::nullopt;
    const auto host = gf_controlHost();
    const std::optional<std::size_t> index = host->comboSelection(control->hwnd());
    if (!index) return std::nullopt;
    std::optional<std::string> text = host->comboItemText(control->hwnd(), *index);
    if (!text) return std::nullopt;
    return ComboSelection{*index, std::move(*text)};
}

void gf_showIntParameter(const IntParameter& parameter) { lf_showText(parameter, std::to_string(parameter.value())); }

void gf_showStringParameter(const StringParameter& parameter) { lf_showText(parameter, parameter.value()); }

} // namespace zelk
