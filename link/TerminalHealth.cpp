#include "link/TerminalHealth.h"

#include <algorithm>

namespace vorlanx::link {

TerminalHealth::TerminalHealth(std::size_t maxTerminals) : m_terminals(maxTerminals) {}

void TerminalHealth::heard(const std::string& address, std::uint16_t port, const std::string& machine, FrameKind kind,
                           std::time_t now) {
    std::lock_guard lock(m_mutex);
    ++m_totals.datagrams;
    Heard* heard = m_terminals.touch(address);
    if (heard == nullptr) {
        heard = &m_terminals.insert(address, Heard{});
        heard->terminal.address = address;
        heard->terminal.firstHeard = now;
        heard->sequence = m_sequence++;
    }
    Terminal& t = heard->terminal;
    t.port = port;
    if (!machine.empty())
        t.machine = machine;
    t.lastHeard = now;
    ++t.frames;
    switch (kind) {
    case FrameKind::CardQuery:
        ++t.queries;
        ++m_totals.queries;
        break;
    case FrameKind::Payment:
        ++t.payments;
        ++m_totals.payments;
        break;
    case FrameKind::OfflineRecord:
        ++t.offlineRecords;
        ++m_totals.offlineRecords;
        break;
    case FrameKind::Other:
        break;
    }
}

void TerminalHealth::answered(const std::string& address, const std::string& line) {
    std::lock_guard lock(m_mutex);
    ++m_totals.answers;
    // An answer is no sign of life of its own: the frame that carried it was heard just before.
    if (Heard* found = m_terminals.find(address))
        found->terminal.lastAnswer = line;
}

void TerminalHealth::refused() {
    std::lock_guard lock(m_mutex);
    ++m_totals.refused;
}

void TerminalHealth::checksumMatched(const std::string& address) {
    std::lock_guard lock(m_mutex);
    if (Heard* found = m_terminals.find(address))
        ++found->terminal.checkedFrames;
}

std::vector<TerminalHealth::Terminal> TerminalHealth::terminals() const {
    std::lock_guard lock(m_mutex);
    std::vector<const Heard*> ordered;
    ordered.reserve(m_terminals.size());
    for (const auto& entry : m_terminals.entries())
        ordered.push_back(&entry.value);
    std::sort(ordered.begin(), ordered.end(), [](const Heard* a, const Heard* b) { return a->sequence < b->sequence; });
    std::vector<Terminal> out;
    out.reserve(ordered.size());
    for (const Heard* heard : ordered)
        out.push_back(heard->terminal);
    return out;
}

std::optional<TerminalHealth::Terminal> TerminalHealth::terminal(const std::string& address) const {
    std::lock_guard lock(m_mutex);
    if (const Heard* found = m_terminals.find(address))
        return found->terminal;
    return std::nullopt;
}

TerminalHealth::Totals TerminalHealth::totals() const {
    std::lock_guard lock(m_mutex);
    return m_totals;
}

} // namespace vorlanx::link
