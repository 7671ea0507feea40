// How a SimConnect connection reaches the simulator: a session that exchanges request and reply frames
// of the wire protocol, either with a simulator in this process or over the machine's Unix socket.
#pragma once

#include "platform/simconnect/Wire.h"

#include <atomic>
#include <filesystem>
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

// Serves an endpoint on a Unix socket: one thread accepts, one thread per connection exchanges frames.
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

private:
    void AcceptLoop();
    void Serve(int fd);

    std::shared_ptr<Endpoint> endpoint_;
    std::filesystem::path path_;
    int listenFd_ = -1;
    int wakeFds_[2] = {-1, -1};
    std::atomic<bool> stopping_{false};
    std::thread acceptThread_;
    std::mutex mutex_;
    std::vector<int> connectionFds_;
    std::vector<std::thread> connectionThreads_;
};

// Frames on a stream socket: u32 length, then the bytes.
bool WriteFrame(int fd, const Bytes& frame);
bool ReadFrame(int fd, Bytes& frame);

}  // namespace platform::simconnect
