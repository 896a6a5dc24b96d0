#pragma once

#include "core/ControlHost.h"

namespace zelk::win32 {

// The controls of the main window, reached through their window handles.
// Calls from another thread are carried to the window's thread by the system.
class Win32ControlHost final : public ControlHost {
public:
    bool isControl(ControlHandle control) const override;
    void setCheck(ControlHandle control, bool checked) override;
    bool isChecked(ControlHandle control) const override;
    void fillCombo(ControlHandle control, const std::vector<std::string>& items) override;
    void selectComboIndex(ControlHandle control, std::size_t index) override;
    std::optional<std::size_t> comboSelection(ControlHandle control) const override;
    void enable(ControlHandle control, bool enabled) override;
    bool isEnabled(ControlHandle control) const override;
    void setText(ControlHandle control, const std::string& text) override;
    std::optional<std::string> text(ControlHandle control) const override;
    std::optional<std::string> comboItemText(ControlHandle control, std::size_t index) const override;
    void show(ControlHandle control, bool shown) override;
    bool isShown(ControlHandle control) const override;
};

} // namespace zelk::win32
