#include "service/PersonnelRows.h"

namespace vorlanx::service {

std::vector<txn::PersonnelRow> PersonnelRows::rows() const {
    std::lock_guard lock(m_mutex);
    return m_rows;
}

std::size_t PersonnelRows::size() const {
    std::lock_guard lock(m_mutex);
    return m_rows.size();
}

void PersonnelRows::personnelRefreshStarted(const std::string& operationText) {
    {
        std::lock_guard lock(m_mutex);
        m_rows.clear();
    }
    m_next.personnelRefreshStarted(operationText);
}

void PersonnelRows::personnelListCleared() {
    {
        std::lock_guard lock(m_mutex);
        m_rows.clear();
    }
    m_next.personnelListCleared();
}

void PersonnelRows::personnelRowAdded(const txn::PersonnelRow& row, const std::string& countText) {
    {
        std::lock_guard lock(m_mutex);
        m_rows.push_back(row);
    }
    m_next.personnelRowAdded(row, countText);
}

void PersonnelRows::personnelListLoaded(std::size_t count, const std::string& operationText) {
    m_next.personnelListLoaded(count, operationText);
}

} // namespace vorlanx::service
