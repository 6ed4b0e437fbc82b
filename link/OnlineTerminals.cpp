#include "link/OnlineTerminals.h"

#include <algorithm>

namespace vorlanx::link {

OnlineTerminals::Update OnlineTerminals::hear(const std::string& address, const std::string& portText,
                                              const std::string& machine) {
    std::lock_guard lock(m_mutex);
    const auto row =
        std::find_if(m_rows.begin(), m_rows.end(), [&](const TerminalRow& r) { return r.address == address; });
    if (row == m_rows.end()) {
        m_rows.push_back({address, portText, machine});
        return {Change::Added, m_rows.size()};
    }
    if (row->machine != machine) {
        m_rows.erase(row);
        return {Change::Removed, m_rows.size()};
    }
    return {Change::None, m_rows.size()};
}

void OnlineTerminals::clear() {
    std::lock_guard lock(m_mutex);
    m_rows.clear();
}

std::vector<TerminalRow> OnlineTerminals::rows() const {
    std::lock_guard lock(m_mutex);
    return m_rows;
}

std::size_t OnlineTerminals::size() const {
    std::lock_guard lock(m_mutex);
    return m_rows.size();
}

} // namespace vorlanx::link
