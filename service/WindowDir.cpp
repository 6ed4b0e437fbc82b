#include "service/WindowDir.h"

#include <chrono>
#include <fstream>
#include <string>
#include <system_error>

namespace vorlanx::service {

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
    const bool installed = !inputs.installedProgramDir.empty() &&
                           std::filesystem::equivalent(inputs.programDir, inputs.installedProgramDir, error);
    if (!installed && writable(inputs.programDir))
        return inputs.programDir;
    if (inputs.configHome.empty())
        return std::nullopt;
    const std::filesystem::path dir = inputs.configHome / "vorlanx";
    std::filesystem::create_directories(dir, error);
    if (error || !std::filesystem::is_directory(dir, error))
        return std::nullopt;
    return dir;
}

} // namespace vorlanx::service
