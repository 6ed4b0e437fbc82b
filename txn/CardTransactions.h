#pragma once

#include "link/DatagramSender.h"
#include "link/DispatchSink.h"
#include "link/ResultBox.h"
#include "link/SharedClock.h"
#include "link/TransactionJobs.h"
#include "db/Database.h"

namespace vorlanx::txn {

// The three card transactions a terminal starts: each calls its stored procedure once and
// answers the terminal at the address and port its frame came from, through the listener
// endpoint so that the terminal sees the listening port as the source. Safe to run from any
// number of threads at once; every reference must outlive the jobs.
class CardTransactions {
public:
    CardTransactions(db::Database& database, link::DatagramSender& sender, const link::SharedClock& clock,
                     link::ResultBox& results, link::DispatchSink& sink);

    // Always replies, with blank display lines when the database cannot answer.
    void runCardQuery(const link::CardQueryArgs& args);
    // Several card queries, read together and answered together, in order.
    void runCardQueries(std::span<const link::CardQueryArgs> queries);
    // Whether a card query is best answered on the thread the frame arrived on.
    bool queriesInPlace() const { return m_database.readsInPlace(); }
    // Replies only when the procedure gave a result code; the terminal times out otherwise.
    void runOnlineConsumption(const link::OnlineConsumptionArgs& args);
    // Acknowledges only a record the procedure reports as booked ("1").
    void runOfflineUpload(const link::OfflineUploadArgs& args);

private:
    void appendResult(const std::string& line);

    db::Database& m_database;
    link::DatagramSender& m_sender;
    const link::SharedClock& m_clock;
    link::ResultBox& m_results;
    link::DispatchSink& m_sink;
};

} // namespace vorlanx::txn
