#include "platform/simconnect/Transport.h"

#include "platform/machine.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform::simconnect {

namespace {

std::mutex g_endpointMutex;
std::shared_ptr<Endpoint> g_endpoint;

// What is read from a stream at a time, and the request buffer a connection keeps once a large request
// has been answered.
constexpr size_t kStreamReadChunk = 16u << 10;
constexpr size_t kKeptRequestBuffer = 64u << 10;

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

uint32_t GetU32(const uint8_t* p)
{
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(p[i]) << (8 * i);
    return v;
}

// The client's end of the socket. What the simulator sends is read into one buffer and cut into frames;
// messages that come while a request waits for its reply are kept for the next Receive.
class SocketSession : public Session {
public:
    explicit SocketSession(int fd) : fd_(fd), in_(kReadChunk) {}
    ~SocketSession() override { ::close(fd_); }

    bool Exchange(const Bytes& request, Bytes& reply) override
    {
        if (!WriteFrame(fd_, request)) return false;
        for (;;) {
            FrameKind kind;
            const uint8_t* data;
            size_t size;
            while (!NextFrame(kind, data, size))
                if (Read(true) != ReadResult::Got) return false;
            if (kind == FrameKind::Reply) {
                reply.assign(data, data + size);
                return true;
            }
            arrived_.emplace_back(data, data + size);
        }
    }

    bool Receive(std::deque<Bytes>& messages) override
    {
        for (Bytes& m : arrived_) messages.push_back(std::move(m));
        arrived_.clear();
        for (;;) {
            FrameKind kind;
            const uint8_t* data;
            size_t size;
            while (NextFrame(kind, data, size))
                if (kind == FrameKind::Message) messages.emplace_back(data, data + size);
            switch (Read(false)) {
            case ReadResult::Got: break;
            case ReadResult::Nothing: return true;
            case ReadResult::Closed: return false;
            }
        }
    }

private:
    static constexpr size_t kReadChunk = 64u << 10;
    enum class ReadResult { Got, Nothing, Closed };

    // The next whole frame in the buffer; false when none is complete yet (or the stream is broken).
    bool NextFrame(FrameKind& kind, const uint8_t*& data, size_t& size)
    {
        const size_t available = end_ - begin_;
        if (broken_ || available < 4) return false;
        const uint32_t n = GetU32(in_.data() + begin_);
        if (n == 0 || n > kMaxFrameBytes) {
            broken_ = true;
            return false;
        }
        if (available < 4 + static_cast<size_t>(n)) return false;
        kind = static_cast<FrameKind>(in_[begin_ + 4]);
        data = in_.data() + begin_ + 5;
        size = n - 1;
        begin_ += 4 + static_cast<size_t>(n);
        return true;
    }

    // Reads what the socket holds, waiting for something when `wait`.
    ReadResult Read(bool wait)
    {
        if (broken_) return ReadResult::Closed;
        if (begin_ == end_) begin_ = end_ = 0;
        if (in_.size() - end_ < kReadChunk / 4) {
            std::memmove(in_.data(), in_.data() + begin_, end_ - begin_);
            end_ -= begin_;
            begin_ = 0;
            if (in_.size() - end_ < kReadChunk / 4) in_.resize(in_.size() * 2);
        }
        for (;;) {
            const ssize_t n = ::recv(fd_, in_.data() + end_, in_.size() - end_, wait ? 0 : MSG_DONTWAIT);
            if (n > 0) {
                end_ += static_cast<size_t>(n);
                return ReadResult::Got;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && !wait && (errno == EAGAIN || errno == EWOULDBLOCK)) return ReadResult::Nothing;
            broken_ = true;
            return ReadResult::Closed;
        }
    }

    int fd_;
    Bytes in_;
    size_t begin_ = 0, end_ = 0;  // the bytes read and not yet cut into frames
    bool broken_ = false;
    std::deque<Bytes> arrived_;
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

void AppendFrame(Bytes& out, FrameKind kind, const Bytes& bytes)
{
    const auto n = static_cast<uint32_t>(bytes.size() + 1);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(n >> (8 * i)));
    out.push_back(static_cast<uint8_t>(kind));
    out.insert(out.end(), bytes.begin(), bytes.end());
}

bool Session::Receive(std::deque<Bytes>& messages)
{
    Writer w;
    w.U32(static_cast<uint32_t>(RequestKind::Dispatch));
    w.U32(0);
    Bytes reply;
    if (!Exchange(w.Data(), reply)) return false;
    Reader r(reply);
    int32_t hr = E_FAIL;
    uint32_t count = 0;
    if (r.I32(hr) && r.U32(count)) {
        Bytes message;
        for (uint32_t i = 0; i < count && r.Block(message, kMaxFrameBytes); ++i) messages.push_back(message);
    }
    return true;
}

bool ReadFrame(int fd, Bytes& frame)
{
    uint8_t header[4];
    if (!ReadAll(fd, header, 4)) return false;
    uint32_t n = 0;
    for (int i = 0; i < 4; ++i) n |= static_cast<uint32_t>(header[i]) << (8 * i);
    if (n > kMaxFrameBytes) return false;
    // Grown with what arrives: a header alone reserves nothing near what it announces.
    frame.clear();
    while (frame.size() < n) {
        const size_t at = frame.size();
        frame.resize(at + std::min<size_t>(n - at, kStreamReadChunk));
        if (!ReadAll(fd, frame.data() + at, frame.size() - at)) return false;
    }
    return true;
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
        for (const auto& c : connections_) ::shutdown(c->fd, SHUT_RDWR);
        for (auto& [connection, thread] : connectionThreads_) threads.push_back(std::move(thread));
        connectionThreads_.clear();
    }
    for (auto& t : threads) t.join();
    JoinFinished();
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
        JoinFinished();
        auto connection = std::make_shared<Connection>();
        connection->fd = fd;
        std::lock_guard lock(mutex_);
        connections_.push_back(connection);
        connectionThreads_.emplace(connection.get(), std::thread([this, connection] { Serve(connection); }));
    }
}

void SocketServer::JoinFinished()
{
    std::vector<std::thread> finished;
    {
        std::lock_guard lock(mutex_);
        finished.swap(finishedThreads_);
    }
    for (auto& t : finished) t.join();
}

size_t SocketServer::ConnectionThreads() const
{
    std::lock_guard lock(mutex_);
    return connectionThreads_.size() + finishedThreads_.size();
}

size_t SocketServer::RequestBufferBytes() const
{
    std::lock_guard lock(mutex_);
    size_t bytes = 0;
    for (const auto& c : connections_) bytes += c->inCapacity;
    return bytes;
}

namespace {

void Wake(int wakeFd)
{
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t ignored = ::write(wakeFd, &one, sizeof one);
}

}  // namespace

void SocketServer::Serve(std::shared_ptr<Connection> connection)
{
    Connection& c = *connection;
    std::unique_ptr<Session> session = endpoint_->Connect();
    const int wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (session && wakeFd >= 0) {
        {
            std::lock_guard lock(c.mutex);
            c.session = session.get();
            c.wakeFd = wakeFd;
        }
        session->SetWake([wakeFd] { Wake(wakeFd); });
        Bytes in;  // the bytes of requests not read whole yet
        for (;;) {
            short events = POLLIN;
            {
                std::lock_guard lock(c.mutex);
                if (!c.pending.empty()) events |= POLLOUT;
            }
            pollfd fds[2] = {{c.fd, events, 0}, {wakeFd, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR) continue;
                break;
            }
            if (fds[1].revents & POLLIN) {
                uint64_t count;
                [[maybe_unused]] ssize_t ignored = ::read(wakeFd, &count, sizeof count);
            }
            if ((fds[1].revents & POLLIN) || (fds[0].revents & POLLOUT)) {
                if (!Send(c, nullptr, true)) break;
            }
            if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
                if (!ReadRequests(c, *session, in)) break;
            }
        }
    }
    {
        std::lock_guard lock(c.mutex);
        c.session = nullptr;
    }
    session.reset();  // the client is gone: the simulator forgets it, and stops waking this thread
    if (wakeFd >= 0) ::close(wakeFd);
    std::lock_guard lock(mutex_);
    ::close(c.fd);
    std::erase(connections_, connection);
    // This thread cannot join itself: the accept thread joins it when the next client comes, or Stop does.
    if (auto it = connectionThreads_.find(&c); it != connectionThreads_.end()) {
        finishedThreads_.push_back(std::move(it->second));
        connectionThreads_.erase(it);
    }
}

bool SocketServer::ReadRequests(Connection& c, Session& session, Bytes& in)
{
    uint8_t chunk[kStreamReadChunk];
    ssize_t n;
    do n = ::recv(c.fd, chunk, sizeof chunk, MSG_DONTWAIT);
    while (n < 0 && errno == EINTR);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    if (n <= 0) return false;
    // The buffer grows with what arrives, doubling, but never past the frame its header announces.
    const size_t needed = in.size() + static_cast<size_t>(n);
    if (needed > in.capacity()) {
        size_t target = std::max(needed, 2 * in.capacity());
        if (in.size() >= 4) target = std::min(target, std::max(needed, 4 + static_cast<size_t>(GetU32(in.data()))));
        in.reserve(target);
    }
    in.insert(in.end(), chunk, chunk + n);
    c.inCapacity = in.capacity();
    Bytes request, reply;
    size_t begin = 0;  // where the requests not answered yet start
    bool open = true;
    while (open && in.size() - begin >= 4) {
        const uint32_t size = GetU32(in.data() + begin);
        if (size > kMaxFrameBytes) {
            session.CutOff("sent a frame of " + std::to_string(size) + " bytes, over the limit of " +
                           std::to_string(kMaxFrameBytes));
            return false;
        }
        const size_t end = begin + 4 + size;
        if (end > in.size()) break;
        if (begin == 0 && end == in.size()) {
            request.swap(in);  // the buffer is this request: no copy
            request.erase(request.begin(), request.begin() + 4);
            in.clear();
        } else {
            request.assign(in.begin() + static_cast<std::ptrdiff_t>(begin + 4),
                           in.begin() + static_cast<std::ptrdiff_t>(end));
        }
        begin = end;
        if (begin >= in.size()) {
            in.clear();
            begin = 0;
            // A large request read whole leaves no large buffer behind.
            if (in.capacity() > kKeptRequestBuffer) Bytes().swap(in);
            c.inCapacity = in.capacity();
        }
        reply.clear();
        open = session.Exchange(request, reply) && Send(c, &reply, true);
    }
    in.erase(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(begin));
    return open;
}

bool SocketServer::Send(Connection& c, const Bytes* reply, bool fromServingThread)
{
    std::lock_guard lock(c.mutex);
    if (!c.session) return false;
    c.messages.clear();
    const bool known = c.session->Receive(c.messages);
    for (const Bytes& m : c.messages) AppendFrame(c.pending, FrameKind::Message, m);
    if (reply) AppendFrame(c.pending, FrameKind::Reply, *reply);
    size_t sent = 0;
    while (sent < c.pending.size()) {
        const ssize_t n = ::send(c.fd, c.pending.data() + sent, c.pending.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        c.pending.clear();
        return false;
    }
    c.pending.erase(c.pending.begin(), c.pending.begin() + static_cast<std::ptrdiff_t>(sent));
    // The rest goes when the socket has room: the serving thread waits for that.
    if (!c.pending.empty() && !fromServingThread) Wake(c.wakeFd);
    return known;
}

void SocketServer::SendWaiting()
{
    std::vector<std::shared_ptr<Connection>> connections;
    {
        std::lock_guard lock(mutex_);
        connections = connections_;
    }
    for (const auto& c : connections) Send(*c, nullptr, false);
}

}  // namespace platform::simconnect
