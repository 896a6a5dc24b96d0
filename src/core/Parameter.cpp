#include "core/Parameter.h"

#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "core/Log.h"
#include "core/Strings.h"

namespace zelk {
namespace {

template <typename T>
T lf_smallestOption(const std::vector<T>& options)
{
    if (options.empty()) throw std::invalid_argument("configuration option list cannot be empty");
    return *std::min_element(options.begin(), options.end());
}

template <typename T>
T lf_largestOption(const std::vector<T>& options)
{
    if (options.empty()) throw std::invalid_argument("configuration option list cannot be empty");
    return *std::max_element(options.begin(), options.end());
}

template <typename T>
std::optional<std::size_t> lf_indexOf(const std::vector<T>& options, const T& v)
{
    const auto it = std::find(options.begin(), options.end(), v);
    if (it == options.end()) return std::nullopt;
    return static_cast<std::size_t>(it - options.begin());
}

// Fills a combo box and selects the entry at index, if any.
void lf_fillAndSelect(const GuiControl& control, const std::vector<std::string>& texts,
                      std::optional<std::size_t> index)
{
    const auto host = gf_controlHost();
    const ControlHandle h = control.hwnd();
    if (h == kNoControl || !host->isControl(h)) return;
    host->fillCombo(h, texts);
    if (index) host->selectComboIndex(h, *index);
}

void lf_select(const GuiControl& control, std::optional<std::size_t> index)
{
    if (!index) return;
    const auto host = gf_controlHost();
    const ControlHandle h = control.hwnd();
    if (h == kNoControl || !host->isControl(h)) return;
    host->selectComboIndex(h, *index);
}

// Selects the entry at index, or clears the selection when there is none.
void lf_show(const GuiControl& control, std::optional<std::size_t> index)
{
    const auto host = gf_controlHost();
    const ControlHandle h = control.hwnd();
    if (h == kNoControl || !host->isControl(h)) return;
    host->selectComboIndex(h, index.value_or(static_cast<std::size_t>(-1)));
}

} // namespace

void gf_optionIndexOutOfRange() { throw std::out_of_range("configuration option index is out of range"); }

// ---- Parameter ----

Parameter::Parameter(std::string name) : name(std::move(name)) {}
Parameter::~Parameter() = default;

// ---- IntParameter ----

IntParameter::IntParameter(std::string name, std::int32_t defaultValue, std::int32_t minValue, std::int32_t maxValue)
    : Parameter(std::move(name)), defaultValue(defaultValue), minValue(minValue), maxValue(maxValue),
      value_(defaultValue)
{
}

std::int32_t IntParameter::clamp(std::int32_t v) const
{
    // Written out rather than std::clamp: a range given upside down must not be undefined behaviour.
    if (v < minValue) return minValue;
    if (v > maxValue) return maxValue;
    return v;
}

void IntParameter::logValue() const { gf_writeLogLineNoThrow(fmt::format("{}={}", name, value())); }

void IntParameter::setAndSave(std::int32_t v)
{
    setValue(clamp(v));
    save();
}

// ---- FloatParameter ----

FloatParameter::FloatParameter(std::string name, float defaultValue, float minValue, float maxValue)
    : Parameter(std::move(name)), defaultValue(defaultValue), minValue(minValue), maxValue(maxValue),
      value_(defaultValue)
{
}

float FloatParameter::clamp(float v) const
{
    if (v < minValue) return minValue;
    if (v > maxValue) return maxValue;
    if (std::isnan(v)) return defaultValue;
    return v;
}

// ---- BoolParameter ----

BoolParameter::BoolParameter(std::string name, bool defaultValue)
    : Parameter(std::move(name)), defaultValue(defaultValue), value_(defaultValue)
{
}

void BoolParameter::logValue() const
{
    gf_writeLogLineNoThrow(fmt::format("{}={}", name, value() ? "true" : "false"));
}

// ---- StringParameter ----

StringParameter::StringParameter(std::string name, std::string defaultValue)
    : Parameter(std::move(name)), defaultValue_(defaultValue), value_(std::move(defaultValue))
{
}

std::string StringParameter::value() const
{
    std::scoped_lock guard(lock_);
    return value_;
}

void StringParameter::setValue(std::string v)
{
    std::scoped_lock guard(lock_);
    value_ = std::move(v);
}

std::string StringParameter::defaultValue() const
{
    std::scoped_lock guard(lock_);
    return defaultValue_;
}

void StringParameter::setDefaultValue(std::string v)
{
    std::scoped_lock guard(lock_);
    defaultValue_ = std::move(v);
}

void StringParameter::logValue() const { gf_writeLogLineNoThrow(fmt::format("{}={}", name, gf_quoteSettingText(value()))); }

void StringParameter::setAndSave(std::string v)
{
    setValue(std::move(v));
    save();
}

// ---- PathParameter ----

PathParameter::PathParameter(std::string name, std::filesystem::path defaultValue)
    : Parameter(std::move(name)), defaultValue_(defaultValue), value_(std::move(defaultValue))
{
}

std::filesystem::path PathParameter::value() const
{
    std::scoped_lock guard(lock_);
    return value_;
}

void PathParameter::setValue(std::filesystem::path v)
{
    std::scoped_lock guard(lock_);
    value_ = std::move(v);
}

std::filesystem::path PathParameter::defaultValue() const { return defaultValue_; }

void PathParameter::logValue() const
{
    std::string text;
    try {
        text = path_to_utf8(value());
    } catch (const std::exception&) {
        text = "<path not printable>";
    }
    gf_writeLogLineNoThrow(fmt::format("{}={}", name, gf_quoteSettingText(text)));
}

void PathParameter::setAndSave(std::filesystem::path v)
{
    setValue(std::move(v));
    save();
}

// ---- GuiControl ----

GuiControl::GuiControl(std::uint16_t commandId, std::int32_t x, std::int32_t labelX, std::int32_t y, std::int32_t dy)
    : commandId(commandId), x(x), labelX(labelX), y(y), dy(dy)
{
}

GuiControl::~GuiControl() = default;

bool GuiControl::hasWindow() const
{
    const ControlHandle h = hwnd();
    return h != kNoControl && gf_controlHost()->isControl(h);
}

void GuiControl::enable(bool enabled) const
{
    const ControlHandle h = hwnd();
    if (h == kNoControl) return;
    gf_controlHost()->enable(h, enabled);
}

// ---- GuiBoolParameter, GuiStringParameter, GuiButton ----

GuiBoolParameter::GuiBoolParameter(std::string name, bool defaultValue, std::uint16_t commandId, std::int32_t x,
                                   std::int32_t labelX, std::int32_t y, std::int32_t dy)
    : BoolParameter(std::move(name), defaultValue), GuiControl(commandId, x, labelX, y, dy)
{
}

void GuiBoolParameter::showValue() const
{
    const ControlHandle h = hwnd();
    if (h == kNoControl) return;
    gf_controlHost()->setCheck(h, value());
}

GuiStringParameter::GuiStringParameter(std::string name, std::string defaultValue, std::uint16_t commandId,
                                       std::int32_t x, std::int32_t labelX, std::int32_t y, std::int32_t dy)
    : StringParameter(std::move(name), std::move(defaultValue)), GuiControl(commandId, x, labelX, y, dy)
{
}

GuiButton::GuiButton(std::string caption, std::uint16_t commandId, std::int32_t x, std::int32_t labelX,
                     std::int32_t y, std::int32_t dy)
    : Parameter(std::move(caption)), GuiControl(commandId, x, labelX, y, dy)
{
}

// ---- ChoiceParameter ----

ChoiceParameter::ChoiceParameter(std::string name, std::string defaultValue, const std::vector<std::string>& options,
                                 std::uint16_t commandId, std::int32_t x, std::int32_t labelX, std::int32_t y,
                                 std::int32_t dy)
    : GuiStringParameter(std::move(name), std::move(defaultValue), commandId, x, labelX, y, dy), options(options)
{
}

std::optional<std::size_t> ChoiceParameter::indexOfValue() const { return lf_indexOf(options, value()); }

void ChoiceParameter::fillCombo() const { lf_fillAndSelect(*this, options, indexOfValue()); }

void ChoiceParameter::selectCurrentInCombo() const { lf_select(*this, indexOfValue()); }

void ChoiceParameter::showValue() const { lf_show(*this, indexOfValue()); }

// ---- SharedOptionList, ListSelectParameter ----

void SharedOptionList::assign(std::vector<std::string> items)
{
    std::scoped_lock guard(lock_);
    items_ = std::move(items);
}

std::vector<std::string> SharedOptionList::items() const
{
    std::scoped_lock guard(lock_);
    return items_;
}

std::size_t SharedOptionList::size() const
{
    std::scoped_lock guard(lock_);
    return items_.size();
}

namespace {
std::shared_ptr<SharedOptionList> lf_requireList(std::shared_ptr<SharedOptionList> list)
{
    if (!list) throw std::invalid_argument("dynamic configuration option list cannot be null");
    return list;
}
} // namespace

ListSelectParameter::ListSelectParameter(std::string name, std::string defaultValue,
                                         std::shared_ptr<SharedOptionList> options, std::uint16_t commandId,
                                         std::int32_t x, std::int32_t labelX, std::int32_t y, std::int32_t dy)
    : GuiStringParameter(std::move(name), std::move(defaultValue), commandId, x, labelX, y, dy),
      options(lf_requireList(std::move(options)))
{
}

void ListSelectParameter::fillCombo() const
{
    const std::vector<std::string> items = options->items();
    lf_fillAndSelect(*this, items, lf_indexOf(items, value()));
}

// ---- IntListParameter ----

IntListParameter::IntListParameter(std::string name, std::int32_t defaultValue, const std::vector<int>& options,
                                   std::uint16_t commandId, std::int32_t x, std::int32_t labelX, std::int32_t y,
                                   std::int32_t dy)
    : IntParameter(std::move(name), defaultValue, lf_smallestOption(options), lf_largestOption(options)),
      GuiControl(commandId, x, labelX, y, dy), options(options)
{
}

std::int32_t IntListParameter::optionAt(std::size_t index) const
{
    if (index >= options.size()) gf_optionIndexOutOfRange();
    return options[index];
}

std::optional<std::size_t> IntListParameter::indexOf(std::int32_t v) const { return lf_indexOf(options, v); }

void IntListParameter::fillCombo() const
{
    std::vector<std::string> texts;
    texts.reserve(options.size());
    for (const int option : options) texts.push_back(fmt::format("{}", option));
    lf_fillAndSelect(*this, texts, indexOf(value()));
}

void IntListParameter::selectCurrentInCombo() const { lf_select(*this, indexOf(value())); }

void IntListParameter::showValue() const { lf_show(*this, indexOf(value())); }

// ---- FloatListParameter ----

FloatListParameter::FloatListParameter(std::string name, float defaultValue, const std::vector<float>& options,
                                       std::uint16_t commandId, std::int32_t x, std::int32_t labelX, std::int32_t y,
                                       std::int32_t dy)
    : FloatParameter(std::move(name), defaultValue, lf_smallestOption(options), lf_largestOption(options)),
      GuiControl(commandId, x, labelX, y, dy), options(options)
{
}

float FloatListParameter::optionAt(std::size_t index) const
{
    if (index >= options.size()) gf_optionIndexOutOfRange();
    return options[index];
}

std::optional<std::size_t> FloatListParameter::indexOf(float v) const { return lf_indexOf(options, v); }

void FloatListParameter::fillCombo() const
{
    std::vector<std::string> texts;
    texts.reserve(options.size());
    for (const float option : options) texts.push_back(fmt::format("{:.1f}", option));
    lf_fillAndSelect(*this, texts, indexOf(value()));
}

void FloatListParameter::selectCurrentInCombo() const { lf_select(*this, indexOf(value())); }

} // namespace zelk
