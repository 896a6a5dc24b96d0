#pragma once

#include <functional>
#include <string>

namespace zelk {

// What the update component shows the user: the main window's message line
// and message boxes, unless hooks are set (tests watch the messages so).
struct UpdateUiHooks {
    // The status line (25 seconds), also logged when alsoLog is set.
    std::function<void(std::string text, bool alsoLog)> showMessage;
    // A modal warning box captioned "ZELK", with the exclamation icon.
    std::function<void(std::string text)> showWarningBox;
};

void gf_setUpdateUiHooks(UpdateUiHooks hooks);

void gf_updateShowMessage(std::string text, bool alsoLog);
void gf_updateShowWarningBox(std::string text);

} // namespace zelk
