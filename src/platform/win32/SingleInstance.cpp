#include "platform/SingleInstance.h"
#include "platform/win32/WinText.h"

#include <windows.h>

namespace zelk::platform {

SingleInstance::SingleInstance(std::string_view name, const std::filesystem::path& /*lockFolder*/)
{
    // "Local\" keeps the claim per logon: another user on the machine may run
    // the program too.
    const std::wstring mutexName = L"Local\\$" + win32::toWide(name) + L"$";
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, mutexName.c_str());
    const DWORD lastError = ::GetLastError();
    if (mutex == nullptr) {
        error_ = "CreateMutexW failed: " + win32::errorText(lastError);
        return;
    }
    if (lastError == ERROR_ALREADY_EXISTS) {
        // The handle opened the other instance's mutex; holding it would keep
        // the name alive after that instance ends.
        ::CloseHandle(mutex);
        anotherRuns_ = true;
        return;
    }
    handle_ = reinterpret_cast<std::intptr_t>(mutex);
}

SingleInstance::~SingleInstance()
{
    if (handle_ != kNoHandle) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

} // namespace zelk::platform
