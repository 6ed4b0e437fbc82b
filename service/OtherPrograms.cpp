#include "service/OtherPrograms.h"

#include <windows.h>

namespace vorlanx::service {

bool windowsServiceRunning() {
    const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager)
        return false;
    bool running = false;
    if (const SC_HANDLE service = OpenServiceW(manager, kServiceName, SERVICE_QUERY_STATUS)) {
        SERVICE_STATUS status{};
        running = QueryServiceStatus(service, &status) && status.dwCurrentState != SERVICE_STOPPED;
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return running;
}

bool windowOpen() {
    const HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, kWindowMutexName);
    if (mutex) {
        CloseHandle(mutex);
        return true;
    }
    return GetLastError() == ERROR_ACCESS_DENIED;
}

} // namespace vorlanx::service
