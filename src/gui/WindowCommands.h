#pragma once

#include <cstdint>
#include <string>

#include "gui/WindowPlacement.h"

namespace zelk {

// The main window's reactions to the user, without the window system: every
// click on a button, check box or list, the close button, the compact box and
// the simulator switch. User-interface thread; controls change through the
// control host, the worker learns through the settings snapshot, the loop
// request flags, the parking-request record and the stop request.

// WM_COMMAND: the buttons, then the check boxes, then the lists; true when one
// handled the id. A standard exception of a handler is logged and reported as
// not handled; the parameters keep what they had.
bool lf_HandleWMCOMMAND(std::uint32_t commandWord);
bool lf_onButton(std::uint16_t id);
bool lf_onCheckBox(std::uint16_t id);
bool lf_onComboOrEdit(std::uint32_t commandWord);

// What the close button says: "{time} close window button clicked, closing ZELK ...".
std::string gf_closeButtonText();
// What the end of a demo run's time says: "{time} demo run over, closing ZELK ...".
std::string gf_demoEndText();

// MSG_SWITCH_SIM: the other simulator is selected, saved, and the run restarts.
void gf_onSwitchSim();

// A click at the point (client pixels): inside the Expand/Compact box (in
// 96-dpi units, scaled to dpi) the view toggles and COLLAPSED is saved; true then.
bool gf_onPanelClick(Point pixel, const Rect& compactBox96, std::uint32_t dpi);

// What follows the creation of the controls: the settings band redrawn and the view of COLLAPSED.
void gf_controlsCreated();

} // namespace zelk
