#include <cstddef>
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "simlink/ParkingNames.h"
#include "simlink/SimConnectAbi.h"

namespace zelk::sc {
namespace {

// Each declared value against the vendor reference page it was read from
// (pages under docs.flightsimulator.com .../simconnect/api-reference/), or,
// where the page and the SDK header differ, against the header, which is what
// the library speaks; such a row says so.
struct Row {
    const char* what;
    std::uint64_t declared;
    std::uint64_t documented;
    const char* page;
};

template <class E>
constexpr std::uint64_t v(E e)
{
    return static_cast<std::uint64_t>(e);
}

constexpr const char* kRecvIdPage = "structures-and-enumerations/simconnect_recv_id/";
constexpr const char* kExceptionPage = "structures-and-enumerations/simconnect_exception/";
constexpr const char* kDataTypePage = "structures-and-enumerations/simconnect_datatype/";
constexpr const char* kPeriodPage = "structures-and-enumerations/simconnect_period/";
constexpr const char* kObjectTypePage = "structures-and-enumerations/simconnect_simobject_type/";
constexpr const char* kFacilityTypePage = "structures-and-enumerations/simconnect_facility_data_type/";
constexpr const char* kRecvPage = "structures-and-enumerations/simconnect_recv/";
constexpr const char* kExceptionRecordPage = "structures-and-enumerations/simconnect_recv_exception/";
constexpr const char* kOpenPage = "structures-and-enumerations/simconnect_recv_open/";
constexpr const char* kEventPage = "structures-and-enumerations/simconnect_recv_event/";
constexpr const char* kFilenamePage = "structures-and-enumerations/simconnect_recv_event_filename/";
constexpr const char* kAddRemovePage = "structures-and-enumerations/simconnect_recv_event_object_addremove/";
constexpr const char* kFramePage = "structures-and-enumerations/simconnect_recv_event_frame/";
constexpr const char* kObjectDataPage = "structures-and-enumerations/simconnect_recv_simobject_data/";
constexpr const char* kAssignedPage = "structures-and-enumerations/simconnect_recv_assigned_object_id/";
constexpr const char* kSystemStatePage = "structures-and-enumerations/simconnect_recv_system_state/";
constexpr const char* kFacilityPage = "structures-and-enumerations/simconnect_recv_facility_data/";
constexpr const char* kFacilityEndPage = "structures-and-enumerations/simconnect_recv_facility_data_end/";
constexpr const char* kInitPositionPage = "structures-and-enumerations/simconnect_data_initposition/";
constexpr const char* kGeneralPage = "general/simconnect_setnotificationgrouppriority/";
// The page lists RECV_ID_PICK (28) before the facility ids; the header
// declares it only under an experimental define that is never set, so the
// facility ids are one lower than the page counts.
constexpr const char* kRecvIdHeader =
    "the header's SIMCONNECT_RECV_ID, where PICK exists only under an experimental define";
// The page calls IsListItem a bool; the header declares it a DWORD, so every
// member after it moves three bytes on and the data begin at 40.
constexpr const char* kFacilityHeader = "the header's SIMCONNECT_RECV_FACILITY_DATA, where IsListItem is a DWORD";
// The suffix of a taxi parking uses the name's code table: A is 12, Z is 37.
constexpr const char* kParkingNamePage = "facilities/simconnect_addtofacilitydefinition/ (TAXI_PARKING NAME, SUFFIX)";

const Row kRows[] = {
    {"RECV_ID_EXCEPTION", v(RecvId::Exception), 1, kRecvIdPage},
    {"RECV_ID_OPEN", v(RecvId::Open), 2, kRecvIdPage},
    {"RECV_ID_QUIT", v(RecvId::Quit), 3, kRecvIdPage},
    {"RECV_ID_EVENT", v(RecvId::Event), 4, kRecvIdPage},
    {"RECV_ID_EVENT_OBJECT_ADDREMOVE", v(RecvId::EventObjectAddRemove), 5, kRecvIdPage},
    {"RECV_ID_EVENT_FILENAME", v(RecvId::EventFilename), 6, kRecvIdPage},
    {"RECV_ID_EVENT_FRAME", v(RecvId::EventFrame), 7, kRecvIdPage},
    {"RECV_ID_SIMOBJECT_DATA", v(RecvId::SimObjectData), 8, kRecvIdPage},
    {"RECV_ID_SIMOBJECT_DATA_BYTYPE", v(RecvId::SimObjectDataByType), 9, kRecvIdPage},
    {"RECV_ID_ASSIGNED_OBJECT_ID", v(RecvId::AssignedObjectId), 12, kRecvIdPage},
    {"RECV_ID_SYSTEM_STATE", v(RecvId::SystemState), 15, kRecvIdPage},
    {"RECV_ID_FACILITY_DATA", v(RecvId::FacilityData), 28, kRecvIdHeader},
    {"RECV_ID_FACILITY_DATA_END", v(RecvId::FacilityDataEnd), 29, kRecvIdHeader},
    {"EXCEPTION_ERROR", v(Exception::Error), 1, kExceptionPage},
    {"EXCEPTION_UNRECOGNIZED_ID", v(Exception::UnrecognizedId), 3, kExceptionPage},
    {"EXCEPTION_NAME_UNRECOGNIZED", v(Exception::NameUnrecognized), 7, kExceptionPage},
    {"EXCEPTION_DATA_ERROR", v(Exception::DataError), 20, kExceptionPage},
    {"EXCEPTION_CREATE_OBJECT_FAILED", v(Exception::CreateObjectFailed), 22, kExceptionPage},
    {"EXCEPTION_LOAD_FLIGHTPLAN_FAILED", v(Exception::LoadFlightplanFailed), 23, kExceptionPage},
    {"DATATYPE_INT32", v(DataType::Int32), 1, kDataTypePage},
    {"DATATYPE_INT64", v(DataType::Int64), 2, kDataTypePage},
    {"DATATYPE_FLOAT32", v(DataType::Float32), 3, kDataTypePage},
    {"DATATYPE_FLOAT64", v(DataType::Float64), 4, kDataTypePage},
    {"DATATYPE_STRING32", v(DataType::String32), 6, kDataTypePage},
    {"DATATYPE_STRING256", v(DataType::String256), 9, kDataTypePage},
    {"PERIOD_ONCE", v(Period::Once), 1, kPeriodPage},
    {"PERIOD_SECOND", v(Period::Second), 4, kPeriodPage},
    {"SIMOBJECT_TYPE_USER", v(SimObjectType::User), 0, kObjectTypePage},
    {"SIMOBJECT_TYPE_AIRCRAFT", v(SimObjectType::Aircraft), 2, kObjectTypePage},
    {"FACILITY_DATA_AIRPORT", v(FacilityDataType::Airport), 0, kFacilityTypePage},
    {"FACILITY_DATA_RUNWAY", v(FacilityDataType::Runway), 1, kFacilityTypePage},
    {"FACILITY_DATA_HELIPAD", v(FacilityDataType::Helipad), 4, kFacilityTypePage},
    {"FACILITY_DATA_TAXI_PARKING", v(FacilityDataType::TaxiParking), 15, kFacilityTypePage},
    {"FACILITY_DATA_PAVEMENT", v(FacilityDataType::Pavement), 23, kFacilityTypePage},
    {"GROUP_PRIORITY_HIGHEST", kGroupPriorityHighest, 1, kGeneralPage},
    {"RECV.dwSize", recv::kSize, 0, kRecvPage},
    {"RECV.dwVersion", recv::kVersion, 4, kRecvPage},
    {"RECV.dwID", recv::kId, 8, kRecvPage},
    {"RECV size", recv::kHeaderSize, 12, kRecvPage},
    {"RECV_EXCEPTION.dwException", exception::kException, 12, kExceptionRecordPage},
    {"RECV_EXCEPTION.dwSendID", exception::kSendId, 16, kExceptionRecordPage},
    {"RECV_EXCEPTION.dwIndex", exception::kIndex, 20, kExceptionRecordPage},
    {"RECV_EXCEPTION size", exception::kSize, 24, kExceptionRecordPage},
    {"RECV_OPEN.szApplicationName", open::kApplicationName, 12, kOpenPage},
    {"RECV_OPEN.dwApplicationVersionMajor", open::kApplicationVersionMajor, 268, kOpenPage},
    {"RECV_OPEN.dwApplicationVersionMinor", open::kApplicationVersionMinor, 272, kOpenPage},
    {"RECV_OPEN.dwApplicationBuildMajor", open::kApplicationBuildMajor, 276, kOpenPage},
    {"RECV_OPEN.dwApplicationBuildMinor", open::kApplicationBuildMinor, 280, kOpenPage},
    {"RECV_OPEN.dwSimConnectVersionMajor", open::kSimConnectVersionMajor, 284, kOpenPage},
    {"RECV_OPEN size", open::kSize, 308, kOpenPage},
    {"RECV_EVENT.uGroupID", event::kGroupId, 12, kEventPage},
    {"RECV_EVENT.uEventID", event::kEventId, 16, kEventPage},
    {"RECV_EVENT.dwData", event::kData, 20, kEventPage},
    {"RECV_EVENT size", event::kSize, 24, kEventPage},
    {"RECV_EVENT_FILENAME.szFileName", event::kFileName, 24, kFilenamePage},
    {"RECV_EVENT_FILENAME.dwFlags", event::kFileNameFlags, 284, kFilenamePage},
    {"RECV_EVENT_FILENAME size", event::kFileNameSize, 288, kFilenamePage},
    {"RECV_EVENT_OBJECT_ADDREMOVE.eObjType", event::kObjectType, 24, kAddRemovePage},
    {"RECV_EVENT_OBJECT_ADDREMOVE size", event::kAddRemoveSize, 28, kAddRemovePage},
    {"RECV_EVENT_FRAME.fFrameRate", event::kFrameRate, 24, kFramePage},
    {"RECV_EVENT_FRAME.fSimSpeed", event::kSimSpeed, 28, kFramePage},
    {"RECV_EVENT_FRAME size", event::kFrameSize, 32, kFramePage},
    {"RECV_SIMOBJECT_DATA.dwRequestID", objectData::kRequestId, 12, kObjectDataPage},
    {"RECV_SIMOBJECT_DATA.dwObjectID", objectData::kObjectId, 16, kObjectDataPage},
    {"RECV_SIMOBJECT_DATA.dwDefineID", objectData::kDefineId, 20, kObjectDataPage},
    {"RECV_SIMOBJECT_DATA.dwFlags", objectData::kFlags, 24, kObjectDataPage},
    {"RECV_SIMOBJECT_DATA.dwentrynumber", objectData::kEntryNumber, 28, kObjectDataPage},
    {"RECV_SIMOBJECT_DATA.dwoutof", objectData::kOutOf, 32, kObjectDataPage},
    {"RECV_SIMOBJECT_DATA.dwDefineCount", objectData::kDefineCount, 36, kObjectDataPage},
    {"RECV_SIMOBJECT_DATA.dwData", objectData::kData, 40, kObjectDataPage},
    {"RECV_ASSIGNED_OBJECT_ID.dwRequestID", assigned::kRequestId, 12, kAssignedPage},
    {"RECV_ASSIGNED_OBJECT_ID.dwObjectID", assigned::kObjectId, 16, kAssignedPage},
    {"RECV_ASSIGNED_OBJECT_ID size", assigned::kSize, 20, kAssignedPage},
    {"RECV_SYSTEM_STATE.dwRequestID", systemState::kRequestId, 12, kSystemStatePage},
    {"RECV_SYSTEM_STATE.dwInteger", systemState::kInteger, 16, kSystemStatePage},
    {"RECV_SYSTEM_STATE.fFloat", systemState::kFloat, 20, kSystemStatePage},
    {"RECV_SYSTEM_STATE.szString", systemState::kString, 24, kSystemStatePage},
    {"RECV_SYSTEM_STATE size", systemState::kSize, 284, kSystemStatePage},
    {"RECV_FACILITY_DATA.UserRequestId", facility::kUserRequestId, 12, kFacilityPage},
    {"RECV_FACILITY_DATA.UniqueRequestId", facility::kUniqueRequestId, 16, kFacilityPage},
    {"RECV_FACILITY_DATA.ParentUniqueRequestId", facility::kParentUniqueRequestId, 20, kFacilityPage},
    {"RECV_FACILITY_DATA.Type", facility::kType, 24, kFacilityPage},
    {"RECV_FACILITY_DATA.IsListItem", facility::kIsListItem, 28, kFacilityHeader},
    {"RECV_FACILITY_DATA.ItemIndex", facility::kItemIndex, 32, kFacilityHeader},
    {"RECV_FACILITY_DATA.ListSize", facility::kListSize, 36, kFacilityHeader},
    {"RECV_FACILITY_DATA.Data", facility::kData, 40, kFacilityHeader},
    {"RECV_FACILITY_DATA_END.RequestId", facility::kEndRequestId, 12, kFacilityEndPage},
    {"RECV_FACILITY_DATA_END size", facility::kEndSize, 16, kFacilityEndPage},
    {"DATA_INITPOSITION size", sizeof(InitPosition), 56, kInitPositionPage},
    {"DATA_INITPOSITION.Latitude", offsetof(InitPosition, latitude), 0, kInitPositionPage},
    {"DATA_INITPOSITION.Heading", offsetof(InitPosition, heading), 40, kInitPositionPage},
    {"DATA_INITPOSITION.OnGround", offsetof(InitPosition, onGround), 48, kInitPositionPage},
    {"DATA_INITPOSITION.Airspeed", offsetof(InitPosition, airspeed), 52, kInitPositionPage},
};

TEST(SimConnectLayout, EveryDeclarationMatchesItsPage)
{
    for (const Row& row : kRows)
        EXPECT_EQ(row.declared, row.documented) << row.what << " (" << row.page << ")";
}

// The taxi-parking codes of the facility data against the page's tables: the
// name's (0 none, 1 PARKING ... 10 GATE, 11 DOCK, 12-37 GATE_A-GATE_Z) and the
// suffix's, which is the same table, so its letters are 12 (A) to 37 (Z).
TEST(SimConnectLayout, ParkingCodesMatchTheirTable)
{
    struct Code {
        std::int32_t code;
        const char* prefix;
        const char* suffix;
    };
    const Code codes[] = {
        {0, "", ""},           {1, "PARKING ", ""},   {9, "NW_PARKING ", ""}, {10, "GATE ", ""}, {11, "DOCK ", ""},
        {12, "GATE A", "A"},   {13, "GATE B", "B"},   {25, "GATE N", "N"},    {26, "GATE O", "O"},
        {27, "GATE P", "P"},   {36, "GATE Y", "Y"},   {37, "GATE Z", "Z"},    {38, "", ""},   {-1, "", ""},
    };
    for (const Code& c : codes) {
        if (c.code >= 0) {
            EXPECT_EQ(gf_parkingNamePrefix(static_cast<std::uint32_t>(c.code)), c.prefix)
                << c.code << " (" << kParkingNamePage << ")";
        }
        EXPECT_EQ(gf_parkingSuffixText(c.code), c.suffix) << c.code << " (" << kParkingNamePage << ")";
    }
}

// The records follow one another without padding: each member starts where the
// one before ended.
TEST(SimConnectLayout, RecordMembersArePacked)
{
    EXPECT_EQ(open::kApplicationVersionMajor, open::kApplicationName + open::kApplicationNameLength);
    EXPECT_EQ(event::kFileNameFlags, event::kFileName + event::kFileNameLength);
    // IsListItem, ItemIndex and ListSize are DWORDs.
    EXPECT_EQ(facility::kItemIndex, facility::kIsListItem + 4);
    EXPECT_EQ(facility::kListSize, facility::kItemIndex + 4);
    EXPECT_EQ(facility::kData, facility::kListSize + 4);
    EXPECT_EQ(systemState::kSize, systemState::kString + 260);
}

} // namespace
} // namespace zelk::sc
