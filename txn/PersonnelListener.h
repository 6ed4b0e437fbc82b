#pragma once

#include "txn/PersonnelRow.h"

#include <cstddef>
#include <string>

namespace vorlanx::txn {

// What the personnel load shows: the window fills its personnel list, count label and operation
// panel from these; vorlanxd prints the panel texts. Called from the load's worker thread (and
// refreshStarted from the thread that asked for the refresh), one event at a time, in order; an
// implementation that owns a UI re-posts each event to its UI thread.
class PersonnelListener {
public:
    virtual ~PersonnelListener() = default;

    // The operator asked for a refresh: count label "0", list emptied, operation panel text.
    virtual void personnelRefreshStarted(const std::string& operationText) = 0;
    // A load begins: the list is emptied; the count label keeps its text until a row arrives.
    virtual void personnelListCleared() = 0;
    // One more row at the end of the list; countText is the count label's new text.
    virtual void personnelRowAdded(const PersonnelRow& row, const std::string& countText) = 0;
    // The load is over; operationText is "人事档案数：" + count for the operation panel.
    virtual void personnelListLoaded(std::size_t count, const std::string& operationText) = 0;
    // The call for the list failed (no database, or the procedure failed): no list was cleared,
    // and the rows loaded before stay in force; operationText says so for the operation panel.
    virtual void personnelListLoadFailed(const std::string& operationText) { (void)operationText; }
};

} // namespace vorlanx::txn
