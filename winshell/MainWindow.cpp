#include "winshell/MainWindow.h"

#include "config/PeriodSettings.h"
#include "link/LogText.h"
#include "link/ResultBox.h"
#include "service/VorlanxService.h"
#include "ui/AdminCommand.h"
#include "ui/Texts.h"
#include "winshell/AdminCommands.h"
#include "winshell/DatabaseSettings.h"
#include "winshell/ListMenus.h"
#include "winshell/ListenerGroup.h"
#include "winshell/LocalAddress.h"
#include "winshell/MessageBox.h"
#include "winshell/ServiceBridge.h"
#include "winshell/Text.h"
#include "winshell/TimeFields.h"
#include "winshell/UiFont.h"

#include <windowsx.h>

namespace vorlanx::winshell {

namespace {

using ui::Id;

constexpr const wchar_t* kWindowClass = L"VorlanxMainWindow";
constexpr std::size_t kLogShownLines = 24;

bool registerClass(WNDPROC procedure) {
    static const bool registered = [procedure] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = procedure;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kWindowClass;
        return RegisterClassExW(&wc) != 0;
    }();
    return registered;
}

} // namespace

MainWindow::MainWindow(service::VorlanxService& service) : m_service(service) {}

MainWindow::~MainWindow() {
    if (m_window)
        DestroyWindow(m_window);
}

bool MainWindow::create() {
    if (!registerClass(&MainWindow::procedure))
        return false;
    const Dpi system = Dpi::of(nullptr);
    m_window = CreateWindowExW(0, kWindowClass, widen(ui::kWindowTitle).c_str(),
                               WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, system.scale(ui::kWindowX),
                               system.scale(ui::kWindowY), system.scale(ui::kWindowWidth),
                               system.scale(ui::kWindowHeight), nullptr, nullptr, GetModuleHandleW(nullptr), this);
    if (!m_window)
        return false;
    m_dpi = Dpi::of(m_window);
    if (m_dpi.value() != system.value())
        SetWindowPos(m_window, nullptr, m_dpi.scale(ui::kWindowX), m_dpi.scale(ui::kWindowY),
                     m_dpi.scale(ui::kWindowWidth), m_dpi.scale(ui::kWindowHeight), SWP_NOZORDER | SWP_NOACTIVATE);
    m_font = makeUiFont(m_dpi);
    if (!m_controls.create(m_window, m_dpi))
        return false;
    m_controls.relayout(m_dpi, m_font.get());

    std::vector<int> widths;
    for (const ui::StatusPanel& panel : ui::statusPanels())
        widths.push_back(panel.width);
    m_controls.statusBar().setParts(widths, m_dpi);
    for (std::size_t i = 0; i < widths.size(); ++i)
        m_controls.statusBar().setPanel(static_cast<int>(i), ui::statusPanels()[i].text);
    m_controls.box(Id::Results).setLineLimit(link::ResultBox::kLineLimit);
    // The log timer empties the log twice a second once it holds more than 20 lines; under a flood
    // what arrives in between can be thousands of entries, of which the box shows the last few, so
    // that an append never lays out a text of megabytes. The count goes on counting them all.
    m_controls.box(Id::Log).setLineLimit(kLogShownLines);
    for (const ui::PeriodIds& p : ui::kPeriodIds) {
        TimeFields::attach(m_controls[p.start].hwnd());
        TimeFields::attach(m_controls[p.end].hwnd());
    }
    SendMessageW(m_controls[Id::OnlineList].hwnd(), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_INFOTIP, LVS_EX_INFOTIP);

    m_bridge = std::make_unique<ServiceBridge>(m_window);
    m_listener = std::make_unique<ListenerGroup>(m_service, m_controls, m_window, [this] { clearOnlineList(); });
    m_commands = std::make_unique<AdminCommands>(m_service, *m_bridge, m_controls, m_window);
    m_menus = std::make_unique<ListMenus>(m_controls, m_window);
    m_menus->pageShown = [this](int page) { m_controls.showPage(page); };
    DatabaseSettings::Hooks hooks;
    hooks.machineText = [this] { return m_controls[Id::SendMachine].text(); };
    hooks.restart = [this] { restartService(); };
    m_database = std::make_unique<DatabaseSettings>(m_service, m_controls, m_window, std::move(hooks), m_dpi);
    m_controls.relayout(m_dpi, m_font.get());
    m_controls.showPage(m_controls.tabs().current());
    connectBridge();
    m_service.setListener(m_bridge.get());

    windowCreated();
    clockTick();
    SetTimer(m_window, static_cast<UINT_PTR>(ui::kClockTimer.id), static_cast<UINT>(ui::kClockTimer.periodMs), nullptr);
    SetTimer(m_window, static_cast<UINT_PTR>(ui::kLogTimer.id), static_cast<UINT>(ui::kLogTimer.periodMs), nullptr);
    return true;
}

void MainWindow::show(int showCommand) {
    ShowWindow(m_window, showCommand);
    UpdateWindow(m_window);
}

void MainWindow::windowCreated() {
    StatusBar& status = m_controls.statusBar();
    status.setPanel(ui::kTotalPanel, "0");
    status.setPanel(ui::kLocalIpPanel, firstLocalAddress());
    m_controls.button(Id::WhiteListRadio).setChecked(true);
    m_controls.button(Id::SetTimeRadio).setChecked(true);
    const auto periods = config::loadPeriodSettings(m_service.dir());
    for (std::size_t i = 0; i < config::kPeriodCount; ++i) {
        const ui::PeriodIds& p = ui::kPeriodIds[i];
        m_controls[p.start].setText(periods.times[i].start);
        m_controls[p.end].setText(periods.times[i].end);
        m_controls[p.amount].setText(periods.amounts[i]);
    }
    m_database->loadAtStartup();
    if (const auto bad = m_service.applyAllowList())
        showMessage(m_window, ui::kMessageTitle, ui::allowListRefusedText(*bad));
}

void MainWindow::clockTick() {
    m_controls.statusBar().setPanel(ui::kClockPanel, m_service.clock().tick().panelText());
}

void MainWindow::logTick() {
    AppendBox& log = m_controls.box(Id::Log);
    if (log.pieceCount() > link::kLogPieceLimit)
        log.clearText();
}

int MainWindow::findOnlineRow(const std::string& address) const {
    const std::wstring text = widen(address);
    LVFINDINFOW find{};
    find.flags = LVFI_STRING;
    find.psz = text.c_str();
    return static_cast<int>(SendMessageW(m_controls[Id::OnlineList].hwnd(), LVM_FINDITEMW, static_cast<WPARAM>(-1),
                                         reinterpret_cast<LPARAM>(&find)));
}

void MainWindow::connectBridge() {
    ServiceBridge::Views views;
    StatusBar& status = m_controls.statusBar();
    views.log = [this](const std::string& text) { m_controls.box(Id::Log).appendText(text); };
    views.batch = [this](bool begins) {
        for (const Id id : {Id::OnlineList, Id::Log, Id::Results, Id::PersonnelList}) {
            HWND control = m_controls[id].hwnd();
            SendMessageW(control, WM_SETREDRAW, begins ? FALSE : TRUE, 0);
            if (!begins)
                RedrawWindow(control, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
        }
    };
    views.terminalAdded = [this, &status](const std::string& address, const std::string& port,
                                          const std::string& machine, const std::string& total) {
        m_controls.list(Id::OnlineList).addRow({address, port, machine});
        status.setPanel(ui::kTotalPanel, total);
    };
    views.terminalRemoved = [this, &status](const std::string& address, const std::string& statusText) {
        if (const int row = findOnlineRow(address); row >= 0)
            m_controls.list(Id::OnlineList).deleteRow(row);
        if (!statusText.empty())
            status.setPanel(ui::kStatusPanel, statusText);
    };
    views.resultAppended = [this](const std::string& text, std::optional<std::size_t> successCount) {
        m_controls.box(Id::Results).appendText(text);
        if (successCount)
            m_controls[Id::SuccessCount].setText(std::to_string(*successCount));
    };
    views.personnelRefreshStarted = [this, &status](const std::string& operationText) {
        m_controls[Id::WhitelistCount].setText("0");
        m_controls.list(Id::PersonnelList).clear();
        status.setPanel(ui::kOperationPanel, operationText);
    };
    views.personnelListCleared = [this] { m_controls.list(Id::PersonnelList).clear(); };
    views.personnelRowAdded = [this](const std::vector<std::string>& row, const std::string& countText) {
        m_controls.list(Id::PersonnelList).addRow(row);
        m_controls[Id::WhitelistCount].setText(countText);
    };
    views.personnelListLoaded = [&status](const std::string& text) { status.setPanel(ui::kOperationPanel, text); };
    views.statusChanged = [&status](const std::string& text) { status.setPanel(ui::kStatusPanel, text); };
    views.operationChanged = [&status](const std::string& text) { status.setPanel(ui::kOperationPanel, text); };
    views.startupConnectFinished = [this](bool, const std::optional<std::string>& statusText) {
        m_database->startupConnectFinished(statusText);
    };
    views.databaseSaveFinished = [this](const std::optional<std::string>& message, bool restart) {
        m_database->databaseSaveFinished(message, restart);
    };
    views.commandFinished = [this](bool, const std::optional<std::string>& statusText) {
        m_commands->commandFinished(statusText);
    };
    views.captionChanged = [this](const std::string& caption) { m_controls[Id::ResultGroup].setText(caption); };
    views.resultsCleared = [this] {
        m_controls.box(Id::Results).clearText();
        m_controls[Id::SuccessCount].setText("0");
    };
    views.sendFieldsChanged = [this](const std::string& address, const std::string& port, const std::string& machine) {
        m_controls.address(Id::SendAddress).setAddress(address);
        m_controls[Id::SendPort].setText(port);
        m_controls[Id::SendMachine].setText(machine);
    };
    m_bridge->setViews(std::move(views));
}

void MainWindow::startAction(ui::Command command) {
    using ui::Command;
    switch (command) {
    case Command::None:
        return;
    case Command::StartListening:
        m_listener->startListening();
        return;
    case Command::StopListening:
        m_listener->stopListening();
        return;
    case Command::ClearLog:
        m_controls.box(Id::Log).clearText();
        return;
    case Command::SaveDatabaseSettings:
        m_database->saveSettings();
        return;
    case Command::AddDevices:
        m_menus->addDevices();
        return;
    case Command::ClearOnlineList:
        clearOnlineList();
        return;
    case Command::RefreshPersonnel:
        refreshPersonnel();
        return;
    case Command::RemoveSelected:
        m_menus->removeSelected();
        return;
    case Command::RemoveAll:
        m_menus->removeAll();
        return;
    default:
        break;
    }
    if (const auto admin = ui::adminCommand(command))
        m_commands->run(*admin);
}

void MainWindow::command(int id, int code) {
    // A menu item: its command.
    for (const ui::Menu& menu : ui::menus()) {
        for (const ui::MenuItem& item : menu.items) {
            if (ui::controlId(item.id) == id) {
                startAction(item.command);
                return;
            }
        }
    }
    if (code != BN_CLICKED || !m_controls.find(id))
        return;
    const Id control = static_cast<Id>(id);
    // The lock rule: a ticked period box locks the fields it governs.
    for (const ui::PeriodIds& p : ui::kPeriodIds) {
        if (control == p.timeCheck) {
            const bool locked = m_controls.button(p.timeCheck).checked();
            m_controls[p.start].setEnabled(!locked);
            m_controls[p.end].setEnabled(!locked);
            return;
        }
        if (control == p.amountCheck) {
            m_controls[p.amount].setEnabled(!m_controls.button(p.amountCheck).checked());
            return;
        }
    }
    if (control == Id::SqlServerCheck || control == Id::BuiltinCheck) {
        m_database->kindClicked(control);
        return;
    }
    if (control == Id::ParallelDownloadCheck) {
        m_commands->parallelToggled();
        return;
    }
    startAction(ui::control(control).command);
}

LRESULT MainWindow::notify(const NMHDR& header) {
    const int from = static_cast<int>(header.idFrom);
    if (from == ui::controlId(Id::Pages) && header.code == TCN_SELCHANGE) {
        m_controls.showPage(m_controls.tabs().current());
        return 0;
    }
    if (header.code == UDN_DELTAPOS) {
        if (const int field = m_controls.fieldOfUpDown(header.hwndFrom)) {
            const auto& change = reinterpret_cast<const NMUPDOWN&>(header);
            TimeFields::step(m_controls.find(field)->hwnd(), change.iDelta > 0 ? 1 : -1);
        }
        return 1; // the up/down keeps no number of its own
    }
    const bool list = from == ui::controlId(Id::OnlineList) || from == ui::controlId(Id::TerminalList) ||
                      from == ui::controlId(Id::PersonnelList);
    if (!list)
        return 0;
    const auto& activate = reinterpret_cast<const NMITEMACTIVATE&>(header);
    switch (header.code) {
    case NM_CLICK:
        // A mouse click on a row only; selecting with the keyboard leaves the send fields alone.
        if (from == ui::controlId(Id::OnlineList) && activate.iItem >= 0)
            m_menus->copyToSendFields(m_controls.list(Id::OnlineList), activate.iItem);
        return 0;
    case NM_RCLICK:
        m_menus->rightClicked(static_cast<Id>(from), activate.ptAction);
        return 0;
    case LVN_GETINFOTIPW: {
        if (from != ui::controlId(Id::OnlineList))
            return 0;
        auto& tip = reinterpret_cast<NMLVGETINFOTIPW&>(const_cast<NMHDR&>(header));
        const auto heard = m_service.heardTerminal(m_controls.list(Id::OnlineList).cell(tip.iItem, 0));
        if (heard && tip.cchTextMax > 0) {
            m_tip = widen(ui::onlineRowTip(*heard));
            lstrcpynW(tip.pszText, m_tip.c_str(), tip.cchTextMax);
        }
        return 0;
    }
    default:
        return 0;
    }
}

void MainWindow::clearOnlineList() {
    // Rows still on their way from an earlier listening run land first, then all go together.
    m_bridge->drain();
    m_service.clearOnlineTerminals();
    m_controls.list(Id::OnlineList).clear();
}

void MainWindow::refreshPersonnel() {
    m_service.refreshPersonnelList(m_controls[Id::SendMachine].text());
}

void MainWindow::restartService() {
    // The port drains first, as at 停止, with the window live; the window stays until the
    // hand-over has worked, so a failed one leaves a window that still works.
    m_listener->stopThen([this] {
        if (!m_service.restart()) {
            showMessage(m_window, ui::kMessageTitle, ui::kRestartFailedText);
            return;
        }
        DestroyWindow(m_window);
    });
}

void MainWindow::closeRequested() {
    if (!m_service.listening()) {
        DestroyWindow(m_window);
        return;
    }
    // A close while listening drains first, as 停止 does, with the window live.
    m_listener->stopThen([this] { PostMessageW(m_window, WM_CLOSE, 0, 0); });
}

void MainWindow::useDpi(const Dpi& dpi) {
    m_dpi = dpi;
    m_font = makeUiFont(m_dpi);
    m_controls.relayout(m_dpi, m_font.get());
    std::vector<int> widths;
    for (const ui::StatusPanel& panel : ui::statusPanels())
        widths.push_back(panel.width);
    m_controls.statusBar().setParts(widths, m_dpi);
    SendMessageW(m_controls.statusBar().hwnd(), WM_SIZE, 0, 0);
}

LRESULT CALLBACK MainWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        // From here on every message of the window reaches its object.
        auto* created = static_cast<MainWindow*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        created->m_window = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self || !self->m_bridge)
        return DefWindowProcW(window, message, wParam, lParam);
    return self->handle(message, wParam, lParam);
}

LRESULT MainWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case ServiceBridge::kDrainMessage:
        m_bridge->scheduledDrain();
        return 0;
    case WM_COMMAND:
        command(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_NOTIFY:
        return notify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_TIMER:
        if (wParam == static_cast<WPARAM>(ui::kClockTimer.id))
            clockTick();
        else if (wParam == static_cast<WPARAM>(ui::kLogTimer.id))
            logTick();
        else if (wParam == ServiceBridge::kDrainTimer)
            m_bridge->scheduledDrain();
        else if (wParam == ListenerGroup::kStopPollTimer)
            m_listener->pollStop();
        return 0;
    case WM_SIZE:
        if (m_controls.find(ui::controlId(Id::StatusBar)))
            SendMessageW(m_controls.statusBar().hwnd(), WM_SIZE, 0, 0);
        return 0;
    case WM_DPICHANGED: {
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(m_window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        useDpi(Dpi(HIWORD(wParam)));
        return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        // The tab's body is the window colour: labels, check and radio boxes on a page take it,
        // and so do the two read-only text boxes.
        const auto control = reinterpret_cast<HWND>(lParam);
        const Control* box = m_controls.find(GetDlgCtrlID(control));
        const bool textBox =
            box && box->hwnd() == control && ui::control(static_cast<Id>(box->id())).kind == ui::Kind::TextBox;
        if (textBox || m_controls.isPageControl(control)) {
            SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
        }
        return DefWindowProcW(m_window, message, wParam, lParam);
    }
    case WM_CLOSE:
        closeRequested();
        return 0;
    case WM_DESTROY:
        KillTimer(m_window, static_cast<UINT_PTR>(ui::kClockTimer.id));
        KillTimer(m_window, static_cast<UINT_PTR>(ui::kLogTimer.id));
        // The service outlives the window: its port closes with the window, and nothing it
        // reports afterwards reaches the controls.
        m_service.stopListening();
        m_service.setListener(nullptr);
        SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
        m_window = nullptr;
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(m_window, message, wParam, lParam);
    }
}

std::string MainWindow::controlsListing() const {
    std::string out;
    for (const ui::Control& c : ui::controls()) {
        const Control& control = m_controls[c.id];
        wchar_t className[64] = {};
        GetClassNameW(control.hwnd(), className, static_cast<int>(std::size(className)));
        RECT r{};
        GetWindowRect(control.hwnd(), &r);
        MapWindowPoints(HWND_DESKTOP, m_window, reinterpret_cast<POINT*>(&r), 2);
        const bool shownAsText =
            c.kind != ui::Kind::ListView && c.kind != ui::Kind::Tab && c.kind != ui::Kind::StatusBar;
        const std::string caption = shownAsText ? m_controls.shownText(c.id) : std::string(c.caption);
        const std::string page = c.page == ui::Page::None ? std::string() : std::string(ui::pageEntry(c.page).name);
        out += std::string(c.name) + '\t' + std::to_string(ui::controlId(c.id)) + '\t' + narrow(className) + '\t' +
               caption + '\t' + std::to_string(r.left) + '\t' + std::to_string(r.top) + '\t' +
               std::to_string(r.right - r.left) + '\t' + std::to_string(r.bottom - r.top) + '\t' + page + '\n';
    }
    return out;
}

} // namespace vorlanx::winshell
