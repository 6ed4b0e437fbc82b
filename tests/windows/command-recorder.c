/* Stands in for Windows' icacls.exe and netsh.exe in the setup program's test, where Wine's own do
 * nothing: it appends its whole command line, as UTF-8, to the file VORLANX_RECORD_FILE names and
 * exits 0. The test puts it in its throwaway Wine prefix's system folder only.
 */
#include <stdio.h>
#include <windows.h>

int main(void) {
    wchar_t file[MAX_PATH] = {0};
    if (GetEnvironmentVariableW(L"VORLANX_RECORD_FILE", file, MAX_PATH) == 0)
        return 1;
    const wchar_t* line = GetCommandLineW();
    char text[8192];
    const int length = WideCharToMultiByte(CP_UTF8, 0, line, -1, text, sizeof text, NULL, NULL);
    if (length <= 0)
        return 1;
    /* Appended whole: several programs may record at once. */
    HANDLE out = CreateFileW(file, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, NULL);
    if (out == INVALID_HANDLE_VALUE)
        return 1;
    text[length - 1] = '\n';
    DWORD written = 0;
    const BOOL ok = WriteFile(out, text, (DWORD)length, &written, NULL);
    CloseHandle(out);
    return ok && written == (DWORD)length ? 0 : 1;
}
