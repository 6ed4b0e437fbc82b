#pragma once

#include "link/DispatchSink.h"

#include <cstddef>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace vorlanx::link {

// The window's outputs as lines of UTF-8 text, for the headless service: one line per booking,
// refused payment and offline record, result-box lines behind "[结果]", status and operation
// panel texts behind "[状态]" and "[操作]", message-box texts on the error stream. The
// activity-log entries of the datagrams (three lines each) only when verbose: under systemd the
// output is the journal, which a packet dump would flood. Each line is flushed at once so that a
// supervisor or a test reading the pipe sees it as it happens.
class ConsoleSink : public DispatchSink {
public:
    ConsoleSink(std::ostream& out, std::ostream& err, bool verbose = false);

    bool showsClientEntries() const override { return m_verbose; }
    void clientEntry(const std::string& entry) override;
    void transactionLogged(const std::string& line) override;
    // A line of the service's own, written whether verbose or not ("[控制]" requests).
    void entry(std::string_view text);
    void terminalAdded(const std::string& address, const std::string& portText, const std::string& machine,
                       const std::string& totalText) override;
    void terminalRemoved(const std::string& address, const std::string& statusText) override;
    void resultAppended(const std::string& text, std::optional<std::size_t> successCount) override;

    void status(std::string_view text);
    void operation(std::string_view text);
    void message(std::string_view text);

private:
    // Writes `text` split at CRLF (the window's line break), one output line per piece.
    void writeLines(std::ostream& stream, std::string_view prefix, std::string_view text);

    std::mutex m_mutex;
    std::ostream& m_out;
    std::ostream& m_err;
    bool m_verbose;
};

} // namespace vorlanx::link
