#include "link/UdpEndpoint.h"

#include "link/DebugLog.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <memory>
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

UdpEndpoint::~UdpEndpoint() {
    close();
}

bool UdpEndpoint::open(Handler handler) {
    if (!handler)
        return openForBatches(BatchHandler{});
    return openForBatches([handler = std::move(handler)](std::span<const Datagram> batch) {
        for (const Datagram& d : batch)
            handler(d.from.addressText(), d.from.port, d.bytes);
    });
}

bool UdpEndpoint::openForBatches(BatchHandler handler) {
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
#ifdef __linux__
    const bool batching = m_batchReceive;
#else
    const bool batching = false;
#endif
    m_batching = batching;
    m_worker = std::thread(&UdpEndpoint::receiveLoop, this, s, std::move(handler), batching);
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
    const auto sent = ::sendto(m_socket, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), 0,
                               reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    if (sent < 0)
        debugLog("UdpEndpoint", "sendto " + address + ":" + std::to_string(port) + ": " + lastSocketError());
    return static_cast<int>(sent);
}

void UdpEndpoint::sendDatagrams(std::span<const Outgoing> datagrams) {
#ifdef __linux__
    constexpr std::size_t kChunk = kReceiveBatch;
    std::array<mmsghdr, kChunk> messages{};
    std::array<iovec, kChunk> parts{};
    std::array<sockaddr_in, kChunk> to{};
    std::shared_lock lock(m_socketMutex);
    if (m_socket == kNoSocket)
        return;
    while (!datagrams.empty()) {
        std::size_t count = 0;
        for (const Outgoing& d : datagrams.first(std::min(kChunk, datagrams.size()))) {
            if (!makeAddress(d.address, d.port, to[count]))
                continue; // not an address: never sent, as sendDatagram refuses it
            parts[count] = {const_cast<std::uint8_t*>(d.bytes.data()), d.bytes.size()};
            messages[count] = {};
            messages[count].msg_hdr.msg_name = &to[count];
            messages[count].msg_hdr.msg_namelen = sizeof to[count];
            messages[count].msg_hdr.msg_iov = &parts[count];
            messages[count].msg_hdr.msg_iovlen = 1;
            ++count;
        }
        datagrams = datagrams.subspan(std::min(kChunk, datagrams.size()));
        // sendmmsg stops at the first message that fails; the rest are sent on, past it.
        for (std::size_t sent = 0; sent < count;) {
            const int n = ::sendmmsg(m_socket, messages.data() + sent, static_cast<unsigned>(count - sent), 0);
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
                continue;
            }
            const Peer failed{ntohl(to[sent].sin_addr.s_addr), ntohs(to[sent].sin_port)};
            debugLog("UdpEndpoint", "sendto " + failed.addressText() + ":" + std::to_string(failed.port) + ": " +
                                        lastSocketError());
            ++sent;
        }
    }
#else
    DatagramSender::sendDatagrams(datagrams);
#endif
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

#ifdef __linux__
struct UdpEndpoint::ReceiveBatch {
    // One byte more than the largest datagram per slot: a datagram that fills its slot was
    // longer than allowed and is dropped, as Winsock does with its "message too long" error.
    static constexpr std::size_t kSlot = kMaxDatagram + 1;
    std::vector<std::uint8_t> buffers = std::vector<std::uint8_t>(kReceiveBatch * kSlot);
    std::array<mmsghdr, kReceiveBatch> messages{};
    std::array<iovec, kReceiveBatch> parts{};
    std::array<sockaddr_in, kReceiveBatch> from{};
    std::array<Datagram, kReceiveBatch> taken{};
};

bool UdpEndpoint::receiveBatch(SocketHandle s, const BatchHandler& handler, ReceiveBatch& batch) {
    for (unsigned i = 0; i < kReceiveBatch; ++i) {
        batch.parts[i] = {batch.buffers.data() + i * ReceiveBatch::kSlot, ReceiveBatch::kSlot};
        msghdr& header = batch.messages[i].msg_hdr;
        header = {};
        header.msg_name = &batch.from[i];
        header.msg_namelen = sizeof batch.from[i];
        header.msg_iov = &batch.parts[i];
        header.msg_iovlen = 1;
        batch.messages[i].msg_len = 0;
    }
    // MSG_WAITFORONE: the first datagram is waited for (up to the receive timeout, or until the
    // socket is shut down on stop); the rest are only those already queued.
    const int n = ::recvmmsg(s, batch.messages.data(), kReceiveBatch, MSG_WAITFORONE, nullptr);
    if (n < 0) {
        if (errno == ENOSYS)
            return false;
        if (!receiveTimedOut())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return true;
    }
    if (m_stop.load(std::memory_order_acquire))
        return true;
    std::size_t taken = 0;
    for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
        const mmsghdr& message = batch.messages[i];
        // Each datagram of a batch is checked on its own: a long one is dropped, the rest go on.
        if ((message.msg_hdr.msg_flags & MSG_TRUNC) != 0 || message.msg_len > kMaxDatagram)
            continue;
        const sockaddr_in& from = batch.from[i];
        batch.taken[taken++] = {
            Peer{ntohl(from.sin_addr.s_addr), ntohs(from.sin_port)},
            std::span<const std::uint8_t>(batch.buffers.data() + i * ReceiveBatch::kSlot, message.msg_len)};
    }
    if (handler && taken > 0)
        handler(std::span<const Datagram>(batch.taken.data(), taken));
    return true;
}
#else
struct UdpEndpoint::ReceiveBatch {};

bool UdpEndpoint::receiveBatch(SocketHandle, const BatchHandler&, ReceiveBatch&) {
    return false;
}
#endif

void UdpEndpoint::receiveOne(SocketHandle s, const BatchHandler& handler, std::vector<std::uint8_t>& buffer) {
    sockaddr_in from{};
    SockLen fromLen = sizeof from;
    const auto n = ::recvfrom(s, reinterpret_cast<char*>(buffer.data()), static_cast<int>(buffer.size()), 0,
                              reinterpret_cast<sockaddr*>(&from), &fromLen);
    if (m_stop.load(std::memory_order_acquire))
        return;
    if (n < 0) {
        // A failed receive pauses briefly, so that a broken socket never spins the CPU;
        // a received datagram is followed at once by the next receive.
        if (!receiveTimedOut())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return;
    }
    if (static_cast<std::size_t>(n) > kMaxDatagram)
        return;
    const Datagram one{Peer{ntohl(from.sin_addr.s_addr), ntohs(from.sin_port)},
                       std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(n))};
    if (handler)
        handler(std::span<const Datagram>(&one, 1));
}

void UdpEndpoint::receiveLoop(SocketHandle s, BatchHandler handler, bool batching) {
    // One byte more than the largest datagram: a datagram that fills it was longer than
    // allowed and is dropped, as Winsock does with its "message too long" error.
    std::vector<std::uint8_t> buffer;
    std::unique_ptr<ReceiveBatch> batch;
    if (batching)
        batch = std::make_unique<ReceiveBatch>();
    else
        buffer.resize(kMaxDatagram + 1);
    while (!m_stop.load(std::memory_order_acquire)) {
        m_lastRound.store(std::chrono::steady_clock::now().time_since_epoch().count(), std::memory_order_relaxed);
        if (batch) {
            if (receiveBatch(s, handler, *batch))
                continue;
            // No batch call in this kernel: one datagram per call from now on.
            batch.reset();
            m_batching = false;
            buffer.resize(kMaxDatagram + 1);
        }
        receiveOne(s, handler, buffer);
    }
}

} // namespace vorlanx::link
