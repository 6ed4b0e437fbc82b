#include "link/TerminalTable.h"

#include "link/AddressFilter.h"

#include <algorithm>

namespace vorlanx::link {

TerminalTable::TerminalTable(std::size_t maxRows, std::size_t maxTerminals)
    : m_maxRows(std::max<std::size_t>(maxRows, 1)), m_maxTerminals(std::max<std::size_t>(maxTerminals, 1)) {
    m_entries.reserve(std::min<std::size_t>(m_maxRows + m_maxTerminals, 1024));
}

void TerminalTable::forgetIfUnused(std::uint32_t address) {
    const auto found = m_entries.find(address);
    if (found != m_entries.end() && !found->second.known && !found->second.listed)
        m_entries.erase(found);
}

TerminalTable::Update TerminalTable::heard(const Peer& from, std::string_view machine, FrameKind kind,
                                           bool checksumMatched, std::time_t now) {
    std::lock_guard lock(m_mutex);
    ++m_totals.datagrams;
    auto [at, inserted] = m_entries.try_emplace(from.address);
    Entry* entry = &at->second;

    if (entry->known) {
        m_known.splice(m_known.end(), m_known, entry->knownAt);
    } else {
        if (m_known.size() >= m_maxTerminals) {
            const std::uint32_t oldest = m_known.front();
            m_known.pop_front();
            m_entries.at(oldest).known = false;
            forgetIfUnused(oldest);
        }
        entry->known = true;
        entry->knownAt = m_known.insert(m_known.end(), from.address);
        entry->terminal = Terminal{};
        entry->terminal.address = entry->listed ? entry->row.address : from.addressText();
        entry->terminal.firstHeard = now;
        entry->sequence = m_sequence++;
    }
    Terminal& t = entry->terminal;
    t.port = from.port;
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
    if (checksumMatched)
        ++t.checkedFrames;

    // A one-byte datagram is counted but never listed: it has no machine number to show.
    if (machine.empty())
        return {Change::None, m_listed.size(), {}};
    if (entry->listed) {
        m_listed.splice(m_listed.end(), m_listed, entry->listedAt);
        if (entry->row.machine == machine)
            return {Change::None, m_listed.size(), {}};
        m_listed.erase(entry->listedAt);
        entry->listed = false;
        return {Change::Removed, m_listed.size(), {}};
    }
    Update update{Change::Added, 0, {}};
    if (m_listed.size() >= m_maxRows) {
        const std::uint32_t oldest = m_listed.front();
        m_listed.pop_front();
        Entry& old = m_entries.at(oldest);
        old.listed = false;
        update.forgotten = old.row.address;
        forgetIfUnused(oldest); // never the entry at hand: it is known
    }
    entry->listed = true;
    entry->row = {t.address, std::to_string(from.port), std::string(machine)};
    entry->listedAt = m_listed.insert(m_listed.end(), from.address);
    update.rowCount = m_listed.size();
    return update;
}

void TerminalTable::answered(std::uint32_t address, const std::string& line) {
    std::lock_guard lock(m_mutex);
    ++m_totals.answers;
    // An answer is no sign of life of its own: the frame that carried it was heard just before.
    if (const auto found = m_entries.find(address); found != m_entries.end() && found->second.known)
        found->second.terminal.lastAnswer = line;
}

void TerminalTable::refused() {
    std::lock_guard lock(m_mutex);
    ++m_totals.refused;
}

void TerminalTable::clearRows() {
    std::lock_guard lock(m_mutex);
    for (std::uint32_t address : m_listed)
        m_entries.at(address).listed = false;
    for (std::uint32_t address : m_listed)
        forgetIfUnused(address);
    m_listed.clear();
}

std::vector<TerminalRow> TerminalTable::rows() const {
    std::lock_guard lock(m_mutex);
    std::vector<TerminalRow> out;
    out.reserve(m_listed.size());
    for (std::uint32_t address : m_listed)
        out.push_back(m_entries.at(address).row);
    return out;
}

std::size_t TerminalTable::rowCount() const {
    std::lock_guard lock(m_mutex);
    return m_listed.size();
}

std::vector<TerminalTable::Terminal> TerminalTable::terminals() const {
    std::lock_guard lock(m_mutex);
    std::vector<const Entry*> ordered;
    ordered.reserve(m_known.size());
    for (std::uint32_t address : m_known)
        ordered.push_back(&m_entries.at(address));
    std::sort(ordered.begin(), ordered.end(), [](const Entry* a, const Entry* b) { return a->sequence < b->sequence; });
    std::vector<Terminal> out;
    out.reserve(ordered.size());
    for (const Entry* entry : ordered)
        out.push_back(entry->terminal);
    return out;
}

std::optional<TerminalTable::Terminal> TerminalTable::terminal(const std::string& address) const {
    const auto value = AddressFilter::parseAddress(address);
    if (!value)
        return std::nullopt;
    std::lock_guard lock(m_mutex);
    if (const auto found = m_entries.find(*value); found != m_entries.end() && found->second.known)
        return found->second.terminal;
    return std::nullopt;
}

TerminalTable::Totals TerminalTable::totals() const {
    std::lock_guard lock(m_mutex);
    return m_totals;
}

} // namespace vorlanx::link
