// The client side of SimConnect: every call becomes one request frame through the connection's session.
// Messages are kept on this side as they arrive: a dispatch with nothing waiting asks the simulator
// nothing. The simulator is told once when the client took messages and once when it found none left
// after them, so that it knows when a client has handled what it was sent.
#include "platform/simconnect/ModuleDispatch.h"
#include "platform/simconnect/SimConnect.h"
#include "platform/simconnect/Transport.h"

#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>

namespace platform::simconnect {

namespace {

struct Connection {
    std::mutex mutex;  // one exchange at a time; guards everything below
    std::unique_ptr<Session> session;
    DWORD lastPacket = 0;
    bool broken = false;
    bool quitSeen = false;
    std::deque<Bytes> fetched;  // taken from the simulator, not yet delivered
    std::deque<Bytes> incoming;  // storage for what Receive brings, kept between calls
    // Messages received from the session so far, and the counts the simulator was last told of.
    uint32_t received = 0;
    uint32_t toldFetched = 0;
    uint32_t toldHandled = 0;
    // Storage of the requests and replies, kept between calls.
    Writer request;
    Bytes reply;
    DispatchProc callback = nullptr;
    void* context = nullptr;
};

std::mutex g_handlesMutex;
std::map<uintptr_t, std::shared_ptr<Connection>> g_connections;
uintptr_t g_nextHandle = 0x5C00;

thread_local OpenCapture* t_capture = nullptr;
// The last packet this thread sent, and on which connection.
thread_local uintptr_t t_lastHandle = 0;
thread_local DWORD t_lastPacket = 0;

std::shared_ptr<Connection> Find(HANDLE handle)
{
    std::lock_guard lock(g_handlesMutex);
    auto it = g_connections.find(reinterpret_cast<uintptr_t>(handle));
    return it == g_connections.end() ? nullptr : it->second;
}

// One argument of a request, written in call order.
void Put(Writer& w, DWORD v) { w.U32(v); }
void Put(Writer& w, float v) { w.F32(v); }
void Put(Writer& w, double v) { w.F64(v); }
void Put(Writer& w, std::string_view v) { w.Text(v); }
struct Block {
    const void* data;
    size_t size;
};
void Put(Writer& w, Block b) { w.Block(b.data, b.size); }

template <typename... Args>
HRESULT Send(HANDLE handle, RequestKind kind, Args... args)
{
    auto conn = Find(handle);
    if (!conn) return E_INVALIDARG;
    std::lock_guard lock(conn->mutex);
    if (conn->broken || !conn->session) return E_FAIL;
    Writer& w = conn->request;
    w.Clear();
    w.U32(static_cast<uint32_t>(kind));
    const DWORD packet = conn->lastPacket + 1;
    w.U32(packet);
    (Put(w, args), ...);
    if (!conn->session->Exchange(w.Data(), conn->reply)) {
        conn->broken = true;
        return E_FAIL;
    }
    conn->lastPacket = packet;
    t_lastHandle = reinterpret_cast<uintptr_t>(handle);
    t_lastPacket = packet;
    Reader r(conn->reply);
    int32_t hr = E_FAIL;
    r.I32(hr);
    return hr;
}

bool ValidName(const char* text, bool allowEmpty = false)
{
    if (!text) return false;
    const size_t n = strnlen(text, kMaxNameLength + 1);
    return n <= kMaxNameLength && (allowEmpty || n > 0);
}

std::string_view Name(const char* text)
{
    return text ? std::string_view(text, strnlen(text, kMaxNameLength + 1)) : std::string_view();
}

// Tells the simulator how many messages the client has received: Fetched or Handled. Caller holds
// conn.mutex.
void Tell(Connection& conn, RequestKind kind)
{
    Writer& w = conn.request;
    w.Clear();
    w.U32(static_cast<uint32_t>(kind));
    w.U32(0);
    w.U32(conn.received);
    if (!conn.session->Exchange(w.Data(), conn.reply)) conn.broken = true;
}

// Takes the messages that have arrived into conn.fetched, and tells the simulator once when the client
// took some and once when it found none left after them. Caller holds conn.mutex.
void Fetch(Connection& conn)
{
    if (!conn.broken && conn.session) {
        conn.incoming.clear();
        if (!conn.session->Receive(conn.incoming)) conn.broken = true;
        for (Bytes& message : conn.incoming) {
            ++conn.received;
            if (IsWellFormedMessage(message.data(), message.size())) conn.fetched.push_back(std::move(message));
        }
        if (!conn.broken && conn.received != conn.toldFetched) {
            Tell(conn, RequestKind::Fetched);
            conn.toldFetched = conn.received;
        } else if (!conn.broken && conn.fetched.empty() && conn.received != conn.toldHandled) {
            Tell(conn, RequestKind::Handled);
            conn.toldHandled = conn.received;
        }
    }
    // A simulator that went away without a word still says goodbye once.
    if (conn.broken && !conn.quitSeen && conn.fetched.empty()) conn.fetched.push_back(MakeQuit());
    for (const Bytes& m : conn.fetched) {
        if (m.size() >= 12 && m[8] == SIMCONNECT_RECV_ID_QUIT && m[9] == 0 && m[10] == 0 && m[11] == 0)
            conn.quitSeen = true;
    }
}

// A message copied to 8-byte aligned storage so that its record can be read in place.
struct AlignedMessage {
    std::vector<uint64_t> storage;
    DWORD size = 0;

    void Assign(const Bytes& bytes)
    {
        // Room for the whole record type even when a message of an unknown kind is shorter.
        const size_t room = std::max(bytes.size(), sizeof(SIMCONNECT_RECV_OPEN)) + 8;
        storage.assign((room + 7) / 8, 0);
        std::memcpy(storage.data(), bytes.data(), bytes.size());
        size = static_cast<DWORD>(bytes.size());
    }
    SIMCONNECT_RECV* Record() { return reinterpret_cast<SIMCONNECT_RECV*>(storage.data()); }
};

HRESULT Deliver(const std::shared_ptr<Connection>& conn, DispatchProc callback, void* context)
{
    std::deque<Bytes> batch;
    bool broken;
    {
        std::lock_guard lock(conn->mutex);
        if (conn->fetched.empty()) Fetch(*conn);
        broken = conn->broken;
        if (conn->fetched.empty()) return broken ? E_FAIL : S_OK;
        batch.swap(conn->fetched);
    }
    AlignedMessage message;
    for (const Bytes& bytes : batch) {
        message.Assign(bytes);
        callback(message.Record(), message.size, context);
    }
    return broken && batch.empty() ? E_FAIL : S_OK;
}

}  // namespace

OpenCapture::OpenCapture() : previous_(t_capture)
{
    t_capture = this;
}

OpenCapture::~OpenCapture()
{
    t_capture = previous_;
}

void NoteOpened(HANDLE handle)
{
    if (t_capture) t_capture->handles_.push_back(handle);
}

bool DispatchToRegisteredCallback(HANDLE handle)
{
    auto conn = Find(handle);
    if (!conn) return false;
    DispatchProc callback;
    void* context;
    {
        std::lock_guard lock(conn->mutex);
        callback = conn->callback;
        context = conn->context;
    }
    if (!callback) return false;
    Deliver(conn, callback, context);
    return true;
}

}  // namespace platform::simconnect

using namespace platform::simconnect;

HRESULT SimConnect_Open(HANDLE* phSimConnect, const char* szName, HWND, DWORD, HANDLE, DWORD)
{
    if (!phSimConnect) return E_INVALIDARG;
    *phSimConnect = nullptr;
    if (!ValidName(szName, true)) return E_INVALIDARG;
    std::unique_ptr<Session> session;
    if (auto endpoint = GetInProcessEndpoint()) session = endpoint->Connect();
    else session = ConnectToSocket(SocketPath());
    if (!session) return E_FAIL;

    Writer w;
    w.U32(static_cast<uint32_t>(RequestKind::Open));
    w.U32(1);
    w.Text(Name(szName));
    Bytes reply;
    int32_t hr = E_FAIL;
    if (!session->Exchange(w.Data(), reply) || !Reader(reply).I32(hr) || FAILED(hr)) return E_FAIL;

    auto conn = std::make_shared<Connection>();
    conn->session = std::move(session);
    conn->lastPacket = 1;
    HANDLE handle;
    {
        std::lock_guard lock(g_handlesMutex);
        g_nextHandle += 0x10;
        handle = reinterpret_cast<HANDLE>(g_nextHandle);
        g_connections[g_nextHandle] = conn;
    }
    NoteOpened(handle);
    *phSimConnect = handle;
    return S_OK;
}

HRESULT SimConnect_Close(HANDLE hSimConnect)
{
    std::shared_ptr<Connection> conn;
    {
        std::lock_guard lock(g_handlesMutex);
        auto it = g_connections.find(reinterpret_cast<uintptr_t>(hSimConnect));
        if (it == g_connections.end()) return E_INVALIDARG;
        conn = it->second;
        g_connections.erase(it);
    }
    std::lock_guard lock(conn->mutex);
    if (conn->session && !conn->broken) {
        Writer w;
        w.U32(static_cast<uint32_t>(RequestKind::Close));
        w.U32(conn->lastPacket + 1);
        Bytes reply;
        conn->session->Exchange(w.Data(), reply);
    }
    conn->session.reset();
    conn->broken = true;
    return S_OK;
}

HRESULT SimConnect_CallDispatch(HANDLE hSimConnect, DispatchProc pfcnDispatch, void* pContext)
{
    auto conn = Find(hSimConnect);
    if (!conn || !pfcnDispatch) return E_INVALIDARG;
    {
        std::lock_guard lock(conn->mutex);
        conn->callback = pfcnDispatch;
        conn->context = pContext;
    }
    return Deliver(conn, pfcnDispatch, pContext);
}

HRESULT SimConnect_GetNextDispatch(HANDLE hSimConnect, SIMCONNECT_RECV** ppData, DWORD* pcbData)
{
    thread_local AlignedMessage t_message;
    auto conn = Find(hSimConnect);
    if (!conn || !ppData || !pcbData) return E_INVALIDARG;
    Bytes next;
    {
        std::lock_guard lock(conn->mutex);
        if (conn->fetched.empty()) Fetch(*conn);
        if (conn->fetched.empty()) return E_FAIL;
        next = std::move(conn->fetched.front());
        conn->fetched.pop_front();
    }
    t_message.Assign(next);
    *ppData = t_message.Record();
    *pcbData = t_message.size;
    return S_OK;
}

HRESULT SimConnect_GetLastSentPacketID(HANDLE hSimConnect, DWORD* pdwError)
{
    auto conn = Find(hSimConnect);
    if (!conn || !pdwError) return E_INVALIDARG;
    if (t_lastHandle == reinterpret_cast<uintptr_t>(hSimConnect)) {
        *pdwError = t_lastPacket;
        return S_OK;
    }
    std::lock_guard lock(conn->mutex);
    *pdwError = conn->lastPacket;
    return S_OK;
}

HRESULT SimConnect_MapClientEventToSimEvent(HANDLE h, DWORD EventID, const char* EventName)
{
    if (EventName && !ValidName(EventName, true)) return E_INVALIDARG;
    return Send(h, RequestKind::MapClientEvent, EventID, Name(EventName));
}

HRESULT SimConnect_TransmitClientEvent(HANDLE h, DWORD ObjectID, DWORD EventID, DWORD dwData, DWORD GroupID,
                                       SIMCONNECT_EVENT_FLAG Flags)
{
    return Send(h, RequestKind::TransmitClientEvent, ObjectID, EventID, dwData, GroupID, Flags);
}

HRESULT SimConnect_AddClientEventToNotificationGroup(HANDLE h, DWORD GroupID, DWORD EventID, BOOL bMaskable)
{
    return Send(h, RequestKind::AddClientEventToGroup, GroupID, EventID, static_cast<DWORD>(bMaskable ? 1 : 0));
}

HRESULT SimConnect_RemoveClientEvent(HANDLE h, DWORD GroupID, DWORD EventID)
{
    return Send(h, RequestKind::RemoveClientEvent, GroupID, EventID);
}

HRESULT SimConnect_SetNotificationGroupPriority(HANDLE h, DWORD GroupID, DWORD uPriority)
{
    return Send(h, RequestKind::SetGroupPriority, GroupID, uPriority);
}

HRESULT SimConnect_SubscribeToSystemEvent(HANDLE h, DWORD EventID, const char* SystemEventName)
{
    if (!ValidName(SystemEventName)) return E_INVALIDARG;
    return Send(h, RequestKind::SubscribeSystemEvent, EventID, Name(SystemEventName));
}

HRESULT SimConnect_UnsubscribeFromSystemEvent(HANDLE h, DWORD EventID)
{
    return Send(h, RequestKind::UnsubscribeSystemEvent, EventID);
}

HRESULT SimConnect_MapInputEventToClientEvent(HANDLE h, DWORD GroupID, const char* szInputDefinition,
                                              DWORD DownEventID, DWORD DownValue, DWORD UpEventID, DWORD UpValue,
                                              BOOL bMaskable)
{
    if (!ValidName(szInputDefinition)) return E_INVALIDARG;
    return Send(h, RequestKind::MapInputEvent, GroupID, Name(szInputDefinition), DownEventID, DownValue, UpEventID,
                UpValue, static_cast<DWORD>(bMaskable ? 1 : 0));
}

HRESULT SimConnect_SetInputGroupPriority(HANDLE h, DWORD GroupID, DWORD uPriority)
{
    return Send(h, RequestKind::SetInputGroupPriority, GroupID, uPriority);
}

HRESULT SimConnect_SetInputGroupState(HANDLE h, DWORD GroupID, DWORD dwState)
{
    if (dwState != SIMCONNECT_STATE_OFF && dwState != SIMCONNECT_STATE_ON) return E_INVALIDARG;
    return Send(h, RequestKind::SetInputGroupState, GroupID, dwState);
}

HRESULT SimConnect_RequestReservedKey(HANDLE h, DWORD EventID, const char* szKeyChoice1, const char* szKeyChoice2,
                                      const char* szKeyChoice3)
{
    for (const char* choice : {szKeyChoice1, szKeyChoice2, szKeyChoice3})
        if (choice && !ValidName(choice, true)) return E_INVALIDARG;
    return Send(h, RequestKind::RequestReservedKey, EventID, Name(szKeyChoice1), Name(szKeyChoice2),
                Name(szKeyChoice3));
}

HRESULT SimConnect_AddToDataDefinition(HANDLE h, DWORD DefineID, const char* DatumName, const char* UnitsName,
                                       SIMCONNECT_DATATYPE DatumType, float fEpsilon, DWORD DatumID)
{
    if (!ValidName(DatumName) || (UnitsName && !ValidName(UnitsName, true))) return E_INVALIDARG;
    if (DatumType < SIMCONNECT_DATATYPE_INT32 || DatumType > SIMCONNECT_DATATYPE_STRINGV) return E_INVALIDARG;
    return Send(h, RequestKind::AddToDataDefinition, DefineID, Name(DatumName), Name(UnitsName),
                static_cast<DWORD>(DatumType), fEpsilon, DatumID);
}

HRESULT SimConnect_ClearDataDefinition(HANDLE h, DWORD DefineID)
{
    return Send(h, RequestKind::ClearDataDefinition, DefineID);
}

HRESULT SimConnect_RequestDataOnSimObject(HANDLE h, DWORD RequestID, DWORD DefineID, DWORD ObjectID,
                                          SIMCONNECT_PERIOD Period, SIMCONNECT_DATA_REQUEST_FLAG Flags, DWORD origin,
                                          DWORD interval, DWORD limit)
{
    if (Period > SIMCONNECT_PERIOD_SECOND) return E_INVALIDARG;
    return Send(h, RequestKind::RequestDataOnSimObject, RequestID, DefineID, ObjectID, static_cast<DWORD>(Period),
                Flags, origin, interval, limit);
}

HRESULT SimConnect_RequestDataOnSimObjectType(HANDLE h, DWORD RequestID, DWORD DefineID, DWORD dwRadiusMeters,
                                              SIMCONNECT_SIMOBJECT_TYPE type)
{
    if (type > SIMCONNECT_SIMOBJECT_TYPE_GROUND) return E_INVALIDARG;
    return Send(h, RequestKind::RequestDataOnSimObjectType, RequestID, DefineID, dwRadiusMeters,
                static_cast<DWORD>(type));
}

HRESULT SimConnect_SetDataOnSimObject(HANDLE h, DWORD DefineID, DWORD ObjectID, SIMCONNECT_DATA_SET_FLAG Flags,
                                      DWORD ArrayCount, DWORD cbUnitSize, void* pDataSet)
{
    const uint64_t total = static_cast<uint64_t>(ArrayCount ? ArrayCount : 1) * cbUnitSize;
    if (total > kMaxBlockBytes || (total > 0 && !pDataSet)) return E_INVALIDARG;
    return Send(h, RequestKind::SetDataOnSimObject, DefineID, ObjectID, Flags, ArrayCount, cbUnitSize,
                Block{pDataSet, static_cast<size_t>(total)});
}

HRESULT SimConnect_RetrieveString(SIMCONNECT_RECV* pData, DWORD cbData, void* pStringV, char** pszString,
                                  DWORD* pcbString)
{
    if (!pData || !pStringV || !pszString || !pcbString) return E_INVALIDARG;
    const auto* begin = reinterpret_cast<const char*>(pData);
    const auto* end = begin + cbData;
    auto* text = static_cast<char*>(pStringV);
    if (text < begin || text >= end) return E_FAIL;
    const void* nul = std::memchr(text, '\0', static_cast<size_t>(end - text));
    if (!nul) return E_FAIL;
    *pszString = text;
    *pcbString = static_cast<DWORD>(static_cast<const char*>(nul) - text + 1);
    return S_OK;
}

HRESULT SimConnect_AICreateSimulatedObject(HANDLE h, const char* szContainerTitle,
                                           SIMCONNECT_DATA_INITPOSITION InitPos, DWORD RequestID)
{
    if (!ValidName(szContainerTitle, true)) return E_INVALIDARG;
    return Send(h, RequestKind::AICreateSimulatedObject, Name(szContainerTitle), InitPos.Latitude,
                InitPos.Longitude, InitPos.Altitude, InitPos.Pitch, InitPos.Bank, InitPos.Heading, InitPos.OnGround,
                InitPos.Airspeed, RequestID);
}

HRESULT SimConnect_AIRemoveObject(HANDLE h, DWORD ObjectID, DWORD RequestID)
{
    return Send(h, RequestKind::AIRemoveObject, ObjectID, RequestID);
}

HRESULT SimConnect_MapClientDataNameToID(HANDLE h, const char* szClientDataName, DWORD ClientDataID)
{
    if (!ValidName(szClientDataName)) return E_INVALIDARG;
    return Send(h, RequestKind::MapClientDataName, Name(szClientDataName), ClientDataID);
}

HRESULT SimConnect_CreateClientData(HANDLE h, DWORD ClientDataID, DWORD dwSize,
                                    SIMCONNECT_CREATE_CLIENT_DATA_FLAG Flags)
{
    if (dwSize == 0 || dwSize > SIMCONNECT_CLIENTDATA_MAX_SIZE) return E_INVALIDARG;
    return Send(h, RequestKind::CreateClientData, ClientDataID, dwSize, Flags);
}

HRESULT SimConnect_AddToClientDataDefinition(HANDLE h, DWORD DefineID, DWORD dwOffset, DWORD dwSizeOrType,
                                             float fEpsilon, DWORD DatumID)
{
    const bool typed = dwSizeOrType >= SIMCONNECT_CLIENTDATATYPE_FLOAT64;
    if (dwSizeOrType == 0 || (!typed && dwSizeOrType > SIMCONNECT_CLIENTDATA_MAX_SIZE)) return E_INVALIDARG;
    return Send(h, RequestKind::AddToClientDataDefinition, DefineID, dwOffset, dwSizeOrType, fEpsilon, DatumID);
}

HRESULT SimConnect_ClearClientDataDefinition(HANDLE h, DWORD DefineID)
{
    return Send(h, RequestKind::ClearClientDataDefinition, DefineID);
}

HRESULT SimConnect_RequestClientData(HANDLE h, DWORD ClientDataID, DWORD RequestID, DWORD DefineID,
                                     SIMCONNECT_CLIENT_DATA_PERIOD Period, SIMCONNECT_CLIENT_DATA_REQUEST_FLAG Flags,
                                     DWORD origin, DWORD interval, DWORD limit)
{
    if (Period > SIMCONNECT_CLIENT_DATA_PERIOD_SECOND) return E_INVALIDARG;
    return Send(h, RequestKind::RequestClientData, ClientDataID, RequestID, DefineID, static_cast<DWORD>(Period),
                Flags, origin, interval, limit);
}

HRESULT SimConnect_SetClientData(HANDLE h, DWORD ClientDataID, DWORD DefineID, SIMCONNECT_CLIENT_DATA_SET_FLAG Flags,
                                 DWORD dwReserved, DWORD cbUnitSize, void* pDataSet)
{
    if (cbUnitSize == 0 || cbUnitSize > SIMCONNECT_CLIENTDATA_MAX_SIZE || !pDataSet) return E_INVALIDARG;
    return Send(h, RequestKind::SetClientData, ClientDataID, DefineID, Flags, dwReserved,
                Block{pDataSet, cbUnitSize});
}

HRESULT SimConnect_Text(HANDLE h, SIMCONNECT_TEXT_TYPE type, float fTimeSeconds, DWORD EventID, DWORD cbUnitSize,
                        void* pDataSet)
{
    if (cbUnitSize > kMaxBlockBytes || (cbUnitSize > 0 && !pDataSet)) return E_INVALIDARG;
    return Send(h, RequestKind::Text, static_cast<DWORD>(type), fTimeSeconds, EventID, Block{pDataSet, cbUnitSize});
}

HRESULT SimConnect_MenuAddItem(HANDLE h, const char* szMenuItem, DWORD MenuEventID, DWORD dwData)
{
    if (!ValidName(szMenuItem)) return E_INVALIDARG;
    return Send(h, RequestKind::MenuAddItem, Name(szMenuItem), MenuEventID, dwData);
}

HRESULT SimConnect_MenuDeleteItem(HANDLE h, DWORD MenuEventID)
{
    return Send(h, RequestKind::MenuDeleteItem, MenuEventID);
}

HRESULT SimConnect_MenuAddSubItem(HANDLE h, DWORD MenuEventID, const char* szMenuItem, DWORD SubMenuEventID,
                                  DWORD dwData)
{
    if (!ValidName(szMenuItem)) return E_INVALIDARG;
    return Send(h, RequestKind::MenuAddSubItem, MenuEventID, Name(szMenuItem), SubMenuEventID, dwData);
}

HRESULT SimConnect_MenuDeleteSubItem(HANDLE h, DWORD MenuEventID, DWORD SubMenuEventID)
{
    return Send(h, RequestKind::MenuDeleteSubItem, MenuEventID, SubMenuEventID);
}

HRESULT SimConnect_RequestSystemState(HANDLE h, DWORD RequestID, const char* szState)
{
    if (!ValidName(szState)) return E_INVALIDARG;
    return Send(h, RequestKind::RequestSystemState, RequestID, Name(szState));
}
