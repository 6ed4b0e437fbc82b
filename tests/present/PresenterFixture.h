#pragma once

#include "present/Presenter.h"
#include "service/VorlanxService.h"
#include "ui/Controls.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace vorlanx::test {

// What a window would show, kept by a view without a toolkit. The test's thread plays the UI
// thread: it drains the presenter's queue whenever the queue asks to be woken.
class PresenterFixture : public ::testing::Test {
protected:
    PresenterFixture()
        : m_dir(std::filesystem::temp_directory_path() / ("vorlanx-present-" + std::to_string(std::random_device{}()))),
          m_service(makeService(m_dir)) {}
    ~PresenterFixture() override {
        m_presenter.reset();
        m_service.reset();
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }

    static std::unique_ptr<service::VorlanxService> makeService(const std::filesystem::path& dir) {
        std::filesystem::create_directories(dir);
        return std::make_unique<service::VorlanxService>(service::VorlanxService::Options{dir, [] { return false; }});
    }

    void openWindow() {
        m_presenter = std::make_unique<present::Presenter>(*m_service, view(), [this] {
            std::lock_guard lock(m_wakeMutex);
            m_woken = true;
            m_wake.notify_all();
        });
        m_presenter->windowCreated("");
    }

    // Drains on every wake until `shown` holds or the generous deadline passes.
    bool pumpUntil(const std::function<bool()>& shown, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!shown()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            waitWake(std::chrono::milliseconds(50));
            m_presenter->reports().drain();
        }
        return true;
    }

    void waitWake(std::chrono::milliseconds limit) {
        std::unique_lock lock(m_wakeMutex);
        m_wake.wait_for(lock, limit, [this] { return m_woken; });
        m_woken = false;
    }

    present::WindowView view() {
        present::WindowView v;
        v.setPanel = [this](int panel, const std::string& text) { panels[panel] = text; };
        v.appendLog = [this](const std::string& text) {
            log += text;
            events.push_back("log " + text);
        };
        v.addOnlineRow = [this](const std::string& address, const std::string&, const std::string&) {
            events.push_back("online " + address);
        };
        v.removeOnlineRow = [this](const std::string& address) { events.push_back("offline " + address); };
        v.clearOnlineList = [this] { events.push_back("online cleared"); };
        v.enableListener = [this](bool port, bool start, bool stop) {
            portEnabled = port;
            startEnabled = start;
            stopEnabled = stop;
        };
        v.setSuccessCount = [](const std::string&) {};
        v.setWhitelistCount = [this](const std::string& text) { whitelistCount = text; };
        v.setResultCaption = [](const std::string&) {};
        v.appendResult = [](const std::string&) {};
        v.clearResults = [] {};
        v.setSendFields = [](const std::string&, const std::string&, const std::string&) {};
        v.enableCommands = [this](bool enabled) { commandsEnabled = enabled; };
        v.clearPersonnel = [this] { personnel.clear(); };
        v.addPersonnelRow = [this](const std::vector<std::string>& cells) { personnel.push_back(cells); };
        v.showDatabaseSettings = [](const config::ConnectionSettings&) {};
        v.enableDatabaseSave = [this](bool enabled) { saveEnabled = enabled; };
        v.showMessage = [this](const std::string& text) {
            messages.push_back(text);
            events.push_back("box " + text);
            if (auto open = std::exchange(whileBoxOpen, nullptr))
                open();
        };
        v.closeWindow = [this] { ++closes; };
        return v;
    }

    // The service's rows in force, as the window's cells.
    std::vector<std::vector<std::string>> rowsInForce() const {
        std::vector<std::vector<std::string>> rows;
        for (const auto& r : m_service->personnelRows())
            rows.push_back({r.code, r.name, r.department, r.card});
        return rows;
    }

    std::filesystem::path m_dir;
    std::unique_ptr<service::VorlanxService> m_service;
    std::unique_ptr<present::Presenter> m_presenter;
    std::mutex m_wakeMutex;
    std::condition_variable m_wake;
    bool m_woken = false;

    std::map<int, std::string> panels;
    std::string log;
    std::vector<std::string> events;
    std::vector<std::string> messages;
    std::vector<std::vector<std::string>> personnel;
    std::string whitelistCount;
    bool portEnabled = false, startEnabled = false, stopEnabled = false;
    bool commandsEnabled = true, saveEnabled = true;
    int closes = 0;
    // Runs inside the next showMessage, as a modal box's message loop would.
    std::function<void()> whileBoxOpen;
};

} // namespace vorlanx::test
