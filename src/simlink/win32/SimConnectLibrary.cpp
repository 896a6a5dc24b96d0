#include "simlink/SimConnectLibrary.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include <fmt/format.h>

#include "core/Log.h"
#include "core/Strings.h"
#include "simlink/SimConnectPort.h"

namespace zelk {
namespace {

std::filesystem::path lf_programFolder()
{
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            return std::filesystem::path(buffer).parent_path();
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::optional<std::string> lf_environment(const char* name)
{
    const std::wstring wide(name, name + std::strlen(name));
    const wchar_t* value = _wgetenv(wide.c_str());
    if (value == nullptr)
        return std::nullopt;
    return path_to_utf8(std::filesystem::path(value));
}

template <class Fn>
bool lf_bind(HMODULE module, const char* name, Fn& out)
{
    const FARPROC proc = GetProcAddress(module, name);
    if (proc == nullptr)
        return false;
    static_assert(sizeof(out) == sizeof(proc));
    std::memcpy(&out, &proc, sizeof(out));
    return true;
}

// The library's exports, or why there are none.
struct Library {
    std::optional<sc::Api> api;
    std::string failure;
};

Library lf_load()
{
    Library lib;
    std::error_code ec;
    std::filesystem::path found;
    for (const auto& candidate : gf_simConnectCandidates(lf_programFolder(), lf_environment))
        if (std::filesystem::is_regular_file(candidate, ec)) {
            found = candidate;
            break;
        }
    if (found.empty()) {
        lib.failure = "SimConnect.dll not found beside zelk.exe nor in the SDK folder of MSFS2024_SDK or MSFS_SDK";
        return lib;
    }
    // The full path, and the library's own folder for what it loads in turn.
    const HMODULE module = LoadLibraryExW(found.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module == nullptr) {
        lib.failure = fmt::format("SimConnect.dll at {} could not be loaded (error {})", path_to_utf8(found),
                                  GetLastError());
        return lib;
    }
    sc::Api api;
    const char* missing = nullptr;
    const auto need = [&](const char* name, auto& fn) {
        if (missing == nullptr && !lf_bind(module, name, fn))
            missing = name;
    };
    need("SimConnect_Open", api.open);
    need("SimConnect_Close", api.close);
    need("SimConnect_CallDispatch", api.callDispatch);
    need("SimConnect_AddToDataDefinition", api.addToDataDefinition);
    need("SimConnect_RequestDataOnSimObject", api.requestDataOnSimObject);
    need("SimConnect_RequestDataOnSimObjectType", api.requestDataOnSimObjectType);
    need("SimConnect_SetDataOnSimObject", api.setDataOnSimObject);
    need("SimConnect_AICreateNonATCAircraft", api.aiCreateNonAtcAircraft);
    need("SimConnect_AIReleaseControl", api.aiReleaseControl);
    need("SimConnect_AIRemoveObject", api.aiRemoveObject);
    need("SimConnect_AISetAircraftFlightPlan", api.aiSetAircraftFlightPlan);
    need("SimConnect_GetLastSentPacketID", api.getLastSentPacketId);
    need("SimConnect_SubscribeToSystemEvent", api.subscribeToSystemEvent);
    need("SimConnect_MapClientEventToSimEvent", api.mapClientEventToSimEvent);
    need("SimConnect_AddClientEventToNotificationGroup", api.addClientEventToNotificationGroup);
    need("SimConnect_SetNotificationGroupPriority", api.setNotificationGroupPriority);
    need("SimConnect_TransmitClientEvent", api.transmitClientEvent);
    need("SimConnect_RequestSystemState", api.requestSystemState);
    need("SimConnect_AddToFacilityDefinition", api.addToFacilityDefinition);
    need("SimConnect_RequestFacilityData", api.requestFacilityData);
    if (missing != nullptr) {
        lib.failure = fmt::format("SimConnect.dll at {} lacks {}", path_to_utf8(found), missing);
        FreeLibrary(module);
        return lib;
    }
    // Only the MSFS 2024 library has it; without it every simulator gets the plain create.
    lf_bind(module, "SimConnect_AICreateNonATCAircraft_EX1", api.aiCreateNonAtcAircraftEx1);
    gf_writeLogLine(fmt::format("SimConnect.dll loaded from {}", path_to_utf8(found)));
    lib.api = api;
    return lib; // the library stays loaded for the life of the process
}

const Library& lf_library()
{
    static const Library library = [] {
        Library lib = lf_load();
        if (!lib.api)
            gf_showSimLinkMessage(lib.failure); // logged with it
        return lib;
    }();
    return library;
}

} // namespace

SimPortFactory gf_systemSimPortFactory()
{
    return []() -> std::unique_ptr<SimPort> {
        const Library& lib = lf_library();
        if (!lib.api)
            return nullptr;
        return std::make_unique<SimConnectPort>(*lib.api);
    };
}

} // namespace zelk
