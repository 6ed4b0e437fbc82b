#include "winshell/LocalAddress.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <iphlpapi.h>

#include <vector>

namespace vorlanx::winshell {

std::string firstLocalAddress() {
    ULONG size = 16 * 1024;
    std::vector<unsigned char> buffer(size);
    auto* adapters = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
    ULONG result =
        GetAdaptersAddresses(AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST, nullptr, adapters, &size);
    if (result == ERROR_BUFFER_OVERFLOW) {
        buffer.resize(size);
        adapters = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
        result =
            GetAdaptersAddresses(AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST, nullptr, adapters, &size);
    }
    if (result != NO_ERROR)
        return "127.0.0.1";
    for (auto* a = adapters; a; a = a->Next) {
        for (auto* u = a->FirstUnicastAddress; u; u = u->Next) {
            const auto* in = reinterpret_cast<const sockaddr_in*>(u->Address.lpSockaddr);
            if (in->sin_family != AF_INET || (ntohl(in->sin_addr.s_addr) >> 24) == 127)
                continue;
            char text[INET_ADDRSTRLEN] = {};
            InetNtopA(AF_INET, &in->sin_addr, text, sizeof text);
            return text;
        }
    }
    return "127.0.0.1";
}

} // namespace vorlanx::winshell
