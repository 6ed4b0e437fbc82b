#pragma once

#include "db/Database.h"
#include "txn/PersonnelListener.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

namespace vorlanx::txn {

// Loads the personnel list that the white list is built from, on a worker of its own so that
// the window stays responsive while the rows arrive. Loads run one after the other, never side
// by side: a load asked for while another runs supersedes it, the older one reports no more rows,
// and the list ends up holding exactly the rows of the newest call. Destruction joins the worker.
class PersonnelSource {
public:
    // Both references must outlive the source.
    PersonnelSource(db::Database& database, PersonnelListener& listener);
    ~PersonnelSource();
    PersonnelSource(const PersonnelSource&) = delete;
    PersonnelSource& operator=(const PersonnelSource&) = delete;

    // Starts a load and returns at once. machineText is the send field's machine number as the
    // operator typed it (empty at start-up); it goes into the call unconverted.
    void loadPersonnelList(std::string machineText);
    // The operator's "刷新名单": reports the refresh, then starts a load.
    void refreshPersonnelList(std::string machineText);

    // Waits until every load asked for so far has finished; false when that takes longer than
    // the limit. For shutdown paths and tests.
    bool waitIdle(std::chrono::milliseconds limit);

private:
    void work(std::stop_token stop);
    void load(std::uint64_t generation, const std::string& machineText, const std::stop_token& stop);
    bool superseded(std::uint64_t generation, const std::stop_token& stop);

    db::Database& m_database;
    PersonnelListener& m_listener;
    std::mutex m_mutex;
    std::condition_variable_any m_wake;
    std::condition_variable m_idle;
    std::uint64_t m_requested = 0; // generation of the newest load asked for
    std::uint64_t m_finished = 0;  // generation of the last load that ended
    std::string m_machineText;     // of the newest load
    // Declared last: started once everything above exists, joined before it goes.
    std::jthread m_worker;
};

} // namespace vorlanx::txn
