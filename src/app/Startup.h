#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelk {

// Exit code of a second instance: it ends at once, with no message and no change.
inline constexpr int kSecondInstanceExitCode = -1;
// Exit code when the start-up itself fails (before any run).
inline constexpr int kStartupFailedExitCode = 1;

// "--production" in any letter case, the whole argument.
bool lf_isProductionArgument(std::string_view argument);
// The production flag from the command line (program name first): true when
// any later argument is "--production", else nothing.
std::optional<bool> lf_productionFlagFrom(const std::vector<std::string>& arguments);

// Makes sure the per-user data folder exists, creating missing parents. False
// with the reason in error when its status cannot be read or it cannot be made.
bool lf_ensureUserDataFolder(const std::filesystem::path& folder, std::string& error);

// Connects the simulator link to the window: its run state to the simulator
// square, its messages to the message line (and the log), and a wrong
// simulator to the window's switch (MSG_SWITCH_SIM).
void lf_installSimLinkHooks();

// Every component's run steps, hooks and close-down members, as the program
// installs them at start-up.
void lf_installComponents();

// The process: refuses a second instance, then runs the start-up and the
// user-interface loop until the program ends. Returns the process exit code.
int gf_runProcess(const std::vector<std::string>& arguments);

// The start-up body and the message loop; every exception is caught and
// reported on standard error and in the log.
int lf_startupGuarded(const std::vector<std::string>& arguments);
int lf_startup(const std::vector<std::string>& arguments);

} // namespace zelk
