#include "platform/simconnect/Transport.h"

#include "platform/machine.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform::simconnect {

namespace {

std::mutex g_endpointMutex;
std::shared_ptr<Endpoint> g_endpoint;

bool WriteAll(int fd, const uint8_t* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool ReadAll(int fd, uint8_t* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::recv(fd, data, size, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool MakeAddress(const std::filesystem::path& path, sockaddr_un& address, std::string* error)
{
    const std::string text = path.string();
    std::memset(&address, 0, sizeof(address));
    address.sun_family = AF_UNIX;
    if (text.empty() || text.size() >= sizeof(address.sun_path)) {
        if (error) *error = "socket path too long for a Unix socket: " + text;
        return false;
    }
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    return true;
}

class SocketSession : public Session {
public:
    explicit SocketSession(int fd) : fd_(fd) {}
    ~SocketSession() override { ::close(fd_); }

    bool Exchange(const Bytes& request, Bytes& reply) override
    {
        return WriteFrame(fd_, request) && ReadFrame(fd_, reply);
    }

private:
    int fd_;
};

}  // namespace

void SetInProcessEndpoint(std::shared_ptr<Endpoint> endpoint)
{
    std::lock_guard lock(g_endpointMutex);
    g_endpoint = std::move(endpoint);
}

std::shared_ptr<Endpoint> GetInProcessEndpoint()
{
    std::lock_guard lock(g_endpointMutex);
    return g_endpoint;
}

std::filesystem::path SocketPath()
{
    return platform::MachineRoot() / "simconnect.sock";
}

bool WriteFrame(int fd, const Bytes& frame)
{
    if (frame.size() > kMaxFrameBytes) return false;
    uint8_t header[4];
    const auto n = static_cast<uint32_t>(frame.size());
    for (int i = 0; i < 4; ++i) header[i] = static_cast<uint8_t>(n >> (8 * i));
    return WriteAll(fd, header, 4) && WriteAll(fd, frame.data(), frame.size());
}

bool ReadFrame(int fd, Bytes& frame)
{
    uint8_t header[4];
    if (!ReadAll(fd, header, 4)) return false;
    uint32_t n = 0;
    for (int i = 0; i < 4; ++i) n |= static_cast<uint32_t>(header[i]) << (8 * i);
    if (n > kMaxFrameBytes) return false;
    frame.resize(n);
    return ReadAll(fd, frame.data(), n);
}

std::unique_ptr<Session> ConnectToSocket(const std::filesystem::path& path, std::string* error)
{
    sockaddr_un address;
    if (!MakeAddress(path, address, error)) return nullptr;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        if (error) *error = std::string("socket: ") + std::strerror(errno);
        return nullptr;
    }
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        if (error) *error = "no simulator listens at " + path.string() + ": " + std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<SocketSession>(fd);
}

SocketServer::SocketServer(std::shared_ptr<Endpoint> endpoint) : endpoint_(std::move(endpoint)) {}

SocketServer::~SocketServer()
{
    Stop();
}

bool SocketServer::Start(const std::filesystem::path& path, std::string* error)
{
    Stop();
    sockaddr_un address;
    if (!MakeAddress(path, address, error)) return false;
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    // A socket file left by a simulator that died is stale: nobody answers on it.
    if (std::filesystem::exists(path, ec)) {
        if (auto probe = ConnectToSocket(path)) {
            if (error) *error = "another simulator already listens at " + path.string();
            return false;
        }
        std::filesystem::remove(path, ec);
    }
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(listenFd_, 16) != 0 || ::pipe2(wakeFds_, O_CLOEXEC) != 0) {
        if (error) *error = "cannot listen at " + path.string() + ": " + std::strerror(errno);
        if (listenFd_ >= 0) ::close(listenFd_);
        listenFd_ = -1;
        return false;
    }
    path_ = path;
    stopping_ = false;
    acceptThread_ = std::thread([this] { AcceptLoop(); });
    return true;
}

void SocketServer::Stop()
{
    if (listenFd_ < 0) return;
    stopping_ = true;
    const char wake = 1;
    [[maybe_unused]] ssize_t ignored = ::write(wakeFds_[1], &wake, 1);
    if (acceptThread_.joinable()) acceptThread_.join();
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(mutex_);
        for (int fd : connectionFds_) ::shutdown(fd, SHUT_RDWR);
        threads.swap(connectionThreads_);
    }
    for (auto& t : threads) t.join();
    ::close(listenFd_);
    ::close(wakeFds_[0]);
    ::close(wakeFds_[1]);
    listenFd_ = wakeFds_[0] = wakeFds_[1] = -1;
    std::error_code ec;
    std::filesystem::remove(path_, ec);
}

void SocketServer::AcceptLoop()
{
    while (!stopping_) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (stopping_ || (fds[1].revents & POLLIN)) return;
        if (!(fds[0].revents & POLLIN)) continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        std::lock_guard lock(mutex_);
        connectionFds_.push_back(fd);
        connectionThreads_.emplace_back([this, fd] { Serve(fd); });
    }
}

void SocketServer::Serve(int fd)
{
    std::unique_ptr<Session> session = endpoint_->Connect();
    Bytes request, reply;
    while (session && ReadFrame(fd, request)) {
        reply.clear();
        if (!session->Exchange(request, reply) || !WriteFrame(fd, reply)) break;
    }
    session.reset();  // the client is gone: the simulator forgets it
    std::lock_guard lock(mutex_);
    ::close(fd);
    std::erase(connectionFds_, fd);
}

}  // namespace platform::simconnect
