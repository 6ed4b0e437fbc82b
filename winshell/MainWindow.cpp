#include "winshell/MainWindow.h"

#include "config/PeriodSettings.h"
#include "link/LogText.h"
#include "link/ResultBox.h"
#include "present/Presenter.h"
#include "service/OtherPrograms.h"
#include "service/VorlanxService.h"
#include "ui/AdminCommand.h"
#include "ui/Texts.h"
#include "winshell/AdminCommands.h"
#include "winshell/DatabaseSettings.h"
#include "winshell/ListMenus.h"
#include "winshell/LocalAddress.h"
#include "winshell/MessageBox.h"
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

    m_commands = std::make_unique<AdminCommands>(m_controls);
    m_menus = std::make_unique<ListMenus>(m_controls, m_window);
    m_menus->pageShown = [this](int page) { choosePage(page); };
    m_database = std::make_unique<DatabaseSettings>(m_controls, m_window, m_dpi);
    m_controls.relayout(m_dpi, m_font.get());
    m_controls.showPage(m_controls.tabs().current());
    makePresenter();
    m_commands->setParallelChecked(m_presenter->parallelDownload());

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
    m_controls.statusBar().setPanel(ui::kLocalIpPanel, firstLocalAddress());
    m_controls.button(Id::WhiteListRadio).setChecked(true);
    m_controls.button(Id::SetTimeRadio).setChecked(true);
    const auto periods = config::loadPeriodSettings(m_service.dir());
    for (std::size_t i = 0; i < config::kPeriodCount; ++i) {
        const ui::PeriodIds& p = ui::kPeriodIds[i];
        m_controls[p.start].setText(periods.times[i].start);
        m_controls[p.end].setText(periods.times[i].end);
        m_controls[p.amount].setText(periods.amounts[i]);
    }
    m_presenter->windowCreated(m_controls[Id::SendMachine].text());
}

bool MainWindow::keyboardMessage(MSG& message) {
    if (!m_window || (message.hwnd != m_window && !IsChild(m_window, message.hwnd)))
        return false;
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    const bool control = GetKeyState(VK_CONTROL) < 0;
    HWND focus = GetFocus();
    const Control* focused = focus ? m_controls.find(GetDlgCtrlID(focus)) : nullptr;
    if (focused && focused->hwnd() != focus)
        focused = nullptr;
    if (message.message == WM_KEYDOWN && message.wParam == VK_TAB && control) {
        const int count = static_cast<int>(ui::pages().size());
        choosePage((m_controls.tabs().current() + (shift ? count - 1 : 1)) % count);
        return true;
    }
    // The read-only text boxes want every key, Tab too, as multi-line edits do: Tab leaves them.
    if (message.message == WM_KEYDOWN && message.wParam == VK_TAB && focused &&
        ui::control(static_cast<Id>(focused->id())).kind == ui::Kind::TextBox) {
        if (HWND next = GetNextDlgTabItem(m_window, focus, shift ? TRUE : FALSE))
            SetFocus(next);
        return true;
    }
    if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN && focused && focused->enabled() &&
        ui::control(static_cast<Id>(focused->id())).kind == ui::Kind::Button) {
        SendMessageW(focus, BM_CLICK, 0, 0);
        return true;
    }
    const bool menuKey =
        (message.message == WM_KEYDOWN && message.wParam == VK_APPS) ||
        ((message.message == WM_SYSKEYDOWN || message.message == WM_KEYDOWN) && message.wParam == VK_F10 && shift);
    if (menuKey && focused && ui::control(static_cast<Id>(focused->id())).kind == ui::Kind::ListView) {
        m_menus->keyboardMenu(static_cast<Id>(focused->id()));
        return true;
    }
    return IsDialogMessageW(m_window, &message) != FALSE;
}

void MainWindow::choosePage(int page) {
    m_controls.tabs().setCurrent(page);
    m_controls.showPage(page);
    HWND focus = GetFocus();
    if (focus && !IsWindowVisible(focus))
        SetFocus(m_controls.tabs().hwnd());
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

void MainWindow::holdPainting(bool hold) {
    // The lists and boxes of a batch paint once, when the whole batch is in.
    for (const Id id : {Id::OnlineList, Id::Log, Id::Results, Id::PersonnelList}) {
        HWND control = m_controls[id].hwnd();
        SendMessageW(control, WM_SETREDRAW, hold ? FALSE : TRUE, 0);
        if (!hold)
            RedrawWindow(control, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
    }
}

void MainWindow::makePresenter() {
    present::WindowView view;
    view.setPanel = [this](int panel, const std::string& text) { m_controls.statusBar().setPanel(panel, text); };
    view.appendLog = [this](const std::string& text) { m_controls.box(Id::Log).appendText(text); };
    view.addOnlineRow = [this](const std::string& address, const std::string& port, const std::string& machine) {
        m_controls.list(Id::OnlineList).addRow({address, port, machine});
    };
    view.removeOnlineRow = [this](const std::string& address) {
        if (const int row = findOnlineRow(address); row >= 0)
            m_controls.list(Id::OnlineList).deleteRow(row);
    };
    view.clearOnlineList = [this] { m_controls.list(Id::OnlineList).clear(); };
    view.enableListener = [this](bool port, bool start, bool stop) {
        m_controls[Id::ListenPort].setEnabled(port);
        m_controls[Id::ListenButton].setEnabled(start);
        m_controls[Id::StopButton].setEnabled(stop);
    };
    view.setSuccessCount = [this](const std::string& text) { m_controls[Id::SuccessCount].setText(text); };
    view.setWhitelistCount = [this](const std::string& text) { m_controls[Id::WhitelistCount].setText(text); };
    view.setResultCaption = [this](const std::string& caption) { m_controls[Id::ResultGroup].setText(caption); };
    view.appendResult = [this](const std::string& text) { m_controls.box(Id::Results).appendText(text); };
    view.clearResults = [this] { m_controls.box(Id::Results).clearText(); };
    view.setSendFields = [this](const std::string& address, const std::string& port, const std::string& machine) {
        m_controls.address(Id::SendAddress).setAddress(address);
        m_controls[Id::SendPort].setText(port);
        m_controls[Id::SendMachine].setText(machine);
    };
    view.enableCommands = [this](bool enabled) { m_commands->setButtonsEnabled(enabled); };
    view.clearPersonnel = [this] { m_controls.list(Id::PersonnelList).clear(); };
    view.addPersonnelRow = [this](const std::vector<std::string>& cells) {
        m_controls.list(Id::PersonnelList).addRow(cells);
    };
    view.showDatabaseSettings = [this](const config::ConnectionSettings& s) { m_database->show(s); };
    view.enableDatabaseSave = [this](bool enabled) { m_controls[Id::SaveDatabaseButton].setEnabled(enabled); };
    view.showMessage = [this](const std::string& text) { showMessage(m_window, ui::kMessageTitle, text); };
    view.portHeldByService = service::windowsServiceRunning;
    view.closeWindow = [this] { PostMessageW(m_window, WM_CLOSE, 0, 0); };
    m_presenter = std::make_unique<present::Presenter>(
        m_service, std::move(view), [window = m_window] { PostMessageW(window, kDrainMessage, 0, 0); });
    present::ReportQueue& reports = m_presenter->reports();
    reports.setBatchHook([this](bool begins) { holdPainting(begins); });
    reports.setPacing([this] { SetTimer(m_window, kDrainTimer, kDrainPeriodMs, nullptr); },
                      [this] { KillTimer(m_window, kDrainTimer); });
}

void MainWindow::startAction(ui::Command command) {
    using ui::Command;
    switch (command) {
    case Command::None:
        return;
    case Command::StartListening:
        m_presenter->startListening(m_controls[Id::ListenPort].text());
        return;
    case Command::StopListening:
        m_presenter->stopListening();
        return;
    case Command::ClearLog:
        m_controls.box(Id::Log).clearText();
        return;
    case Command::SaveDatabaseSettings:
        m_presenter->saveDatabaseSettings(m_database->settings());
        return;
    case Command::AddDevices:
        m_menus->addDevices();
        return;
    case Command::ClearOnlineList:
        m_presenter->clearOnlineList();
        return;
    case Command::RefreshPersonnel:
        m_presenter->refreshPersonnel(m_controls[Id::SendMachine].text());
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
        m_presenter->runCommand(m_commands->readControls(*admin));
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
            // The up/down buttons beside the fields are locked with them.
            const bool locked = m_controls.button(p.timeCheck).checked();
            for (const Id field : {p.start, p.end}) {
                m_controls[field].setEnabled(!locked);
                EnableWindow(m_controls.upDownOf(ui::controlId(field)), locked ? FALSE : TRUE);
            }
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
        m_presenter->setParallelDownload(m_commands->parallelChecked());
        return;
    }
    startAction(ui::control(control).command);
}

LRESULT MainWindow::notify(const NMHDR& header) {
    const int from = static_cast<int>(header.idFrom);
    if (from == ui::controlId(Id::Pages) && header.code == TCN_SELCHANGE) {
        choosePage(m_controls.tabs().current());
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
    if (!self || !self->m_presenter)
        return DefWindowProcW(window, message, wParam, lParam);
    return self->handle(message, wParam, lParam);
}

LRESULT MainWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case kDrainMessage:
        m_presenter->reports().drain();
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
        else if (wParam == kDrainTimer)
            m_presenter->reports().drain();
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
        if (m_presenter->closeRequested())
            DestroyWindow(m_window);
        return 0;
    case WM_DESTROY:
        KillTimer(m_window, static_cast<UINT_PTR>(ui::kClockTimer.id));
        KillTimer(m_window, static_cast<UINT_PTR>(ui::kLogTimer.id));
        // The service outlives the window: its port closes with the window, and nothing it
        // reports afterwards reaches the controls.
        m_presenter->windowClosing();
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
