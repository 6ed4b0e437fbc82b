#pragma once

#include "link/DispatchSink.h"
#include "txn/PersonnelListener.h"

#include <optional>
#include <string>

namespace vorlanx::service {

// Everything the running service reports for the operator: what the dispatcher and the
// personnel load report, and the outcome of the work the service does in the background. Called
// from the service's threads, one event at a time; the window re-posts each to its UI thread,
// vorlanxd prints them.
class ServiceListener : public link::DispatchSink, public txn::PersonnelListener {
public:
    // New text of the status panel or of the operation panel.
    virtual void statusChanged(const std::string& text) = 0;
    virtual void operationChanged(const std::string& text) = 0;
    // A failed load of the personnel list keeps the list in force; by default only the operation
    // panel says so, and vorlanxd's log keeps what it shows.
    void personnelListLoadFailed(const std::string& operationText) override { operationChanged(operationText); }
    // The start-up connect has ended; statusText is the status panel's new text, if any.
    virtual void startupConnectFinished(bool connected, const std::optional<std::string>& statusText) = 0;
    // A save of database settings has ended: a message box text, if any, and whether the service
    // now restarts with them.
    virtual void databaseSaveFinished(const std::optional<std::string>& message, bool restart) = 0;
    // An administration command has sent its last frame, or was stopped; statusText is the
    // status panel's new text, if any.
    virtual void commandFinished(bool completed, const std::optional<std::string>& statusText) = 0;
    // The white-list download: the result group's caption, the result box emptied (success count
    // "0"), the terminal a run turns to copied into the send fields.
    virtual void captionChanged(const std::string& caption) = 0;
    virtual void resultsCleared() = 0;
    virtual void sendFieldsChanged(const std::string& address, const std::string& port, const std::string& machine) = 0;
};

} // namespace vorlanx::service
