#pragma once

#include <chrono>
#include <optional>

namespace vorlanx::db {

// Decides when a lost database connection is opened again. A SQL Server restart or a network cut
// would otherwise stop every terminal until an operator saves the settings again; spacing the
// attempts keeps a dead server from costing every job a full login time-out.
class ReconnectGate {
public:
    using Clock = std::chrono::steady_clock;

    explicit ReconnectGate(Clock::duration spacing = std::chrono::seconds(5)) : m_spacing(spacing) {}

    // A job failed because the link to the server broke.
    void connectionLost();
    // A connect succeeded, or the connection was closed on purpose: nothing to recover.
    void reset();

    bool isLost() const { return m_lost; }
    // True when the connection is lost and no attempt was made within the spacing; the caller then
    // makes one attempt, which this call records.
    bool attemptNow(Clock::time_point now);

private:
    Clock::duration m_spacing;
    bool m_lost = false;
    std::optional<Clock::time_point> m_lastAttempt;
};

} // namespace vorlanx::db
