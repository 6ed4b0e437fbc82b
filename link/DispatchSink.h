#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace vorlanx::link {

// What the dispatcher reports for the operator. It is called on the receive worker (and later
// on transaction workers), one whole event at a time, in the order things happened on that
// thread; an implementation that owns a UI re-posts each event to its UI thread.
class DispatchSink {
public:
    virtual ~DispatchSink() = default;

    // Whether anyone reads the activity-log entries of the datagrams. When nobody does, the
    // dispatcher makes no text of a datagram and never calls clientEntry.
    virtual bool showsClientEntries() const { return true; }
    // One activity-log entry: three lines, each ended by CRLF.
    virtual void clientEntry(const std::string& entry) = 0;
    // A row was appended to the online terminal list; totalText is the new total panel text.
    virtual void terminalAdded(const std::string& address, const std::string& portText, const std::string& machine,
                               const std::string& totalText) = 0;
    // The row of `address` was deleted; statusText is the new status panel text, empty when the
    // panel stays as it is (a row silent longest that made room for a new terminal).
    virtual void terminalRemoved(const std::string& address, const std::string& statusText) = 0;
    // Text appended to the parameter-return box. successCount is set when the success count
    // label must show a new value, and empty when the label stays as it is.
    virtual void resultAppended(const std::string& text, std::optional<std::size_t> successCount) = 0;
    // One line, without line end, on a booking, a refused payment or an offline record, with the
    // terminal and the amount: the service's log without the datagrams. The window shows none.
    virtual void transactionLogged(const std::string& /*line*/) {}
};

} // namespace vorlanx::link
