#include "tools/vorlanx-termsim/TerminalSocket.h"

#include <cerrno>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace vorlanx::tools {

namespace {

#ifdef _WIN32
// Winsock is started once for the process and never released: the tools live as long as it.
void startSocketLayer() {
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    });
}

std::string lastSocketError() {
    return "socket error " + std::to_string(WSAGetLastError());
}
#else
void startSocketLayer() {}

std::string lastSocketError() {
    return std::strerror(errno);
}
#endif

// Large buffers let a burst of replies to many terminals queue instead of being dropped.
constexpr int kBufferBytes = 1 << 20;

} // namespace

TerminalSocket::~TerminalSocket() {
    close();
}

TerminalSocket::TerminalSocket(TerminalSocket&& other) noexcept
    : m_handle(std::exchange(other.m_handle, kInvalid)), m_error(std::move(other.m_error)) {}

TerminalSocket& TerminalSocket::operator=(TerminalSocket&& other) noexcept {
    if (this != &other) {
        close();
        m_handle = std::exchange(other.m_handle, kInvalid);
        m_error = std::move(other.m_error);
    }
    return *this;
}

void TerminalSocket::close() {
    if (m_handle == kInvalid)
        return;
#ifdef _WIN32
    closesocket(static_cast<SOCKET>(m_handle));
#else
    ::close(m_handle);
#endif
    m_handle = kInvalid;
}

bool TerminalSocket::parseAddress(const std::string& text, std::uint32_t& networkOrder) {
    startSocketLayer();
    in_addr addr{};
    if (inet_pton(AF_INET, text.c_str(), &addr) != 1)
        return false;
    networkOrder = addr.s_addr;
    return true;
}

std::string TerminalSocket::addressText(std::uint32_t networkOrder) {
    in_addr addr{};
    addr.s_addr = networkOrder;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &addr, text, sizeof text);
    return text;
}

bool TerminalSocket::bind(const std::string& address, std::uint16_t port) {
    startSocketLayer();
    close();
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    if (address.empty()) {
        local.sin_addr.s_addr = htonl(INADDR_ANY);
    } else if (inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1) {
        m_error = "not an IPv4 address: " + address;
        return false;
    }
#ifdef _WIN32
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) {
        m_error = lastSocketError();
        return false;
    }
    m_handle = static_cast<Handle>(s);
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    const char* size = reinterpret_cast<const char*>(&kBufferBytes);
#else
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s < 0) {
        m_error = lastSocketError();
        return false;
    }
    m_handle = s;
    fcntl(s, F_SETFL, fcntl(s, F_GETFL) | O_NONBLOCK);
    const int* size = &kBufferBytes;
#endif
    setsockopt(s, SOL_SOCKET, SO_RCVBUF, size, sizeof kBufferBytes);
    setsockopt(s, SOL_SOCKET, SO_SNDBUF, size, sizeof kBufferBytes);
    if (::bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        m_error = "cannot bind " + (address.empty() ? std::string("*") : address) + ":" + std::to_string(port) + ": " +
                  lastSocketError();
        close();
        return false;
    }
    return true;
}

bool TerminalSocket::isOpen() const {
    return m_handle != kInvalid;
}

std::uint16_t TerminalSocket::localPort() const {
    sockaddr_in local{};
    socklen_t size = sizeof local;
#ifdef _WIN32
    if (getsockname(static_cast<SOCKET>(m_handle), reinterpret_cast<sockaddr*>(&local), &size) != 0)
#else
    if (getsockname(m_handle, reinterpret_cast<sockaddr*>(&local), &size) != 0)
#endif
        return 0;
    return ntohs(local.sin_port);
}

bool TerminalSocket::sendTo(std::uint32_t addressNetworkOrder, std::uint16_t port,
                            std::span<const std::uint8_t> bytes) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = addressNetworkOrder;
#ifdef _WIN32
    const int sent = sendto(static_cast<SOCKET>(m_handle), reinterpret_cast<const char*>(bytes.data()),
                            static_cast<int>(bytes.size()), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
#else
    const auto sent =
        sendto(m_handle, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
#endif
    return sent == static_cast<long>(bytes.size());
}

long TerminalSocket::receive(std::span<std::uint8_t> buffer, std::uint32_t* fromAddress, std::uint16_t* fromPort) {
    sockaddr_in from{};
    socklen_t size = sizeof from;
#ifdef _WIN32
    const int n = recvfrom(static_cast<SOCKET>(m_handle), reinterpret_cast<char*>(buffer.data()),
                           static_cast<int>(buffer.size()), 0, reinterpret_cast<sockaddr*>(&from), &size);
#else
    const auto n = recvfrom(m_handle, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &size);
#endif
    if (n < 0)
        return -1;
    if (fromAddress)
        *fromAddress = from.sin_addr.s_addr;
    if (fromPort)
        *fromPort = ntohs(from.sin_port);
    return static_cast<long>(n);
}

int waitReadable(std::span<const TerminalSocket* const> sockets, std::span<bool> ready, long timeoutMicros) {
    if (timeoutMicros < 0)
        timeoutMicros = 0;
#ifdef _WIN32
    std::vector<WSAPOLLFD> fds(sockets.size());
    for (std::size_t i = 0; i < sockets.size(); ++i)
        fds[i] = WSAPOLLFD{static_cast<SOCKET>(sockets[i]->handle()), POLLRDNORM, 0};
    const int n = WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), static_cast<INT>((timeoutMicros + 999) / 1000));
#elif defined(__linux__)
    // Open-loop runs start requests at sub-millisecond spacing; poll's milliseconds would make
    // every request late and the lateness would show as latency.
    thread_local std::vector<pollfd> fds;
    fds.resize(sockets.size());
    for (std::size_t i = 0; i < sockets.size(); ++i)
        fds[i] = pollfd{sockets[i]->handle(), POLLIN, 0};
    const timespec wait{timeoutMicros / 1000000, (timeoutMicros % 1000000) * 1000};
    const int n = ppoll(fds.data(), fds.size(), &wait, nullptr);
#else
    thread_local std::vector<pollfd> fds;
    fds.resize(sockets.size());
    for (std::size_t i = 0; i < sockets.size(); ++i)
        fds[i] = pollfd{sockets[i]->handle(), POLLIN, 0};
    const int n = poll(fds.data(), fds.size(), static_cast<int>((timeoutMicros + 999) / 1000));
#endif
    int readable = 0;
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        ready[i] = n > 0 && fds[i].revents != 0;
        readable += ready[i] ? 1 : 0;
    }
    return readable;
}

} // namespace vorlanx::tools
