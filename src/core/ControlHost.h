#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace zelk {

// Opaque handle of one control window (a window handle on Windows); 0 = none.
using ControlHandle = std::uintptr_t;
inline constexpr ControlHandle kNoControl = 0;

// Every control call the parameter objects make goes through this interface, so
// the objects never depend on the window system. Implementations are thread-safe:
// the worker shows loaded values while the window thread handles commands.
class ControlHost {
public:
    virtual ~ControlHost() = default;

    // The handle names a live control (IsWindow).
    virtual bool isControl(ControlHandle control) const = 0;

    virtual void setCheck(ControlHandle control, bool checked) = 0;           // BM_SETCHECK
    virtual bool isChecked(ControlHandle control) const = 0;                   // BM_GETCHECK

    // Empties the combo box, clearing its selection, and adds the items in order.
    virtual void fillCombo(ControlHandle control, const std::vector<std::string>& items) = 0;
    // Selects the entry at index; an index past the end clears the selection.
    virtual void selectComboIndex(ControlHandle control, std::size_t index) = 0; // CB_SETCURSEL
    virtual std::optional<std::size_t> comboSelection(ControlHandle control) const = 0;

    virtual void enable(ControlHandle control, bool enabled) = 0;              // EnableWindow
    virtual bool isEnabled(ControlHandle control) const = 0;

    // The text of an edit box or button, UTF-8 (SetWindowTextW, GetWindowTextW);
    // nothing when the control is gone or its text cannot be read.
    virtual void setText(ControlHandle control, const std::string& text) = 0;
    virtual std::optional<std::string> text(ControlHandle control) const = 0;
    // The text of the combo box's entry at index (CB_GETLBTEXT); nothing past the end.
    virtual std::optional<std::string> comboItemText(ControlHandle control, std::size_t index) const = 0;

    // Shows or hides the control (ShowWindow); a new control is shown.
    virtual void show(ControlHandle control, bool shown) = 0;
    virtual bool isShown(ControlHandle control) const = 0;
};

// The installed host; the process starts with a headless one, which the window
// replaces with its own before it creates the controls.
std::shared_ptr<ControlHost> gf_controlHost();
void gf_installControlHost(std::shared_ptr<ControlHost> host);

// Keeps every control's state in memory: what the window would show, for tests
// and for builds without a window.
class HeadlessControlHost final : public ControlHost {
public:
    // A new live control, enabled, unchecked, with an empty combo list.
    ControlHandle createControl();
    void destroyControl(ControlHandle control);

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

    // The combo box's entries as shown.
    std::vector<std::string> comboItems(ControlHandle control) const;
    // The text of the selected entry; empty when nothing is selected.
    std::optional<std::string> comboSelectedText(ControlHandle control) const;

private:
    struct State {
        bool checked = false;
        bool enabled = true;
        bool shown = true;
        std::string text;
        std::vector<std::string> items;
        std::optional<std::size_t> selection;
    };

    mutable std::mutex lock_;
    std::unordered_map<ControlHandle, State> controls_;
    ControlHandle next_ = 1;
};

} // namespace zelk
