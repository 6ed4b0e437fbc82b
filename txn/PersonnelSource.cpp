#include "txn/PersonnelSource.h"

#include "txn/TransactionTexts.h"

#include <chrono>
#include <utility>

namespace vorlanx::txn {

namespace {

// How long an idle worker waits before it looks at its queue and its stop request again.
constexpr std::chrono::milliseconds kWakeCheck{250};

} // namespace

PersonnelSource::PersonnelSource(db::Database& database, PersonnelListener& listener)
    : m_database(database), m_listener(listener), m_worker([this](std::stop_token stop) { work(stop); }) {}

PersonnelSource::~PersonnelSource() {
    m_worker.request_stop();
    m_wake.notify_all();
    m_worker.join();
}

void PersonnelSource::loadPersonnelList(std::string machineText) {
    {
        std::lock_guard lock(m_mutex);
        ++m_requested;
        m_machineText = std::move(machineText);
    }
    m_wake.notify_all();
}

void PersonnelSource::refreshPersonnelList(std::string machineText) {
    m_listener.personnelRefreshStarted(std::string(kPersonnelRefreshText));
    loadPersonnelList(std::move(machineText));
}

bool PersonnelSource::waitIdle(std::chrono::milliseconds limit) {
    std::unique_lock lock(m_mutex);
    return m_idle.wait_for(lock, limit, [this] { return m_finished == m_requested; });
}

void PersonnelSource::work(std::stop_token stop) {
    std::uint64_t done = 0;
    for (;;) {
        std::uint64_t generation = 0;
        std::string machineText;
        {
            std::unique_lock lock(m_mutex);
            // Bounded, so that a lost wake-up (seen with the Windows build's thread library under
            // Wine) costs a moment instead of a shutdown that never ends.
            while (!m_wake.wait_for(lock, stop, kWakeCheck, [&] { return m_requested != done; })) {
                if (stop.stop_requested())
                    return;
            }
            generation = m_requested;
            machineText = m_machineText;
        }
        load(generation, machineText, stop);
        done = generation;
        {
            std::lock_guard lock(m_mutex);
            m_finished = generation;
        }
        m_idle.notify_all();
    }
}

bool PersonnelSource::superseded(std::uint64_t generation, const std::stop_token& stop) {
    std::lock_guard lock(m_mutex);
    return stop.stop_requested() || m_requested != generation;
}

void PersonnelSource::load(std::uint64_t generation, const std::string& machineText, const std::stop_token& stop) {
    // One job from the call to the last row: the rows are read whole with the call, so no other
    // job's rows can mix in, and the database is free again while the list fills.
    db::QueryResult result = m_database.runQuery(whitenameCommand(machineText));
    // A failed call says nothing about who may pay: the list in force stays until a load succeeds.
    if (!result.isOpen()) {
        if (!superseded(generation, stop))
            m_listener.personnelListLoadFailed(std::string(kPersonnelLoadFailedText));
        return;
    }
    m_listener.personnelListCleared();
    std::size_t count = 0;
    while (!result.atEnd()) {
        // A newer load empties the list and fills it again; rows of this one would only be
        // thrown away, and must not land after its rows.
        if (superseded(generation, stop))
            return;
        PersonnelRow row{result.fieldText("hr_code"), result.fieldText("hr_name"), result.fieldText("dept_name"),
                         result.fieldText("hr_phyid")};
        result.nextRow();
        ++count;
        m_listener.personnelRowAdded(row, std::to_string(count));
    }
    result.closeQuery();
    if (superseded(generation, stop))
        return;
    m_listener.personnelListLoaded(count, std::string(kPersonnelCountPrefix) + std::to_string(count));
}

} // namespace vorlanx::txn
