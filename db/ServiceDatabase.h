#pragma once

#include "config/ConnectionSettings.h"
#include "db/BatchCounter.h"
#include "db/BatchStats.h"
#include "db/ConnectionGate.h"
#include "db/Database.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>

namespace vorlanx::db {

// The service's one database, whichever kind conf.ini selects: SQL Server through ODBC or the
// built-in database file. The transactions and the personnel load hold this object for the
// whole life of the service; a new connect swaps what stands behind it.
class ServiceDatabase final : public Database {
public:
    explicit ServiceDatabase(std::filesystem::path serviceDir);

    // Connects with the settings of the database settings group. A failed connect leaves the
    // service without a connection; no database selected never connects.
    bool connectWith(const config::ConnectionSettings& settings);

    // SQL Server with the four values of the settings group.
    bool connect(const std::string& server, const std::string& database, const std::string& user,
                 const std::string& password) override;
    bool isConnected() const override;
    void disconnect() override;
    QueryResult runQuery(std::string_view command) override;

    config::DatabaseKind kind() const;
    bool readsInPlace() const override;
    std::vector<QueryResult> runQueries(std::span<const std::string> commands) override;
    // The settings of the last connect, whether it worked or not; nullopt before the first and
    // after a disconnect. A reload compares them with conf.ini to see whether to reconnect.
    std::optional<config::ConnectionSettings> lastSettings() const;
    // The batches the built-in database committed its bookings in, over the whole run and every
    // reconnect; all zero for SQL Server, which commits each procedure call itself.
    BatchStats bookingBatches() const { return m_batches->stats(); }
    const std::filesystem::path& serviceDir() const { return m_serviceDir; }

    // Whether the call that has the SQL Server connection has run past its own time-out.
    bool callOverdue() const;
    // How long a stop may wait, past its drain's bound, for the calls already inside the database:
    // a new login's time-out and the command time-out of conf.ini. A supervisor is told the drain
    // plus this.
    static std::chrono::seconds stopAllowance(const std::filesystem::path& serviceDir);

private:
    std::filesystem::path m_serviceDir;
    std::shared_ptr<Database> active() const;

    // Guards only the pointer: a job takes its own reference and runs without the lock, so a
    // reconnect never waits for a stream of jobs, and a replaced database lives on until the
    // last job that holds it has finished.
    mutable std::mutex m_mutex;
    std::shared_ptr<Database> m_active;
    config::DatabaseKind m_kind = config::DatabaseKind::None;
    // How long a call may run before the watchdog counts it as hung (the connection's own time-outs).
    std::chrono::steady_clock::duration m_callTimeout{};
    // How long a job waits for the SQL Server connection before it is dropped unbooked.
    std::chrono::steady_clock::duration m_queueWait{};
    ConnectionGate m_gate;
    std::optional<config::ConnectionSettings> m_lastSettings;
    std::shared_ptr<BatchCounter> m_batches = std::make_shared<BatchCounter>();
};

} // namespace vorlanx::db
