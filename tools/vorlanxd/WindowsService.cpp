#include "tools/vorlanxd/WindowsService.h"

#include <windows.h>

#include <wincrypt.h>

#include <array>
#include <cwctype>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vorlanx::winservice {

namespace {

namespace fs = std::filesystem;

std::string utf8(const std::wstring& text) {
    if (text.empty())
        return {};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr, nullptr);
    return result;
}

std::string errorText(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length > 0 ? std::wstring(buffer, length) : std::wstring();
    LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return (text.empty() ? std::string("error") : utf8(text)) + " (" + std::to_string(error) + ")";
}

// Closes a service handle on leaving scope.
struct Handle {
    SC_HANDLE value = nullptr;
    explicit Handle(SC_HANDLE h) : value(h) {}
    ~Handle() {
        if (value)
            CloseServiceHandle(value);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    explicit operator bool() const { return value != nullptr; }
};

std::wstring quoted(const fs::path& path) {
    return L"\"" + path.wstring() + L"\"";
}

bool openManager(Handle& manager, DWORD access, std::ostream& err) {
    manager.value = OpenSCManagerW(nullptr, nullptr, access);
    if (manager)
        return true;
    err << "vorlanxd: cannot open the service control manager: " << errorText(GetLastError())
        << "; run this as an administrator\n";
    return false;
}

// 0 and the service opened, kNotInstalled, or 1 after telling why.
int openService(const Handle& manager, Handle& service, DWORD access, std::ostream& err) {
    service.value = OpenServiceW(manager.value, kName, access);
    if (service)
        return 0;
    const DWORD error = GetLastError();
    if (error == ERROR_SERVICE_DOES_NOT_EXIST) {
        err << "vorlanxd: the service vorlanxd is not registered\n";
        return kNotInstalled;
    }
    err << "vorlanxd: cannot open the service vorlanxd: " << errorText(error) << "\n";
    return 1;
}

DWORD currentState(const Handle& service) {
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service.value, &status))
        return 0;
    return status.dwCurrentState;
}

// Waits while the service is in `pending`, up to `limit`; returns the state it reached.
DWORD waitWhile(const Handle& service, DWORD pending, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    DWORD state = currentState(service);
    while (state == pending && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        state = currentState(service);
    }
    return state;
}

// The longest drain (600 s) and a minute for the rest of the stop.
constexpr std::chrono::seconds kStopLimit(660);
constexpr std::chrono::seconds kStartLimit(120);

void printRegistration(const Handle& service, std::ostream& out) {
    DWORD needed = 0;
    QueryServiceConfigW(service.value, nullptr, 0, &needed);
    std::vector<unsigned char> buffer(needed + 1);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (needed > 0 && QueryServiceConfigW(service.value, config, needed, &needed)) {
        out << "  start: " << (config->dwStartType == SERVICE_AUTO_START ? "at boot" : "not at boot") << "\n";
        out << "  command: " << utf8(config->lpBinaryPathName ? config->lpBinaryPathName : L"") << "\n";
        out << "  account: " << utf8(config->lpServiceStartName ? config->lpServiceStartName : L"LocalSystem") << "\n";
    }
    SERVICE_PRESHUTDOWN_INFO preshutdown{};
    if (QueryServiceConfig2W(service.value, SERVICE_CONFIG_PRESHUTDOWN_INFO, reinterpret_cast<BYTE*>(&preshutdown),
                             sizeof preshutdown, &needed))
        out << "  on shutdown: up to " << preshutdown.dwPreshutdownTimeout / 1000 << " s to stop (preshutdown)\n";
    else
        out << "  on shutdown: the service manager reports no preshutdown time-out\n";
    needed = 0;
    QueryServiceConfig2W(service.value, SERVICE_CONFIG_FAILURE_ACTIONS, nullptr, 0, &needed);
    std::vector<unsigned char> actionsBuffer(needed + sizeof(SERVICE_FAILURE_ACTIONSW));
    auto* actions = reinterpret_cast<SERVICE_FAILURE_ACTIONSW*>(actionsBuffer.data());
    if (QueryServiceConfig2W(service.value, SERVICE_CONFIG_FAILURE_ACTIONS, actionsBuffer.data(),
                             static_cast<DWORD>(actionsBuffer.size()), &needed) &&
        actions->cActions > 0 && actions->lpsaActions) {
        out << "  on failure: ";
        for (DWORD i = 0; i < actions->cActions; ++i) {
            const SC_ACTION& action = actions->lpsaActions[i];
            out << (i > 0 ? ", " : "")
                << (action.Type == SC_ACTION_RESTART ? "restart after " + std::to_string(action.Delay / 1000) + " s"
                                                     : std::string("no restart"));
        }
        out << "; the count starts again after " << actions->dwResetPeriod << " s without failure\n";
    } else {
        out << "  on failure: the service manager reports no actions\n";
    }
}

// The controls a running service takes, as QueryServiceStatus reports them.
std::string acceptedControls(DWORD accepted) {
    const std::pair<DWORD, const char*> names[] = {{SERVICE_ACCEPT_STOP, "stop"},
                                                   {SERVICE_ACCEPT_PRESHUTDOWN, "preshutdown"},
                                                   {SERVICE_ACCEPT_SHUTDOWN, "shutdown"},
                                                   {SERVICE_ACCEPT_PARAMCHANGE, "parameter change"}};
    std::string text;
    for (const auto& [bit, name] : names)
        if (accepted & bit)
            text += (text.empty() ? "" : ", ") + std::string(name);
    return text.empty() ? std::string("none") : text;
}

// Runs one of Windows' own programs from the system folder by its full path (never one found on
// the path or beside this program) and returns its exit code, or -1 when it did not run.
int runSystemProgram(const std::wstring& program, const std::wstring& arguments, std::wstring& commandLine) {
    wchar_t system[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return -1;
    const std::wstring path = std::wstring(system) + L"\\" + program;
    commandLine = L"\"" + path + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring mutableLine = commandLine;
    if (!CreateProcessW(path.c_str(), mutableLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process))
        return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

} // namespace

std::wstring serviceSid(const std::wstring& name) {
    std::wstring upper = name;
    for (wchar_t& c : upper)
        c = static_cast<wchar_t>(std::towupper(c));
    std::array<BYTE, 20> digest{};
    DWORD digestSize = static_cast<DWORD>(digest.size());
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
        return {};
    HCRYPTHASH hash = 0;
    bool hashed = false;
    if (CryptCreateHash(provider, CALG_SHA1, 0, 0, &hash)) {
        // wchar_t is UTF-16LE on Windows: the bytes of the name as they are.
        hashed = CryptHashData(hash, reinterpret_cast<const BYTE*>(upper.data()),
                               static_cast<DWORD>(upper.size() * sizeof(wchar_t)), 0) &&
                 CryptGetHashParam(hash, HP_HASHVAL, digest.data(), &digestSize, 0) && digestSize == digest.size();
        CryptDestroyHash(hash);
    }
    CryptReleaseContext(provider, 0);
    if (!hashed)
        return {};
    std::wstring sid = L"S-1-5-80";
    for (std::size_t i = 0; i < digest.size(); i += 4) {
        const std::uint32_t part =
            static_cast<std::uint32_t>(digest[i]) | static_cast<std::uint32_t>(digest[i + 1]) << 8 |
            static_cast<std::uint32_t>(digest[i + 2]) << 16 | static_cast<std::uint32_t>(digest[i + 3]) << 24;
        sid += L"-" + std::to_wstring(part);
    }
    return sid;
}

int install(const fs::path& exe, std::uint16_t port, const fs::path& dir, std::chrono::seconds drain,
            std::chrono::seconds preshutdown, std::ostream& out, std::ostream& err) {
    Handle manager(nullptr);
    if (!openManager(manager, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE, err))
        return 1;
    const std::wstring command = quoted(exe) + L" --service --port " + std::to_wstring(port) + L" --dir " +
                                 quoted(dir) + L" --drain " + std::to_wstring(drain.count());
    // Neither account has a password; LocalService only where the manager refuses the virtual one.
    const wchar_t* account = kAccount;
    const auto create = [&] {
        return CreateServiceW(manager.value, kName, kDisplayName, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                              SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, command.c_str(), nullptr, nullptr, nullptr,
                              account, L"");
    };
    const auto change = [&](SC_HANDLE handle) {
        return ChangeServiceConfigW(handle, SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                    command.c_str(), nullptr, nullptr, nullptr, account, L"", kDisplayName);
    };
    Handle service(create());
    if (!service && GetLastError() == ERROR_INVALID_SERVICE_ACCOUNT) {
        account = kFallbackAccount;
        service.value = create();
    }
    bool existed = false;
    if (!service && GetLastError() == ERROR_SERVICE_EXISTS) {
        // Also a registration of 7.0, which ran as LocalSystem: it takes the account too.
        existed = true;
        service.value = OpenServiceW(manager.value, kName, SERVICE_ALL_ACCESS);
        if (service) {
            bool changed = change(service.value);
            if (!changed && GetLastError() == ERROR_INVALID_SERVICE_ACCOUNT) {
                account = kFallbackAccount;
                changed = change(service.value);
            }
            if (!changed) {
                err << "vorlanxd: cannot change the service vorlanxd: " << errorText(GetLastError()) << "\n";
                return 1;
            }
        }
    }
    if (!service) {
        err << "vorlanxd: cannot register the service vorlanxd: " << errorText(GetLastError()) << "\n";
        return 1;
    }
    std::wstring text = L"The canteen terminals' payment service without its window; its log is vorlanxd.log in " +
                        dir.wstring() + L".";
    SERVICE_DESCRIPTIONW description{text.data()};
    ChangeServiceConfig2W(service.value, SERVICE_CONFIG_DESCRIPTION, &description);

    // Restarted 10 s after each of the first two failures and a minute after any further one in a
    // day. A failure is a crash, a hang the manager gives up on, or a stop with a non-zero code.
    SC_ACTION actions[3] = {{SC_ACTION_RESTART, 10000}, {SC_ACTION_RESTART, 10000}, {SC_ACTION_RESTART, 60000}};
    SERVICE_FAILURE_ACTIONSW failure{};
    failure.dwResetPeriod = 24 * 60 * 60;
    failure.cActions = 3;
    failure.lpsaActions = actions;
    if (!ChangeServiceConfig2W(service.value, SERVICE_CONFIG_FAILURE_ACTIONS, &failure)) {
        err << "vorlanxd: cannot set the restart on failure: " << errorText(GetLastError()) << "\n";
        return 1;
    }
    SERVICE_FAILURE_ACTIONS_FLAG onNonCrash{TRUE};
    ChangeServiceConfig2W(service.value, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &onNonCrash);

    // Windows gives a service that takes only SHUTDOWN about 5 s; PRESHUTDOWN waits for the drain.
    SERVICE_PRESHUTDOWN_INFO preshutdownInfo{static_cast<DWORD>(preshutdown.count() * 1000)};
    if (!ChangeServiceConfig2W(service.value, SERVICE_CONFIG_PRESHUTDOWN_INFO, &preshutdownInfo)) {
        err << "vorlanxd: cannot set the time-out at shutdown: " << errorText(GetLastError()) << "\n";
        return 1;
    }

    // The account writes its log, conf.ini's reloads and the built-in database in DIR, and
    // nothing else: Modify there, given by its SID, which needs no lookup of the account's name.
    const std::wstring sid = account == kAccount ? serviceSid(kName) : std::wstring(L"S-1-5-19");
    if (sid.empty()) {
        err << "vorlanxd: cannot compute the SID of " << utf8(account) << "\n";
        return 1;
    }
    std::wstring grant;
    const int granted = runSystemProgram(L"icacls.exe", quoted(dir) + L" /grant *" + sid + L":(OI)(CI)M", grant);
    if (granted != 0) {
        err << "vorlanxd: " << utf8(grant) << " failed (" << granted << "): the service could not write in "
            << dir.string() << "\n";
        return 1;
    }

    out << "vorlanxd: service vorlanxd " << (existed ? "changed" : "registered") << "\n";
    printRegistration(service, out);
    out << "  data folder: " << utf8(grant) << "\n";
    out << "Start it now with: net start vorlanxd (or vorlanxd --start-service)\n";
    return 0;
}

int start(std::ostream& out, std::ostream& err) {
    Handle manager(nullptr);
    if (!openManager(manager, SC_MANAGER_CONNECT, err))
        return 1;
    Handle service(nullptr);
    if (const int opened = openService(manager, service, SERVICE_START | SERVICE_QUERY_STATUS, err))
        return opened;
    if (!StartServiceW(service.value, 0, nullptr) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING) {
        err << "vorlanxd: cannot start the service vorlanxd: " << errorText(GetLastError()) << "\n";
        return 1;
    }
    const DWORD state = waitWhile(service, SERVICE_START_PENDING, kStartLimit);
    if (state != SERVICE_RUNNING) {
        err << "vorlanxd: the service vorlanxd did not come up; see vorlanxd.log in its directory\n";
        return 1;
    }
    SERVICE_STATUS status{};
    QueryServiceStatus(service.value, &status);
    out << "vorlanxd: service vorlanxd running\n  accepts: " << acceptedControls(status.dwControlsAccepted) << "\n";
    return 0;
}

int query(std::ostream& out, std::ostream& err) {
    Handle manager(nullptr);
    if (!openManager(manager, SC_MANAGER_CONNECT, err))
        return 1;
    Handle service(nullptr);
    if (const int opened = openService(manager, service, SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS, err))
        return opened;
    out << "vorlanxd: service vorlanxd\n";
    printRegistration(service, out);
    SERVICE_STATUS status{};
    QueryServiceStatus(service.value, &status);
    out << "  state: " << (status.dwCurrentState == SERVICE_RUNNING ? "running" : "not running") << "\n";
    out << "  accepts: " << acceptedControls(status.dwControlsAccepted) << "\n";
    return 0;
}

int stop(std::ostream& out, std::ostream& err) {
    Handle manager(nullptr);
    if (!openManager(manager, SC_MANAGER_CONNECT, err))
        return 1;
    Handle service(nullptr);
    if (const int opened = openService(manager, service, SERVICE_STOP | SERVICE_QUERY_STATUS, err))
        return opened;
    DWORD state = currentState(service);
    if (state == SERVICE_STOPPED) {
        out << "vorlanxd: service vorlanxd is not running\n";
        return kNotRunning;
    }
    // One that is still starting is stopped once it runs: the stop request is not taken before.
    state = waitWhile(service, SERVICE_START_PENDING, kStartLimit);
    if (state != SERVICE_STOP_PENDING && state != SERVICE_STOPPED) {
        SERVICE_STATUS status{};
        if (!ControlService(service.value, SERVICE_CONTROL_STOP, &status) &&
            GetLastError() != ERROR_SERVICE_NOT_ACTIVE) {
            err << "vorlanxd: cannot stop the service vorlanxd: " << errorText(GetLastError()) << "\n";
            return 1;
        }
    }
    out << "vorlanxd: stopping the service vorlanxd (it answers the bookings under way first)" << std::endl;
    if (waitWhile(service, SERVICE_STOP_PENDING, kStopLimit) != SERVICE_STOPPED) {
        err << "vorlanxd: the service vorlanxd did not stop\n";
        return 1;
    }
    out << "vorlanxd: service vorlanxd stopped\n";
    return 0;
}

int remove(std::ostream& out, std::ostream& err) {
    const int stopped = stop(out, err);
    if (stopped == kNotInstalled || stopped == 1)
        return stopped;
    Handle manager(nullptr);
    if (!openManager(manager, SC_MANAGER_CONNECT, err))
        return 1;
    Handle service(nullptr);
    if (const int opened = openService(manager, service, DELETE, err))
        return opened;
    if (!DeleteService(service.value)) {
        err << "vorlanxd: cannot remove the service vorlanxd: " << errorText(GetLastError()) << "\n";
        return 1;
    }
    out << "vorlanxd: service vorlanxd removed; conf.ini, the log and the data stay in its directory\n";
    return 0;
}

namespace {

Controls g_controls;
SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
std::mutex g_statusMutex;
SERVICE_STATUS g_status{};
int g_exitCode = 0;

void report(DWORD state, std::chrono::milliseconds hint, int exitCode = 0) {
    const std::lock_guard lock(g_statusMutex);
    g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    g_status.dwCurrentState = state;
    g_status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PRESHUTDOWN |
                                                                 SERVICE_ACCEPT_SHUTDOWN | SERVICE_ACCEPT_PARAMCHANGE
                                                           : 0;
    g_status.dwWin32ExitCode = exitCode == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
    g_status.dwServiceSpecificExitCode = static_cast<DWORD>(exitCode);
    g_status.dwWaitHint = static_cast<DWORD>(hint.count());
    g_status.dwCheckPoint =
        state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING ? g_status.dwCheckPoint + 1 : 0;
    SetServiceStatus(g_statusHandle, &g_status);
}

class ManagerStatus final : public Status {
public:
    void running() override { report(SERVICE_RUNNING, std::chrono::milliseconds(0)); }
    void stopping(std::chrono::milliseconds hint) override { report(SERVICE_STOP_PENDING, hint); }
};

DWORD WINAPI handler(DWORD control, DWORD, void*, void*) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_PRESHUTDOWN:
    case SERVICE_CONTROL_SHUTDOWN:
        report(SERVICE_STOP_PENDING, g_controls.stopHint);
        g_controls.stop();
        return NO_ERROR;
    case SERVICE_CONTROL_PARAMCHANGE:
        g_controls.reload();
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI serviceMain(DWORD, LPWSTR*) {
    g_statusHandle = RegisterServiceCtrlHandlerExW(kName, handler, nullptr);
    if (!g_statusHandle)
        return;
    // Connecting the database may take the login's time-out before the port opens.
    report(SERVICE_START_PENDING, std::chrono::seconds(60));
    ManagerStatus status;
    g_exitCode = g_controls.body(status);
    report(SERVICE_STOPPED, std::chrono::milliseconds(0), g_exitCode);
}

} // namespace

int run(Controls controls) {
    g_controls = std::move(controls);
    SERVICE_TABLE_ENTRYW table[] = {{const_cast<LPWSTR>(kName), serviceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherW(table))
        return -1;
    return g_exitCode;
}

} // namespace vorlanx::winservice
