#include "link/TerminalHealth.h"

#include <algorithm>

namespace vorlanx::link {

void TerminalHealth::heard(const std::string& address, std::uint16_t port, const std::string& machine,
                           FrameKind kind, std::time_t now) {
    std::lock_guard lock(m_mutex);
    ++m_totals.datagrams;
    auto found = m_terminals.find(address);
    if (found == m_terminals.end()) {
        if (m_terminals.size() >= kMaxTerminals)
            forgetOldest();
        found = m_terminals.emplace(address, Terminal{}).first;
        found->second.address = address;
        found->second.firstHeard = now;
        m_order[address] = m_sequence++;
    }
    Terminal& t = found->second;
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
    const auto found = m_terminals.find(address);
    if (found != m_terminals.end())
        found->second.lastAnswer = line;
}

void TerminalHealth::refused() {
    std::lock_guard lock(m_mutex);
    ++m_totals.refused;
}

void TerminalHealth::checksumMatched(const std::string& address) {
    std::lock_guard lock(m_mutex);
    const auto found = m_terminals.find(address);
    if (found != m_terminals.end())
        ++found->second.checkedFrames;
}

std::vector<TerminalHealth::Terminal> TerminalHealth::terminals() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::pair<std::uint64_t, const Terminal*>> ordered;
    ordered.reserve(m_terminals.size());
    for (const auto& [address, terminal] : m_terminals)
        ordered.emplace_back(m_order.at(address), &terminal);
    std::sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<Terminal> out;
    out.reserve(ordered.size());
    for (const auto& entry : ordered)
        out.push_back(*entry.second);
    return out;
}

std::optional<TerminalHealth::Terminal> TerminalHealth::terminal(const std::string& address) const {
    std::lock_guard lock(m_mutex);
    const auto found = m_terminals.find(address);
    if (found == m_terminals.end())
        return std::nullopt;
    return found->second;
}

TerminalHealth::Totals TerminalHealth::totals() const {
    std::lock_guard lock(m_mutex);
    return m_totals;
}

void TerminalHealth::forgetOldest() {
    const auto oldest = std::min_element(m_terminals.begin(), m_terminals.end(), [](const auto& a, const auto& b) {
        return a.second.lastHeard < b.second.lastHeard;
    });
    if (oldest == m_terminals.end())
        return;
    m_order.erase(oldest->first);
    m_terminals.erase(oldest);
}

} // namespace vorlanx::link
