#pragma once

#include "service/ServiceListener.h"

namespace vorlanx::service {

// A listener that ignores every report; observers override the few they follow.
class NullServiceListener : public ServiceListener {
public:
    bool showsClientEntries() const override { return false; }
    void clientEntry(const std::string&) override {}
    void terminalAdded(const std::string&, const std::string&, const std::string&, const std::string&) override {}
    void terminalRemoved(const std::string&, const std::string&) override {}
    void resultAppended(const std::string&, std::optional<std::size_t>) override {}
    void personnelRefreshStarted(const std::string&) override {}
    void personnelListCleared() override {}
    void personnelRowAdded(const txn::PersonnelRow&, const std::string&) override {}
    void personnelListLoaded(std::size_t, const std::string&) override {}
    void statusChanged(const std::string&) override {}
    void operationChanged(const std::string&) override {}
    void startupConnectFinished(bool, const std::optional<std::string>&) override {}
    void databaseSaveFinished(const std::optional<std::string>&, bool) override {}
    void commandFinished(bool, const std::optional<std::string>&) override {}
    void captionChanged(const std::string&) override {}
    void resultsCleared() override {}
    void sendFieldsChanged(const std::string&, const std::string&, const std::string&) override {}
};

} // namespace vorlanx::service
