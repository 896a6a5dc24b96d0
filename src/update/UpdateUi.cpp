#include "update/UpdateUi.h"

#include <atomic>
#include <memory>

#include <fmt/format.h>

#include "core/Log.h"

namespace zelk {
namespace {

std::atomic<std::shared_ptr<const UpdateUiHooks>>& lf_hooks()
{
    static std::atomic<std::shared_ptr<const UpdateUiHooks>> hooks{std::make_shared<const UpdateUiHooks>()};
    return hooks;
}

} // namespace

void gf_setUpdateUiHooks(UpdateUiHooks hooks)
{
    lf_hooks().store(std::make_shared<const UpdateUiHooks>(std::move(hooks)));
}

void gf_updateShowMessage(std::string text, bool alsoLog)
{
    const auto hooks = lf_hooks().load();
    if (hooks->showMessage) {
        hooks->showMessage(std::move(text), alsoLog);
    } else if (alsoLog) {
        gf_writeLogLine(text);
    }
}

void gf_updateShowWarningBox(std::string text, std::string title)
{
    const auto hooks = lf_hooks().load();
    if (hooks->showWarningBox) {
        hooks->showWarningBox(std::move(text), std::move(title));
    } else {
        gf_writeLogNotice(fmt::format("{}: {}", title, text));
    }
}

} // namespace zelk
