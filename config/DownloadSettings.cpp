#include "config/DownloadSettings.h"

#include "config/IniFile.h"

namespace vorlanx::config {

bool loadParallelDownload(const std::filesystem::path& serviceDir) {
    return IniFile(configFilePath(serviceDir)).readValue("whitelist", "parallel") == "1";
}

bool saveParallelDownload(const std::filesystem::path& serviceDir, bool parallel) {
    return IniFile(configFilePath(serviceDir)).writeValue("whitelist", "parallel", parallel ? "1" : "0");
}

} // namespace vorlanx::config
