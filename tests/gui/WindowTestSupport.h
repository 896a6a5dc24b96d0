#pragma once

#include <memory>
#include <optional>
#include <string>

#include <pugixml.hpp>

#include "core/ControlHost.h"
#include "core/FeedState.h"
#include "core/LoopRequests.h"
#include "core/ParametersFile.h"
#include "core/StopRequest.h"
#include "core/ParameterTestSupport.h"
#include "gui/ControlText.h"
#include "gui/Gui.h"
#include "gui/GuiTestSupport.h"
#include "gui/HeadlessWindow.h"
#include "gui/WindowCommands.h"
#include "gui/WindowHooks.h"
#include "gui/WindowTasks.h"

namespace zelk::test {

// The program's window as the headless build has it: every control made in
// the headless host, parameters.xml in the per-user folder, the screen's queue
// applied at once on this (the user-interface) thread, no stop request, no
// loop request, no hooks of the components above the window.
class WindowTest : public ParametersTest {
protected:
    void SetUp() override
    {
        ParametersTest::SetUp();
        if (IsSkipped()) return;
        gf_resetStopRequest();
        stop_detail::resetClosingByUserForTests();
        gf_resetLoopRequests();
        gf_updateWindowHooks([](WindowHooks& h) { h = WindowHooks{}; });
        gf_clearWindowTasks();
        timeShiftActive = false;
        gf_gui().resetPanelState();
        gf_writeNewParametersFile();
        lf_createControls();
        host_ = std::dynamic_pointer_cast<HeadlessControlHost>(gf_controlHost());
        window_ = std::make_shared<RecordingWindow>();
        gf_gui().attachWindow(window_);
    }
    void TearDown() override
    {
        gf_gui().detachWindow();
        gf_updateWindowHooks([](WindowHooks& h) { h = WindowHooks{}; });
        gf_resetStopRequest();
        stop_detail::resetClosingByUserForTests();
        gf_resetLoopRequests();
        timeShiftActive = false;
        ParametersTest::TearDown();
    }

    // The value parameters.xml holds for a key; nothing when it is missing.
    std::optional<std::string> stored(const std::string& key) const
    {
        pugi::xml_document doc;
        if (!doc.load_file(paramsFile().c_str())) return std::nullopt;
        return gf_readXmlStringParameter(doc, key);
    }

    // A click on a button or check box (BN_CLICKED).
    bool click(const GuiControl& control) { return lf_HandleWMCOMMAND(control.commandId); }
    // The user picks the list's entry at index (CBN_SELCHANGE).
    bool select(const GuiControl& list, std::size_t index)
    {
        host_->selectComboIndex(list.hwnd(), index);
        return lf_HandleWMCOMMAND(gf_commandWord(list.commandId, kCbnSelChange));
    }
    // The entry of a list showing the text.
    std::size_t indexOf(const GuiControl& list, const std::string& text) const
    {
        const auto items = host_->comboItems(list.hwnd());
        for (std::size_t i = 0; i < items.size(); ++i)
            if (items[i] == text) return i;
        ADD_FAILURE() << "no entry '" << text << "' in list " << list.commandId;
        return items.size();
    }

    std::string log() const { return logText(); }
    const std::string& message() const { return gf_gui().panel().message; }
    std::optional<StopReason> stopReason() const
    {
        const auto r = gf_currentStopRequest();
        if (!r) return std::nullopt;
        return r->stopReason();
    }
    std::optional<std::uint32_t> stopDelay() const
    {
        const auto r = gf_currentStopRequest();
        if (!r) return std::nullopt;
        return r->delay;
    }

    std::shared_ptr<HeadlessControlHost> host_;
    std::shared_ptr<RecordingWindow> window_;
};

} // namespace zelk::test
