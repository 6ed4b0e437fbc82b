#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "db/Database.h"
#include "db/ReconnectGate.h"

namespace vorlanx::db {

// SQL Server through ODBC: the Windows driver manager there, unixODBC with FreeTDS registered as
// "SQL Server" elsewhere. One connection serves every job; a job holds it only while its command
// runs and its first result set is read, so jobs never interleave on the connection.
class OdbcDatabase final : public Database {
public:
    static constexpr int loginTimeoutSeconds = 5;
    // The command time-out the service always had from its database client; a server that stops
    // answering in the middle of a job must not hold the connection, and every other job, for good.
    static constexpr int defaultCommandTimeoutSeconds = 30;

    // The driver name goes into the connection string; tests use another driver than "SQL Server".
    explicit OdbcDatabase(std::string driver = "SQL Server", int commandTimeoutSeconds = defaultCommandTimeoutSeconds);
    ~OdbcDatabase() override;
    OdbcDatabase(const OdbcDatabase&) = delete;
    OdbcDatabase& operator=(const OdbcDatabase&) = delete;

    bool connect(const std::string& server, const std::string& database, const std::string& user,
                 const std::string& password) override;
    bool isConnected() const override;
    void disconnect() override;
    QueryResult runQuery(std::string_view command) override;

    static std::string connectionString(std::string_view driver, std::string_view server, std::string_view database,
                                        std::string_view user, std::string_view password);

private:
    // Judges each driver call of one command. Errors reported at any point of the call fail it,
    // also after its first result set; warnings and the server's INFO messages do not.
    class StepCheck {
    public:
        struct Failure {
            bool linkLost = false;
            std::string text;
        };
        explicit StepCheck(void* statement) : m_statement(statement) {}
        // The return code of a call on the statement; false once the command has failed.
        bool passed(short rc);
        const std::optional<Failure>& failure() const { return m_failure; }

    private:
        void* m_statement;
        std::optional<Failure> m_failure;
    };

    bool openLocked(const std::string& connection);
    void closeLocked();
    QueryResult readFirstResultSet(void* statement, StepCheck& check);

    mutable std::mutex m_mutex;
    std::string m_driver;
    int m_commandTimeoutSeconds;
    void* m_environment = nullptr;
    void* m_connection = nullptr;
    // Whether m_connection is open, readable while a query holds m_mutex (a status request must
    // not wait for a slow server).
    std::atomic<bool> m_connected{false};
    // The connection string of the last successful connect, for re-opening a lost connection.
    std::string m_lastGood;
    ReconnectGate m_gate;
};

} // namespace vorlanx::db
