#pragma once

#include <cstdint>
#include <string>

namespace vorlanx::link {

// Arguments of the card transactions, copied out of the received frame so that a job never
// shares anything with the datagram that started it. Hex fields are as received.
struct CardQueryArgs {
    std::uint16_t port = 0;
    std::string card;    // 8 hex digits
    std::string machine; // 4 hex digits
    std::string address;
};

struct OnlineConsumptionArgs {
    std::uint16_t port = 0;
    std::string card;
    std::string machine;
    std::string address;
    std::string amount; // fen, decimal text
};

struct OfflineUploadArgs {
    std::string port; // decimal text
    std::string card;
    std::string machine;
    std::string address;
    std::string amount;     // fen, decimal text
    std::string recordTime; // yyMMddhhmmss as the terminal stored it
};

// Runs the card transactions off the receive worker; each call starts one job and returns at
// once. The job answers the terminal itself.
class TransactionJobs {
public:
    virtual ~TransactionJobs() = default;

    virtual void startCardQuery(CardQueryArgs args) = 0;
    virtual void startOnlineConsumption(OnlineConsumptionArgs args) = 0;
    virtual void startOfflineUpload(OfflineUploadArgs args) = 0;
    // The receive worker has handed over every frame of one receive. Jobs held to be run together
    // (card queries answered in place, in one read of the database) run now, on that worker.
    virtual void endOfBatch() {}
};

} // namespace vorlanx::link
