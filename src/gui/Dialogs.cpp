#include "gui/Dialogs.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>

#include <fmt/format.h>

namespace zelk {

namespace {

struct DialogState {
    std::mutex lock;
    std::optional<std::filesystem::path> pickerAnswer;
    std::shared_ptr<const DialogHooks> hooks = std::make_shared<const DialogHooks>();
};

DialogState& lf_state()
{
    static DialogState state;
    return state;
}

std::atomic<std::uint64_t> g_dialogsOpened{0};

std::shared_ptr<const DialogHooks> lf_hooks()
{
    std::scoped_lock guard(lf_state().lock);
    return lf_state().hooks;
}

} // namespace

void gf_messageBox(std::string_view text, MessageBoxIcon icon)
{
    g_dialogsOpened.fetch_add(1);
    const auto hooks = lf_hooks();
    if (hooks->messageBox) {
        hooks->messageBox(text, icon);
        return;
    }
    const char* kind = icon == MessageBoxIcon::Error ? "error" : icon == MessageBoxIcon::Warning ? "warning" : "info";
    fmt::print("ZELK ({}): {}\n", kind, text);
    std::fflush(stdout);
}

std::filesystem::path gf_browseForFolder(const std::filesystem::path& start)
{
    g_dialogsOpened.fetch_add(1);
    const auto hooks = lf_hooks();
    if (hooks->browseForFolder) return hooks->browseForFolder(start);
    std::scoped_lock guard(lf_state().lock);
    return lf_state().pickerAnswer.value_or(std::filesystem::path{});
}

void gf_setFolderPickerAnswer(std::optional<std::filesystem::path> folder)
{
    std::scoped_lock guard(lf_state().lock);
    lf_state().pickerAnswer = std::move(folder);
}

std::uint64_t gf_dialogsOpened() { return g_dialogsOpened.load(); }

void gf_setDialogHooks(DialogHooks hooks)
{
    auto shared = std::make_shared<const DialogHooks>(std::move(hooks));
    std::scoped_lock guard(lf_state().lock);
    lf_state().hooks = std::move(shared);
}

} // namespace zelk
