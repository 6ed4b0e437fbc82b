#pragma once

#include "link/ConsoleSink.h"
#include "txn/PersonnelListener.h"

namespace vorlanx {

// The personnel load without a window: the operation panel texts are printed, the rows are not
// (the list matters to the white-list download of the window, not to the console).
class ConsolePersonnelListener : public txn::PersonnelListener {
public:
    explicit ConsolePersonnelListener(link::ConsoleSink& sink) : m_sink(sink) {}

    void personnelRefreshStarted(const std::string& operationText) override { m_sink.operation(operationText); }
    void personnelListCleared() override {}
    void personnelRowAdded(const txn::PersonnelRow&, const std::string&) override {}
    void personnelListLoaded(std::size_t, const std::string& operationText) override {
        m_sink.operation(operationText);
    }

private:
    link::ConsoleSink& m_sink;
};

} // namespace vorlanx
