#pragma once

#include "admin/CommandRequest.h"
#include "config/ConnectionSettings.h"
#include "present/ReportQueue.h"
#include "present/WindowView.h"
#include "service/ServiceListener.h"

#include <functional>
#include <string>
#include <thread>

namespace vorlanx::service {
class VorlanxService;
}

namespace vorlanx::present {

// What an operator window does, decided once for the Qt and the Win32 window: how it answers
// the operator's input and the service's reports. The window forwards input here and applies
// what comes back through its WindowView; the service's reports come in on its threads, wait in
// the ReportQueue and are applied on the UI thread when the window drains it. Every method but
// the listener's is called on the UI thread. The service outlives the presenter.
class Presenter final : public service::ServiceListener {
public:
    // wake: from any thread, asks the UI thread to call reports().drain() soon.
    Presenter(service::VorlanxService& service, WindowView view, ReportQueue::Action wake);
    ~Presenter() override;
    Presenter(const Presenter&) = delete;
    Presenter& operator=(const Presenter&) = delete;

    ReportQueue& reports() { return m_reports; }

    // The window's controls exist: the service reports to this presenter from now on, the
    // database settings are loaded and connected, and the allow list is taken up.
    void windowCreated(const std::string& machineText);
    // The window goes: its port closes with it, and nothing the service reports afterwards
    // reaches the controls.
    void windowClosing();

    // The operator's input.
    void startListening(const std::string& portText);
    void stopListening() { stopThen({}); }
    void clearOnlineList();
    void runCommand(const admin::CommandRequest& request);
    bool parallelDownload() const;
    void setParallelDownload(bool parallel);
    void refreshPersonnel(const std::string& machineText);
    void saveDatabaseSettings(const config::ConnectionSettings& settings);
    // The window's close button: true when it may close now; otherwise the port drains first,
    // as at 停止, with the window live, and closeWindow follows once the port has closed.
    bool closeRequested();

    bool commandRunning() const { return m_commandRunning; }
    bool connecting() const { return m_connecting; }
    bool stopping() const { return m_stopping; }

    // Reports of the service, from its threads.
    void clientEntry(const std::string& entry) override;
    void terminalAdded(const std::string& address, const std::string& portText, const std::string& machine,
                       const std::string& totalText) override;
    void terminalRemoved(const std::string& address, const std::string& statusText) override;
    void resultAppended(const std::string& text, std::optional<std::size_t> successCount) override;
    void personnelRefreshStarted(const std::string& operationText) override;
    void personnelListCleared() override;
    void personnelRowAdded(const txn::PersonnelRow& row, const std::string& countText) override;
    void personnelListLoaded(std::size_t count, const std::string& operationText) override;
    void personnelListLoadFailed(const std::string& operationText) override;
    void statusChanged(const std::string& text) override;
    void operationChanged(const std::string& text) override;
    void startupConnectFinished(bool connected, const std::optional<std::string>& statusText) override;
    void databaseSaveFinished(const std::optional<std::string>& message, bool restart) override;
    void commandFinished(bool completed, const std::optional<std::string>& statusText) override;
    void captionChanged(const std::string& caption) override;
    void resultsCleared() override;
    void sendFieldsChanged(const std::string& address, const std::string& port, const std::string& machine) override;

private:
    // The stop of 停止, then `after` once the port has closed.
    void stopThen(std::function<void()> after);
    void stopEnded(const std::string& operationText);
    void restartService();
    void showIdle();
    void setConnecting(bool connecting);
    void setCommandRunning(bool running);
    // A box is opened after the drain under way, never inside it.
    void showMessage(std::string text);

    service::VorlanxService& m_service;
    WindowView m_view;
    ReportQueue m_reports;
    bool m_attached = false;
    bool m_commandRunning = false;
    bool m_connecting = false;
    bool m_stopping = false;
    // The personnel list shown is being refilled by a load that has not ended yet.
    bool m_personnelFilling = false;
    std::function<void()> m_afterStop;
    // Waits for the end of a stop that did not end at once and queues it for the UI thread.
    std::jthread m_stopWatch;
};

} // namespace vorlanx::present
