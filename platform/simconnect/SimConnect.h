// The SimConnect client API as the program and the module use it.
//
// Every call becomes one request to the stand-in simulator: in this process when a simulator serves
// in-process (tests, modules loaded by the simulator host), else over the Unix socket that the simulator
// opens in the machine root. Arguments that are wrong on their face (bad handle, null pointers, oversized
// names or blocks) fail at once with E_INVALIDARG or E_FAIL; everything the simulator refuses comes back
// later as an exception message carrying the packet id of the request (SimConnect_GetLastSentPacketID)
// and the 1-based index of the offending argument, the handle not counted.
//
// Every function may be called from any thread. Messages reach the caller only through
// SimConnect_CallDispatch / SimConnect_GetNextDispatch, on the calling thread, one at a time.
#pragma once

#include "platform/wintypes.h"

#include <cstddef>
#include <cstdint>

// ---- Constants ----------------------------------------------------------------------------------

constexpr DWORD SIMCONNECT_UNUSED = 0xFFFFFFFFu;
constexpr DWORD SIMCONNECT_OBJECT_ID_USER = 0;

constexpr DWORD SIMCONNECT_GROUP_PRIORITY_HIGHEST = 1;
constexpr DWORD SIMCONNECT_GROUP_PRIORITY_HIGHEST_MASKABLE = 10000000;
constexpr DWORD SIMCONNECT_GROUP_PRIORITY_STANDARD = 1900000000;
constexpr DWORD SIMCONNECT_GROUP_PRIORITY_DEFAULT = 2000000000;
constexpr DWORD SIMCONNECT_GROUP_PRIORITY_LOWEST = 4000000000u;

using SIMCONNECT_EVENT_FLAG = DWORD;
constexpr SIMCONNECT_EVENT_FLAG SIMCONNECT_EVENT_FLAG_DEFAULT = 0x00;
constexpr SIMCONNECT_EVENT_FLAG SIMCONNECT_EVENT_FLAG_GROUPID_IS_PRIORITY = 0x10;

using SIMCONNECT_DATA_REQUEST_FLAG = DWORD;
constexpr SIMCONNECT_DATA_REQUEST_FLAG SIMCONNECT_DATA_REQUEST_FLAG_DEFAULT = 0x0;
constexpr SIMCONNECT_DATA_REQUEST_FLAG SIMCONNECT_DATA_REQUEST_FLAG_CHANGED = 0x1;
constexpr SIMCONNECT_DATA_REQUEST_FLAG SIMCONNECT_DATA_REQUEST_FLAG_TAGGED = 0x2;

using SIMCONNECT_DATA_SET_FLAG = DWORD;
constexpr SIMCONNECT_DATA_SET_FLAG SIMCONNECT_DATA_SET_FLAG_DEFAULT = 0x0;

using SIMCONNECT_CREATE_CLIENT_DATA_FLAG = DWORD;
constexpr SIMCONNECT_CREATE_CLIENT_DATA_FLAG SIMCONNECT_CREATE_CLIENT_DATA_FLAG_DEFAULT = 0x0;
constexpr SIMCONNECT_CREATE_CLIENT_DATA_FLAG SIMCONNECT_CREATE_CLIENT_DATA_FLAG_READ_ONLY = 0x1;

using SIMCONNECT_CLIENT_DATA_REQUEST_FLAG = DWORD;
constexpr SIMCONNECT_CLIENT_DATA_REQUEST_FLAG SIMCONNECT_CLIENT_DATA_REQUEST_FLAG_DEFAULT = 0x0;
constexpr SIMCONNECT_CLIENT_DATA_REQUEST_FLAG SIMCONNECT_CLIENT_DATA_REQUEST_FLAG_CHANGED = 0x1;

using SIMCONNECT_CLIENT_DATA_SET_FLAG = DWORD;
constexpr SIMCONNECT_CLIENT_DATA_SET_FLAG SIMCONNECT_CLIENT_DATA_SET_FLAG_DEFAULT = 0x0;

// Client-data definition entries: a positive size in bytes, or one of these typed sizes.
constexpr DWORD SIMCONNECT_CLIENTDATAOFFSET_AUTO = 0xFFFFFFFFu;
constexpr DWORD SIMCONNECT_CLIENTDATATYPE_INT8 = static_cast<DWORD>(-1);
constexpr DWORD SIMCONNECT_CLIENTDATATYPE_INT16 = static_cast<DWORD>(-2);
constexpr DWORD SIMCONNECT_CLIENTDATATYPE_INT32 = static_cast<DWORD>(-3);
constexpr DWORD SIMCONNECT_CLIENTDATATYPE_INT64 = static_cast<DWORD>(-4);
constexpr DWORD SIMCONNECT_CLIENTDATATYPE_FLOAT32 = static_cast<DWORD>(-5);
constexpr DWORD SIMCONNECT_CLIENTDATATYPE_FLOAT64 = static_cast<DWORD>(-6);
constexpr DWORD SIMCONNECT_CLIENTDATA_MAX_SIZE = 8192;

using SIMCONNECT_STATE = DWORD;
constexpr SIMCONNECT_STATE SIMCONNECT_STATE_OFF = 0;
constexpr SIMCONNECT_STATE SIMCONNECT_STATE_ON = 1;

// The simulator's answer when a notification group is given as a message's group.
constexpr DWORD SIMCONNECT_UNKNOWN_GROUP = 0xFFFFFFFFu;

enum SIMCONNECT_DATATYPE : DWORD {
    SIMCONNECT_DATATYPE_INVALID = 0,
    SIMCONNECT_DATATYPE_INT32 = 1,
    SIMCONNECT_DATATYPE_INT64 = 2,
    SIMCONNECT_DATATYPE_FLOAT32 = 3,
    SIMCONNECT_DATATYPE_FLOAT64 = 4,
    SIMCONNECT_DATATYPE_STRING8 = 5,
    SIMCONNECT_DATATYPE_STRING32 = 6,
    SIMCONNECT_DATATYPE_STRING64 = 7,
    SIMCONNECT_DATATYPE_STRING128 = 8,
    SIMCONNECT_DATATYPE_STRING256 = 9,
    SIMCONNECT_DATATYPE_STRING260 = 10,
    SIMCONNECT_DATATYPE_STRINGV = 11,
};

enum SIMCONNECT_PERIOD : DWORD {
    SIMCONNECT_PERIOD_NEVER = 0,
    SIMCONNECT_PERIOD_ONCE = 1,
    SIMCONNECT_PERIOD_VISUAL_FRAME = 2,
    SIMCONNECT_PERIOD_SIM_FRAME = 3,
    SIMCONNECT_PERIOD_SECOND = 4,
};

enum SIMCONNECT_CLIENT_DATA_PERIOD : DWORD {
    SIMCONNECT_CLIENT_DATA_PERIOD_NEVER = 0,
    SIMCONNECT_CLIENT_DATA_PERIOD_ONCE = 1,
    SIMCONNECT_CLIENT_DATA_PERIOD_VISUAL_FRAME = 2,
    SIMCONNECT_CLIENT_DATA_PERIOD_ON_SET = 3,
    SIMCONNECT_CLIENT_DATA_PERIOD_SECOND = 4,
};

enum SIMCONNECT_SIMOBJECT_TYPE : DWORD {
    SIMCONNECT_SIMOBJECT_TYPE_USER = 0,
    SIMCONNECT_SIMOBJECT_TYPE_ALL = 1,
    SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT = 2,
    SIMCONNECT_SIMOBJECT_TYPE_HELICOPTER = 3,
    SIMCONNECT_SIMOBJECT_TYPE_BOAT = 4,
    SIMCONNECT_SIMOBJECT_TYPE_GROUND = 5,
};

enum SIMCONNECT_TEXT_TYPE : DWORD {
    SIMCONNECT_TEXT_TYPE_SCROLL_BLACK = 0,
    SIMCONNECT_TEXT_TYPE_SCROLL_WHITE = 1,
    SIMCONNECT_TEXT_TYPE_SCROLL_RED = 2,
    SIMCONNECT_TEXT_TYPE_SCROLL_GREEN = 3,
    SIMCONNECT_TEXT_TYPE_SCROLL_BLUE = 4,
    SIMCONNECT_TEXT_TYPE_SCROLL_YELLOW = 5,
    SIMCONNECT_TEXT_TYPE_SCROLL_MAGENTA = 6,
    SIMCONNECT_TEXT_TYPE_SCROLL_CYAN = 7,
    SIMCONNECT_TEXT_TYPE_PRINT_BLACK = 0x0100,
    SIMCONNECT_TEXT_TYPE_PRINT_WHITE = 0x0101,
    SIMCONNECT_TEXT_TYPE_PRINT_RED = 0x0102,
    SIMCONNECT_TEXT_TYPE_PRINT_GREEN = 0x0103,
    SIMCONNECT_TEXT_TYPE_PRINT_BLUE = 0x0104,
    SIMCONNECT_TEXT_TYPE_PRINT_YELLOW = 0x0105,
    SIMCONNECT_TEXT_TYPE_PRINT_MAGENTA = 0x0106,
    SIMCONNECT_TEXT_TYPE_PRINT_CYAN = 0x0107,
    SIMCONNECT_TEXT_TYPE_MENU = 0x0200,
};

// The data word of a text's result event: the chosen line (0 = first) or what became of the text.
enum SIMCONNECT_TEXT_RESULT : DWORD {
    SIMCONNECT_TEXT_RESULT_MENU_SELECT_1 = 0,
    SIMCONNECT_TEXT_RESULT_MENU_SELECT_2 = 1,
    SIMCONNECT_TEXT_RESULT_MENU_SELECT_3 = 2,
    SIMCONNECT_TEXT_RESULT_MENU_SELECT_4 = 3,
    SIMCONNECT_TEXT_RESULT_MENU_SELECT_5 = 4,
    SIMCONNECT_TEXT_RESULT_MENU_SELECT_6 = 5,
    SIMCONNECT_TEXT_RESULT_MENU_SELECT_7 = 6,
    SIMCONNECT_TEXT_RESULT_MENU_SELECT_8 = 7,
    SIMCONNECT_TEXT_RESULT_MENU_SELECT_9 = 8,
    SIMCONNECT_TEXT_RESULT_MENU_SELECT_10 = 9,
    SIMCONNECT_TEXT_RESULT_DISPLAYED = 0x00010000,
    SIMCONNECT_TEXT_RESULT_QUEUED = 0x00010001,
    SIMCONNECT_TEXT_RESULT_REMOVED = 0x00010002,
    SIMCONNECT_TEXT_RESULT_REPLACED = 0x00010003,
    SIMCONNECT_TEXT_RESULT_TIMEOUT = 0x00010004,
};

enum SIMCONNECT_EXCEPTION : DWORD {
    SIMCONNECT_EXCEPTION_NONE = 0,
    SIMCONNECT_EXCEPTION_ERROR = 1,
    SIMCONNECT_EXCEPTION_SIZE_MISMATCH = 2,
    SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID = 3,
    SIMCONNECT_EXCEPTION_UNOPENED = 4,
    SIMCONNECT_EXCEPTION_VERSION_MISMATCH = 5,
    SIMCONNECT_EXCEPTION_TOO_MANY_GROUPS = 6,
    SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED = 7,
    SIMCONNECT_EXCEPTION_TOO_MANY_EVENT_NAMES = 8,
    SIMCONNECT_EXCEPTION_EVENT_ID_DUPLICATE = 9,
    SIMCONNECT_EXCEPTION_TOO_MANY_MAPS = 10,
    SIMCONNECT_EXCEPTION_TOO_MANY_OBJECTS = 11,
    SIMCONNECT_EXCEPTION_TOO_MANY_REQUESTS = 12,
    SIMCONNECT_EXCEPTION_INVALID_DATA_TYPE = 18,
    SIMCONNECT_EXCEPTION_INVALID_DATA_SIZE = 19,
    SIMCONNECT_EXCEPTION_DATA_ERROR = 20,
    SIMCONNECT_EXCEPTION_INVALID_ARRAY = 21,
    SIMCONNECT_EXCEPTION_CREATE_OBJECT_FAILED = 22,
    SIMCONNECT_EXCEPTION_OPERATION_INVALID_FOR_OBJECT_TYPE = 24,
    SIMCONNECT_EXCEPTION_ILLEGAL_OPERATION = 25,
    SIMCONNECT_EXCEPTION_ALREADY_SUBSCRIBED = 26,
    SIMCONNECT_EXCEPTION_INVALID_ENUM = 27,
    SIMCONNECT_EXCEPTION_DEFINITION_ERROR = 28,
    SIMCONNECT_EXCEPTION_DUPLICATE_ID = 29,
    SIMCONNECT_EXCEPTION_DATUM_ID = 30,
    SIMCONNECT_EXCEPTION_OUT_OF_BOUNDS = 31,
    SIMCONNECT_EXCEPTION_ALREADY_CREATED = 32,
};

enum SIMCONNECT_RECV_ID : DWORD {
    SIMCONNECT_RECV_ID_NULL = 0,
    SIMCONNECT_RECV_ID_EXCEPTION = 1,
    SIMCONNECT_RECV_ID_OPEN = 2,
    SIMCONNECT_RECV_ID_QUIT = 3,
    SIMCONNECT_RECV_ID_EVENT = 4,
    SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE = 5,
    SIMCONNECT_RECV_ID_EVENT_FILENAME = 6,
    SIMCONNECT_RECV_ID_EVENT_FRAME = 7,
    SIMCONNECT_RECV_ID_SIMOBJECT_DATA = 8,
    SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE = 9,
    SIMCONNECT_RECV_ID_WEATHER_OBSERVATION = 10,
    SIMCONNECT_RECV_ID_CLOUD_STATE = 11,
    SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID = 12,
    SIMCONNECT_RECV_ID_RESERVED_KEY = 13,
    SIMCONNECT_RECV_ID_CUSTOM_ACTION = 14,
    SIMCONNECT_RECV_ID_SYSTEM_STATE = 15,
    SIMCONNECT_RECV_ID_CLIENT_DATA = 16,
};

// ---- Records ------------------------------------------------------------------------------------
// The layouts are fixed: little-endian, DWORD fields at 4-byte offsets, checked at compile time in the
// codec. A message handed to the dispatch callback is at least as large as its record.

struct SIMCONNECT_DATA_INITPOSITION {
    double Latitude;   // degrees
    double Longitude;  // degrees
    double Altitude;   // feet
    double Pitch;      // degrees
    double Bank;       // degrees
    double Heading;    // degrees
    DWORD OnGround;    // 1 = force the object onto the ground
    DWORD Airspeed;    // knots
};

struct SIMCONNECT_RECV {
    DWORD dwSize;  // bytes of the whole message
    DWORD dwVersion;
    DWORD dwID;  // SIMCONNECT_RECV_ID
};

struct SIMCONNECT_RECV_EXCEPTION : SIMCONNECT_RECV {
    DWORD dwException;  // SIMCONNECT_EXCEPTION
    DWORD dwSendID;     // packet id of the request that failed
    DWORD dwIndex;      // 1-based index of the offending argument (handle not counted), 0 when unknown
};

struct SIMCONNECT_RECV_OPEN : SIMCONNECT_RECV {
    char szApplicationName[256];
    DWORD dwApplicationVersionMajor;
    DWORD dwApplicationVersionMinor;
    DWORD dwApplicationBuildMajor;
    DWORD dwApplicationBuildMinor;
    DWORD dwSimConnectVersionMajor;
    DWORD dwSimConnectVersionMinor;
    DWORD dwSimConnectBuildMajor;
    DWORD dwSimConnectBuildMinor;
    DWORD dwReserved1;
    DWORD dwReserved2;
};

struct SIMCONNECT_RECV_QUIT : SIMCONNECT_RECV {};

struct SIMCONNECT_RECV_EVENT : SIMCONNECT_RECV {
    DWORD uGroupID;  // the receiver's notification group, SIMCONNECT_UNKNOWN_GROUP for system events
    DWORD uEventID;  // the receiver's own event id
    DWORD dwData;
};

struct SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE : SIMCONNECT_RECV_EVENT {
    DWORD eObjType;  // SIMCONNECT_SIMOBJECT_TYPE
};

struct SIMCONNECT_RECV_EVENT_FILENAME : SIMCONNECT_RECV_EVENT {
    char szFileName[MAX_PATH];
    DWORD dwFlags;
};

struct SIMCONNECT_RECV_EVENT_FRAME : SIMCONNECT_RECV_EVENT {
    float fFrameRate;
    float fSimSpeed;
};

struct SIMCONNECT_RECV_SIMOBJECT_DATA : SIMCONNECT_RECV {
    DWORD dwRequestID;
    DWORD dwObjectID;
    DWORD dwDefineID;
    DWORD dwFlags;
    DWORD dwentrynumber;  // 1-based entry of a by-type answer (0 when there is none)
    DWORD dwoutof;        // number of entries of a by-type answer
    DWORD dwDefineCount;
    DWORD dwData;  // the record starts here; dwSize tells how far it goes
};

struct SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE : SIMCONNECT_RECV_SIMOBJECT_DATA {};

// dwObjectID holds the receiver's client-data area id.
struct SIMCONNECT_RECV_CLIENT_DATA : SIMCONNECT_RECV_SIMOBJECT_DATA {};

struct SIMCONNECT_RECV_ASSIGNED_OBJECT_ID : SIMCONNECT_RECV {
    DWORD dwRequestID;
    DWORD dwObjectID;
};

struct SIMCONNECT_RECV_RESERVED_KEY : SIMCONNECT_RECV {
    char szChoiceReserved[30];
    char szReservedKey[50];
};

struct SIMCONNECT_RECV_SYSTEM_STATE : SIMCONNECT_RECV {
    DWORD dwRequestID;
    DWORD dwInteger;
    float fFloat;
    char szString[MAX_PATH];
};

// Byte offset of the record inside the data messages.
constexpr DWORD SIMCONNECT_DATA_OFFSET = 40;

using DispatchProc = void (*)(SIMCONNECT_RECV* pData, DWORD cbData, void* pContext);

// ---- Functions ----------------------------------------------------------------------------------

// Opens a connection. E_FAIL when no simulator serves in this process and none listens in the
// machine root. The first message is SIMCONNECT_RECV_OPEN.
HRESULT SimConnect_Open(HANDLE* phSimConnect, const char* szName, HWND hWnd, DWORD UserEventWin32,
                        HANDLE hEventHandle, DWORD ConfigIndex);
HRESULT SimConnect_Close(HANDLE hSimConnect);

// Hands every pending message to the callback, one at a time, on the calling thread. The callback may
// call the API (also this function). The callback stays registered with the connection, so that a
// module host can go on delivering to it (see platform/simconnect/ModuleDispatch.h).
HRESULT SimConnect_CallDispatch(HANDLE hSimConnect, DispatchProc pfcnDispatch, void* pContext);
// The next pending message, valid until the next call on this thread; E_FAIL when there is none.
HRESULT SimConnect_GetNextDispatch(HANDLE hSimConnect, SIMCONNECT_RECV** ppData, DWORD* pcbData);
// Packet id of the last request this thread sent on the connection (else of the last one sent at all).
HRESULT SimConnect_GetLastSentPacketID(HANDLE hSimConnect, DWORD* pdwError);

// Client events. An empty or null name maps a private event that only this client receives.
HRESULT SimConnect_MapClientEventToSimEvent(HANDLE hSimConnect, DWORD EventID, const char* EventName = "");
HRESULT SimConnect_TransmitClientEvent(HANDLE hSimConnect, DWORD ObjectID, DWORD EventID, DWORD dwData,
                                       DWORD GroupID, SIMCONNECT_EVENT_FLAG Flags);
HRESULT SimConnect_AddClientEventToNotificationGroup(HANDLE hSimConnect, DWORD GroupID, DWORD EventID,
                                                     BOOL bMaskable = FALSE);
HRESULT SimConnect_RemoveClientEvent(HANDLE hSimConnect, DWORD GroupID, DWORD EventID);
HRESULT SimConnect_SetNotificationGroupPriority(HANDLE hSimConnect, DWORD GroupID, DWORD uPriority);
HRESULT SimConnect_SubscribeToSystemEvent(HANDLE hSimConnect, DWORD EventID, const char* SystemEventName);
HRESULT SimConnect_UnsubscribeFromSystemEvent(HANDLE hSimConnect, DWORD EventID);

// Input events (key texts such as "shift+ctrl+v") and the reserved key.
HRESULT SimConnect_MapInputEventToClientEvent(HANDLE hSimConnect, DWORD GroupID, const char* szInputDefinition,
                                              DWORD DownEventID, DWORD DownValue = 0,
                                              DWORD UpEventID = SIMCONNECT_UNUSED, DWORD UpValue = 0,
                                              BOOL bMaskable = FALSE);
HRESULT SimConnect_SetInputGroupPriority(HANDLE hSimConnect, DWORD GroupID, DWORD uPriority);
HRESULT SimConnect_SetInputGroupState(HANDLE hSimConnect, DWORD GroupID, DWORD dwState);
HRESULT SimConnect_RequestReservedKey(HANDLE hSimConnect, DWORD EventID, const char* szKeyChoice1 = "",
                                      const char* szKeyChoice2 = "", const char* szKeyChoice3 = "");

// Data definitions and object data.
HRESULT SimConnect_AddToDataDefinition(HANDLE hSimConnect, DWORD DefineID, const char* DatumName,
                                       const char* UnitsName,
                                       SIMCONNECT_DATATYPE DatumType = SIMCONNECT_DATATYPE_FLOAT64,
                                       float fEpsilon = 0, DWORD DatumID = SIMCONNECT_UNUSED);
HRESULT SimConnect_ClearDataDefinition(HANDLE hSimConnect, DWORD DefineID);
// origin: periods to let pass before the first answer; interval: periods skipped between answers;
// limit: number of answers, 0 for no limit. Period NEVER stops the request of that id.
HRESULT SimConnect_RequestDataOnSimObject(HANDLE hSimConnect, DWORD RequestID, DWORD DefineID, DWORD ObjectID,
                                          SIMCONNECT_PERIOD Period, SIMCONNECT_DATA_REQUEST_FLAG Flags = 0,
                                          DWORD origin = 0, DWORD interval = 0, DWORD limit = 0);
// One SIMOBJECT_DATA_BYTYPE per object within the radius of the user aircraft; one with entry and
// count 0 when there is none.
HRESULT SimConnect_RequestDataOnSimObjectType(HANDLE hSimConnect, DWORD RequestID, DWORD DefineID,
                                              DWORD dwRadiusMeters, SIMCONNECT_SIMOBJECT_TYPE type);
HRESULT SimConnect_SetDataOnSimObject(HANDLE hSimConnect, DWORD DefineID, DWORD ObjectID,
                                      SIMCONNECT_DATA_SET_FLAG Flags, DWORD ArrayCount, DWORD cbUnitSize,
                                      void* pDataSet);
// Finds the variable-length string at pStringV inside the message; E_FAIL when it is not terminated
// within the message. *pcbString is its length with the terminator.
HRESULT SimConnect_RetrieveString(SIMCONNECT_RECV* pData, DWORD cbData, void* pStringV, char** pszString,
                                  DWORD* pcbString);

// Simulated objects. The creation is answered later with SIMCONNECT_RECV_ASSIGNED_OBJECT_ID carrying
// RequestID, or with exception CREATE_OBJECT_FAILED carrying the packet id of this call.
HRESULT SimConnect_AICreateSimulatedObject(HANDLE hSimConnect, const char* szContainerTitle,
                                           SIMCONNECT_DATA_INITPOSITION InitPos, DWORD RequestID);
HRESULT SimConnect_AIRemoveObject(HANDLE hSimConnect, DWORD ObjectID, DWORD RequestID);

// Client-data areas, shared between clients by name.
HRESULT SimConnect_MapClientDataNameToID(HANDLE hSimConnect, const char* szClientDataName, DWORD ClientDataID);
HRESULT SimConnect_CreateClientData(HANDLE hSimConnect, DWORD ClientDataID, DWORD dwSize,
                                    SIMCONNECT_CREATE_CLIENT_DATA_FLAG Flags);
HRESULT SimConnect_AddToClientDataDefinition(HANDLE hSimConnect, DWORD DefineID, DWORD dwOffset,
                                             DWORD dwSizeOrType, float fEpsilon = 0,
                                             DWORD DatumID = SIMCONNECT_UNUSED);
HRESULT SimConnect_ClearClientDataDefinition(HANDLE hSimConnect, DWORD DefineID);
HRESULT SimConnect_RequestClientData(HANDLE hSimConnect, DWORD ClientDataID, DWORD RequestID, DWORD DefineID,
                                     SIMCONNECT_CLIENT_DATA_PERIOD Period = SIMCONNECT_CLIENT_DATA_PERIOD_ONCE,
                                     SIMCONNECT_CLIENT_DATA_REQUEST_FLAG Flags = 0, DWORD origin = 0,
                                     DWORD interval = 0, DWORD limit = 0);
HRESULT SimConnect_SetClientData(HANDLE hSimConnect, DWORD ClientDataID, DWORD DefineID,
                                 SIMCONNECT_CLIENT_DATA_SET_FLAG Flags, DWORD dwReserved, DWORD cbUnitSize,
                                 void* pDataSet);

// Texts and menus. A menu is NUL-separated entries: title, prompt, up to ten lines; an empty text (first
// byte 0) removes the menu shown with that event. The result (line chosen, displayed, removed, replaced,
// timeout) comes back as an event with that id and the result as data; event 0 asks for no result.
HRESULT SimConnect_Text(HANDLE hSimConnect, SIMCONNECT_TEXT_TYPE type, float fTimeSeconds, DWORD EventID,
                        DWORD cbUnitSize, void* pDataSet);

// The add-on menu. Choosing an item sends its event to this client through its notification groups.
HRESULT SimConnect_MenuAddItem(HANDLE hSimConnect, const char* szMenuItem, DWORD MenuEventID, DWORD dwData);
HRESULT SimConnect_MenuDeleteItem(HANDLE hSimConnect, DWORD MenuEventID);
HRESULT SimConnect_MenuAddSubItem(HANDLE hSimConnect, DWORD MenuEventID, const char* szMenuItem,
                                  DWORD SubMenuEventID, DWORD dwData);
HRESULT SimConnect_MenuDeleteSubItem(HANDLE hSimConnect, DWORD MenuEventID, DWORD SubMenuEventID);

// "Sim" (dwInteger 1 while running), "AircraftLoaded" and "FlightLoaded" (szString: the file),
// "DialogMode" (dwInteger).
HRESULT SimConnect_RequestSystemState(HANDLE hSimConnect, DWORD RequestID, const char* szState);
