// How a SimConnect connection reaches the simulator: a session that exchanges request and reply frames
// of the wire protocol, either with a simulator in this process or over the machine's Unix socket.
// Messages to the client are kept on the client's side of the session as they come: over the socket the
// simulator sends them as soon as they wait, so that taking none costs one read that does not wait.
#pragma once

#include "platform/simconnect/Wire.h"

#include <atomic>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace platform::simconnect {

// One client connection as the simulator sees it.
class Session {
public:
    virtual ~Session() = default;
    // Sends one request and waits for its reply; false when the simulator is gone.
    virtual bool Exchange(const Bytes& request, Bytes& reply) = 0;
    // Appends the messages waiting for the client, without waiting for more; false when the simulator is
    // gone (the messages that came before are still appended). Unless a session knows better, it asks
    // for them with a Dispatch request.
    virtual bool Receive(std::deque<Bytes>& messages);
    // Called (from any thread) whenever a message starts to wait for the client; empty: nobody is told.
    // The socket server uses it to send the messages at once.
    virtual void SetWake(std::function<void()> wake) { (void)wake; }
    // Called when the connection is cut off for what the client sent (a frame over the limit), before the
    // session goes: the simulator notes why.
    virtual void CutOff(const std::string& why) { (void)why; }
};

// Something that accepts connections: the simulator.
class Endpoint {
public:
    virtual ~Endpoint() = default;
    // Null when the endpoint no longer accepts connections.
    virtual std::unique_ptr<Session> Connect() = 0;
};

// While set, SimConnect_Open in this process connects to this endpoint instead of the socket.
void SetInProcessEndpoint(std::shared_ptr<Endpoint> endpoint);
std::shared_ptr<Endpoint> GetInProcessEndpoint();

// The socket of the simulator in the current machine root.
std::filesystem::path SocketPath();

// Null (with *error set) when nothing listens there.
std::unique_ptr<Session> ConnectToSocket(const std::filesystem::path& path, std::string* error = nullptr);

// Serves an endpoint on a Unix socket: one thread accepts, one thread per connection answers requests.
// Messages go out as soon as they wait: the connection's thread is woken for them, and SendWaiting sends
// them from the calling thread. Nothing waits for a client that does not read: what its socket cannot
// take yet stays with its connection until it can. A request is read as its bytes come, into a buffer that
// grows with them, never with the length its header announces; a frame over kMaxFrameBytes cuts that
// connection off. The thread of a connection whose client left is joined when the next client comes (or
// at Stop), so they do not pile up.
class SocketServer {
public:
    explicit SocketServer(std::shared_ptr<Endpoint> endpoint);
    ~SocketServer();
    SocketServer(const SocketServer&) = delete;
    SocketServer& operator=(const SocketServer&) = delete;

    // Replaces a stale socket file; false with *error when the socket cannot be opened.
    bool Start(const std::filesystem::path& path, std::string* error = nullptr);
    // Closes the socket and every connection, and waits for the threads.
    void Stop();
    // Sends every connection the messages waiting for it; once this returns, they are in the sockets
    // (or kept for those that are full).
    void SendWaiting();

    // For tests: the connection threads not joined yet (serving or finished), and the bytes the
    // connections hold for requests not read whole yet (the capacity of their buffers).
    size_t ConnectionThreads() const;
    size_t RequestBufferBytes() const;

private:
    struct Connection {
        int fd = -1;
        int wakeFd = -1;
        std::mutex mutex;            // one sender at a time; guards what follows
        Session* session = nullptr;  // null once the connection is closing
        Bytes pending;               // frames the socket could not take yet
        std::deque<Bytes> messages;  // storage for what Receive brings
        std::atomic<size_t> inCapacity{0};  // the capacity of the serving thread's request buffer
    };

    void AcceptLoop();
    void Serve(std::shared_ptr<Connection> connection);
    // Reads what the socket holds and answers every request that came whole; false when the client is
    // gone or cut off.
    bool ReadRequests(Connection& connection, Session& session, Bytes& in);
    // Joins the threads of connections that have finished.
    void JoinFinished();
    // Writes the waiting messages, then the reply when there is one, as far as the socket takes them;
    // false when the client or its socket is gone.
    bool Send(Connection& connection, const Bytes* reply, bool fromServingThread);

    std::shared_ptr<Endpoint> endpoint_;
    std::filesystem::path path_;
    int listenFd_ = -1;
    int wakeFds_[2] = {-1, -1};
    std::atomic<bool> stopping_{false};
    std::thread acceptThread_;
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<Connection>> connections_;
    std::map<const Connection*, std::thread> connectionThreads_;  // serving
    std::vector<std::thread> finishedThreads_;                    // done, to be joined
};

// Frames on a stream socket: u32 length, then the bytes. Requests go to the simulator in plain frames;
// what comes back starts with a FrameKind byte.
bool WriteFrame(int fd, const Bytes& frame);
bool ReadFrame(int fd, Bytes& frame);

enum class FrameKind : uint8_t {
    Reply = 1,    // the reply to the last request
    Message = 2,  // a message to the client, laid out as its SIMCONNECT_RECV record
};
// Appends a frame of that kind carrying the bytes.
void AppendFrame(Bytes& out, FrameKind kind, const Bytes& bytes);

}  // namespace platform::simconnect
