#pragma once

#include "link/ConsoleSink.h"
#include "service/ServiceListener.h"

namespace vorlanx {

// The service's reports without a window: the activity log, result lines and panel texts are
// printed; the personnel rows are not (vorlanxd prints the count when the load is over).
class ConsoleServiceListener final : public service::ServiceListener {
public:
    explicit ConsoleServiceListener(link::ConsoleSink& sink) : m_sink(sink) {}

    bool showsClientEntries() const override { return m_sink.showsClientEntries(); }
    void clientEntry(const std::string& entry) override { m_sink.clientEntry(entry); }
    void terminalAdded(const std::string& address, const std::string& portText, const std::string& machine,
                       const std::string& totalText) override {
        m_sink.terminalAdded(address, portText, machine, totalText);
    }
    void terminalRemoved(const std::string& address, const std::string& statusText) override {
        m_sink.terminalRemoved(address, statusText);
    }
    void resultAppended(const std::string& text, std::optional<std::size_t> successCount) override {
        m_sink.resultAppended(text, successCount);
    }
    void transactionLogged(const std::string& line) override { m_sink.transactionLogged(line); }
    void personnelRefreshStarted(const std::string& operationText) override { m_sink.operation(operationText); }
    void personnelListCleared() override {}
    void personnelRowAdded(const txn::PersonnelRow&, const std::string&) override {}
    void personnelListLoaded(std::size_t, const std::string& operationText) override {
        m_sink.operation(operationText);
    }
    void statusChanged(const std::string& text) override { m_sink.status(text); }
    void operationChanged(const std::string& text) override { m_sink.operation(text); }
    void startupConnectFinished(bool, const std::optional<std::string>& statusText) override {
        if (statusText)
            m_sink.status(*statusText);
    }
    void databaseSaveFinished(const std::optional<std::string>& message, bool) override {
        if (message)
            m_sink.message(*message);
    }
    void commandFinished(bool, const std::optional<std::string>& statusText) override {
        if (statusText)
            m_sink.status(*statusText);
    }

    void captionChanged(const std::string&) override {}
    void resultsCleared() override {}
    void sendFieldsChanged(const std::string&, const std::string&, const std::string&) override {}

private:
    link::ConsoleSink& m_sink;
};

} // namespace vorlanx
