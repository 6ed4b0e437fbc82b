#include "link/OnlineTerminals.h"

namespace vorlanx::link {

OnlineTerminals::OnlineTerminals(std::size_t maxRows) : m_rows(maxRows) {}

OnlineTerminals::Update OnlineTerminals::hear(const std::string& address, const std::string& portText,
                                              const std::string& machine) {
    std::lock_guard lock(m_mutex);
    if (const TerminalRow* row = m_rows.touch(address)) {
        if (row->machine == machine)
            return {Change::None, m_rows.size(), {}};
        m_rows.erase(address);
        return {Change::Removed, m_rows.size(), {}};
    }
    Update update{Change::Added, 0, {}};
    m_rows.insert(address, {address, portText, machine}, &update.forgotten);
    update.rowCount = m_rows.size();
    return update;
}

void OnlineTerminals::clear() {
    std::lock_guard lock(m_mutex);
    m_rows.clear();
}

std::vector<TerminalRow> OnlineTerminals::rows() const {
    std::lock_guard lock(m_mutex);
    std::vector<TerminalRow> out;
    out.reserve(m_rows.size());
    for (const auto& entry : m_rows.entries())
        out.push_back(entry.value);
    return out;
}

std::size_t OnlineTerminals::size() const {
    std::lock_guard lock(m_mutex);
    return m_rows.size();
}

} // namespace vorlanx::link
