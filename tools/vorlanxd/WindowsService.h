#pragma once

// vorlanxd.exe under the Windows service control manager: registering and removing the service,
// starting and stopping it, and running as it. Windows only.

#include "service/OtherPrograms.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>

namespace vorlanx::winservice {

// The service's name for sc.exe and net.exe ("net start vorlanxd").
inline constexpr const wchar_t* kName = service::kServiceName;
inline constexpr wchar_t kDisplayName[] = L"Vorlanx 食堂消费服务 (vorlanxd)";

// Exit codes of the commands below beside 0 (done) and 1 (failed).
inline constexpr int kNotInstalled = 3;
inline constexpr int kNotRunning = 4;

// The account the service runs as: its own virtual account, which holds no right but those given
// to it; LocalService where the manager does not know virtual accounts.
inline constexpr wchar_t kAccount[] = L"NT SERVICE\\vorlanxd";
inline constexpr wchar_t kFallbackAccount[] = L"NT AUTHORITY\\LocalService";

// The SID of the virtual account "NT SERVICE\NAME": S-1-5-80 followed by the SHA-1 of the upper-cased
// name in UTF-16LE, as five little-endian 32-bit numbers. Empty when the system cannot hash.
std::wstring serviceSid(const std::wstring& name);

// Registers `exe` as the service, started at boot with the command line
// "EXE --service --port PORT --dir DIR --drain S" under kAccount, restarted by the manager when it
// fails, given `preshutdown` to stop in when Windows shuts down. An existing registration (one of
// 7.0 ran as LocalSystem) takes the new command line and account. The account is granted Modify on
// DIR by its SID with the system's icacls.exe. Prints the registration as read back.
int install(const std::filesystem::path& exe, std::uint16_t port, const std::filesystem::path& dir,
            std::chrono::seconds drain, std::chrono::seconds preshutdown, std::ostream& out, std::ostream& err);
// Stops the service (waiting for its drain) and removes the registration.
int remove(std::ostream& out, std::ostream& err);
// Starts the service and waits until it runs; kNotInstalled when it is not registered.
int start(std::ostream& out, std::ostream& err);
// Prints the registration as the manager reads it back, the state, and the controls the running
// service takes; kNotInstalled when it is not registered.
int query(std::ostream& out, std::ostream& err);
// Stops the service and waits until it has stopped: 0 when it was running, kNotRunning when it
// was not, kNotInstalled when it is not registered.
int stop(std::ostream& out, std::ostream& err);

// What the running service tells the manager.
class Status {
public:
    virtual ~Status() = default;
    virtual void running() = 0;
    // The drain has begun; the manager waits up to `hint` before it deems the service hung.
    virtual void stopping(std::chrono::milliseconds hint) = 0;
};

struct Controls {
    std::function<void()> stop;   // the manager's stop, or Windows shutting down (preshutdown)
    std::function<void()> reload; // the manager's parameter change ("sc control vorlanxd paramchange")
    // The service itself; its exit code is reported to the manager (non-zero: failed, restarted).
    std::function<int(Status&)> body;
    // What the manager is told to wait for a stop: the drain and the database's own time-outs.
    std::chrono::milliseconds stopHint{30000};
};

// Connects to the manager and runs `controls.body` as the service. Returns the body's exit code,
// or -1 when the process was not started by the manager.
int run(Controls controls);

} // namespace vorlanx::winservice
