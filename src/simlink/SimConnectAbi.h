#pragma once

#include <cstddef>
#include <cstdint>

namespace zelk::sc {

// Our own declarations of the simulator client library's binary interface, from
// its public reference pages. Nothing here is taken from the library's headers;
// the layout test pins every value and offset to the page it comes from.
//
// Records arrive packed (no padding between members), so fields are read at
// the byte offsets below with memcpy, never through a cast of the buffer.

using Hresult = std::int32_t;
using Handle = void*;
inline constexpr Hresult kOk = 0;
inline constexpr Hresult kFail = static_cast<Hresult>(0x80004005);
inline constexpr std::uint32_t kUnused = 0xFFFFFFFFu;
inline constexpr std::uint32_t kUserObject = 0;
inline constexpr std::uint32_t kGroupPriorityHighest = 1;

// SIMCONNECT_RECV_ID
enum class RecvId : std::uint32_t {
    Null = 0,
    Exception = 1,
    Open = 2,
    Quit = 3,
    Event = 4,
    EventObjectAddRemove = 5,
    EventFilename = 6,
    EventFrame = 7,
    SimObjectData = 8,
    SimObjectDataByType = 9,
    AssignedObjectId = 12,
    SystemState = 15,
    // The reference page lists PICK before these, but the header declares PICK
    // only under an experimental define that is never set, so it takes no
    // number: what the library sends is 28 and 29.
    FacilityData = 28,
    FacilityDataEnd = 29,
};

// SIMCONNECT_EXCEPTION (the values this program names)
enum class Exception : std::uint32_t {
    None = 0,
    Error = 1,
    UnrecognizedId = 3,
    NameUnrecognized = 7,
    DataError = 20,
    CreateObjectFailed = 22,
    LoadFlightplanFailed = 23,
};

// SIMCONNECT_DATATYPE
enum class DataType : std::uint32_t {
    Invalid = 0,
    Int32 = 1,
    Int64 = 2,
    Float32 = 3,
    Float64 = 4,
    String8 = 5,
    String32 = 6,
    String64 = 7,
    String128 = 8,
    String256 = 9,
    String260 = 10,
};

// SIMCONNECT_PERIOD
enum class Period : std::uint32_t { Never = 0, Once = 1, VisualFrame = 2, SimFrame = 3, Second = 4 };

// SIMCONNECT_SIMOBJECT_TYPE
enum class SimObjectType : std::uint32_t { User = 0, All = 1, Aircraft = 2, Helicopter = 3, Boat = 4, Ground = 5 };

// SIMCONNECT_FACILITY_DATA_TYPE (the values this program reads)
enum class FacilityDataType : std::uint32_t {
    Airport = 0,
    Runway = 1,
    Helipad = 4,
    TaxiParking = 15,
    Pavement = 23,
};

// SIMCONNECT_DATA_INITPOSITION: six doubles and two DWORDs, no padding.
struct InitPosition {
    double latitude;
    double longitude;
    double altitude;
    double pitch;
    double bank;
    double heading;
    std::uint32_t onGround;
    std::uint32_t airspeed;
};
static_assert(sizeof(InitPosition) == 56);

// Byte offsets of the received records. Every record starts with
// SIMCONNECT_RECV {dwSize, dwVersion, dwID}.
namespace recv {
inline constexpr std::size_t kSize = 0;
inline constexpr std::size_t kVersion = 4;
inline constexpr std::size_t kId = 8;
inline constexpr std::size_t kHeaderSize = 12;
} // namespace recv

namespace exception { // SIMCONNECT_RECV_EXCEPTION
inline constexpr std::size_t kException = 12;
inline constexpr std::size_t kSendId = 16;
inline constexpr std::size_t kIndex = 20;
inline constexpr std::size_t kSize = 24;
} // namespace exception

namespace open { // SIMCONNECT_RECV_OPEN
inline constexpr std::size_t kApplicationName = 12;
inline constexpr std::size_t kApplicationNameLength = 256;
inline constexpr std::size_t kApplicationVersionMajor = 268;
inline constexpr std::size_t kApplicationVersionMinor = 272;
inline constexpr std::size_t kApplicationBuildMajor = 276;
inline constexpr std::size_t kApplicationBuildMinor = 280;
inline constexpr std::size_t kSimConnectVersionMajor = 284;
inline constexpr std::size_t kSize = 308;
} // namespace open

namespace event { // SIMCONNECT_RECV_EVENT and what inherits it
inline constexpr std::size_t kGroupId = 12;
inline constexpr std::size_t kEventId = 16;
inline constexpr std::size_t kData = 20;
inline constexpr std::size_t kSize = 24;
// SIMCONNECT_RECV_EVENT_FILENAME
inline constexpr std::size_t kFileName = 24;
inline constexpr std::size_t kFileNameLength = 260;
inline constexpr std::size_t kFileNameFlags = 284;
inline constexpr std::size_t kFileNameSize = 288;
// SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE
inline constexpr std::size_t kObjectType = 24;
inline constexpr std::size_t kAddRemoveSize = 28;
// SIMCONNECT_RECV_EVENT_FRAME
inline constexpr std::size_t kFrameRate = 24;
inline constexpr std::size_t kSimSpeed = 28;
inline constexpr std::size_t kFrameSize = 32;
} // namespace event

namespace objectData { // SIMCONNECT_RECV_SIMOBJECT_DATA (and _BYTYPE)
inline constexpr std::size_t kRequestId = 12;
inline constexpr std::size_t kObjectId = 16;
inline constexpr std::size_t kDefineId = 20;
inline constexpr std::size_t kFlags = 24;
inline constexpr std::size_t kEntryNumber = 28;
inline constexpr std::size_t kOutOf = 32;
inline constexpr std::size_t kDefineCount = 36;
inline constexpr std::size_t kData = 40;
} // namespace objectData

namespace assigned { // SIMCONNECT_RECV_ASSIGNED_OBJECT_ID
inline constexpr std::size_t kRequestId = 12;
inline constexpr std::size_t kObjectId = 16;
inline constexpr std::size_t kSize = 20;
} // namespace assigned

namespace systemState { // SIMCONNECT_RECV_SYSTEM_STATE
inline constexpr std::size_t kRequestId = 12;
inline constexpr std::size_t kInteger = 16;
inline constexpr std::size_t kFloat = 20;
inline constexpr std::size_t kString = 24;
inline constexpr std::size_t kSize = 284;
} // namespace systemState

namespace facility { // SIMCONNECT_RECV_FACILITY_DATA and _END
inline constexpr std::size_t kUserRequestId = 12;
inline constexpr std::size_t kUniqueRequestId = 16;
inline constexpr std::size_t kParentUniqueRequestId = 20;
inline constexpr std::size_t kType = 24;
// The page calls it a bool; the header makes it a DWORD, four bytes.
inline constexpr std::size_t kIsListItem = 28;
inline constexpr std::size_t kItemIndex = 32;
inline constexpr std::size_t kListSize = 36;
inline constexpr std::size_t kData = 40;
inline constexpr std::size_t kEndRequestId = 12;
inline constexpr std::size_t kEndSize = 16;
} // namespace facility

// The library's exports this program calls, as function pointer types. HANDLE,
// HWND and the event handle are pointers; DWORD is 32 bits; BOOL an int.
using DispatchProc = void (*)(const void* data, std::uint32_t size, void* context);

struct Api {
    Hresult (*open)(Handle* handle, const char* name, void* window, std::uint32_t userEvent, void* eventHandle,
                    std::uint32_t configIndex) = nullptr;
    Hresult (*close)(Handle handle) = nullptr;
    Hresult (*callDispatch)(Handle handle, DispatchProc proc, void* context) = nullptr;
    Hresult (*addToDataDefinition)(Handle handle, std::uint32_t defineId, const char* datumName, const char* unitsName,
                                   std::uint32_t datumType, float epsilon, std::uint32_t datumId) = nullptr;
    Hresult (*requestDataOnSimObject)(Handle handle, std::uint32_t requestId, std::uint32_t defineId,
                                      std::uint32_t objectId, std::uint32_t period, std::uint32_t flags,
                                      std::uint32_t origin, std::uint32_t interval, std::uint32_t limit) = nullptr;
    Hresult (*requestDataOnSimObjectType)(Handle handle, std::uint32_t requestId, std::uint32_t defineId,
                                          std::uint32_t radiusMeters, std::uint32_t type) = nullptr;
    Hresult (*setDataOnSimObject)(Handle handle, std::uint32_t defineId, std::uint32_t objectId, std::uint32_t flags,
                                  std::uint32_t arrayCount, std::uint32_t unitSize, void* data) = nullptr;
    Hresult (*aiCreateNonAtcAircraft)(Handle handle, const char* containerTitle, const char* tailNumber,
                                      InitPosition position, std::uint32_t requestId) = nullptr;
    // Present only in the MSFS 2024 library.
    Hresult (*aiCreateNonAtcAircraftEx1)(Handle handle, const char* containerTitle, const char* livery,
                                         const char* tailNumber, InitPosition position,
                                         std::uint32_t requestId) = nullptr;
    Hresult (*aiReleaseControl)(Handle handle, std::uint32_t objectId, std::uint32_t requestId) = nullptr;
    Hresult (*aiRemoveObject)(Handle handle, std::uint32_t objectId, std::uint32_t requestId) = nullptr;
    Hresult (*aiSetAircraftFlightPlan)(Handle handle, std::uint32_t objectId, const char* flightPlanPath,
                                       std::uint32_t requestId) = nullptr;
    Hresult (*getLastSentPacketId)(Handle handle, std::uint32_t* sendId) = nullptr;
    Hresult (*subscribeToSystemEvent)(Handle handle, std::uint32_t eventId, const char* systemEventName) = nullptr;
    Hresult (*mapClientEventToSimEvent)(Handle handle, std::uint32_t eventId, const char* eventName) = nullptr;
    Hresult (*addClientEventToNotificationGroup)(Handle handle, std::uint32_t groupId, std::uint32_t eventId,
                                                 std::int32_t maskable) = nullptr;
    Hresult (*setNotificationGroupPriority)(Handle handle, std::uint32_t groupId, std::uint32_t priority) = nullptr;
    Hresult (*transmitClientEvent)(Handle handle, std::uint32_t objectId, std::uint32_t eventId, std::uint32_t data,
                                   std::uint32_t groupId, std::uint32_t flags) = nullptr;
    Hresult (*requestSystemState)(Handle handle, std::uint32_t requestId, const char* state) = nullptr;
    Hresult (*addToFacilityDefinition)(Handle handle, std::uint32_t defineId, const char* fieldName) = nullptr;
    Hresult (*requestFacilityData)(Handle handle, std::uint32_t defineId, std::uint32_t requestId, const char* icao,
                                   const char* region) = nullptr;
};

} // namespace zelk::sc
