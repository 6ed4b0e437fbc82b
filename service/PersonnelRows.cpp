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

bool PersonnelRows::lastLoadFailed() const {
    std::lock_guard lock(m_mutex);
    return m_lastLoadFailed;
}

void PersonnelRows::personnelRefreshStarted(const std::string& operationText) {
    m_next.personnelRefreshStarted(operationText);
}

void PersonnelRows::personnelListCleared() {
    {
        std::lock_guard lock(m_mutex);
        m_loading.clear();
    }
    m_next.personnelListCleared();
}

void PersonnelRows::personnelRowAdded(const txn::PersonnelRow& row, const std::string& countText) {
    {
        std::lock_guard lock(m_mutex);
        m_loading.push_back(row);
    }
    m_next.personnelRowAdded(row, countText);
}

// Only a load that read every row replaces the list; a superseded one never gets here.
void PersonnelRows::personnelListLoaded(std::size_t count, const std::string& operationText) {
    {
        std::lock_guard lock(m_mutex);
        m_rows.swap(m_loading);
        m_loading.clear();
        m_loading.shrink_to_fit();
        m_lastLoadFailed = false;
    }
    m_next.personnelListLoaded(count, operationText);
}

void PersonnelRows::personnelListLoadFailed(const std::string& operationText) {
    {
        std::lock_guard lock(m_mutex);
        m_loading.clear();
        m_lastLoadFailed = true;
    }
    m_next.personnelListLoadFailed(operationText);
}

} // namespace vorlanx::service
