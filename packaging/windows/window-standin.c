/* Stand-in for the operator's window vorlanx.exe in the setup program's test, for builds that
 * have no vorlanx.exe: it holds the named mutex by which the setup program and the uninstaller
 * know that the window is open (the same name vorlanx.exe holds while it runs).
 *
 *   window-standin.exe           holds the mutex until it is ended; prints "holding" when it does
 *   window-standin.exe --probe   exits 0 when some program holds the mutex, 1 when none does
 */
#include <stdio.h>
#include <string.h>
#include <windows.h>

#define WINDOW_MUTEX L"Global\\VorlanxWindow"

int main(int argc, char** argv) {
    if (argc == 2 && strcmp(argv[1], "--probe") == 0) {
        HANDLE held = OpenMutexW(SYNCHRONIZE, FALSE, WINDOW_MUTEX);
        /* Another user's window: the mutex is there, only not ours to open. */
        if (held == NULL)
            return GetLastError() == ERROR_ACCESS_DENIED ? 0 : 1;
        CloseHandle(held);
        return 0;
    }
    if (CreateMutexW(NULL, FALSE, WINDOW_MUTEX) == NULL)
        return 1;
    puts("holding");
    fflush(stdout);
    Sleep(INFINITE);
    return 0;
}
