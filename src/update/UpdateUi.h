#pragma once

#include <functional>
#include <string>

namespace zelk {

// What the update component shows the user, wired to the main window by the
// application. Unset hooks fall back to the log, so a headless run and the
// tests still see every message.
struct UpdateUiHooks {
    // The status line (25 seconds), also logged when alsoLog is set.
    std::function<void(std::string text, bool alsoLog)> showMessage;
    // A modal warning box with the exclamation icon.
    std::function<void(std::string text, std::string title)> showWarningBox;
};

void gf_setUpdateUiHooks(UpdateUiHooks hooks);

void gf_updateShowMessage(std::string text, bool alsoLog);
void gf_updateShowWarningBox(std::string text, std::string title);

} // namespace zelk
