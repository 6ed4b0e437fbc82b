// vorlanx-echo: the bare reply server. Answers every datagram on its port at once with a card
// reply of fixed content (blank display, result 1), the same size as the service's, without any
// other work. Run under the simulator it shows what the machine's loopback and system calls
// allow, the ceiling against which the service is measured.

#include "tools/vorlanx-termsim/TerminalFrames.h"
#include "tools/vorlanx-termsim/TerminalSocket.h"

#include <array>
#include <charconv>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

namespace {

using namespace vorlanx::tools;

volatile std::sig_atomic_t g_stop = 0;

extern "C" void requestStop(int) {
    g_stop = 1;
}

} // namespace

int main(int argc, char** argv) {
    unsigned port = 0;
    const std::string arg = argc == 2 ? argv[1] : "";
    const auto [end, error] = std::from_chars(arg.data(), arg.data() + arg.size(), port);
    if (argc != 2 || arg.empty() || error != std::errc() || end != arg.data() + arg.size() || port == 0 ||
        port > 65535) {
        std::cerr
            << "usage: vorlanx-echo PORT\n  answers every UDP datagram on 127.0.0.1:PORT with a fixed card reply\n";
        return 2;
    }
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);

    TerminalSocket socket;
    if (!socket.bind("127.0.0.1", static_cast<std::uint16_t>(port))) {
        std::cerr << "vorlanx-echo: " << socket.error() << "\n";
        return 1;
    }
    std::cout << "vorlanx-echo: answering on 127.0.0.1:" << port << std::endl;

    // The reply of a query for a usable card; only the machine number and checksum change.
    const Bytes blanks(kDisplayBytes, 0x20);
    Bytes parameters = blanks;
    parameters.insert(parameters.end(), {0x01, 0x01, 0x01});
    std::vector<Bytes> replies(65536);

    std::vector<std::uint8_t> buffer(8192);
    const TerminalSocket* sockets[] = {&socket};
    bool ready[1] = {};
    while (g_stop == 0) {
        std::uint32_t from = 0;
        std::uint16_t fromPort = 0;
        const long n = socket.receive(buffer, &from, &fromPort);
        if (n < 0) {
            // Nothing waiting: sleep in the kernel, waking now and then to see a stop request.
            waitReadable(sockets, ready, 100000);
            continue;
        }
        const std::uint16_t machine = n >= 4 ? static_cast<std::uint16_t>(buffer[2] << 8 | buffer[3]) : 0;
        Bytes& reply = replies[machine];
        if (reply.empty())
            reply = terminalFrame(machine, kCommandCardTransaction, parameters);
        socket.sendTo(from, fromPort, reply);
    }
    return 0;
}
