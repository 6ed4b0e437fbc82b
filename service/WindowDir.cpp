#include "service/WindowDir.h"

#include "service/Restart.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace vorlanx::service {

std::filesystem::path userConfigHome() {
#ifdef _WIN32
    // UTF-16, so that a user name with Chinese characters is the same path.
    const wchar_t* appData = _wgetenv(L"APPDATA");
    return appData && *appData ? std::filesystem::path(appData) : std::filesystem::path();
#else
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg && std::filesystem::path(xdg).is_absolute())
        return xdg;
    const char* home = std::getenv("HOME");
    return home && *home ? std::filesystem::path(home) / ".config" : std::filesystem::path();
#endif
}

#ifdef _WIN32
std::filesystem::path recordedDataDir() {
    // Written by setup, which only an administrator runs; a user cannot plant a folder here.
    wchar_t value[MAX_PATH * 2] = {};
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Vorlanx", L"DataDir", RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS)
        return {};
    return std::filesystem::path(value);
}
#endif

bool isWritableDir(const std::filesystem::path& dir) {
    std::error_code error;
    if (dir.empty() || !std::filesystem::is_directory(dir, error))
        return false;
    // A name no one else uses, so that the probe never truncates or removes someone's file.
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    const std::filesystem::path probe = dir / (".vorlanx-write-probe-" + std::to_string(stamp));
    bool written = false;
    {
        std::ofstream out(probe, std::ios::binary);
        written = static_cast<bool>(out);
    }
    std::filesystem::remove(probe, error);
    return written;
}

std::optional<std::filesystem::path>
chooseWindowDir(const WindowDirInputs& inputs, const std::function<bool(const std::filesystem::path&)>& writable) {
    if (inputs.requested)
        return inputs.requested;
    std::error_code error;
    if (!inputs.recorded.empty() && std::filesystem::is_directory(inputs.recorded, error))
        return inputs.recorded;
    const bool installed = !inputs.installedProgramDir.empty() &&
                           std::filesystem::equivalent(inputs.programDir, inputs.installedProgramDir, error);
    if (!installed && writable(inputs.programDir))
        return inputs.programDir;
    if (inputs.configHome.empty())
        return std::nullopt;
    const std::filesystem::path dir = inputs.configHome / kWindowDirName;
    std::filesystem::create_directories(dir, error);
    if (error || !std::filesystem::is_directory(dir, error))
        return std::nullopt;
    return dir;
}

std::optional<std::filesystem::path> windowDirOfThisProgram(const std::optional<std::filesystem::path>& requested,
                                                            const std::filesystem::path& installedProgramDir) {
    WindowDirInputs inputs;
    inputs.requested = requested;
#ifdef _WIN32
    inputs.recorded = recordedDataDir();
#endif
    inputs.programDir = ownProgram().parent_path();
    inputs.installedProgramDir = installedProgramDir;
    inputs.configHome = userConfigHome();
    return chooseWindowDir(inputs);
}

} // namespace vorlanx::service
