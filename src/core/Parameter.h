#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "core/ControlHost.h"

namespace zelk {

// One setting of parameters.xml or one button of the main window. The objects
// are process-wide globals; their values are read and written from the worker
// and the window thread, so every current value is atomic or under its object's lock.
class Parameter {
public:
    explicit Parameter(std::string name);
    virtual ~Parameter();
    Parameter(const Parameter&) = delete;
    Parameter& operator=(const Parameter&) = delete;

    const std::string name; // the XML key, or the button caption
};

class IntParameter : public Parameter {
public:
    // No check that the default lies in the range.
    IntParameter(std::string name, std::int32_t defaultValue, std::int32_t minValue, std::int32_t maxValue);

    const std::int32_t defaultValue;
    const std::int32_t minValue;
    const std::int32_t maxValue;

    std::int32_t value() const { return value_.load(); }
    void setValue(std::int32_t v) { value_.store(v); }
    std::int32_t clamp(std::int32_t v) const;

    // Log line "{}={}".
    void logValue() const;
    // Appends <parameter name=key value=default/> to the parameters section; logs the value.
    bool appendDefaultTo(pugi::xml_node section) const;
    // The same with the current value (a new file keeps what is in memory).
    bool appendValueTo(pugi::xml_node section) const;
    // Writes the current value into parameters.xml (single key).
    void save() const;
    // Value = v clamped to [min, max], then save.
    void setAndSave(std::int32_t v);

private:
    std::atomic<std::int32_t> value_;
};

class FloatParameter : public Parameter {
public:
    FloatParameter(std::string name, float defaultValue, float minValue, float maxValue);

    const float defaultValue;
    const float minValue;
    const float maxValue;

    float value() const { return value_.load(); }
    void setValue(float v) { value_.store(v); }
    float clamp(float v) const;

private:
    std::atomic<float> value_;
};

class BoolParameter : public Parameter {
public:
    BoolParameter(std::string name, bool defaultValue);

    const bool defaultValue;

    bool value() const { return value_.load(); }
    void setValue(bool v) { value_.store(v); }

    // Log line "{}=true" or "{}=false".
    void logValue() const;
    // Value = the stored value when found, else the default; logs; returns whether found.
    bool loadFrom(const pugi::xml_node& doc);
    bool appendDefaultTo(pugi::xml_node section) const;
    bool appendValueTo(pugi::xml_node section) const;
    void save() const;

private:
    std::atomic<bool> value_;
};

class StringParameter : public Parameter {
public:
    StringParameter(std::string name, std::string defaultValue);

    std::string value() const;
    void setValue(std::string v);
    std::string defaultValue() const;
    // Only PROGRAM_VERSION's default changes (to the program's version, for a new file).
    void setDefaultValue(std::string v);

    // Log line {}="{}".
    void logValue() const;
    bool loadFrom(const pugi::xml_node& doc);
    bool appendDefaultTo(pugi::xml_node section) const;
    bool appendValueTo(pugi::xml_node section) const;
    void save() const;
    void setAndSave(std::string v);

private:
    mutable std::mutex lock_;
    std::string defaultValue_;
    std::string value_;
};

class PathParameter : public Parameter {
public:
    PathParameter(std::string name, std::filesystem::path defaultValue);

    std::filesystem::path value() const;
    void setValue(std::filesystem::path v);
    std::filesystem::path defaultValue() const;

    // Log line {}="{}" with the path as UTF-8.
    void logValue() const;
    bool loadFrom(const pugi::xml_node& doc);
    void save() const;
    void setAndSave(std::filesystem::path v);

private:
    mutable std::mutex lock_;
    const std::filesystem::path defaultValue_;
    std::filesystem::path value_;
};

// Where and how the window shows an object: the control id (also its WM_COMMAND
// id), the layout in 96-dpi units and, once created, the control's handle.
class GuiControl {
public:
    GuiControl(std::uint16_t commandId, std::int32_t x, std::int32_t labelX, std::int32_t y, std::int32_t dy);
    virtual ~GuiControl();
    GuiControl(const GuiControl&) = delete;
    GuiControl& operator=(const GuiControl&) = delete;

    const std::uint16_t commandId;
    const std::int32_t x;      // left edge of the control
    const std::int32_t labelX; // where the caption is painted
    const std::int32_t y;      // caption row and control row
    const std::int32_t dy;     // the control's top is y + dy

    ControlHandle hwnd() const { return hwnd_.load(); }
    void setHwnd(ControlHandle h) { hwnd_.store(h); }
    std::uintptr_t previousProc() const { return previousProc_.load(); }
    void setPreviousProc(std::uintptr_t p) { previousProc_.store(p); }

    // The control exists as a live window of the installed host.
    bool hasWindow() const;
    // Enables or disables the control (nothing while it has no window).
    void enable(bool enabled) const;

private:
    std::atomic<ControlHandle> hwnd_{kNoControl};
    std::atomic<std::uintptr_t> previousProc_{0};
};

// A check box.
class GuiBoolParameter : public BoolParameter, public GuiControl {
public:
    GuiBoolParameter(std::string name, bool defaultValue, std::uint16_t commandId, std::int32_t x,
                     std::int32_t labelX, std::int32_t y, std::int32_t dy);
    // Shows the current value in the check box.
    void showValue() const;
};

// An edit field (only DESTINATION).
class GuiStringParameter : public StringParameter, public GuiControl {
public:
    GuiStringParameter(std::string name, std::string defaultValue, std::uint16_t commandId, std::int32_t x,
                       std::int32_t labelX, std::int32_t y, std::int32_t dy);
};

// A combo box of fixed texts.
class ChoiceParameter : public GuiStringParameter {
public:
    ChoiceParameter(std::string name, std::string defaultValue, const std::vector<std::string>& options,
                    std::uint16_t commandId, std::int32_t x, std::int32_t labelX, std::int32_t y, std::int32_t dy);

    const std::vector<std::string> options;

    // Index of the first option equal to the value (exact, case-sensitive).
    std::optional<std::size_t> indexOfValue() const;
    // Refills the combo and selects the option equal to the value; nothing is
    // selected when the value is not an option (a prefix never selects a longer option).
    void fillCombo() const;
    void selectCurrentInCombo() const;
    // Shows the value: selects its option, or clears the selection when it is none.
    void showValue() const;
};

// A list that other components refill at run time while the window reads it.
class SharedOptionList {
public:
    SharedOptionList() = default;
    explicit SharedOptionList(std::vector<std::string> items) : items_(std::move(items)) {}

    void assign(std::vector<std::string> items);
    std::vector<std::string> items() const;
    std::size_t size() const;

private:
    mutable std::mutex lock_;
    std::vector<std::string> items_;
};

// A combo box over a shared list (aircraft, stands); the list is never copied
// into the parameter, so a refill shows at the next fill.
class ListSelectParameter : public GuiStringParameter {
public:
    // A null list throws std::invalid_argument.
    ListSelectParameter(std::string name, std::string defaultValue, std::shared_ptr<SharedOptionList> options,
                        std::uint16_t commandId, std::int32_t x, std::int32_t labelX, std::int32_t y,
                        std::int32_t dy);

    const std::shared_ptr<SharedOptionList> options;

    // Fills the combo from the list as it stands and selects the entry equal to the value.
    void fillCombo() const;
};

// A combo box of integer values; min and max are the smallest and largest option.
class IntListParameter : public IntParameter, public GuiControl {
public:
    // An empty list throws std::invalid_argument.
    IntListParameter(std::string name, std::int32_t defaultValue, const std::vector<int>& options,
                     std::uint16_t commandId, std::int32_t x, std::int32_t labelX, std::int32_t y, std::int32_t dy);

    const std::vector<int> options;

    // Throws std::out_of_range for an index not below the option count.
    std::int32_t optionAt(std::size_t index) const;
    std::optional<std::size_t> indexOf(std::int32_t v) const;
    // Refills the combo with the decimal texts and selects the value (nothing when it is not an option).
    void fillCombo() const;
    // Selects the value's entry; the control is left as it is when the value is not an option.
    void selectCurrentInCombo() const;
    // Shows the value: selects its entry, or clears the selection when it is none.
    void showValue() const;
};

// A combo box of float values.
class FloatListParameter : public FloatParameter, public GuiControl {
public:
    FloatListParameter(std::string name, float defaultValue, const std::vector<float>& options,
                       std::uint16_t commandId, std::int32_t x, std::int32_t labelX, std::int32_t y,
                       std::int32_t dy);

    const std::vector<float> options;

    float optionAt(std::size_t index) const;
    std::optional<std::size_t> indexOf(float v) const;
    // Every option with one decimal: "0.5", "24.0".
    void fillCombo() const;
    void selectCurrentInCombo() const;
};

// A push button; name is its caption.
class GuiButton : public Parameter, public GuiControl {
public:
    GuiButton(std::string caption, std::uint16_t commandId, std::int32_t x, std::int32_t labelX, std::int32_t y,
              std::int32_t dy);
};

// std::out_of_range "configuration option index is out of range".
[[noreturn]] void gf_optionIndexOutOfRange();

} // namespace zelk
