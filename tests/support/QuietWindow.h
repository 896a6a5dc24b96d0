#pragma once

#include <cstdint>
#include <string_view>

#include "gui/Gui.h"

namespace zelk::test {

// A window that shows nothing: the test thread plays the user-interface
// thread, so shown messages reach the log at once.
struct QuietWindow final : GuiWindow {
    bool postMessage(std::uint32_t) override { return true; }
    void invalidate(const RepaintPlan&) override {}
    void showChildControls(bool) override {}
    void setTopmost(bool) override {}
    void messageLineShown(std::string_view, bool) override {}
};

} // namespace zelk::test
