#include "link/UdpEndpoint.h"

#include "link/DebugLog.h"

#include <chrono>
#include <cstring>
#include <vector>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#endif

namespace vorlanx::link {

namespace {

#ifdef _WIN32
constexpr UdpEndpoint::SocketHandle kNoSocket = INVALID_SOCKET;
using SockLen = int;
#else
constexpr UdpEndpoint::SocketHandle kNoSocket = -1;
using SockLen = socklen_t;
#endif

// A receive wakes at least this often to see a stop request, even when nothing arrives.
constexpr int kReceiveTimeoutMs = 200;

#ifdef _WIN32
// The system's text for a Winsock code, as UTF-8 and without the line break FormatMessage ends it
// with; the debug log is UTF-8 whatever the ANSI code page of the machine.
std::string systemMessage(int code) {
    wchar_t* text = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message;
    if (length > 0 && text != nullptr) {
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
        if (bytes > 0) {
            message.resize(static_cast<std::size_t>(bytes));
            WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), message.data(), bytes, nullptr, nullptr);
        }
    }
    if (text != nullptr)
        LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return message;
}
#endif

// The one place where the platform's socket errors become text for the debug log.
std::string lastSocketError() {
#ifdef _WIN32
    const int code = WSAGetLastError();
    return "WSA error " + std::to_string(code) + ": " + systemMessage(code);
#else
    const int code = errno;
    return "errno " + std::to_string(code) + ": " + std::strerror(code);
#endif
}

bool receiveTimedOut() {
#ifdef _WIN32
    return WSAGetLastError() == WSAETIMEDOUT;
#else
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
#endif
}

#ifdef _WIN32
// shutdown does not end a blocked recvfrom on Winsock; an empty datagram to the socket's own
// address does, and the worker drops it when it sees the stop request. Should it not arrive, the
// receive timeout ends the wait.
void wakeReceiver(UdpEndpoint::SocketHandle s) {
    sockaddr_in self{};
    SockLen length = sizeof self;
    if (getsockname(s, reinterpret_cast<sockaddr*>(&self), &length) != 0 || self.sin_port == 0)
        return; // never bound: its recvfrom fails at once and the worker sees the request
    if (self.sin_addr.s_addr == htonl(INADDR_ANY))
        self.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sendto(s, "", 0, 0, reinterpret_cast<const sockaddr*>(&self), sizeof self);
}
#endif

void closeSocket(UdpEndpoint::SocketHandle s) {
#ifdef _WIN32
    closesocket(s);
#else
    ::close(s);
#endif
}

bool startSocketLayer() {
#ifdef _WIN32
    WSADATA data;
    const int rc = WSAStartup(MAKEWORD(2, 2), &data);
    if (rc != 0) {
        debugLog("UdpEndpoint", "WSAStartup: WSA error " + std::to_string(rc) + ": " + systemMessage(rc));
        return false;
    }
#endif
    return true;
}

bool stopSocketLayer() {
#ifdef _WIN32
    return WSACleanup() == 0;
#else
    return true;
#endif
}

// Socket address for bind and sendto: any local address for an empty text.
bool makeAddress(const std::string& address, std::uint16_t port, sockaddr_in& out) {
    std::memset(&out, 0, sizeof out);
    out.sin_family = AF_INET;
    out.sin_port = htons(port);
    if (address.empty()) {
        out.sin_addr.s_addr = htonl(INADDR_ANY);
        return true;
    }
    return inet_pton(AF_INET, address.c_str(), &out.sin_addr) == 1;
}

void askForReceiveBuffer(UdpEndpoint::SocketHandle s) {
    const int bufferBytes = UdpEndpoint::kSocketBufferBytes;
#ifdef SO_RCVBUFFORCE
    // Linux caps SO_RCVBUF at net.core.rmem_max (about 200 KiB by default); a service running
    // with the right to do so may go past that cap.
    if (setsockopt(s, SOL_SOCKET, SO_RCVBUFFORCE, &bufferBytes, sizeof bufferBytes) == 0)
        return;
#endif
    if (setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bufferBytes), sizeof bufferBytes) != 0)
        debugLog("UdpEndpoint", "SO_RCVBUF: " + lastSocketError());
}

void setReceiveOptions(UdpEndpoint::SocketHandle s) {
    askForReceiveBuffer(s);
#ifdef _WIN32
    const DWORD timeout = kReceiveTimeoutMs;
#else
    timeval timeout{};
    timeout.tv_sec = 0;
    timeout.tv_usec = kReceiveTimeoutMs * 1000;
#endif
    if (setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout) != 0)
        debugLog("UdpEndpoint", "SO_RCVTIMEO: " + lastSocketError());
#ifdef _WIN32
    // Without this, Winsock fails the next recvfrom with WSAECONNRESET whenever a reply went to
    // a terminal that has gone away (ICMP port unreachable), for every terminal on the port.
#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif
    BOOL report = FALSE;
    DWORD unused = 0;
    if (WSAIoctl(s, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &unused, nullptr, nullptr) != 0)
        debugLog("UdpEndpoint", "SIO_UDP_CONNRESET: " + lastSocketError());
    // Windows lets a second program bind a port that is in use when it asks for SO_REUSEADDR, and
    // then hands it the terminals' datagrams; the listening port stays ours alone.
    const BOOL exclusive = TRUE;
    if (setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive), sizeof exclusive) !=
        0)
        debugLog("UdpEndpoint", "SO_EXCLUSIVEADDRUSE: " + lastSocketError());
#endif
}

} // namespace

UdpEndpoint::UdpEndpoint() : m_socket(kNoSocket) {}

UdpEndpoint::~UdpEndpoint() { close(); }

bool UdpEndpoint::open(Handler handler) {
    close();
    std::lock_guard life(m_lifecycleMutex);
    if (!startSocketLayer())
        return false;
    const SocketHandle s = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (s == kNoSocket) {
        debugLog("UdpEndpoint", "socket: " + lastSocketError());
        stopSocketLayer();
        return false;
    }
    m_layerStarted = true;
    setReceiveOptions(s);
    {
        std::unique_lock lock(m_socketMutex);
        m_socket = s;
    }
    m_stop = false;
    m_lastRound = std::chrono::steady_clock::now().time_since_epoch().count();
    m_worker = std::thread(&UdpEndpoint::receiveLoop, this, s, std::move(handler));
    return true;
}

bool UdpEndpoint::bindPort(const std::string& address, std::uint16_t port) {
    std::shared_lock lock(m_socketMutex);
    if (m_socket == kNoSocket)
        return false;
    sockaddr_in addr;
    if (!makeAddress(address, port, addr))
        return false;
    if (::bind(m_socket, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        debugLog("UdpEndpoint", "bind port " + std::to_string(port) + ": " + lastSocketError());
        return false;
    }
    return true;
}

int UdpEndpoint::sendDatagram(const std::string& address, std::uint16_t port, std::span<const std::uint8_t> bytes) {
    sockaddr_in addr;
    if (!makeAddress(address, port, addr))
        return -1;
    std::shared_lock lock(m_socketMutex);
    if (m_socket == kNoSocket)
        return -1;
    const auto sent = ::sendto(m_socket, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()),
                               0, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    if (sent < 0)
        debugLog("UdpEndpoint", "sendto " + address + ":" + std::to_string(port) + ": " + lastSocketError());
    return static_cast<int>(sent);
}

void UdpEndpoint::stopReceiving() {
    std::lock_guard life(m_lifecycleMutex);
    if (!m_worker.joinable())
        return;
    m_stop = true;
    {
        std::shared_lock lock(m_socketMutex);
        if (m_socket != kNoSocket) {
#ifdef _WIN32
            wakeReceiver(m_socket);
#else
            ::shutdown(m_socket, SHUT_RD); // wakes a blocked recvfrom; sending still works
#endif
        }
    }
    m_worker.join();
}

bool UdpEndpoint::close() {
    std::lock_guard life(m_lifecycleMutex);
    SocketHandle s;
    {
        // Once the handle is taken away no new send can start on it; sends under way finish first.
        std::unique_lock lock(m_socketMutex);
        s = m_socket;
        m_socket = kNoSocket;
    }
    if (s == kNoSocket)
        return false;
    m_stop = true;
    // The socket is closed only after the worker has left, so that its handle cannot be reused
    // under the worker's feet: a socket opened meanwhile by another thread (a database
    // connection) would get the same number, and the worker's next receive would read from it.
#ifdef _WIN32
    wakeReceiver(s);
#else
    ::shutdown(s, SHUT_RDWR); // wakes a blocked recvfrom
#endif
    if (m_worker.joinable())
        m_worker.join();
    closeSocket(s);
    bool released = true;
    if (m_layerStarted) {
        released = stopSocketLayer();
        m_layerStarted = false;
    }
    return released;
}

bool UdpEndpoint::isOpen() const {
    std::shared_lock lock(m_socketMutex);
    return m_socket != kNoSocket;
}

std::uint16_t UdpEndpoint::localPort() const {
    std::shared_lock lock(m_socketMutex);
    if (m_socket == kNoSocket)
        return 0;
    sockaddr_in addr{};
    SockLen len = sizeof addr;
    if (getsockname(m_socket, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return 0;
    return ntohs(addr.sin_port);
}

std::chrono::steady_clock::time_point UdpEndpoint::lastReceiveRound() const {
    return std::chrono::steady_clock::time_point(
        std::chrono::steady_clock::duration(m_lastRound.load(std::memory_order_relaxed)));
}

void UdpEndpoint::receiveLoop(SocketHandle s, Handler handler) {
    // One byte more than the largest datagram: a datagram that fills it was longer than
    // allowed and is dropped, as Winsock does with its "message too long" error.
    std::vector<std::uint8_t> buffer(kMaxDatagram + 1);
    while (!m_stop.load(std::memory_order_acquire)) {
        m_lastRound.store(std::chrono::steady_clock::now().time_since_epoch().count(), std::memory_order_relaxed);
        sockaddr_in from{};
        SockLen fromLen = sizeof from;
        const auto n = ::recvfrom(s, reinterpret_cast<char*>(buffer.data()), static_cast<int>(buffer.size()), 0,
                                  reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (m_stop.load(std::memory_order_acquire))
            break;
        if (n < 0) {
            // A failed receive pauses briefly, so that a broken socket never spins the CPU;
            // a received datagram is followed at once by the next receive.
            if (!receiveTimedOut())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        if (static_cast<std::size_t>(n) > kMaxDatagram)
            continue;
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
        if (handler)
            handler(text, ntohs(from.sin_port), std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(n)));
    }
}

} // namespace vorlanx::link
