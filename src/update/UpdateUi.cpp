#include "update/UpdateUi.h"

#include <memory>

#include "core/Published.h"
#include "gui/Dialogs.h"
#include "gui/GuiUpdate.h"

namespace zelk {
namespace {

Published<const UpdateUiHooks>& lf_hooks()
{
    static Published<const UpdateUiHooks> hooks{std::make_shared<const UpdateUiHooks>()};
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
    } else {
        gf_guiShowMessage(std::move(text), alsoLog);
    }
}

void gf_updateShowWarningBox(std::string text)
{
    const auto hooks = lf_hooks().load();
    if (hooks->showWarningBox) {
        hooks->showWarningBox(std::move(text));
    } else {
        gf_messageBox(text, MessageBoxIcon::Warning);
    }
}

} // namespace zelk
