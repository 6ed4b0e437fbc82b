#pragma once

#include "txn/PersonnelListener.h"

#include <mutex>
#include <vector>

namespace vorlanx::service {

// The personnel rows loaded so far, kept as plain rows for whoever needs them without a window
// (the white-list download, a headless caller); every report goes on to the next listener.
class PersonnelRows final : public txn::PersonnelListener {
public:
    explicit PersonnelRows(txn::PersonnelListener& next) : m_next(next) {}

    // The last list that loaded whole: a load under way or one that failed leaves it as it is.
    std::vector<txn::PersonnelRow> rows() const;
    std::size_t size() const;
    // The last load failed and the list before it was kept.
    bool lastLoadFailed() const;

    void personnelRefreshStarted(const std::string& operationText) override;
    void personnelListCleared() override;
    void personnelRowAdded(const txn::PersonnelRow& row, const std::string& countText) override;
    void personnelListLoaded(std::size_t count, const std::string& operationText) override;
    void personnelListLoadFailed(const std::string& operationText) override;

private:
    txn::PersonnelListener& m_next;
    mutable std::mutex m_mutex;
    std::vector<txn::PersonnelRow> m_rows;
    std::vector<txn::PersonnelRow> m_loading; // rows of the load under way
    bool m_lastLoadFailed = false;
};

} // namespace vorlanx::service
