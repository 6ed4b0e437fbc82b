#pragma once

// Windows only. Which other Vorlanx program runs on this computer: the window and the service
// never share a port, and the one that finds its port taken names the other.

namespace vorlanx::service {

// The window holds this mutex while it runs; the setup program looks for it too. Global, so that
// a window of any session, another user's too, is seen.
inline constexpr const wchar_t* kWindowMutexName = L"Global\\VorlanxWindow";
// The name the Windows service is registered under, for sc.exe and net.exe ("net start vorlanxd").
inline constexpr const wchar_t* kServiceName = L"vorlanxd";

// Whether the Windows service is registered and not stopped; a query any user may make.
bool windowsServiceRunning();
// Whether the window is open: its mutex exists, or another user's window denies this process
// access to it, which says as much.
bool windowOpen();

} // namespace vorlanx::service
